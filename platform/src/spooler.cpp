// The spooler over the store: printers (each with its driver record), printer data, the
// default and per-user DEVMODEs, and forms.
#include "platform/spooler.h"

#include <pwd.h>
#include <strings.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/store.h"
#include "platform/wstring.h"

namespace {

constexpr DWORD kHandleMagic = 0x50524E54;  // "PRNT"

struct PrinterHandle {
    DWORD magic;
    std::string name;
    ACCESS_MASK access;
};

std::mutex g_handleLock;
std::set<PrinterHandle*> g_handles;

PrinterHandle* Lookup(HANDLE h)
{
    std::lock_guard guard(g_handleLock);
    auto* p = static_cast<PrinterHandle*>(h);
    if (!p || !g_handles.count(p) || p->magic != kHandleMagic) return nullptr;
    return p;
}

HANDLE NewHandle(const std::string& name, ACCESS_MASK access)
{
    auto* p = new PrinterHandle{kHandleMagic, name, access};
    std::lock_guard guard(g_handleLock);
    g_handles.insert(p);
    return p;
}

std::string UserName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    return std::to_string(geteuid());
}

bool IsAdministrator(platform::Store* store)
{
    if (const char* admin = std::getenv("LUMENO_ADMIN"); admin && std::strcmp(admin, "0") == 0) return false;
    return access(store->path().c_str(), W_OK) == 0;
}

std::string N(LPCWSTR text) { return platform::Narrow(text); }

bool PrinterExists(platform::Store* store, const std::string& name)
{
    platform::Statement q(store->db(), "SELECT 1 FROM printers WHERE name=?");
    q.Bind(1, name);
    return q.Step();
}

// Lays out structures with their strings (and DEVMODEs) behind them in the caller's buffer.
// The same layout runs twice: once to measure, once to write. Every Fixed call comes before
// the first piece of variable data.
class Packer {
public:
    explicit Packer(BYTE* buffer) : base_(buffer) {}

    // Room for one fixed-size structure; its address while writing, else null.
    BYTE* Fixed(size_t bytes)
    {
        BYTE* at = base_ ? base_ + fixed_ : nullptr;
        fixed_ += bytes;
        return at;
    }
    LPWSTR String(const std::string& text)
    {
        std::u16string wide = platform::Widen(text);
        wide.push_back(u'\0');
        return reinterpret_cast<LPWSTR>(Append(wide.data(), wide.size() * 2, 2));
    }
    LPWSTR Raw16(const std::u16string& data) { return reinterpret_cast<LPWSTR>(Append(data.data(), data.size() * 2, 2)); }
    DEVMODEW* DevMode(const std::string& bytes)
    {
        if (bytes.empty()) return nullptr;
        return reinterpret_cast<DEVMODEW*>(Append(bytes.data(), bytes.size(), 8));
    }
    DWORD needed() const { return static_cast<DWORD>(started_ ? variable_ : fixed_); }

private:
    BYTE* Append(const void* data, size_t bytes, size_t align)
    {
        if (!started_) {
            variable_ = fixed_;
            started_ = true;
        }
        const size_t at = (variable_ + align - 1) / align * align;
        variable_ = at + bytes;
        if (!base_) return nullptr;
        std::memcpy(base_ + at, data, bytes);
        return base_ + at;
    }
    BYTE* base_;
    size_t fixed_ = 0;
    size_t variable_ = 0;
    bool started_ = false;
};

template <typename Fill>
BOOL PackOut(BYTE* buffer, DWORD cbBuf, LPDWORD pcbNeeded, Fill fill)
{
    Packer measure(nullptr);
    fill(measure);
    const DWORD needed = measure.needed();
    if (pcbNeeded) *pcbNeeded = needed;
    if (!buffer || cbBuf < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(buffer, 0, needed);
    Packer write(buffer);
    fill(write);
    return TRUE;
}

struct PrinterRow {
    std::string name, port, comment, location, devmode;
    DWORD attributes = 0;
    std::string driverName, environment, driverPath, dataFile, configFile, helpFile, dependentFiles, monitor,
        defaultDatatype;
    DWORD driverVersion = 0;
};

bool LoadPrinter(platform::Store* store, const std::string& name, PrinterRow* row)
{
    platform::Statement q(store->db(),
                          "SELECT name, port, comment, location, attributes, devmode, driver_name, driver_version, "
                          "environment, driver_path, data_file, config_file, help_file, dependent_files, monitor, "
                          "default_datatype FROM printers WHERE name=?");
    q.Bind(1, name);
    if (!q.Step()) return false;
    row->name = q.Text(0);
    row->port = q.Text(1);
    row->comment = q.Text(2);
    row->location = q.Text(3);
    row->attributes = static_cast<DWORD>(q.Int(4));
    row->devmode = q.Blob(5);
    row->driverName = q.Text(6);
    row->driverVersion = static_cast<DWORD>(q.Int(7));
    row->environment = q.Text(8);
    row->driverPath = q.Text(9);
    row->dataFile = q.Text(10);
    row->configFile = q.Text(11);
    row->helpFile = q.Text(12);
    row->dependentFiles = q.Text(13);
    row->monitor = q.Text(14);
    row->defaultDatatype = q.Text(15);
    return true;
}

std::vector<std::string> PrinterNames(platform::Store* store)
{
    platform::Statement q(store->db(), "SELECT name FROM printers ORDER BY name COLLATE NOCASE");
    std::vector<std::string> names;
    while (q.Step()) names.push_back(q.Text(0));
    return names;
}

// A DEVMODE from the caller, bounds-checked: its public part and its driver data.
bool DevModeBytes(const DEVMODEW* dm, std::string* out)
{
    if (!dm) {
        out->clear();
        return true;
    }
    if (dm->dmSize < offsetof(DEVMODEW, dmFields) || dm->dmSize > sizeof(DEVMODEW)) return false;
    out->assign(reinterpret_cast<const char*>(dm), static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra);
    return true;
}

std::string UserDevMode(platform::Store* store, const std::string& printer)
{
    platform::Statement q(store->db(), "SELECT devmode FROM user_devmodes WHERE printer=? AND owner=?");
    q.Bind(1, printer).Bind(2, UserName());
    return q.Step() ? q.Blob(0) : std::string();
}

void FillInfo1(Packer& p, const PrinterRow& r, BYTE* at)
{
    auto* info = reinterpret_cast<PRINTER_INFO_1W*>(at);
    LPWSTR desc = p.String(r.name + "," + r.driverName + "," + r.location);
    LPWSTR name = p.String(r.name);
    LPWSTR comment = p.String(r.comment);
    if (info) *info = {PRINTER_ENUM_ICON8, desc, name, comment};
}

void FillInfo2(Packer& p, const PrinterRow& r, BYTE* at)
{
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(at);
    PRINTER_INFO_2W v{};
    v.pServerName = nullptr;
    v.pPrinterName = p.String(r.name);
    v.pShareName = p.String("");
    v.pPortName = p.String(r.port);
    v.pDriverName = p.String(r.driverName);
    v.pComment = p.String(r.comment);
    v.pLocation = p.String(r.location);
    v.pDevMode = p.DevMode(r.devmode);
    v.pSepFile = p.String("");
    v.pPrintProcessor = p.String("winprint");
    v.pDatatype = p.String("RAW");
    v.pParameters = p.String("");
    v.Attributes = r.attributes;
    v.Priority = 1;
    v.DefaultPriority = 1;
    if (info) *info = v;
}

void FillInfo4(Packer& p, const PrinterRow& r, BYTE* at)
{
    auto* info = reinterpret_cast<PRINTER_INFO_4W*>(at);
    LPWSTR name = p.String(r.name);
    if (info) *info = {name, nullptr, r.attributes};
}

size_t InfoSize(DWORD level)
{
    switch (level) {
    case 1: return sizeof(PRINTER_INFO_1W);
    case 2: return sizeof(PRINTER_INFO_2W);
    case 4: return sizeof(PRINTER_INFO_4W);
    case 8: return sizeof(PRINTER_INFO_8W);
    case 9: return sizeof(PRINTER_INFO_9W);
    default: return 0;
    }
}

std::u16string MultiSz(const std::string& lines)
{
    // Kept in the store one file a line.
    std::u16string out;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        if (end > start) {
            out += platform::Widen(lines.substr(start, end - start));
            out.push_back(u'\0');
        }
        start = end + 1;
    }
    out.push_back(u'\0');
    return out;
}

std::string Lines(LPCWSTR multiSz)
{
    std::string out;
    for (LPCWSTR p = multiSz; p && *p; p += lstrlenW(p) + 1) {
        if (!out.empty()) out += '\n';
        out += N(p);
    }
    return out;
}

platform::Store* StoreOrFail()
{
    platform::Store* store = platform::Store::Get();
    if (!store) SetLastError(ERROR_CANTOPEN);
    return store;
}

bool Fail(DWORD error)
{
    SetLastError(error);
    return false;
}

int Changes(platform::Store* store) { return sqlite3_changes(store->db()); }

struct BuiltinForm {
    const char* name;
    LONG cx;
    LONG cy;
};

const BuiltinForm kBuiltinForms[] = {
    {"Letter", 215900, 279400},       {"Legal", 215900, 355600},         {"Executive", 184150, 266700},
    {"Statement", 139700, 215900},    {"Tabloid", 279400, 431800},       {"A3", 297000, 420000},
    {"A4", 210000, 297000},           {"A5", 148000, 210000},            {"A6", 105000, 148000},
    {"B4 (JIS)", 257000, 364000},     {"B5 (JIS)", 182000, 257000},      {"Envelope #10", 104775, 241300},
    {"Envelope DL", 110000, 220000},  {"Envelope C5", 162000, 229000},   {"Envelope Monarch", 98425, 190500},
    {"Postcard", 100000, 148000},
};

struct FormRow {
    std::string name;
    FORM_INFO_1W info;
};

std::vector<FormRow> AllForms(platform::Store* store)
{
    std::vector<FormRow> forms;
    for (const BuiltinForm& f : kBuiltinForms) forms.push_back({f.name, {FORM_BUILTIN, nullptr, {f.cx, f.cy}, {0, 0, f.cx, f.cy}}});
    platform::Statement q(store->db(),
                          "SELECT name, flags, cx, cy, left_edge, top_edge, right_edge, bottom_edge FROM forms "
                          "ORDER BY rowid");
    while (q.Step()) {
        FormRow row{q.Text(0), {}};
        row.info.Flags = static_cast<DWORD>(q.Int(1));
        row.info.Size = {static_cast<LONG>(q.Int(2)), static_cast<LONG>(q.Int(3))};
        row.info.ImageableArea = {static_cast<LONG>(q.Int(4)), static_cast<LONG>(q.Int(5)),
                                  static_cast<LONG>(q.Int(6)), static_cast<LONG>(q.Int(7))};
        forms.push_back(row);
    }
    return forms;
}

}  // namespace

HANDLE AddPrinterWithDriverW(const PRINTER_INFO_2W* pPrinter, const DRIVER_INFO_3W* pDriver)
{
    if (!pPrinter || !pDriver || !pPrinter->pPrinterName || !*pPrinter->pPrinterName || !pDriver->pName ||
        !*pDriver->pName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = N(pPrinter->pPrinterName);
    if (name.find_first_of(",\\") != std::string::npos || name.size() > 220) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return nullptr;
    }
    if (N(pPrinter->pDriverName) != N(pDriver->pName) && pPrinter->pDriverName) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return nullptr;
    }
    platform::Store* store = StoreOrFail();
    if (!store) return nullptr;
    if (!IsAdministrator(store)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::string devmode;
    if (!DevModeBytes(pPrinter->pDevMode, &devmode)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    const bool ok = store->Transaction([&] {
        if (PrinterExists(store, name)) {
            error = ERROR_PRINTER_ALREADY_EXISTS;
            return false;
        }
        platform::Statement ins(store->db(),
                                "INSERT INTO printers(name, port, comment, location, attributes, devmode, "
                                "driver_name, driver_version, environment, driver_path, data_file, config_file, "
                                "help_file, dependent_files, monitor, default_datatype) "
                                "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        ins.Bind(1, name).Bind(2, N(pPrinter->pPortName)).Bind(3, N(pPrinter->pComment));
        ins.Bind(4, N(pPrinter->pLocation)).Bind(5, pPrinter->Attributes | PRINTER_ATTRIBUTE_LOCAL);
        if (!devmode.empty()) ins.BindBlob(6, devmode.data(), devmode.size());
        ins.Bind(7, N(pDriver->pName)).Bind(8, pDriver->cVersion);
        ins.Bind(9, pDriver->pEnvironment ? N(pDriver->pEnvironment) : std::string("Linux x86-64"));
        ins.Bind(10, N(pDriver->pDriverPath)).Bind(11, N(pDriver->pDataFile)).Bind(12, N(pDriver->pConfigFile));
        ins.Bind(13, N(pDriver->pHelpFile)).Bind(14, Lines(pDriver->pDependentFiles));
        ins.Bind(15, N(pDriver->pMonitorName)).Bind(16, pDriver->pDefaultDataType ? N(pDriver->pDefaultDataType)
                                                                                   : std::string("RAW"));
        return ins.Run();
    });
    if (!ok) {
        SetLastError(error != ERROR_SUCCESS ? error : ERROR_CANTWRITE);
        return nullptr;
    }
    return NewHandle(name, PRINTER_ALL_ACCESS);
}

BOOL DeletePrinter(HANDLE hPrinter)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    bool found = true;
    const bool ok = store->Transaction([&] {
        found = PrinterExists(store, h->name);
        if (!found) return false;
        for (const char* sql : {"DELETE FROM printer_data WHERE printer=?", "DELETE FROM user_devmodes WHERE printer=?",
                                "DELETE FROM printers WHERE name=?"}) {
            platform::Statement del(store->db(), sql);
            del.Bind(1, h->name);
            if (!del.Run()) return false;
        }
        return true;
    });
    if (!found) return Fail(ERROR_INVALID_PRINTER_NAME);
    return ok ? TRUE : Fail(ERROR_CANTWRITE);
}

BOOL OpenPrinterW(LPWSTR pPrinterName, HANDLE* phPrinter, PRINTER_DEFAULTSW* pDefault)
{
    if (!phPrinter) return Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    if (!pPrinterName || !*pPrinterName) return Fail(ERROR_INVALID_PRINTER_NAME);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    PrinterRow row;
    if (!LoadPrinter(store, N(pPrinterName), &row)) return Fail(ERROR_INVALID_PRINTER_NAME);
    ACCESS_MASK access = pDefault && pDefault->DesiredAccess ? pDefault->DesiredAccess : PRINTER_ACCESS_USE;
    if ((access & PRINTER_ACCESS_ADMINISTER) && !IsAdministrator(store)) return Fail(ERROR_ACCESS_DENIED);
    // Every handle may use the printer.
    access |= PRINTER_ACCESS_USE;
    *phPrinter = NewHandle(row.name, access);
    return TRUE;
}

BOOL ClosePrinter(HANDLE hPrinter)
{
    std::lock_guard guard(g_handleLock);
    auto* p = static_cast<PrinterHandle*>(hPrinter);
    if (!p || !g_handles.erase(p)) return Fail(ERROR_INVALID_HANDLE);
    delete p;
    return TRUE;
}

BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, BYTE* pPrinter, DWORD cbBuf, LPDWORD pcbNeeded)
{
    if (pcbNeeded) *pcbNeeded = 0;
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    if (!InfoSize(Level)) return Fail(ERROR_INVALID_LEVEL);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    PrinterRow row;
    if (!LoadPrinter(store, h->name, &row)) return Fail(ERROR_INVALID_PRINTER_NAME);
    const std::string userDevMode = Level == 9 ? UserDevMode(store, row.name) : std::string();
    return PackOut(pPrinter, cbBuf, pcbNeeded, [&](Packer& p) {
        BYTE* at = p.Fixed(InfoSize(Level));
        switch (Level) {
        case 1: FillInfo1(p, row, at); break;
        case 2: FillInfo2(p, row, at); break;
        case 4: FillInfo4(p, row, at); break;
        case 8: {
            DEVMODEW* dm = p.DevMode(row.devmode);
            if (at) reinterpret_cast<PRINTER_INFO_8W*>(at)->pDevMode = dm;
            break;
        }
        case 9: {
            DEVMODEW* dm = p.DevMode(userDevMode);
            if (at) reinterpret_cast<PRINTER_INFO_9W*>(at)->pDevMode = dm;
            break;
        }
        }
    });
}

BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, BYTE* pPrinter, DWORD)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 2 && Level != 8 && Level != 9) return Fail(ERROR_INVALID_LEVEL);
    if (!pPrinter) return Fail(ERROR_INVALID_PARAMETER);
    if (Level != 9 && !(h->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    std::string devmode;
    const DEVMODEW* dm = Level == 2   ? reinterpret_cast<PRINTER_INFO_2W*>(pPrinter)->pDevMode
                         : Level == 8 ? reinterpret_cast<PRINTER_INFO_8W*>(pPrinter)->pDevMode
                                      : reinterpret_cast<PRINTER_INFO_9W*>(pPrinter)->pDevMode;
    if (!DevModeBytes(dm, &devmode)) return Fail(ERROR_INVALID_PARAMETER);
    bool found = true;
    const bool ok = store->Transaction([&] {
        found = PrinterExists(store, h->name);
        if (!found) return false;
        if (Level == 9) {
            if (devmode.empty()) {
                platform::Statement del(store->db(), "DELETE FROM user_devmodes WHERE printer=? AND owner=?");
                del.Bind(1, h->name).Bind(2, UserName());
                return del.Run();
            }
            platform::Statement up(store->db(),
                                   "INSERT INTO user_devmodes(printer, owner, devmode) VALUES(?,?,?) "
                                   "ON CONFLICT(printer, owner) DO UPDATE SET devmode=excluded.devmode");
            up.Bind(1, h->name).Bind(2, UserName()).BindBlob(3, devmode.data(), devmode.size());
            return up.Run();
        }
        if (Level == 2) {
            const auto* info = reinterpret_cast<PRINTER_INFO_2W*>(pPrinter);
            platform::Statement up(store->db(),
                                   "UPDATE printers SET port=?, comment=?, location=?, attributes=? WHERE name=?");
            up.Bind(1, N(info->pPortName)).Bind(2, N(info->pComment)).Bind(3, N(info->pLocation));
            up.Bind(4, info->Attributes | PRINTER_ATTRIBUTE_LOCAL).Bind(5, h->name);
            if (!up.Run()) return false;
            if (devmode.empty()) return true;
        }
        platform::Statement up(store->db(), "UPDATE printers SET devmode=? WHERE name=?");
        if (!devmode.empty()) up.BindBlob(1, devmode.data(), devmode.size());
        up.Bind(2, h->name);
        return up.Run();
    });
    if (!found) return Fail(ERROR_INVALID_PRINTER_NAME);
    return ok ? TRUE : Fail(ERROR_CANTWRITE);
}

BOOL EnumPrintersW(DWORD Flags, LPWSTR, DWORD Level, BYTE* pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned)
{
    if (pcbNeeded) *pcbNeeded = 0;
    if (pcReturned) *pcReturned = 0;
    if (Level != 1 && Level != 2 && Level != 4) return Fail(ERROR_INVALID_LEVEL);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    std::vector<PrinterRow> rows;
    // Every printer of this machine is local; there are no connections to other servers.
    if (Flags & PRINTER_ENUM_LOCAL) {
        for (const std::string& name : PrinterNames(store)) {
            PrinterRow row;
            if (LoadPrinter(store, name, &row)) rows.push_back(row);
        }
    }
    const BOOL ok = PackOut(pPrinterEnum, cbBuf, pcbNeeded, [&](Packer& p) {
        std::vector<BYTE*> slots;
        for (size_t i = 0; i < rows.size(); ++i) slots.push_back(p.Fixed(InfoSize(Level)));
        for (size_t i = 0; i < rows.size(); ++i) {
            if (Level == 1) FillInfo1(p, rows[i], slots[i]);
            if (Level == 2) FillInfo2(p, rows[i], slots[i]);
            if (Level == 4) FillInfo4(p, rows[i], slots[i]);
        }
    });
    if (ok && pcReturned) *pcReturned = static_cast<DWORD>(rows.size());
    return ok;
}

BOOL GetPrinterDriverW(HANDLE hPrinter, LPWSTR, DWORD Level, BYTE* pDriverInfo, DWORD cbBuf, LPDWORD pcbNeeded)
{
    if (pcbNeeded) *pcbNeeded = 0;
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    if (Level < 1 || Level > 3) return Fail(ERROR_INVALID_LEVEL);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    PrinterRow r;
    if (!LoadPrinter(store, h->name, &r)) return Fail(ERROR_INVALID_PRINTER_NAME);
    const size_t fixed = Level == 1 ? sizeof(DRIVER_INFO_1W) : Level == 2 ? sizeof(DRIVER_INFO_2W) : sizeof(DRIVER_INFO_3W);
    return PackOut(pDriverInfo, cbBuf, pcbNeeded, [&](Packer& p) {
        BYTE* at = p.Fixed(fixed);
        DRIVER_INFO_3W v{};
        v.pName = p.String(r.driverName);
        if (Level >= 2) {
            v.cVersion = r.driverVersion;
            v.pEnvironment = p.String(r.environment);
            v.pDriverPath = p.String(r.driverPath);
            v.pDataFile = p.String(r.dataFile);
            v.pConfigFile = p.String(r.configFile);
        }
        if (Level == 3) {
            v.pHelpFile = p.String(r.helpFile);
            v.pDependentFiles = p.Raw16(MultiSz(r.dependentFiles));
            v.pMonitorName = p.String(r.monitor);
            v.pDefaultDataType = p.String(r.defaultDatatype);
        }
        if (!at) return;
        if (Level == 1) reinterpret_cast<DRIVER_INFO_1W*>(at)->pName = v.pName;
        if (Level == 2) std::memcpy(at, &v, sizeof(DRIVER_INFO_2W));
        if (Level == 3) std::memcpy(at, &v, sizeof(DRIVER_INFO_3W));
    });
}

DWORD GetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, LPDWORD pType, BYTE* pData, DWORD nSize,
                      LPDWORD pcbNeeded)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!pcbNeeded) return ERROR_INVALID_PARAMETER;
    platform::Store* store = platform::Store::Get();
    if (!store) return ERROR_CANTOPEN;
    platform::Statement q(store->db(), "SELECT type, data FROM printer_data WHERE printer=? AND name=?");
    q.Bind(1, h->name).Bind(2, N(pValueName));
    if (!q.Step()) return ERROR_FILE_NOT_FOUND;
    const std::string data = q.Blob(1);
    if (pType) *pType = static_cast<DWORD>(q.Int(0));
    *pcbNeeded = static_cast<DWORD>(data.size());
    if (nSize < data.size() || (!pData && !data.empty())) return ERROR_MORE_DATA;
    if (data.empty()) return ERROR_SUCCESS;
    std::memcpy(pData, data.data(), data.size());
    return ERROR_SUCCESS;
}

DWORD SetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, DWORD Type, const BYTE* pData, DWORD cbData)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    if (!pValueName || (!pData && cbData)) return ERROR_INVALID_PARAMETER;
    platform::Store* store = platform::Store::Get();
    if (!store) return ERROR_CANTOPEN;
    bool found = true;
    const bool ok = store->Transaction([&] {
        found = PrinterExists(store, h->name);
        if (!found) return false;
        platform::Statement up(store->db(),
                               "INSERT INTO printer_data(printer, name, type, data) VALUES(?,?,?,?) "
                               "ON CONFLICT(printer, name) DO UPDATE SET type=excluded.type, data=excluded.data");
        up.Bind(1, h->name).Bind(2, N(pValueName)).Bind(3, Type).BindBlob(4, pData, cbData);
        return up.Run();
    });
    if (!found) return ERROR_INVALID_PRINTER_NAME;
    return ok ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

DWORD DeletePrinterDataW(HANDLE hPrinter, LPCWSTR pValueName)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    platform::Store* store = platform::Store::Get();
    if (!store) return ERROR_CANTOPEN;
    int changed = 0;
    const bool ok = store->Transaction([&] {
        platform::Statement del(store->db(), "DELETE FROM printer_data WHERE printer=? AND name=?");
        del.Bind(1, h->name).Bind(2, N(pValueName));
        if (!del.Run()) return false;
        changed = Changes(store);
        return true;
    });
    if (!ok) return ERROR_CANTWRITE;
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName, LPDWORD pcbValueName,
                       LPDWORD pType, BYTE* pData, DWORD cbData, LPDWORD pcbData)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!pcbValueName || !pcbData) return ERROR_INVALID_PARAMETER;
    platform::Store* store = platform::Store::Get();
    if (!store) return ERROR_CANTOPEN;
    platform::Statement q(store->db(),
                          "SELECT name, type, data FROM printer_data WHERE printer=? ORDER BY name COLLATE NOCASE "
                          "LIMIT 1 OFFSET ?");
    q.Bind(1, h->name).Bind(2, dwIndex);
    if (!q.Step()) return ERROR_NO_MORE_ITEMS;
    const std::u16string name = platform::Widen(q.Text(0));
    const std::string data = q.Blob(2);
    *pcbValueName = static_cast<DWORD>((name.size() + 1) * 2);
    *pcbData = static_cast<DWORD>(data.size());
    if (pType) *pType = static_cast<DWORD>(q.Int(1));
    if (!pValueName || cbValueName < *pcbValueName || (!pData && !data.empty()) || cbData < data.size())
        return ERROR_MORE_DATA;
    std::memcpy(pValueName, name.c_str(), *pcbValueName);
    if (!data.empty()) std::memcpy(pData, data.data(), data.size());
    return ERROR_SUCCESS;
}

BOOL GetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, BYTE* pForm, DWORD cbBuf, LPDWORD pcbNeeded)
{
    if (pcbNeeded) *pcbNeeded = 0;
    if (!Lookup(hPrinter)) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    const std::string wanted = N(pFormName);
    for (const FormRow& f : AllForms(store)) {
        if (strcasecmp(f.name.c_str(), wanted.c_str()) != 0) continue;
        return PackOut(pForm, cbBuf, pcbNeeded, [&](Packer& p) {
            BYTE* at = p.Fixed(sizeof(FORM_INFO_1W));
            FORM_INFO_1W v = f.info;
            v.pName = p.String(f.name);
            if (at) std::memcpy(at, &v, sizeof v);
        });
    }
    return Fail(ERROR_INVALID_FORM_NAME);
}

BOOL AddFormW(HANDLE hPrinter, DWORD Level, BYTE* pForm)
{
    PrinterHandle* h = Lookup(hPrinter);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    const auto* form = reinterpret_cast<const FORM_INFO_1W*>(pForm);
    if (!form || !form->pName || !*form->pName) return Fail(ERROR_INVALID_FORM_NAME);
    if (form->Size.cx <= 0 || form->Size.cy <= 0) return Fail(ERROR_INVALID_FORM_SIZE);
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    const std::string name = N(form->pName);
    for (const FormRow& f : AllForms(store))
        if (strcasecmp(f.name.c_str(), name.c_str()) == 0) return Fail(ERROR_FILE_EXISTS);
    const bool ok = store->Transaction([&] {
        platform::Statement ins(store->db(),
                                "INSERT INTO forms(name, flags, cx, cy, left_edge, top_edge, right_edge, bottom_edge) "
                                "VALUES(?,?,?,?,?,?,?,?)");
        ins.Bind(1, name).Bind(2, FORM_USER).Bind(3, form->Size.cx).Bind(4, form->Size.cy);
        ins.Bind(5, form->ImageableArea.left).Bind(6, form->ImageableArea.top);
        ins.Bind(7, form->ImageableArea.right).Bind(8, form->ImageableArea.bottom);
        return ins.Run();
    });
    return ok ? TRUE : Fail(ERROR_CANTWRITE);
}

BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, BYTE* pForm, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    if (pcbNeeded) *pcbNeeded = 0;
    if (pcReturned) *pcReturned = 0;
    if (!Lookup(hPrinter)) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    platform::Store* store = StoreOrFail();
    if (!store) return FALSE;
    const std::vector<FormRow> forms = AllForms(store);
    const BOOL ok = PackOut(pForm, cbBuf, pcbNeeded, [&](Packer& p) {
        std::vector<BYTE*> slots;
        for (size_t i = 0; i < forms.size(); ++i) slots.push_back(p.Fixed(sizeof(FORM_INFO_1W)));
        for (size_t i = 0; i < forms.size(); ++i) {
            FORM_INFO_1W v = forms[i].info;
            v.pName = p.String(forms[i].name);
            if (slots[i]) std::memcpy(slots[i], &v, sizeof v);
        }
    });
    if (ok && pcReturned) *pcReturned = static_cast<DWORD>(forms.size());
    return ok;
}
