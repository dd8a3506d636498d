// The durable store: one SQLite database in $LUMENO_ROOT, shared by every process of the
// system. Each write is one transaction, so a crash never leaves half a value behind.
#pragma once

#include <functional>
#include <string>

struct sqlite3;

namespace platform {

// $LUMENO_ROOT, else ${XDG_STATE_HOME:-~/.local/state}/lumeno.
std::string StoreRoot();

class Store {
public:
    // The process's connection to the store of the current root, opened (and the schema
    // created) on first use. Null, with the reason in *error, when the store cannot be opened.
    static Store* Get(std::string* error = nullptr);

    sqlite3* db() const { return db_; }
    const std::string& path() const { return path_; }

    // Runs body inside one immediate transaction; commits when it returns true.
    bool Transaction(const std::function<bool()>& body);

    // Forgets the connection, so that the next Get opens the store of the current root.
    static void Reset();

    ~Store();

private:
    Store(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    sqlite3* db_;
    std::string path_;
};

}  // namespace platform

struct sqlite3_stmt;

namespace platform {

// One prepared statement; binds are 1-based as in SQLite.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& Bind(int index, long long value);
    Statement& Bind(int index, const std::string& text);
    Statement& BindBlob(int index, const void* data, size_t size);

    // True while a row is available.
    bool Step();
    // True when the statement ran to its end without an error.
    bool Run();

    long long Int(int column) const;
    std::string Text(int column) const;
    std::string Blob(int column) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

}  // namespace platform
