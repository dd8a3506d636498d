#include "pictures.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "modeltables.h"

namespace {

// The longest string list the picture lookup works on; a longer one reads as empty.
constexpr size_t kListLimit = 3072;

// The strings of a double-NUL-terminated list, read no further than the limit.
std::vector<std::string_view> SplitList(const char* pszList)
{
    std::vector<std::string_view> items;
    if (!pszList) return items;
    size_t used = 0;
    for (const char* p = pszList; *p;) {
        const size_t len = strnlen(p, kListLimit - used);
        used += len + 1;
        if (used >= kListLimit) return {};
        items.emplace_back(p, len);
        p += len + 1;
    }
    return items;
}

size_t ListBytes(const char* pszList)
{
    size_t n = 0;
    while (pszList[n]) n += std::strlen(pszList + n) + 1;
    return n + 1;
}

}  // namespace

void CopyPictureKeywords(const DWORD* pcbBuffer, BYTE* pOut)
{
    const size_t cbList = ListBytes(kPictureKeywords);
    if (!pcbBuffer || !pOut || *pcbBuffer < cbList) return;
    std::memcpy(pOut, kPictureKeywords, cbList);
}

DWORD FindPictureId(const char* pszPairs)
{
    const std::vector<std::string_view> pairs = SplitList(pszPairs);
    std::vector<std::string_view> values;
    for (std::string_view keyword : SplitList(kPictureKeywords)) {
        // The first equal string counts only where it stands as a keyword (even position).
        for (size_t i = 0; i < pairs.size(); ++i) {
            if (pairs[i] != keyword) continue;
            if (i % 2 == 0 && i + 1 < pairs.size()) values.push_back(pairs[i + 1]);
            break;
        }
    }
    for (const PictureEntry* entry = kPictureTable; entry->pszOptions; ++entry)
        if (SplitList(entry->pszOptions) == values) return entry->dwPicture;
    return 0;
}
