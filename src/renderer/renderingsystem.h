// The rendering plug-in's internal interfaces: the rendering system that the rendering
// functions are given, the rendering events, and the base of every reference-counted object.
#pragma once

#include "common/memory.h"
#include "platform/oemps.h"
#include "platform/win32.h"

class DocumentInfo;

// The system's own identifiers.
inline constexpr IID IID_IRenderingSystem = {0x91B71B91, 0xF738, 0x4559, {0xA5, 0x85, 0xE2, 0xC3, 0xEE, 0x02, 0x8C, 0xB7}};
inline constexpr IID IID_IRenderingFunction = {0xFF01F86A, 0x4A88, 0x443E, {0x80, 0xB2, 0x75, 0xA3, 0xD2, 0x2F, 0x83, 0x69}};

// Rendering events fired into the function container.
enum RenderingEvent : DWORD {
    RF_STARTDOC = 1,
    RF_ENDDOC = 2,
    RF_BEGINSTREAM = 3,
    RF_ENDSTREAM = 4,
    RF_JOBHEADER = 5,
    RF_PREENDSTREAM = 6,
    RF_INJECT = 7,
};

// Kinds of rendering system.
constexpr DWORD RS_KIND_SERIALIZE = 1;
constexpr DWORD RS_KIND_DIRECT = 2;

// Data of RF_STARTDOC.
struct RfStartDocData {
    LPCWSTR pszDocName;
    DWORD dwJobId;
};

struct IRenderingSystem : IUnknown {
    virtual HRESULT GetKind(DWORD* pdwKind) = 0;
    virtual HRESULT GetDevObj(PDEVOBJ* ppdevobj) = 0;
    virtual HRESULT GetDriverInterface(IUnknown** ppUnknown) = 0;  // with a reference
    virtual HRESULT GetPrinterHandle(HANDLE* phPrinter) = 0;
    virtual HRESULT GetDevmodes(PDEVMODEW* ppPublic, void** ppPrivate) = 0;
    virtual HRESULT GetDocumentInfo(DocumentInfo** ppInfo) = 0;
    virtual HRESULT WriteProperty(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize, const void* pData) = 0;
    virtual HRESULT WriteOutput(const void* pData, DWORD cbSize) = 0;      // the host's output
    virtual HRESULT Reserved() = 0;                                         // E_NOTIMPL
    virtual HRESULT WriteSpooler(const void* pData, DWORD cbSize) = 0;     // straight to the spooler
    virtual HRESULT WriteSpoolBuf(const void* pData, DWORD cbSize) = 0;    // through the spool buffer

protected:
    ~IRenderingSystem() = default;
};

// Module-wide counters of the COM server.
extern volatile LONG g_cServerLocks;
extern volatile LONG g_cLiveObjects;

// Base of the reference-counted objects: counts itself among the module's live objects.
class RenderingUnknown : public HeapObject {
public:
    RenderingUnknown() { InterlockedIncrement(&g_cLiveObjects); }
    virtual ~RenderingUnknown() { InterlockedDecrement(&g_cLiveObjects); }
    RenderingUnknown(const RenderingUnknown&) = delete;
    RenderingUnknown& operator=(const RenderingUnknown&) = delete;

protected:
    ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }
    ULONG ReleaseImpl()
    {
        const LONG c = InterlockedDecrement(&m_cRef);
        if (c == 0) delete this;
        return static_cast<ULONG>(c);
    }

private:
    volatile LONG m_cRef = 1;
};
