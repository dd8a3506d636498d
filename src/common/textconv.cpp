#include "textconv.h"

int WideToMultiByte(LPCWSTR pszSource, LPSTR pszDest, int cbDest, UINT uCodePage)
{
    if (!pszSource || !pszDest) return 0;
    return WideCharToMultiByte(uCodePage, 0, pszSource, -1, pszDest, cbDest, nullptr, nullptr);
}

int MultiByteToWide(LPCSTR pszSource, LPWSTR pszDest, int cchDest, UINT uCodePage)
{
    if (!pszSource || !pszDest) return 0;
    return MultiByteToWideChar(uCodePage, 0, pszSource, -1, pszDest, cchDest);
}
