#include "secret.h"

#include <cstring>

namespace {

constexpr char kKey[4] = {'k', 'd', 'm', 'b'};
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict base64: length a multiple of 4, "=" only as the last one or two characters.
bool Base64Decode(const char* pszText, BYTE* pOut, DWORD cbMax, DWORD* pcbOut)
{
    const size_t cch = std::strlen(pszText);
    if (cch % 4 != 0) return false;
    DWORD cb = 0;
    for (size_t i = 0; i < cch; i += 4) {
        int v[4];
        int nPad = 0;
        for (int j = 0; j < 4; ++j) {
            const char c = pszText[i + j];
            if (c == '=' && i + 4 == cch && j >= 2) {
                v[j] = 0;
                ++nPad;
                continue;
            }
            if (nPad) return false;  // data after padding
            v[j] = Base64Value(c);
            if (v[j] < 0) return false;
        }
        const DWORD triple = (static_cast<DWORD>(v[0]) << 18) | (static_cast<DWORD>(v[1]) << 12) |
                             (static_cast<DWORD>(v[2]) << 6) | static_cast<DWORD>(v[3]);
        const int nBytes = 3 - nPad;
        for (int k = 0; k < nBytes; ++k) {
            if (cb >= cbMax) return false;
            pOut[cb++] = static_cast<BYTE>(triple >> (16 - 8 * k));
        }
    }
    *pcbOut = cb;
    return true;
}

}  // namespace

bool EncodeSecret(LPCSTR pszPlain, LPSTR pszOut, DWORD cbOut)
{
    if (!pszPlain || !pszOut) return false;
    const size_t cb = std::strlen(pszPlain);
    const size_t cbNeeded = (cb + 2) / 3 * 4 + 1;
    if (cbNeeded > cbOut) {
        if (cbOut) pszOut[0] = '\0';
        return false;
    }
    size_t o = 0;
    for (size_t i = 0; i < cb; i += 3) {
        BYTE in[3] = {};
        const size_t n = cb - i < 3 ? cb - i : 3;
        for (size_t k = 0; k < n; ++k) in[k] = static_cast<BYTE>(pszPlain[i + k] ^ kKey[(i + k) % 4]);
        const DWORD triple = (static_cast<DWORD>(in[0]) << 16) | (static_cast<DWORD>(in[1]) << 8) | in[2];
        pszOut[o++] = kAlphabet[(triple >> 18) & 0x3F];
        pszOut[o++] = kAlphabet[(triple >> 12) & 0x3F];
        pszOut[o++] = n > 1 ? kAlphabet[(triple >> 6) & 0x3F] : '=';
        pszOut[o++] = n > 2 ? kAlphabet[triple & 0x3F] : '=';
    }
    pszOut[o] = '\0';
    return true;
}

bool DecodeSecret(LPCSTR pszEncoded, LPSTR pszOut, DWORD cbOut)
{
    if (!pszEncoded || !pszOut || cbOut == 0) return false;
    pszOut[0] = '\0';
    if (!*pszEncoded) return true;
    BYTE work[SECRET_DECODE_LIMIT];
    DWORD cb = 0;
    if (!Base64Decode(pszEncoded, work, sizeof work, &cb)) return false;
    if (cb + 1 > cbOut) return false;
    for (DWORD i = 0; i < cb; ++i) pszOut[i] = static_cast<char>(work[i] ^ static_cast<BYTE>(kKey[i % 4]));
    pszOut[cb] = '\0';
    return true;
}

bool GetStoredSecret(LPCWSTR pszStored, bool bEncoded, LPSTR pszOut, DWORD cbOut)
{
    if (!pszOut || cbOut == 0) return false;
    pszOut[0] = '\0';
    if (!pszStored) return false;
    char szText[256] = {};
    BOOL bUsedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, pszStored, -1, szText, sizeof szText, nullptr, &bUsedDefault) <= 0) return false;
    if (bEncoded) return DecodeSecret(szText, pszOut, cbOut);
    const size_t cb = std::strlen(szText);
    if (cb + 1 > cbOut) return false;
    std::memcpy(pszOut, szText, cb + 1);
    return true;
}
