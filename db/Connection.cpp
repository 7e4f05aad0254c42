#include "db/Connection.h"

#include "db/Backend.h"
#include "db/ConnectionString.h"
#include "db/Messages.h"
#include "db/embedded/EmbeddedBackend.h"
#include "db/odbc/OdbcBackend.h"

namespace quillmere::db {

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::setConnectionString(std::string s) {
    if (backend_) throw DbError::client(msg::kOpenObject);
    connectionString_ = std::move(s);
}
const std::string& Connection::connectionString() const { return connectionString_; }

void Connection::setCursorLocation(CursorLocation c) { cursorLocation_ = c; }
CursorLocation Connection::cursorLocation() const { return cursorLocation_; }

void Connection::open() {
    if (backend_) throw DbError::client(msg::kOpenObject);
    ConnectionStringParts parts = parseConnectionString(connectionString_);
    if (parts.empty()) throw DbError::client(msg::kNoConnectionString);
    if (isEmbeddedDataSource(parts)) {
        const std::string* db = findPart(parts, "Initial Catalog");
        if (!db) db = findPart(parts, "Database");
        backend_ = std::make_shared<EmbeddedBackend>(db ? *db : std::string());
    } else if (isOleDbConnectionString(parts)) {
        backend_ = std::make_shared<OdbcBackend>(oleDbToOdbc(connectionString_, sqlServerOdbcDriver()));
    } else {
        backend_ = std::make_shared<OdbcBackend>(connectionString_);
    }
}

void Connection::close() {
    if (!backend_) throw DbError::client(msg::kClosedObject);
    backend_.reset();
}

bool Connection::isOpen() const { return backend_ != nullptr; }

void Connection::execute(const std::string& sql) {
    QueryResult result;
    backend().query(sql, result);
}

Backend& Connection::backend() {
    if (!backend_) throw DbError::client(msg::kClosedObject);
    return *backend_;
}

std::shared_ptr<Backend> Connection::sharedBackend() {
    if (!backend_) throw DbError::client(msg::kClosedObject);
    return backend_;
}

}  // namespace quillmere::db
