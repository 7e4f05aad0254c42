// The error a database operation raises: the server's number and text, or a
// client-side misuse (number 0 with a description).
#pragma once

#include <stdexcept>
#include <string>

namespace quillmere::db {

class DbError : public std::runtime_error {
public:
    // What raised the error: the server (or driver), a misuse of the objects by the
    // program, or a row that someone else changed or deleted since it was read.
    enum class Kind { Server, Client, Conflict };

    DbError(int number, std::string text, int severity = 16, std::string source = {})
        : std::runtime_error(text), number_(number), severity_(severity), text_(std::move(text)),
          source_(std::move(source)), kind_(number == 0 ? Kind::Client : Kind::Server) {}

    // A misuse of a connection or record set (number 0).
    static DbError client(std::string text) { return DbError(0, std::move(text)); }
    // An update batch that found a row changed or deleted by someone else (number 0).
    static DbError conflict(std::string text) {
        DbError e(0, std::move(text));
        e.kind_ = Kind::Conflict;
        return e;
    }
    // A refusal by the server or driver whose native number is 0 (ODBC drivers do this).
    static DbError server(int number, std::string text, int severity = 16, std::string source = {}) {
        DbError e(number, std::move(text), severity, std::move(source));
        e.kind_ = Kind::Server;
        return e;
    }

    int number() const { return number_; }      // server error number; 0 for client-side errors
    int severity() const { return severity_; }
    const std::string& text() const { return text_; }  // the server's message, as it gives it
    const std::string& source() const { return source_; }
    Kind kind() const { return kind_; }
    bool isConflict() const { return kind_ == Kind::Conflict; }
    // ODBC only: the SQLSTATE of the first diagnostic record ("08001", "28000" ...).
    const std::string& sqlState() const { return sqlState_; }
    void setSqlState(std::string s) { sqlState_ = std::move(s); }

private:
    int number_;
    int severity_;
    std::string text_;
    std::string source_;
    Kind kind_;
    std::string sqlState_;
};

}  // namespace quillmere::db
