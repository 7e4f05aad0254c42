// An ADO-style connection. The connection string decides the backend:
//   "...;Data Source=(embedded)"  the embedded T-SQL engine (database file named by
//                                 Initial Catalog; login parts accepted and ignored)
//   any other OLE DB string       ODBC to SQL Server (Microsoft's driver when
//                                 installed, FreeTDS otherwise)
//   "Driver=...;..." / "DSN=..."  an ODBC string, passed on as it is
#pragma once

#include "db/DbError.h"

#include <memory>
#include <string>

namespace quillmere::db {

enum class CursorLocation { Server = 2, Client = 3 };

class Backend;  // embedded or ODBC; see Backend.h

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(std::string s);
    const std::string& connectionString() const;
    void setCursorLocation(CursorLocation c);
    CursorLocation cursorLocation() const;

    void open();   // throws DbError with the server's number and text
    void close();  // throws DbError when not open
    bool isOpen() const;

    // Runs a statement that returns no rows (or whose rows are not wanted).
    void execute(const std::string& sql);

    Backend& backend();  // for Recordset; throws DbError when not open
    // The open backend, shared so that a record set can tell when its connection
    // was closed or destroyed; throws DbError when not open.
    std::shared_ptr<Backend> sharedBackend();

private:
    std::string connectionString_;
    CursorLocation cursorLocation_ = CursorLocation::Server;
    std::shared_ptr<Backend> backend_;
};

// Translates an OLE DB connection string (Provider=SQLOLEDB.1;...) into an ODBC one
// for the given driver name; values are braced when they contain ; = { or }.
std::string oleDbToOdbc(const std::string& oleDb, const std::string& driver);

}  // namespace quillmere::db
