#include "renderer/pjlheader.h"

#include <cstdio>
#include <cstring>

#include "common/debug.h"
#include "common/modelbinding.h"
#include "common/stringrule.h"
#include "modellib/oupm.h"
#include "platform/system.h"
#include "renderer/jobstrings.h"

namespace {

constexpr char kUEL[] = "\x1B%-12345X";

struct LimitRow {
    DWORD dwKey;
    DWORD dwFlags;
    WORD wMin;
    WORD wMax;
};

enum LimitKey : DWORD { LK_HOST = 1, LK_OWNER = 2, LK_DOCNAME = 7, LK_JOBNAME = 8 };

// 8-bit text of the system code page from wide text.
std::string Ansi(LPCWSTR psz)
{
    if (!psz || !*psz) return {};
    const int cb = WideCharToMultiByte(CP_ACP, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 0) return {};
    std::string s(static_cast<size_t>(cb), '\0');
    WideCharToMultiByte(CP_ACP, 0, psz, -1, s.data(), cb, nullptr, nullptr);
    s.resize(static_cast<size_t>(cb - 1));
    return s;
}

// UTF-8 from wide text; false when it does not convert.
bool Utf8(LPCWSTR psz, std::string* pOut)
{
    pOut->clear();
    if (!psz || !*psz) return true;
    const int cb = WideCharToMultiByte(CP_UTF8, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 0) return false;
    pOut->assign(static_cast<size_t>(cb), '\0');
    WideCharToMultiByte(CP_UTF8, 0, psz, -1, pOut->data(), cb, nullptr, nullptr);
    pOut->resize(static_cast<size_t>(cb - 1));
    return true;
}

std::u16string WideFromAnsi(LPCSTR psz)
{
    if (!psz || !*psz) return {};
    const int cch = MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (cch <= 0) return {};
    std::u16string w(static_cast<size_t>(cch), u'\0');
    MultiByteToWideChar(CP_ACP, 0, psz, -1, w.data(), cch);
    w.resize(static_cast<size_t>(cch - 1));
    return w;
}

class Writer {
public:
    Writer(WORD wDialect, std::string* pOut) : m_d(wDialect), m_out(*pOut) { m_out.reserve(0x8000); }
    void Raw(const std::string& s) { m_out.append(s); }
    void Setting(const char* k, const std::string& v)
    {
        if (m_d >= 2) Line({"@PJL SET ", k, "=", v.c_str()});
    }
    void QSetting(const char* k, const std::string& v)
    {
        if (m_d >= 2) Line({"@PJL SET ", k, "=\"", v.c_str(), "\""});
    }
    void Comment(const char* k, const std::string& v)
    {
        if (m_d >= 2) Line({"@PJL COMMENT ", k, "=", v.c_str()});
    }
    void RawAttr(const std::string& text)
    {
        if (text.empty()) return;
        if (m_d == 1) Line({text.c_str()});
        else if (m_d == 3) Line({"@PJL SET JOBATTR=\"", text.c_str(), "\""});
    }
    void Attr(const char* k, const std::string& v)
    {
        if (m_d == 1) Line({"@", k, "=", v.c_str()});
        else if (m_d == 3) Line({"@PJL SET JOBATTR=\"@", k, "=", v.c_str(), "\""});
    }
    WORD dialect() const { return m_d; }

private:
    // One line of pieces, ended by CR LF (the GCC 12 string-concatenation warnings stay away).
    void Line(std::initializer_list<const char*> parts)
    {
        for (const char* p : parts) m_out.append(p);
        m_out.append("\r\n");
    }
    WORD m_d;
    std::string& m_out;
};

class Composer {
public:
    Composer(DocumentInfo& info, RenderReaders& r, WORD wModel, WORD wOwnerCode, WORD wDialect, std::string* pOut)
        : m_info(info), m_r(r), m_d(r.data()), m_w(wDialect, pOut), m_wOwnerCode(wOwnerCode)
    {
        m_limits[0] = {LK_HOST, 0x0008000F, 0, 32};
        m_limits[1] = {LK_OWNER, 0x000C000F, 0, 0};
        m_limits[2] = {LK_DOCNAME, 0x000E000F, 0, 24};
        m_limits[3] = {LK_JOBNAME, 0x000E000F, 0, 24};
        m_limits[4] = {0, 0, 0, 0};
        const OUPM_FIELDLIMIT* pTable = nullptr;
        if (CallModelFunction(OUPF_FUNCID_GETJOBOWNERLIMITS, wModel, nullptr, &pTable) && pTable) {
            for (int n = 0; n < 64 && pTable[n].dwId != 0; ++n) {
                for (LimitRow& row : m_limits) {
                    if (row.dwKey != 0 && row.dwKey == pTable[n].dwId)
                        row = {pTable[n].dwId, MAKELONG(pTable[n].w1, pTable[n].w2), pTable[n].w4, pTable[n].w5};
                }
            }
        }
    }

    void Run();

private:
    const LimitRow& Row(DWORD dwKey) const
    {
        for (const LimitRow& row : m_limits)
            if (row.dwKey == dwKey) return row;
        return m_limits[4];
    }
    bool Passes(DWORD dwKey, LPCWSTR psz) const
    {
        const LimitRow& row = Row(dwKey);
        DWORD dwReason = 0;
        return CheckStringRuleW(psz ? psz : u"", row.dwFlags, row.wMin, row.wMax, &dwReason);
    }
    bool LengthWithin(DWORD dwKey, size_t cb) const
    {
        const LimitRow& row = Row(dwKey);
        return (row.wMin == 0 || cb >= row.wMin) && (row.wMax == 0 || cb <= row.wMax);
    }
    std::string ItemText(DWORD dwItem) const
    {
        LPCSTR psz = m_info.GetText(dwItem);
        return psz ? psz : "";
    }
    bool AccountStatus() { return m_d.GetJobAccountStatus() != 0; }
    void OwnerSourceRow(DWORD* pdwMode, bool* pbPassword)
    {
        WORD w = m_d.GetSupportBrantel();
        if (w > 3) w = 0;
        *pdwMode = w == 0 ? 0 : w == 1 ? 1 : 2;
        *pbPassword = w == 3 || (w == 2 && m_d.TestCapability(PDCAP_OWNER_PASSWORD));
    }
    void NupAttr()
    {
        WORD wNup = 0;
        m_info.GetWord(DII_NUP, &wNup);
        char sz[16];
        if (wNup <= 1) std::snprintf(sz, sizeof(sz), "1");
        else std::snprintf(sz, sizeof(sz), "N%d", wNup);
        m_w.Attr("NLPP", sz);
    }
    void HostAttr()
    {
        std::string utf8;
        if (Utf8(m_info.GetTextW(DII_MACHINENAME), &utf8) && !utf8.empty() && LengthWithin(LK_HOST, utf8.size()))
            m_w.Attr("CNAM", utf8);
        else
            m_w.Attr("CNAM", "UnknownHost");
    }
    void EnsureOwnerStrings(DWORD dwMode)
    {
        if (!m_info.IsSet(DII_HOSTADDRESS)) {
            char sz[64] = {};
            if (MakeHostAddressString(sz, sizeof(sz))) m_info.SetText(DII_HOSTADDRESS, sz);
        }
        if (!m_info.IsSet(DII_OWNERSTRING)) {
            auto readName = [](void* ctx, DWORD src, LPWSTR psz, DWORD cb) {
                return static_cast<PrinterDataReader*>(ctx)->Read(u"OEMJobOwnerName", psz, cb, src == 2 ? PDS_PRINTER : src);
            };
            const JobDataCallbacks cb = {readName, nullptr, nullptr, nullptr, &m_d};
            char sz[64] = {};
            if (MakeOwnerString(cb, m_d.GetJobOwnerChoice(), dwMode, m_wOwnerCode, sz, sizeof(sz)))
                m_info.SetText(DII_OWNERSTRING, sz);
        }
    }
    void OwnerMode(DWORD dwMode, bool bPassword);
    void AccountModeA();
    void AccountModeB();
    void ChargeAndDocName(const BYTE* pRecord, bool bModeA);
    void JobTypeBlock(int nCode);

    DocumentInfo& m_info;
    RenderReaders& m_r;
    PrinterDataReader& m_d;
    Writer m_w;
    WORD m_wOwnerCode;
    LimitRow m_limits[5];
    int m_nJobType = 0;
};

struct AccountView {
    DWORD dwFlags;
    std::u16string user, account, password, chargeUser, chargePassword;
};

AccountView ViewOf(const BYTE* p)
{
    AccountView v{};
    if (!p) return v;
    std::memcpy(&v.dwFlags, p, 4);
    auto field = [p](size_t off, size_t cch) {
        std::u16string s(reinterpret_cast<const char16_t*>(p + off), cch);
        s.resize(std::char_traits<char16_t>::length(s.c_str()) < cch ? std::char_traits<char16_t>::length(s.c_str()) : cch);
        return s;
    };
    v.user = field(4, 33);
    v.account = field(70, 33);
    v.password = field(136, 17);
    v.chargeUser = field(170, 33);
    v.chargePassword = field(236, 17);
    return v;
}

void Composer::OwnerMode(DWORD dwMode, bool bPassword)
{
    if (dwMode == 1) {
        if (AccountStatus()) m_w.RawAttr(ItemText(DII_OWNERSTRING));
        return;
    }
    m_w.RawAttr(ItemText(DII_HOSTADDRESS));
    NupAttr();
    if (!AccountStatus()) return;
    const WORD d = m_d.GetJobOwnerChoice();
    std::string value;
    if (d == 0 || d == 3 || d == 7 || d == 8) {
        value.assign("@").append(Ansi(m_info.GetTextW(DII_USERNAME))).append("\\").append(Ansi(m_info.GetTextW(DII_MACHINENAME)));
    } else if (d == 1 || d == 4 || d == 5 || d == 6) {
        value.assign("@").append(ItemText(DII_OWNERNAME));
    }
    if (value.size() > 32) value.resize(32);
    m_w.Attr("JOAU", value);
    const std::string password = ItemText(DII_OWNERPASSWORD);
    if (bPassword && !password.empty()) {
        if (m_d.TestCapability(PDCAP_ENCODED_SECRETS)) m_w.Attr("JOEP", password);
        else m_w.Attr("JOAP", password);
    }
}

void Composer::ChargeAndDocName(const BYTE* pRecord, bool)
{
    const AccountView v = ViewOf(pRecord);
    if (!v.chargeUser.empty()) {
        m_w.Attr("ACID", Ansi(v.chargeUser.c_str()));
        m_w.Attr("ACEP", Ansi(v.chargePassword.c_str()));
    }
    LPCWSTR pszDoc = m_info.GetTextW(DII_DOCNAME);
    char szCut[128] = {};
    DWORD dwReason = 0;
    const LimitRow& row = Row(LK_DOCNAME);
    if (pszDoc && CheckStringRuleW(pszDoc, row.dwFlags, row.wMin, row.wMax, &dwReason, szCut, sizeof(szCut))) {
        // The name cut to the row's maximum, in UTF-8.
        std::u16string w(pszDoc);
        if (row.wMax && w.size() > row.wMax) w.resize(row.wMax);
        std::string utf8;
        if (Utf8(w.c_str(), &utf8)) m_w.Attr("ACNA", utf8);
    }
}

void Composer::AccountModeA()
{
    const BYTE* pRecord = static_cast<const BYTE*>(m_info.GetRecord(DII_ACCOUNT));
    AccountView v = ViewOf(pRecord);
    char szSelect[64] = {};
    if (!(v.dwFlags & 0x80000003u) && m_d.ReadInstallableOption("KTSelectID", szSelect, sizeof(szSelect)) &&
        (std::strcmp(szSelect, "UserID_AccountID") == 0 || std::strcmp(szSelect, "UserID") == 0)) {
        std::u16string user = v.user.substr(0, 32);
        m_info.SetTextW(DII_USERNAME, user.c_str());
    }
    std::u16string userId = m_info.GetTextW(DII_USERNAME) ? m_info.GetTextW(DII_USERNAME) : u"";
    if (!Passes(LK_OWNER, userId.c_str())) userId = u"UnknownUser";
    m_w.RawAttr(ItemText(DII_HOSTADDRESS));
    HostAttr();
    NupAttr();
    if (!AccountStatus()) return;
    std::u16string password = v.password, account = v.account;
    const DWORD dwDefault = m_d.GetJobAccountDefault();
    if (dwDefault == 1) {
        userId = u"UnknownUser";
        password.clear();
        account.clear();
    }
    m_w.Attr("JOAU", Ansi(userId.c_str()));
    m_w.Attr("JOEP", Ansi(password.c_str()));
    if (!m_d.TestCapability(PDCAP_NO_ACCOUNT_ID)) m_w.Attr("DAID", Ansi(account.c_str()));
    if (!(v.dwFlags & 0x80000000u) && dwDefault != 0 && m_nJobType != 4 && !m_d.TestCapability(PDCAP_DOCNAME_COMMENT))
        ChargeAndDocName(pRecord, true);
}

void Composer::AccountModeB()
{
    const std::u16string password = WideFromAnsi(ItemText(DII_OWNERPASSWORD).c_str());
    m_w.RawAttr(ItemText(DII_HOSTADDRESS));
    HostAttr();
    NupAttr();
    if (AccountStatus()) {
        const WORD d = m_d.GetJobOwnerChoice();
        std::u16string owner = (d == 1 || d == 5) ? WideFromAnsi(ItemText(DII_OWNERNAME).c_str())
                                                  : std::u16string(m_info.GetTextW(DII_USERNAME) ? m_info.GetTextW(DII_USERNAME) : u"");
        std::string utf8;
        const std::string ansi = Ansi(owner.c_str());
        if (!owner.empty() && LengthWithin(LK_OWNER, ansi.size()) && Utf8(owner.c_str(), &utf8)) m_w.Attr("JOAU", utf8);
        else m_w.Attr("JOAU", "UnknownUser");
        m_w.Attr("JOEP", Ansi(password.c_str()));
    }
    if (m_d.TestCapability(PDCAP_DOCNAME_COMMENT)) {
        LPCWSTR pszDoc = m_info.GetTextW(DII_DOCNAME);
        const LimitRow& row = Row(LK_DOCNAME);
        DWORD dwReason = 0;
        if (pszDoc && CheckStringRuleW(pszDoc, row.dwFlags, row.wMin, row.wMax, &dwReason)) {
            std::u16string w(pszDoc);
            if (w.size() > 24) w.resize(24);
            std::string utf8;
            if (Utf8(w.c_str(), &utf8)) m_w.Comment("DNAME", utf8);
        }
    } else {
        ChargeAndDocName(static_cast<const BYTE*>(m_info.GetRecord(DII_ACCOUNT)), false);
    }
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char sz[32];
    std::snprintf(sz, sizeof(sz), "%02d/%02d/%04d", t.wMonth, t.wDay, t.wYear);
    m_w.Comment("DATE", sz);
    std::snprintf(sz, sizeof(sz), "%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    m_w.Comment("TIME", sz);
}

void Composer::JobTypeBlock(int nCode)
{
    const bool bAttr = m_w.dialect() == 1;
    const bool bEncrypt = m_d.TestCapability(PDCAP_ENCODED_SECRETS);
    switch (nCode) {
    case 1:
    case 6: {
        const std::string pin = ItemText(DII_SECUREPIN);
        if (bAttr) {
            m_w.Attr("ACPR", "CONFIDENTIAL");
            if (!pin.empty()) m_w.Attr(bEncrypt ? "EPWD" : "ACPW", pin);
        } else {
            m_w.Setting("HOLD", "STORE");
            if (!pin.empty()) {
                m_w.Setting("HOLDTYPE", nCode == 1 ? "PRIVATE" : "SECURE");
                m_w.QSetting(bEncrypt ? "HOLDENCRYPTKEY" : "HOLDKEY", pin);
            }
        }
        break;
    }
    case 2:
        if (bAttr) m_w.Attr("ACPR", "PROOF");
        else m_w.Setting("HOLD", "PROOF");
        break;
    case 3: {
        DWORD dwStart = 0;
        if (m_r.settings().GetDword("$StartPrintTime", &dwStart)) {
            SYSTEMTIME now{};
            GetLocalTime(&now);
            const int nHour = static_cast<int>((dwStart >> 8) & 0xFF), nMinute = static_cast<int>(dwStart & 0xFF);
            struct tm tmStart{};
            tmStart.tm_year = now.wYear - 1900;
            tmStart.tm_mon = now.wMonth - 1;
            tmStart.tm_mday = now.wDay;
            tmStart.tm_hour = nHour;
            tmStart.tm_min = nMinute;
            tmStart.tm_isdst = -1;
            if (nHour * 60 + nMinute < now.wHour * 60 + now.wMinute) tmStart.tm_mday += 1;
            mktime(&tmStart);
            char sz[64];
            std::snprintf(sz, sizeof(sz), "%4d:%02d:%02d:%02d:%02d", tmStart.tm_year + 1900, tmStart.tm_mon + 1,
                          tmStart.tm_mday, tmStart.tm_hour, tmStart.tm_min);
            m_w.Attr("PRTM", sz);
        }
        break;
    }
    case 5: {
        m_w.Setting("HOLD", "BOXSTORE");
        char szPassword[64] = {}, szNumber[16] = {};
        if (m_r.settings().GetText("$BoxPassword", szPassword, sizeof(szPassword)) && szPassword[0] && bEncrypt) {
            m_w.Setting("HOLDTYPE", "PRIVATE");
            m_w.QSetting("BOXENCRYPTKEY", szPassword);
        }
        if (m_r.settings().GetText("$BoxNumber", szNumber, sizeof(szNumber)) && szNumber[0]) m_w.Setting("BOXNUMBER", szNumber);
        break;
    }
    case 7:
        if (bAttr) {
            m_w.Attr("ACPR", "CONFIDENTIAL");
        } else {
            m_w.Setting("HOLD", "STORE");
            m_w.Setting("HOLDTYPE", "PUBLIC");
        }
        break;
    default: break;
    }
    if (nCode == 1 || nCode == 2 || nCode == 6 || nCode == 7) {
        std::string utf8;
        const std::u16string w = WideFromAnsi(ItemText(DII_SECUREUSER).c_str());
        if (Utf8(w.c_str(), &utf8) && !utf8.empty()) {
            if (bAttr) m_w.Attr("ACID", utf8);
            else m_w.QSetting("USERNAME", utf8);
        }
    }
    char szSpecify[32] = {};
    m_r.settings().GetText("$SpecifyDocName", szSpecify, sizeof(szSpecify));
    std::u16string name = std::strcmp(szSpecify, "Input") == 0 ? WideFromAnsi(ItemText(DII_HEADERDOCNAME).c_str())
                                                               : std::u16string(m_info.GetTextW(DII_DOCNAME) ? m_info.GetTextW(DII_DOCNAME) : u"");
    if (Passes(LK_JOBNAME, name.c_str())) {
        std::string utf8;
        if (Utf8(name.c_str(), &utf8)) {
            if (bAttr) m_w.Attr("ACNA", utf8);
            else m_w.QSetting("JOBNAME", utf8);
        }
    }
}

int JobTypeCode(RenderReaders& r)
{
    char sz[64] = {};
    if (!r.settings().GetText("$JobType", sz, sizeof(sz))) return 0;
    static const char* const kNames[] = {"Normal", "Secure", "Proof", "Delay", "DFax", "Box", "Hi_Secure", "MailBox"};
    for (int i = 0; i < 8; ++i)
        if (std::strcmp(sz, kNames[i]) == 0) return i;
    return 0;
}

void Composer::Run()
{
    // Item 19: the user's document name for the header.
    WCHAR szDocName[32] = {};
    if (m_r.settings().Get("$DocumentName", DMT_WSTRING, szDocName, sizeof(szDocName))) {
        m_info.SetText(DII_HEADERDOCNAME, Ansi(szDocName).c_str());
    }
    m_nJobType = JobTypeCode(m_r);
    m_w.Raw(kUEL);
    if (m_w.dialect() >= 2) m_w.Setting("STRINGCODESET", "UTF8");
    DWORD dwMode = 0;
    bool bPassword = false;
    OwnerSourceRow(&dwMode, &bPassword);
    EnsureOwnerStrings(dwMode);
    if (m_d.TestCapability(PDCAP_ACCOUNT_MODE_A)) AccountModeA();
    else if (m_d.TestCapability(PDCAP_ACCOUNT_MODE_B)) AccountModeB();
    else OwnerMode(dwMode, bPassword);
    if (m_nJobType != 0) JobTypeBlock(m_nJobType);
    m_w.Raw(m_w.dialect() == 1 ? "@PL>PostScript\r\n" : "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n");
}

}  // namespace

WORD JclDialect(PrinterDataReader& data)
{
    const WORD w = data.GetSupportJCL();
    return w >= 1 && w <= 3 ? w : JCL_NONE;
}

void ComposeJobHeader(DocumentInfo& info, RenderReaders& r, WORD wModelId, WORD wOwnerStringCode, bool,
                      std::string* pOut)
{
    pOut->clear();
    const WORD wDialect = JclDialect(r.data());
    if (wDialect == JCL_NONE) return;
    ResetOwnerKitBinding();
    Composer(info, r, wModelId, wOwnerStringCode, wDialect, pOut).Run();
    ResetOwnerKitBinding();
}

void ComposeJobTrailer(WORD wDialect, std::string* pOut)
{
    pOut->clear();
    if (wDialect == JCL_NONE) return;
    *pOut = kUEL;
    *pOut += wDialect == 1 ? "@EOJO\r\n" : "@PJL EOJ\r\n";
}
