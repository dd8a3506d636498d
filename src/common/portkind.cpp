#include "portkind.h"

namespace {

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

bool StartsWith(LPCWSTR psz, LPCWSTR pszPrefix)
{
    while (*pszPrefix)
        if (*psz++ != *pszPrefix++) return false;
    return true;
}

}  // namespace

bool IsLocalPort(LPCWSTR pszPort)
{
    if (!pszPort) return false;
    if (StartsWith(pszPort, u"LPT")) {
        LPCWSTR p = pszPort + 3;
        if (!IsDigit(*p)) return false;
        while (IsDigit(*p)) ++p;
        return *p == u':';
    }
    if (StartsWith(pszPort, u"USB")) {
        LPCWSTR p = pszPort + 3;
        for (int n = 0; n < 3 && IsDigit(*p); ++n) ++p;
        return *p == 0 || *p == u',';
    }
    return false;
}
