#include <sqlite3.h>

#include "platform/store.h"

namespace platform {

Statement::Statement(sqlite3* db, const char* sql)
{
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, long long value)
{
    if (stmt_ && sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) failed_ = true;
    return *this;
}

Statement& Statement::Bind(int index, const std::string& text)
{
    if (stmt_ && sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
                     SQLITE_OK)
        failed_ = true;
    return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size)
{
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    if (stmt_ && sqlite3_bind_blob(stmt_, index, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT) !=
                     SQLITE_OK)
        failed_ = true;
    return *this;
}

bool Statement::Step()
{
    if (!stmt_ || failed_) return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) failed_ = true;
    return false;
}

bool Statement::Run()
{
    while (Step()) {
    }
    return stmt_ && !failed_;
}

long long Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const
{
    const auto* text = sqlite3_column_text(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(stmt_, column)) : "";
}

std::string Statement::Blob(int column) const
{
    const void* data = sqlite3_column_blob(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, column)) : "";
}

}  // namespace platform
