#include "renderer/documentinfo.h"

#include <cstring>

#include "common/debug.h"

namespace {

struct ItemDef {
    DWORD dwKind;
    DWORD dwMax;
};

// Index, kind and maximum size of every item. Wide items (2, 3, 5) hold that many characters.
constexpr ItemDef kItems[DI_ITEM_COUNT] = {
    {DIK_WORD, 2},     {DIK_DWORD, 4},    {DIK_TEXT, 522},   {DIK_TEXT, 257},   {DIK_TEXT, 33},   {DIK_TEXT, 32},
    {DIK_TEXT, 261},   {DIK_WORD, 2},     {DIK_WORD, 2},     {DIK_TEXT, 129},   {DIK_TEXT, 81},   {DIK_TEXT, 64},
    {DIK_TEXT, 64},    {DIK_TEXT, 64},    {DIK_TEXT, 64},    {DIK_TEXT, 64},    {DIK_RECORD, 536}, {DIK_TEXT, 64},
    {DIK_TEXT, 64},    {DIK_TEXT, 64},    {DIK_TEXT, 129},   {DIK_TEXT, 25712}, {DIK_TEXT, 32},   {DIK_TEXT, 32},
    {DIK_DWORD, 4},    {DIK_TEXT, 25712}, {DIK_TEXT, 128},   {DIK_TEXT, 128},   {DIK_TEXT, 128},  {DIK_TEXT, 128},
    {DIK_TEXT, 128},   {DIK_TEXT, 25712},
};

constexpr DWORD kAccountRecordSize = 536;
constexpr DWORD kAccountFlagsAbsent = 28;

DWORD StorageSize(DWORD dwItem)
{
    return DocumentInfo::IsWideItem(dwItem) ? kItems[dwItem].dwMax * sizeof(WCHAR) : kItems[dwItem].dwMax;
}

void PutDword(BYTE* p, DWORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

DWORD GetDwordAt(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

}  // namespace

DocumentInfo::DocumentInfo()
{
    DWORD cbTotal = DI_HEADER_AREA;
    for (DWORD i = 0; i < DI_ITEM_COUNT; ++i) {
        m_offsets[i] = cbTotal;
        cbTotal += (StorageSize(i) + 3) & ~3u;  // wide items stay aligned
    }
    void* p = nullptr;
    if (MemAllocZero(&p, cbTotal)) m_pTable = static_cast<BYTE*>(p);
    if (m_pTable) {
        PutDword(m_pTable, DI_ITEM_COUNT);
        PutDword(m_pTable + 4, cbTotal);
        Start();
    }
}

DocumentInfo::~DocumentInfo()
{
    ReleaseCapture();
    if (m_pTable) MemFree(m_pTable);
}

DocumentInfo::ItemHeader* DocumentInfo::Header(DWORD dwItem) const
{
    return reinterpret_cast<ItemHeader*>(m_pTable + 8 + dwItem * sizeof(ItemHeader));
}

BYTE* DocumentInfo::Data(DWORD dwItem) const { return m_pTable + m_offsets[dwItem]; }

DWORD DocumentInfo::ItemKind(DWORD dwItem) { return dwItem < DI_ITEM_COUNT ? kItems[dwItem].dwKind : 0; }
DWORD DocumentInfo::ItemMax(DWORD dwItem) { return dwItem < DI_ITEM_COUNT ? kItems[dwItem].dwMax : 0; }

void DocumentInfo::Start()
{
    if (!m_pTable) return;
    std::memset(m_pTable + 8, 0, m_offsets[DI_ITEM_COUNT - 1] + StorageSize(DI_ITEM_COUNT - 1) - 8);
    static_assert(8 + DI_ITEM_COUNT * 20 == DI_HEADER_AREA);
    for (DWORD i = 0; i < DI_ITEM_COUNT; ++i) {
        ItemHeader* h = Header(i);
        h->dwIndex = i;
        h->dwKind = kItems[i].dwKind;
        h->dwMax = kItems[i].dwMax;
    }
    BYTE record[kAccountRecordSize] = {};
    PutDword(record, kAccountFlagsAbsent);
    SetRecord(DII_ACCOUNT, record, sizeof(record));
    SetTextW(DII_USERNAME, u"UnknownUser");
    SetTextW(DII_MACHINENAME, u"UnknownHost");
}

bool DocumentInfo::IsSet(DWORD dwItem) const { return m_pTable && dwItem < DI_ITEM_COUNT && Header(dwItem)->bSet; }

void DocumentInfo::Clear(DWORD dwItem)
{
    if (!m_pTable || dwItem >= DI_ITEM_COUNT) return;
    Header(dwItem)->bSet = 0;
    Header(dwItem)->dwLength = 0;
    std::memset(Data(dwItem), 0, StorageSize(dwItem));
}

bool DocumentInfo::Store(DWORD dwItem, const void* pData, DWORD cbData)
{
    if (!m_pTable || dwItem >= DI_ITEM_COUNT || cbData > StorageSize(dwItem)) return false;
    BYTE* p = Data(dwItem);
    std::memset(p, 0, StorageSize(dwItem));
    if (cbData) std::memcpy(p, pData, cbData);
    Header(dwItem)->dwLength = cbData;
    Header(dwItem)->bSet = 1;
    return true;
}

bool DocumentInfo::SetWord(DWORD dwItem, WORD w)
{
    if (ItemKind(dwItem) != DIK_WORD) return false;
    const BYTE b[2] = {static_cast<BYTE>(w), static_cast<BYTE>(w >> 8)};
    return Store(dwItem, b, 2);
}

bool DocumentInfo::SetDword(DWORD dwItem, DWORD dw)
{
    if (ItemKind(dwItem) != DIK_DWORD) return false;
    BYTE b[4];
    PutDword(b, dw);
    return Store(dwItem, b, 4);
}

bool DocumentInfo::SetRecord(DWORD dwItem, const void* pData, DWORD cbData)
{
    if (ItemKind(dwItem) != DIK_RECORD || !pData) return false;
    return Store(dwItem, pData, cbData);
}

bool DocumentInfo::SetText(DWORD dwItem, LPCSTR pszText)
{
    if (ItemKind(dwItem) != DIK_TEXT || IsWideItem(dwItem) || !pszText) return false;
    const DWORD cbMax = kItems[dwItem].dwMax;
    DWORD cb = static_cast<DWORD>(strnlen(pszText, cbMax - 1));
    if (!Store(dwItem, pszText, cb)) return false;
    Header(dwItem)->dwLength = cb + 1;  // with its terminator (already zero)
    return true;
}

bool DocumentInfo::SetTextW(DWORD dwItem, LPCWSTR pszText)
{
    if (!IsWideItem(dwItem) || !pszText) return false;
    const DWORD cchMax = kItems[dwItem].dwMax;
    DWORD cch = 0;
    while (cch + 1 < cchMax && pszText[cch]) ++cch;
    if (!Store(dwItem, pszText, cch * sizeof(WCHAR))) return false;
    Header(dwItem)->dwLength = (cch + 1) * sizeof(WCHAR);
    return true;
}

bool DocumentInfo::GetWord(DWORD dwItem, WORD* pw) const
{
    if (!IsSet(dwItem) || ItemKind(dwItem) != DIK_WORD || !pw) return false;
    const BYTE* p = Data(dwItem);
    *pw = static_cast<WORD>(p[0] | (p[1] << 8));
    return true;
}

bool DocumentInfo::GetDword(DWORD dwItem, DWORD* pdw) const
{
    if (!IsSet(dwItem) || ItemKind(dwItem) != DIK_DWORD || !pdw) return false;
    *pdw = GetDwordAt(Data(dwItem));
    return true;
}

const void* DocumentInfo::GetRecord(DWORD dwItem, DWORD* pcb) const
{
    if (!IsSet(dwItem) || ItemKind(dwItem) != DIK_RECORD) return nullptr;
    if (pcb) *pcb = Header(dwItem)->dwLength;
    return Data(dwItem);
}

LPCSTR DocumentInfo::GetText(DWORD dwItem) const
{
    if (!IsSet(dwItem) || ItemKind(dwItem) != DIK_TEXT || IsWideItem(dwItem)) return nullptr;
    return reinterpret_cast<LPCSTR>(Data(dwItem));
}

LPCWSTR DocumentInfo::GetTextW(DWORD dwItem) const
{
    if (!IsSet(dwItem) || !IsWideItem(dwItem)) return nullptr;
    return reinterpret_cast<LPCWSTR>(Data(dwItem));
}

BYTE* DocumentInfo::Export(DWORD* pcbBlock) const
{
    if (!m_pTable || !pcbBlock) return nullptr;
    // Sizes first: wide items go out in UTF-8.
    DWORD cbTotal = JOBINFO_HEADER;
    DWORD nRecords = 0;
    int cbUtf8[DI_ITEM_COUNT] = {};
    for (DWORD i = 0; i < DI_ITEM_COUNT; ++i) {
        if (!IsSet(i)) continue;
        DWORD cb = Header(i)->dwLength;
        if (IsWideItem(i)) {
            cbUtf8[i] = WideCharToMultiByte(CP_UTF8, 0, GetTextW(i), -1, nullptr, 0, nullptr, nullptr);
            if (cbUtf8[i] <= 0) continue;
            cb = static_cast<DWORD>(cbUtf8[i]);
        }
        cbTotal += JOBINFO_RECORD_HEADER + cb;
        ++nRecords;
    }
    void* p = nullptr;
    if (!MemAllocZero(&p, cbTotal)) return nullptr;
    BYTE* pOut = static_cast<BYTE*>(p);
    PutDword(pOut, JOBINFO_SIGNATURE);
    PutDword(pOut + 4, JOBINFO_VERSION);
    PutDword(pOut + 8, nRecords);
    PutDword(pOut + 12, cbTotal - JOBINFO_HEADER);
    BYTE* pCursor = pOut + JOBINFO_HEADER;
    for (DWORD i = 0; i < DI_ITEM_COUNT; ++i) {
        if (!IsSet(i) || (IsWideItem(i) && cbUtf8[i] <= 0)) continue;
        DWORD cb = IsWideItem(i) ? static_cast<DWORD>(cbUtf8[i]) : Header(i)->dwLength;
        PutDword(pCursor, i);
        PutDword(pCursor + 4, kItems[i].dwKind);
        PutDword(pCursor + 8, cb);
        if (IsWideItem(i)) {
            WideCharToMultiByte(CP_UTF8, 0, GetTextW(i), -1, reinterpret_cast<LPSTR>(pCursor + 12), cbUtf8[i], nullptr,
                                nullptr);
        } else if (cb) {
            std::memcpy(pCursor + 12, Data(i), cb);
        }
        pCursor += JOBINFO_RECORD_HEADER + cb;
    }
    *pcbBlock = cbTotal;
    return pOut;
}

DWORD DocumentInfo::Import(const BYTE* pBlock, DWORD cbBlock)
{
    if (!m_pTable) return JII_TOO_SHORT;
    if (!pBlock || cbBlock < JOBINFO_HEADER) return JII_TOO_SHORT;
    if (GetDwordAt(pBlock) != JOBINFO_SIGNATURE) return JII_SIGNATURE;
    if (GetDwordAt(pBlock + 4) != JOBINFO_VERSION) return JII_VERSION;
    const DWORD nRecords = GetDwordAt(pBlock + 8);
    const DWORD cbRecords = GetDwordAt(pBlock + 12);
    if (cbRecords > cbBlock - JOBINFO_HEADER) return JII_TOO_SHORT;
    const BYTE* pRecords = pBlock + JOBINFO_HEADER;

    // Pass 1: every record must lie inside the stated size and fit its item.
    for (int pass = 0; pass < 2; ++pass) {
        DWORD offset = 0, n = 0;
        while (offset < cbRecords && n < nRecords) {
            if (cbRecords - offset < JOBINFO_RECORD_HEADER) return JII_RECORD_OVERRUN;
            const BYTE* r = pRecords + offset;
            const DWORD dwItem = GetDwordAt(r), dwKind = GetDwordAt(r + 4), cbData = GetDwordAt(r + 8);
            if (cbData > cbRecords - offset - JOBINFO_RECORD_HEADER) return JII_RECORD_OVERRUN;
            if (dwItem >= DI_ITEM_COUNT) return JII_BAD_INDEX;
            if (dwKind != kItems[dwItem].dwKind) return JII_BAD_KIND;
            // Wide items travel as UTF-8: up to three bytes per character.
            const DWORD cbLimit = IsWideItem(dwItem) ? kItems[dwItem].dwMax * 3 : kItems[dwItem].dwMax;
            if (cbData > cbLimit) return JII_TOO_LONG;
            const BYTE* pData = r + JOBINFO_RECORD_HEADER;
            if (dwKind == DIK_WORD && cbData != 2) return JII_TOO_LONG;
            if (dwKind == DIK_DWORD && cbData != 4) return JII_TOO_LONG;
            if (IsWideItem(dwItem)) {
                // The text up to its terminator (or the record's end) must convert and fit.
                const DWORD cbText = static_cast<DWORD>(strnlen(reinterpret_cast<const char*>(pData), cbData));
                WCHAR szWide[522] = {};
                int cch = 0;
                if (cbText) {
                    cch = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<LPCSTR>(pData),
                                              static_cast<int>(cbText), szWide, static_cast<int>(kItems[dwItem].dwMax) - 1);
                    if (cch <= 0) return JII_BAD_TEXT;
                }
                if (pass == 1) {
                    szWide[cch] = 0;
                    SetTextW(dwItem, szWide);
                }
            } else if (pass == 1) {
                if (dwKind == DIK_TEXT) {
                    // Cut at the first terminator; always terminated inside the item.
                    const DWORD cbText = static_cast<DWORD>(strnlen(reinterpret_cast<const char*>(pData), cbData));
                    const DWORD cbKeep = cbText < kItems[dwItem].dwMax ? cbText : kItems[dwItem].dwMax - 1;
                    Store(dwItem, pData, cbKeep);
                    Header(dwItem)->dwLength = cbKeep + 1;
                } else {
                    Store(dwItem, pData, cbData);
                }
            }
            offset += JOBINFO_RECORD_HEADER + cbData;
            ++n;
        }
        if (n < nRecords) return JII_RECORD_OVERRUN;
    }
    return JII_OK;
}

bool DocumentInfo::Capture(const void* pData, DWORD cbData)
{
    if (!cbData) return true;
    if (m_cbCaptured + static_cast<ULONGLONG>(cbData) > 0x7FFFFFFF) return false;
    const DWORD cbNeeded = m_cbCaptured + cbData;
    if (cbNeeded > m_cbCapture) {
        DWORD cbNew = m_cbCapture ? m_cbCapture : CAPTURE_INITIAL;
        while (cbNew < cbNeeded) cbNew *= 2;
        void* p = m_pCapture;
        if (m_pCapture) {
            if (!MemReAlloc(&p, cbNew, TRUE)) return false;
        } else if (!MemAlloc(nullptr, &p, cbNew)) {
            return false;
        }
        m_pCapture = static_cast<BYTE*>(p);
        m_cbCapture = cbNew;
    }
    std::memcpy(m_pCapture + m_cbCaptured, pData, cbData);
    m_cbCaptured = cbNeeded;
    return true;
}

void DocumentInfo::ReleaseCapture()
{
    if (m_pCapture) MemFree(m_pCapture);
    m_pCapture = nullptr;
    m_cbCapture = 0;
    m_cbCaptured = 0;
}
