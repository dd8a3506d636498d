#include "platform/store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace platform {

namespace {

std::recursive_mutex g_storeLock;
std::unique_ptr<Store> g_store;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys (
  hive INTEGER NOT NULL, owner TEXT NOT NULL, path TEXT NOT NULL COLLATE NOCASE,
  PRIMARY KEY (hive, owner, path));
CREATE TABLE IF NOT EXISTS reg_values (
  hive INTEGER NOT NULL, owner TEXT NOT NULL, path TEXT NOT NULL COLLATE NOCASE,
  name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,
  PRIMARY KEY (hive, owner, path, name));
CREATE TABLE IF NOT EXISTS printers (
  name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, port TEXT NOT NULL, comment TEXT NOT NULL,
  location TEXT NOT NULL, attributes INTEGER NOT NULL, devmode BLOB,
  driver_name TEXT NOT NULL, driver_version INTEGER NOT NULL, environment TEXT NOT NULL,
  driver_path TEXT NOT NULL, data_file TEXT NOT NULL, config_file TEXT NOT NULL,
  help_file TEXT NOT NULL, dependent_files TEXT NOT NULL, monitor TEXT NOT NULL,
  default_datatype TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS printer_data (
  printer TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL,
  data BLOB NOT NULL, PRIMARY KEY (printer, name));
CREATE TABLE IF NOT EXISTS user_devmodes (
  printer TEXT NOT NULL COLLATE NOCASE, owner TEXT NOT NULL, devmode BLOB NOT NULL,
  PRIMARY KEY (printer, owner));
CREATE TABLE IF NOT EXISTS forms (
  name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, flags INTEGER NOT NULL, cx INTEGER NOT NULL,
  cy INTEGER NOT NULL, left_edge INTEGER NOT NULL, top_edge INTEGER NOT NULL,
  right_edge INTEGER NOT NULL, bottom_edge INTEGER NOT NULL);
)sql";

bool MakeDirectories(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool Exec(sqlite3* db, const char* sql, std::string* error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    if (error) *error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

}  // namespace

std::string StoreRoot()
{
    if (const char* root = std::getenv("LUMENO_ROOT"); root && *root) return root;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::string(state) + "/lumeno";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/lumeno";
}

Store* Store::Get(std::string* error)
{
    std::lock_guard guard(g_storeLock);
    const std::string path = StoreRoot() + "/store.db";
    if (g_store && g_store->path_ == path) return g_store.get();
    g_store.reset();
    if (!MakeDirectories(StoreRoot())) {
        if (error) *error = "cannot create the store directory " + StoreRoot();
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        if (error) *error = "cannot open the store " + path + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    // Several processes share the store: wait for each other rather than fail at once.
    sqlite3_busy_timeout(db, 10000);
    if (!Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) || !Exec(db, kSchema, error)) {
        sqlite3_close(db);
        return nullptr;
    }
    g_store.reset(new Store(db, path));
    return g_store.get();
}

bool Store::Transaction(const std::function<bool()>& body)
{
    std::lock_guard guard(g_storeLock);
    if (!Exec(db_, "BEGIN IMMEDIATE", nullptr)) return false;
    bool ok = false;
    try {
        ok = body();
    } catch (...) {
        ok = false;
    }
    if (ok && Exec(db_, "COMMIT", nullptr)) return true;
    Exec(db_, "ROLLBACK", nullptr);
    return false;
}

void Store::Reset()
{
    std::lock_guard guard(g_storeLock);
    g_store.reset();
}

Store::~Store() { sqlite3_close(db_); }

}  // namespace platform
