// The error a database operation raises: the server's number and text, or a
// client-side misuse (number 0 with a description).
#pragma once

#include <stdexcept>
#include <string>

namespace quillmere::db {

class DbError : public std::runtime_error {
public:
    DbError(int number, std::string text, int severity = 16, std::string source = {})
        : std::runtime_error(text), number_(number), severity_(severity), text_(std::move(text)),
          source_(std::move(source)) {}

    int number() const { return number_; }      // server error number; 0 for client-side errors
    int severity() const { return severity_; }
    const std::string& text() const { return text_; }  // the server's message, as it gives it
    const std::string& source() const { return source_; }

private:
    int number_;
    int severity_;
    std::string text_;
    std::string source_;
};

}  // namespace quillmere::db
