// The OEM plug-in interfaces of the PostScript printer driver: the rendering plug-in's
// IPrintOemPS / IPrintOemPS2, the driver's IPrintCorePS2, the device object, the DDI entries
// the plug-in may hook, the GetInfo modes, injection indices and escapes. Written from the
// behaviour the plug-ins rely on; identifiers carry the published values.
#pragma once

#include "platform/com.h"
#include "platform/devmode.h"
#include "platform/types.h"

// ---- class and interface identifiers ----------------------------------------------------
inline constexpr CLSID CLSID_OEMRENDER = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr IID IID_IPrintOemPS = {0x688342B5, 0x8E1A, 0x11D1, {0x88, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr IID IID_IPrintOemPS2 = {0xBECF7F34, 0x51B3, 0x46C9, {0x8A, 0x1C, 0x18, 0x67, 0x9B, 0xD2, 0x1F, 0x36}};
inline constexpr IID IID_IPrintCorePS2 = {0xCDBB0B0B, 0xA917, 0x40D7, {0x9F, 0xBF, 0x48, 0x3B, 0x3B, 0xE7, 0xEF, 0x22}};

// ---- GetInfo modes -----------------------------------------------------------------------
constexpr DWORD OEMGI_GETSIGNATURE = 1;
constexpr DWORD OEMGI_GETINTERFACEVERSION = 2;
constexpr DWORD OEMGI_GETVERSION = 3;
constexpr DWORD OEMGI_GETPUBLISHERINFO = 4;

// ---- DDI ---------------------------------------------------------------------------------
constexpr ULONG INDEX_DrvEscape = 24;
constexpr ULONG INDEX_DrvSendPage = 32;
constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG INDEX_DrvStartDoc = 35;
constexpr ULONG DDI_DRIVER_VERSION_NT5 = 0x00030000;
constexpr ULONG OEM_DDI_TABLE_VERSION = 0x00010000;

constexpr ULONG QUERYESCSUPPORT = 8;
constexpr ULONG ED_ABORTDOC = 1;

using PFN = void (*)();
struct DRVFN {
    ULONG iFunc;
    PFN pfn;
};
struct DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
};
using PDRVENABLEDATA = DRVENABLEDATA*;

// The device object the driver hands to every plug-in call. pdevOEM is the plug-in's own
// device block (answered by EnablePDEV).
struct DEVOBJ {
    DWORD dwSize;
    void* pdevOEM;
    HANDLE hEngine;
    HANDLE hPrinter;
    HANDLE hOEM;
    PDEVMODEW pPublicDM;
    void* pOEMDM;
    void* pDrvProcs;
};
using PDEVOBJ = DEVOBJ*;

// A drawing surface; dhpdev is the driver's device, which begins with its DEVOBJ.
struct SURFOBJ {
    void* dhsurf;
    HANDLE hsurf;
    void* dhpdev;
    HANDLE hdev;
};

using PFN_DrvStartDoc = BOOL (*)(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
using PFN_DrvEndDoc = BOOL (*)(SURFOBJ* pso, ULONG fl);
using PFN_DrvSendPage = BOOL (*)(SURFOBJ* pso);
using PFN_DrvEscape = ULONG (*)(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

// ---- PostScript injection points ------------------------------------------------------------
constexpr DWORD PSINJECT_BEGINSTREAM = 1;
constexpr DWORD PSINJECT_PSADOBE = 2;
constexpr DWORD PSINJECT_PAGESATEND = 3;
constexpr DWORD PSINJECT_PAGES = 4;
constexpr DWORD PSINJECT_DOCNEEDEDRES = 5;
constexpr DWORD PSINJECT_DOCSUPPLIEDRES = 6;
constexpr DWORD PSINJECT_PAGEORDER = 7;
constexpr DWORD PSINJECT_ORIENTATION = 8;
constexpr DWORD PSINJECT_BOUNDINGBOX = 9;
constexpr DWORD PSINJECT_DOCUMENTPROCESSCOLORS = 10;
constexpr DWORD PSINJECT_COMMENTS = 11;
constexpr DWORD PSINJECT_BEGINDEFAULTS = 12;
constexpr DWORD PSINJECT_ENDDEFAULTS = 13;
constexpr DWORD PSINJECT_BEGINPROLOG = 14;
constexpr DWORD PSINJECT_ENDPROLOG = 15;
constexpr DWORD PSINJECT_BEGINSETUP = 16;
constexpr DWORD PSINJECT_ENDSETUP = 17;
constexpr DWORD PSINJECT_TRAILER = 18;
constexpr DWORD PSINJECT_EOF = 19;
constexpr DWORD PSINJECT_ENDSTREAM = 20;
constexpr DWORD PSINJECT_PAGENUMBER = 100;
constexpr DWORD PSINJECT_BEGINPAGESETUP = 101;
constexpr DWORD PSINJECT_ENDPAGESETUP = 102;
constexpr DWORD PSINJECT_PAGETRAILER = 103;

// GetPDEVAdjustment types.
constexpr DWORD PDEV_ADJUST_PAPER_MARGIN_TYPE = 1;

// ---- attribute data types of IPrintCorePS2 ------------------------------------------------
enum AttributeDataType : DWORD {
    kADT_UNKNOWN = 0,
    kADT_BOOL = 1,
    kADT_INT = 2,
    kADT_LONG = 3,
    kADT_DWORD = 4,
    kADT_ASCII = 5,
    kADT_UNICODE = 6,
    kADT_BINARY = 7,
    kADT_SIZE = 8,
    kADT_RECT = 9,
    kADT_CUSTOMSIZEPARAMS = 10,
};

// The driver's print core as the rendering plug-in sees it. Lists are multi-strings (each
// string terminated, the list ended by an empty one). Sizes of PaperDimension and
// ImageableArea are in micrometres; ImageableArea is {left, top, right, bottom} with the
// printer description's own bottom-up y axis (top = upper edge of the area from the bottom).
struct IPrintCorePS2 : IUnknown {
    virtual HRESULT DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD* pdwBytesWritten) = 0;
    // "feature\0option\0" pairs for the requested features (all when pmszFeaturesRequested is
    // null); a feature the driver does not know is left out of the answer.
    virtual HRESULT GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pmszFeaturesRequested, DWORD cbIn,
                               LPSTR pmszFeatureOptionBuf, DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT SetOptions(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pmszFeatureOptionBuf, DWORD cbIn,
                               DWORD* pdwResult) = 0;
    virtual HRESULT EnumConstrainedOptions(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pszFeatureKeyword,
                                           LPSTR pmszConstrainedOptionList, DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT WhyConstrained(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pszFeatureKeyword, LPCSTR pszOptionKeyword,
                                   LPSTR pmszReasonList, DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT GetGlobalAttribute(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pszAttribute, DWORD* pdwDataType,
                                       BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT GetFeatureAttribute(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pszFeatureKeyword, LPCSTR pszAttribute,
                                        DWORD* pdwDataType, BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT GetOptionAttribute(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pszFeatureKeyword,
                                       LPCSTR pszOptionKeyword, LPCSTR pszAttribute, DWORD* pdwDataType, BYTE* pbData,
                                       DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT EnumFeatures(PDEVOBJ pdevobj, DWORD dwFlags, LPSTR pmszFeatureList, DWORD cbSize,
                                 DWORD* pcbNeeded) = 0;
    virtual HRESULT EnumOptions(PDEVOBJ pdevobj, DWORD dwFlags, LPCSTR pszFeatureKeyword, LPSTR pmszOptionList,
                                DWORD cbSize, DWORD* pcbNeeded) = 0;

protected:
    ~IPrintCorePS2() = default;
};

// The rendering plug-in's interface, in its slot order.
struct IPrintOemPS : IUnknown {
    virtual HRESULT GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, DWORD* pcbNeeded) = 0;
    virtual HRESULT DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) = 0;
    virtual HRESULT EnableDriver(DWORD dwDriverVersion, DWORD cbSize, PDRVENABLEDATA pded) = 0;
    virtual HRESULT DisableDriver() = 0;
    virtual HRESULT EnablePDEV(PDEVOBJ pdevobj, LPWSTR pPrinterName, ULONG cPatterns, HANDLE* phsurfPatterns,
                               ULONG cjGdiInfo, void* pGdiInfo, ULONG cjDevInfo, void* pDevInfo,
                               DRVENABLEDATA* pded, void** pDevOem) = 0;
    virtual HRESULT DisablePDEV(PDEVOBJ pdevobj) = 0;
    virtual HRESULT ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) = 0;
    virtual HRESULT PublishDriverInterface(IUnknown* pIUnknown) = 0;
    virtual HRESULT Command(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pData, DWORD cbSize, DWORD* pdwResult) = 0;

protected:
    ~IPrintOemPS() = default;
};

struct IPrintOemPS2 : IPrintOemPS {
    virtual HRESULT WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer, DWORD* pcbWritten) = 0;
    virtual HRESULT GetPDEVAdjustment(PDEVOBJ pdevobj, DWORD dwAdjustType, PVOID pBuf, DWORD cbBuffer,
                                      BOOL* pbAdjustmentDone) = 0;

protected:
    ~IPrintOemPS2() = default;
};

// The exports of an in-process COM server.
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID rclsid, REFIID riid, void** ppv);
using PFN_DllCanUnloadNow = HRESULT (*)();
