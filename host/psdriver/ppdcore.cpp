#include "ppdcore.h"

#include <cstring>
#include <string>

#include "platform/wstring.h"

namespace psdriver {

namespace {

HRESULT Answer(const void* data, DWORD cb, DWORD type, DWORD* pdwDataType, BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded)
{
    if (pdwDataType) *pdwDataType = type;
    if (pcbNeeded) *pcbNeeded = cb;
    if (!pbData || cbSize < cb) return E_OUTOFMEMORY;
    std::memcpy(pbData, data, cb);
    return S_OK;
}

HRESULT AnswerList(const std::string& list, LPSTR buf, DWORD cbSize, DWORD* pcbNeeded)
{
    // list holds its strings each terminated; the list's end is one more terminator.
    std::string all = list;
    all.push_back('\0');
    if (pcbNeeded) *pcbNeeded = static_cast<DWORD>(all.size());
    if (!buf || cbSize < all.size()) return E_OUTOFMEMORY;
    std::memcpy(buf, all.data(), all.size());
    return S_OK;
}

LONG Micrometres(float points) { return static_cast<LONG>(points * 25400.0f / 72.0f + 0.5f); }

}  // namespace

HRESULT PpdCore::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPrintCorePS2) {
        *ppv = static_cast<IPrintCorePS2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT PpdCore::DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD* pdwBytesWritten)
{
    if (pdwBytesWritten) *pdwBytesWritten = 0;
    if (!writer || (!pBuffer && cbSize)) return E_FAIL;
    if (!writer(pBuffer, cbSize)) return E_FAIL;
    if (pdwBytesWritten) *pdwBytesWritten = cbSize;
    return S_OK;
}

std::string PpdCore::Option(const std::string& feature) const
{
    if (!feature.empty() && feature[0] == '%') {
        auto it = hostOptions.find(feature);
        return it == hostOptions.end() ? std::string() : it->second;
    }
    ppd_choice_t* c = ppdFindMarkedChoice(m_ppd, feature.c_str());
    return c ? c->choice : "";
}

HRESULT PpdCore::GetOptions(PDEVOBJ, DWORD, LPCSTR pmszFeaturesRequested, DWORD cbIn, LPSTR buf, DWORD cbSize,
                            DWORD* pcbNeeded)
{
    std::string list;
    if (!pmszFeaturesRequested) {
        for (const auto& [k, v] : hostOptions) list += k + '\0' + v + '\0';
        for (int g = 0; g < m_ppd->num_groups; ++g)
            for (int o = 0; o < m_ppd->groups[g].num_options; ++o) {
                const std::string key = m_ppd->groups[g].options[o].keyword;
                const std::string v = Option(key);
                if (!v.empty()) list += key + '\0' + v + '\0';
            }
        return AnswerList(list, buf, cbSize, pcbNeeded);
    }
    // A feature the driver does not know is left out of the answer.
    DWORD pos = 0;
    while (pos < cbIn && pmszFeaturesRequested[pos]) {
        const size_t n = strnlen(pmszFeaturesRequested + pos, cbIn - pos);
        const std::string key(pmszFeaturesRequested + pos, n);
        const std::string v = Option(key);
        if (!v.empty()) list += key + '\0' + v + '\0';
        pos += static_cast<DWORD>(n + 1);
    }
    return AnswerList(list, buf, cbSize, pcbNeeded);
}

HRESULT PpdCore::SetOptions(PDEVOBJ, DWORD, LPCSTR buf, DWORD cbIn, DWORD* pdwResult)
{
    if (pdwResult) *pdwResult = 0;
    DWORD pos = 0;
    while (pos < cbIn && buf[pos]) {
        const std::string key(buf + pos);
        pos += static_cast<DWORD>(key.size() + 1);
        if (pos >= cbIn) return E_INVALIDARG;
        const std::string value(buf + pos);
        pos += static_cast<DWORD>(value.size() + 1);
        if (!key.empty() && key[0] == '%') hostOptions[key] = value;
        else if (!ppdFindChoice(ppdFindOption(m_ppd, key.c_str()), value.c_str())) return E_INVALIDARG;
        else ppdMarkOption(m_ppd, key.c_str(), value.c_str());
    }
    return S_OK;
}

HRESULT PpdCore::GetGlobalAttribute(PDEVOBJ, DWORD, LPCSTR pszAttribute, DWORD* pdwDataType, BYTE* pbData,
                                    DWORD cbSize, DWORD* pcbNeeded)
{
    if (!pszAttribute) return E_INVALIDARG;
    if (std::strcmp(pszAttribute, "ColorDevice") == 0) {
        const BOOL b = m_ppd->color_device ? TRUE : FALSE;
        return Answer(&b, sizeof(b), kADT_BOOL, pdwDataType, pbData, cbSize, pcbNeeded);
    }
    ppd_attr_t* a = ppdFindAttr(m_ppd, pszAttribute, nullptr);
    if (!a || !a->value) return E_INVALIDARG;
    return Answer(a->value, static_cast<DWORD>(std::strlen(a->value) + 1), kADT_ASCII, pdwDataType, pbData, cbSize,
                  pcbNeeded);
}

HRESULT PpdCore::GetFeatureAttribute(PDEVOBJ, DWORD, LPCSTR pszFeature, LPCSTR pszAttribute, DWORD* pdwDataType,
                                     BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded)
{
    ppd_option_t* o = pszFeature ? ppdFindOption(m_ppd, pszFeature) : nullptr;
    if (!o || !pszAttribute) return E_INVALIDARG;
    if (std::strcmp(pszAttribute, "DisplayName") == 0) {
        const std::u16string w = platform::Widen(o->text);
        return Answer(w.c_str(), static_cast<DWORD>((w.size() + 1) * 2), kADT_UNICODE, pdwDataType, pbData, cbSize, pcbNeeded);
    }
    if (std::strcmp(pszAttribute, "DefaultOption") == 0)
        return Answer(o->defchoice, static_cast<DWORD>(std::strlen(o->defchoice) + 1), kADT_ASCII, pdwDataType, pbData,
                      cbSize, pcbNeeded);
    return E_INVALIDARG;
}

HRESULT PpdCore::GetOptionAttribute(PDEVOBJ, DWORD, LPCSTR pszFeature, LPCSTR pszOption, LPCSTR pszAttribute,
                                    DWORD* pdwDataType, BYTE* pbData, DWORD cbSize, DWORD* pcbNeeded)
{
    if (!pszFeature || !pszOption || !pszAttribute) return E_INVALIDARG;
    ppd_choice_t* c = ppdFindChoice(ppdFindOption(m_ppd, pszFeature), pszOption);
    if (!c) return E_INVALIDARG;
    if (std::strcmp(pszAttribute, "Invocation") == 0) {
        const char* code = c->code ? c->code : "";
        return Answer(code, static_cast<DWORD>(std::strlen(code)), kADT_BINARY, pdwDataType, pbData, cbSize, pcbNeeded);
    }
    if (std::strcmp(pszAttribute, "DisplayName") == 0) {
        const std::u16string w = platform::Widen(c->text);
        return Answer(w.c_str(), static_cast<DWORD>((w.size() + 1) * 2), kADT_UNICODE, pdwDataType, pbData, cbSize, pcbNeeded);
    }
    if (std::strcmp(pszFeature, "PageSize") == 0 || std::strcmp(pszFeature, "PageRegion") == 0) {
        ppd_size_t* s = ppdPageSize(m_ppd, pszOption);
        if (!s || s->width <= 0 || s->length <= 0) return E_INVALIDARG;
        if (std::strcmp(pszAttribute, "PaperDimension") == 0) {
            const LONG size[2] = {Micrometres(s->width), Micrometres(s->length)};
            return Answer(size, sizeof(size), kADT_SIZE, pdwDataType, pbData, cbSize, pcbNeeded);
        }
        if (std::strcmp(pszAttribute, "ImageableArea") == 0) {
            // {left, top, right, bottom} on the PPD's own bottom-up axis.
            const LONG rc[4] = {Micrometres(s->left), Micrometres(s->top), Micrometres(s->right), Micrometres(s->bottom)};
            return Answer(rc, sizeof(rc), kADT_RECT, pdwDataType, pbData, cbSize, pcbNeeded);
        }
    }
    return E_INVALIDARG;
}

HRESULT PpdCore::EnumFeatures(PDEVOBJ, DWORD, LPSTR buf, DWORD cbSize, DWORD* pcbNeeded)
{
    std::string list;
    for (const auto& [k, v] : hostOptions) list += k + '\0';
    for (int g = 0; g < m_ppd->num_groups; ++g)
        for (int o = 0; o < m_ppd->groups[g].num_options; ++o) list += std::string(m_ppd->groups[g].options[o].keyword) + '\0';
    return AnswerList(list, buf, cbSize, pcbNeeded);
}

HRESULT PpdCore::EnumOptions(PDEVOBJ, DWORD, LPCSTR pszFeature, LPSTR buf, DWORD cbSize, DWORD* pcbNeeded)
{
    ppd_option_t* o = pszFeature ? ppdFindOption(m_ppd, pszFeature) : nullptr;
    if (!o) return E_INVALIDARG;
    std::string list;
    for (int i = 0; i < o->num_choices; ++i) {
        // CUPS's own stand-in choice for a custom size is not an option of the printer's list.
        if (std::strcmp(o->choices[i].choice, "Custom") == 0) continue;
        list += std::string(o->choices[i].choice) + '\0';
    }
    return AnswerList(list, buf, cbSize, pcbNeeded);
}

}  // namespace psdriver
