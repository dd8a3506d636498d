// The registry over the store. A key is a row of reg_keys; its values are rows of reg_values.
// Keys of HKEY_CURRENT_USER belong to the OS user that runs the process.
#include "platform/registry.h"

#include <pwd.h>
#include <sqlite3.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/store.h"
#include "platform/wstring.h"

struct RegistryKey {
    int hive;           // 0 machine, 1 current user
    std::string path;   // without leading or trailing backslashes; "" is the hive's root
    REGSAM access;
    bool predefined;
};

namespace {

RegistryKey g_machine{0, "", KEY_ALL_ACCESS, true};
RegistryKey g_user{1, "", KEY_ALL_ACCESS, true};

std::string Owner(int hive)
{
    if (hive == 0) return "";
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    return std::to_string(geteuid());
}

std::string Trim(std::string path)
{
    while (!path.empty() && path.front() == '\\') path.erase(path.begin());
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string Join(const std::string& base, LPCWSTR subKey)
{
    const std::string sub = Trim(platform::Narrow(subKey));
    if (base.empty()) return sub;
    return sub.empty() ? base : base + "\\" + sub;
}

std::string ValueName(LPCWSTR name) { return platform::Narrow(name); }

platform::Store* OpenStore() { return platform::Store::Get(); }

int Changes(platform::Store* store) { return sqlite3_changes(store->db()); }

bool KeyExists(platform::Store* store, int hive, const std::string& path)
{
    if (path.empty()) return true;
    platform::Statement q(store->db(), "SELECT 1 FROM reg_keys WHERE hive=? AND owner=? AND path=?");
    q.Bind(1, hive).Bind(2, Owner(hive)).Bind(3, path);
    return q.Step();
}

// Creates the key and every missing parent; true when the key itself was new.
bool CreateKeyPath(platform::Store* store, int hive, const std::string& path, bool* created)
{
    *created = false;
    for (size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '\\') continue;
        platform::Statement ins(store->db(), "INSERT OR IGNORE INTO reg_keys(hive, owner, path) VALUES(?,?,?)");
        ins.Bind(1, hive).Bind(2, Owner(hive)).Bind(3, path.substr(0, pos));
        if (!ins.Run()) return false;
        if (pos == path.size()) *created = Changes(store) > 0;
    }
    return true;
}

bool Valid(HKEY key) { return key && (key->hive == 0 || key->hive == 1); }

// Immediate sub-key names of a key, in name order.
std::vector<std::string> SubKeys(platform::Store* store, const RegistryKey& key)
{
    platform::Statement q(store->db(), "SELECT path FROM reg_keys WHERE hive=? AND owner=? AND path<>''");
    q.Bind(1, key.hive).Bind(2, Owner(key.hive));
    const std::string prefix = key.path.empty() ? "" : key.path + "\\";
    std::set<std::string> names;
    while (q.Step()) {
        const std::string path = q.Text(0);
        if (path.size() <= prefix.size() || strncasecmp(path.c_str(), prefix.c_str(), prefix.size()) != 0) continue;
        const std::string rest = path.substr(prefix.size());
        if (rest.find('\\') == std::string::npos) names.insert(rest);
    }
    return {names.begin(), names.end()};
}

LSTATUS CopyOut(const std::string& bytes, BYTE* data, LPDWORD dataSize)
{
    if (!dataSize) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (!data) {
        *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    std::copy(bytes.begin(), bytes.end(), data);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LSTATUS CopyName(const std::string& name, LPWSTR out, LPDWORD size)
{
    const std::u16string wide = platform::Widen(name);
    if (!out || !size) return ERROR_INVALID_PARAMETER;
    if (*size <= wide.size()) return ERROR_MORE_DATA;
    lstrcpynW(out, wide.c_str(), static_cast<int>(*size));
    *size = static_cast<DWORD>(wide.size());
    return ERROR_SUCCESS;
}

}  // namespace

const HKEY HKEY_LOCAL_MACHINE = &g_machine;
const HKEY HKEY_CURRENT_USER = &g_user;

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    if (!Valid(key) || !result) return ERROR_INVALID_PARAMETER;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    const std::string path = Join(key->path, subKey);
    if (!KeyExists(store, key->hive, path)) return ERROR_FILE_NOT_FOUND;
    *result = new RegistryKey{key->hive, path, access, false};
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                        LPDWORD disposition)
{
    if (!Valid(key) || !result) return ERROR_INVALID_PARAMETER;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    const std::string path = Join(key->path, subKey);
    bool created = false;
    if (!store->Transaction([&] { return CreateKeyPath(store, key->hive, path, &created); })) return ERROR_CANTWRITE;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = new RegistryKey{key->hive, path, access, false};
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    if (!key->predefined) delete key;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, BYTE* data, LPDWORD dataSize)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    platform::Statement q(store->db(),
                          "SELECT type, data FROM reg_values WHERE hive=? AND owner=? AND path=? AND name=?");
    q.Bind(1, key->hive).Bind(2, Owner(key->hive)).Bind(3, key->path).Bind(4, ValueName(valueName));
    if (!q.Step()) return ERROR_FILE_NOT_FOUND;
    if (type) *type = static_cast<DWORD>(q.Int(0));
    return CopyOut(q.Blob(1), data, dataSize);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!data && dataSize) return ERROR_INVALID_PARAMETER;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    bool exists = true;
    const bool ok = store->Transaction([&] {
        exists = KeyExists(store, key->hive, key->path);
        if (!exists) return false;
        platform::Statement up(store->db(),
                               "INSERT INTO reg_values(hive, owner, path, name, type, data) VALUES(?,?,?,?,?,?) "
                               "ON CONFLICT(hive, owner, path, name) DO UPDATE SET type=excluded.type, "
                               "data=excluded.data");
        up.Bind(1, key->hive).Bind(2, Owner(key->hive)).Bind(3, key->path).Bind(4, ValueName(valueName));
        up.Bind(5, type).BindBlob(6, data, dataSize);
        return up.Run();
    });
    if (!exists) return ERROR_KEY_DELETED;
    return ok ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    int changed = 0;
    const bool ok = store->Transaction([&] {
        platform::Statement del(store->db(),
                                "DELETE FROM reg_values WHERE hive=? AND owner=? AND path=? AND name=?");
        del.Bind(1, key->hive).Bind(2, Owner(key->hive)).Bind(3, key->path).Bind(4, ValueName(valueName));
        if (!del.Run()) return false;
        changed = Changes(store);
        return true;
    });
    if (!ok) return ERROR_CANTWRITE;
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

namespace {

LSTATUS DeleteKey(HKEY key, LPCWSTR subKey, bool tree)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    const std::string path = Join(key->path, subKey);
    if (path.empty() && !tree) return ERROR_ACCESS_DENIED;  // a hive's root stays
    LSTATUS status = ERROR_SUCCESS;
    const bool ok = store->Transaction([&] {
        if (!KeyExists(store, key->hive, path)) {
            status = ERROR_FILE_NOT_FOUND;
            return false;
        }
        RegistryKey target{key->hive, path, KEY_ALL_ACCESS, false};
        if (!tree && !SubKeys(store, target).empty()) {
            status = ERROR_ACCESS_DENIED;
            return false;
        }
        const std::string owner = Owner(key->hive);
        // The key itself (unless it is the root) and everything below it.
        for (const char* sql : {"DELETE FROM reg_values WHERE hive=? AND owner=? AND (path=? OR path LIKE ? ESCAPE '!')",
                                "DELETE FROM reg_keys WHERE hive=? AND owner=? AND (path=? OR path LIKE ? ESCAPE '!') "
                                "AND path<>''"}) {
            std::string pattern;
            for (char c : path) {
                if (c == '%' || c == '_' || c == '!') pattern.push_back('!');
                pattern.push_back(c);
            }
            pattern = path.empty() ? "%" : pattern + "\\%";
            platform::Statement del(store->db(), sql);
            del.Bind(1, key->hive).Bind(2, owner).Bind(3, path).Bind(4, pattern);
            if (!del.Run()) return false;
        }
        return true;
    });
    if (status != ERROR_SUCCESS) return status;
    return ok ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

}  // namespace

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) { return DeleteKey(key, subKey, false); }
LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey) { return DeleteKey(key, subKey, true); }

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD, LPWSTR, LPDWORD, void*)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    const std::vector<std::string> names = SubKeys(store, *key);
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    return CopyName(names[index], name, nameSize);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type, BYTE* data,
                      LPDWORD dataSize)
{
    if (!Valid(key)) return ERROR_INVALID_HANDLE;
    platform::Store* store = OpenStore();
    if (!store) return ERROR_CANTOPEN;
    platform::Statement q(store->db(),
                          "SELECT name, type, data FROM reg_values WHERE hive=? AND owner=? AND path=? "
                          "ORDER BY rowid LIMIT 1 OFFSET ?");
    q.Bind(1, key->hive).Bind(2, Owner(key->hive)).Bind(3, key->path).Bind(4, index);
    if (!q.Step()) return ERROR_NO_MORE_ITEMS;
    if (LSTATUS s = CopyName(q.Text(0), name, nameSize); s != ERROR_SUCCESS) return s;
    if (type) *type = static_cast<DWORD>(q.Int(1));
    return CopyOut(q.Blob(2), data, dataSize);
}
