// The print core the plug-in is given: IPrintCorePS2 over the printer's PPD (CUPS PPD API)
// and the host's own "%" options.
#pragma once

#include <cups/ppd.h>

#include <functional>
#include <map>
#include <string>

#include "platform/oemps.h"

namespace psdriver {

class PpdCore final : public IPrintCorePS2 {
public:
    explicit PpdCore(ppd_file_t* ppd) : m_ppd(ppd) {}
    virtual ~PpdCore() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override { return --m_cRef; }  // owned by the host

    HRESULT DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD* pdwBytesWritten) override;
    HRESULT GetOptions(PDEVOBJ, DWORD, LPCSTR pmszFeaturesRequested, DWORD cbIn, LPSTR pmszFeatureOptionBuf,
                       DWORD cbSize, DWORD* pcbNeeded) override;
    HRESULT SetOptions(PDEVOBJ, DWORD, LPCSTR pmszFeatureOptionBuf, DWORD cbIn, DWORD* pdwResult) override;
    HRESULT EnumConstrainedOptions(PDEVOBJ, DWORD, LPCSTR, LPSTR, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT WhyConstrained(PDEVOBJ, DWORD, LPCSTR, LPCSTR, LPSTR, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetGlobalAttribute(PDEVOBJ, DWORD, LPCSTR pszAttribute, DWORD* pdwDataType, BYTE* pbData, DWORD cbSize,
                               DWORD* pcbNeeded) override;
    HRESULT GetFeatureAttribute(PDEVOBJ, DWORD, LPCSTR pszFeatureKeyword, LPCSTR pszAttribute, DWORD* pdwDataType,
                                BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded) override;
    HRESULT GetOptionAttribute(PDEVOBJ, DWORD, LPCSTR pszFeatureKeyword, LPCSTR pszOptionKeyword, LPCSTR pszAttribute,
                               DWORD* pdwDataType, BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded) override;
    HRESULT EnumFeatures(PDEVOBJ, DWORD, LPSTR pmszFeatureList, DWORD cbSize, DWORD* pcbNeeded) override;
    HRESULT EnumOptions(PDEVOBJ, DWORD, LPCSTR pszFeatureKeyword, LPSTR pmszOptionList, DWORD cbSize,
                        DWORD* pcbNeeded) override;

    // The host's options ("%..."), and where the plug-in's spool-buffer writes go.
    std::map<std::string, std::string> hostOptions;
    std::function<bool(const void*, DWORD)> writer;
    ppd_file_t* ppd() const { return m_ppd; }
    // Current option of a feature ("%" or PPD); empty when unknown.
    std::string Option(const std::string& feature) const;

private:
    ppd_file_t* m_ppd;
    ULONG m_cRef = 1;
};

}  // namespace psdriver
