// The facts of one job that the rendering functions share: 32 typed items, their export form
// (the job-information block), and the capture buffer that holds back the stream's start.
#pragma once

#include "common/memory.h"
#include "platform/win32.h"

constexpr DWORD DI_ITEM_COUNT = 32;
constexpr DWORD DI_HEADER_AREA = 648;  // table header and item headers before the item data

// Item kinds.
constexpr DWORD DIK_WORD = 1;
constexpr DWORD DIK_DWORD = 2;
constexpr DWORD DIK_RECORD = 3;
constexpr DWORD DIK_TEXT = 4;

// Items used by the plug-in.
enum DocumentInfoItem : DWORD {
    DII_JOBID = 1,
    DII_DOCNAME = 2,        // wide
    DII_USERNAME = 3,       // wide
    DII_PORTNAME = 4,
    DII_MACHINENAME = 5,    // wide
    DII_PRINTERNAME = 6,
    DII_NUP = 7,
    DII_TABMARGINSHIFT = 8,
    DII_DOCMONIDS = 9,
    DII_OUTPUTBIN = 10,
    DII_OWNERNAME = 11,
    DII_OWNERPASSWORD = 12,
    DII_OWNERSTRING = 14,
    DII_HOSTADDRESS = 15,
    DII_ACCOUNT = 16,
    DII_SECUREUSER = 17,
    DII_SECUREPIN = 18,
    DII_HEADERDOCNAME = 19,
    DII_MAILADDRESS = 20,
    DII_FAX = 21,
};

constexpr DWORD JOBINFO_SIGNATURE = 0x4B744A49;  // "IJtK"
constexpr DWORD JOBINFO_VERSION = 1;
constexpr DWORD JOBINFO_HEADER = 16;
constexpr DWORD JOBINFO_RECORD_HEADER = 12;

constexpr DWORD CAPTURE_INITIAL = 0x10000;
constexpr DWORD CAPTURE_LIMIT = 0x3FF000;

// Why an import was refused (0 when it was taken).
enum JobInfoImportResult : DWORD {
    JII_OK = 0,
    JII_TOO_SHORT = 1,       // fewer bytes than the header, or than the stated size
    JII_SIGNATURE = 2,
    JII_VERSION = 3,
    JII_RECORD_OVERRUN = 4,  // a record runs past the stated size
    JII_BAD_INDEX = 5,       // item index 32 or more
    JII_BAD_KIND = 6,        // kind differs from the item's
    JII_TOO_LONG = 7,        // data longer than the item's maximum
    JII_BAD_TEXT = 8,        // text not convertible
    JII_COUNT = 9,           // more records than the stated count allows
};

class DocumentInfo : public HeapObject {
public:
    DocumentInfo();
    ~DocumentInfo();
    DocumentInfo(const DocumentInfo&) = delete;
    DocumentInfo& operator=(const DocumentInfo&) = delete;

    bool IsValid() const { return m_pTable != nullptr; }
    // Clears the table, sets item 16 to the empty account record and items 3 and 5 to their
    // start values.
    void Start();

    static DWORD ItemKind(DWORD dwItem);
    static DWORD ItemMax(DWORD dwItem);
    static bool IsWideItem(DWORD dwItem) { return dwItem == 2 || dwItem == 3 || dwItem == 5; }

    bool IsSet(DWORD dwItem) const;
    void Clear(DWORD dwItem);
    bool SetWord(DWORD dwItem, WORD w);
    bool SetDword(DWORD dwItem, DWORD dw);
    bool SetRecord(DWORD dwItem, const void* pData, DWORD cbData);
    bool SetText(DWORD dwItem, LPCSTR pszText);    // 8-bit items; cut to the item
    bool SetTextW(DWORD dwItem, LPCWSTR pszText);  // wide items; cut to the item
    bool GetWord(DWORD dwItem, WORD* pw) const;
    bool GetDword(DWORD dwItem, DWORD* pdw) const;
    const void* GetRecord(DWORD dwItem, DWORD* pcb = nullptr) const;
    LPCSTR GetText(DWORD dwItem) const;   // null when unset or not 8-bit text
    LPCWSTR GetTextW(DWORD dwItem) const; // null when unset or not wide text

    // The job-information block: the set items in index order. Heap memory the caller frees
    // with MemFree; null when it cannot be had.
    BYTE* Export(DWORD* pcbBlock) const;
    // Validates the whole block first; sets its items only when all of it is sound.
    DWORD Import(const BYTE* pBlock, DWORD cbBlock);

    // Marks.
    bool ended = false;
    bool passThrough = false;

    // The capture buffer.
    bool Capture(const void* pData, DWORD cbData);
    const BYTE* Captured() const { return m_pCapture; }
    DWORD CapturedSize() const { return m_cbCaptured; }
    void ReleaseCapture();

private:
    struct ItemHeader {
        DWORD dwIndex;
        DWORD dwKind;
        DWORD dwMax;
        DWORD dwLength;
        DWORD bSet;
    };
    ItemHeader* Header(DWORD dwItem) const;
    BYTE* Data(DWORD dwItem) const;
    bool Store(DWORD dwItem, const void* pData, DWORD cbData);

    BYTE* m_pTable = nullptr;
    DWORD m_offsets[DI_ITEM_COUNT] = {};
    BYTE* m_pCapture = nullptr;
    DWORD m_cbCapture = 0;
    DWORD m_cbCaptured = 0;
};
