#include "renderer/propertyline.h"

#include <cstdio>
#include <cstring>

#include "renderer/renderingfunction.h"

namespace {
constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

LPSTR FormatPropertyLine(LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize, const void* pData,
                         DWORD* pcbLine, HRESULT* phr)
{
    *phr = S_OK;
    if (dwType != PROPERTY_TYPE_BINARY) {
        *phr = E_NOTIMPL;
        return nullptr;
    }
    if (!pszOwner || !pszName || (cbSize && !pData) || cbSize > 0x3FFFFFF0) {
        *phr = E_INVALIDARG;
        return nullptr;
    }
    const DWORD cbNeeded = 2 * cbSize + 324;
    void* p = nullptr;
    if (!MemAllocZero(&p, cbNeeded)) {
        *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    char* psz = static_cast<char*>(p);
    const int n = std::snprintf(psz, 320, "%%%%KTPS PROPERTY owner=%.80s name=%.80s type=%s size=%d data=", pszOwner,
                                pszName, "BINARY", static_cast<int>(cbSize));
    char* pOut = psz + n;
    const auto* pb = static_cast<const BYTE*>(pData);
    for (DWORD i = 0; i < cbSize; ++i) {
        *pOut++ = kHex[pb[i] >> 4];
        *pOut++ = kHex[pb[i] & 15];
    }
    *pOut++ = '\r';
    *pOut++ = '\n';
    *pcbLine = static_cast<DWORD>(pOut - psz);
    return psz;
}

HRESULT WritePropertyLine(IRenderingSystem* pSystem, LPCSTR pszOwner, LPCSTR pszName, DWORD dwType, DWORD cbSize,
                          const void* pData)
{
    if (!pSystem) return E_INVALIDARG;
    DWORD cbLine = 0;
    HRESULT hr = S_OK;
    LPSTR psz = FormatPropertyLine(pszOwner, pszName, dwType, cbSize, pData, &cbLine, &hr);
    if (!psz) return hr;
    hr = pSystem->WriteOutput(psz, cbLine);
    MemFree(psz);
    return hr;
}

bool IsPropertyLine(const char* pszText, size_t cbText)
{
    static constexpr char kPrefix[] = "%KTPS PROPERTY ";
    return pszText && cbText >= 15 && std::memcmp(pszText, kPrefix, 15) == 0;
}

bool ParsePropertyLine(const char* pszLine, size_t cbLine, ParsedProperty* pOut)
{
    if (!pszLine || !pOut) return false;
    // A bounded, terminated copy of the header part for sscanf.
    const char* pData = static_cast<const char*>(std::memchr(pszLine, '\0', cbLine));
    const size_t cbText = pData ? static_cast<size_t>(pData - pszLine) : cbLine;
    std::string text(pszLine, cbText);
    pOut->szOwner[0] = pOut->szName[0] = pOut->szType[0] = 0;
    pOut->nSize = 0;
    const int nFields = std::sscanf(text.c_str(), "%%%%KTPS PROPERTY owner=%80s name=%80s type=%80s size=%d data=",
                                    pOut->szOwner, pOut->szName, pOut->szType, &pOut->nSize);
    if (nFields < 4 || pOut->nSize < 0) return false;
    const size_t pos = text.find("data=");
    if (pos == std::string::npos) return false;
    size_t i = pos + 5;
    const size_t cbData = static_cast<size_t>(pOut->nSize);
    if (text.size() - i < 2 * cbData) return false;
    pOut->data.assign(cbData, '\0');
    for (size_t k = 0; k < cbData; ++k) {
        const int hi = HexValue(text[i + 2 * k]), lo = HexValue(text[i + 2 * k + 1]);
        if (hi < 0 || lo < 0) return false;
        pOut->data[k] = static_cast<char>((hi << 4) | lo);
    }
    i += 2 * cbData;
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
    pOut->cbConsumed = i;
    pOut->dwType = PROPERTY_TYPE_BINARY;
    return true;
}

namespace {

class PropertyHandler final : public RenderingFunction {
public:
    LPCSTR Name() const override { return "PropertyHandler"; }
};

}  // namespace

RenderingFunction* CreatePropertyHandlerFunction() { return new PropertyHandler; }
