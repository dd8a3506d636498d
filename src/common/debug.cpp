#include "debug.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "coremain.h"

namespace {

constexpr size_t kLineLimit = 255;
constexpr DWORD kTempPathLimit = 259;

const char* const kLevelNames[] = {"NONE", "INFO", "NOTICE", "WARN", "ERROR", "ASSERT"};

const char* FileNameOf(const char* pszPath)
{
    const char* pszName = pszPath;
    for (const char* p = pszPath; *p; ++p)
        if (*p == '\\' || *p == '/') pszName = p + 1;
    return pszName;
}

std::string BuildPrefix(DWORD dwLevel, const char* pszSourcePath, int nLine, const char* pszContext)
{
    std::string prefix = platform::Format("KTPS[%s]: ", kLevelNames[dwLevel]);
    if (pszSourcePath && *pszSourcePath) prefix += platform::Format("%s(%d): ", FileNameOf(pszSourcePath), nLine);
    if (pszContext && *pszContext) prefix += platform::Format("%s: ", pszContext);
    if (prefix.size() > kLineLimit) prefix.resize(kLineLimit);
    return prefix;
}

void WriteLogLine(std::string line)
{
    SYSTEMTIME st{};
    GetLocalTime(&st);
    const std::string stamp = platform::Format("%04d/%02d/%02d %02d:%02d:%02d ", st.wYear, st.wMonth, st.wDay,
                                               st.wHour, st.wMinute, st.wSecond);
    WCHAR szPath[MAX_PATH * 2 + 8] = {};
    if (!GetDebugLogPath(szPath, sizeof szPath / sizeof szPath[0])) return;
    HANDLE hFile = CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return;
    SetFilePointer(hFile, 0, nullptr, FILE_END);
    // A message that ends its line itself loses that line feed: every line ends in CR LF.
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line += "\r\n";
    DWORD dwWritten = 0;
    WriteFile(hFile, stamp.data(), static_cast<DWORD>(stamp.size()), &dwWritten, nullptr);
    WriteFile(hFile, line.data(), static_cast<DWORD>(line.size()), &dwWritten, nullptr);
    CloseHandle(hFile);
}

}  // namespace

bool GetDebugLogPath(LPWSTR pszPath, DWORD cchPath)
{
    WCHAR szTemp[MAX_PATH + 1] = {};
    const DWORD dwLength = GetTempPathW(MAX_PATH + 1, szTemp);
    if (dwLength == 0 || dwLength > kTempPathLimit) return false;
    const std::u16string path = std::u16string(szTemp) + g_Core.szModuleFile + u".log";
    if (path.size() >= cchPath) return false;
    lstrcpynW(pszPath, path.c_str(), static_cast<int>(cchPath));
    return true;
}

void DebugOut(DWORD dwLevel, const char* pszSourcePath, int nLine, const char* pszContext, const char* pszFormat, ...)
{
    if (!pszFormat) return;
    if (g_Core.dwDebugLevel == 0 || dwLevel < g_Core.dwDebugLevel || dwLevel > DBG_ASSERT) return;
    std::string line = BuildPrefix(dwLevel, pszSourcePath, nLine, pszContext);
    va_list args;
    va_start(args, pszFormat);
    line += platform::FormatV(pszFormat, args);
    va_end(args);
    if (line.size() > kLineLimit) line.resize(kLineLimit);
    WriteLogLine(std::move(line));
}
