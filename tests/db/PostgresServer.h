// A throwaway PostgreSQL cluster for the ODBC tests: initdb in a temporary folder,
// started on 127.0.0.1 with a free port, removed at the end. As root the server
// programs run as the postgres system user (initdb refuses root).
#pragma once

#include <string>

namespace quillmere::db::test {

class PostgresServer {
public:
    // Starts the cluster; on failure available() is false and why() says why.
    void start();
    void stop();
    bool available() const { return port_ != 0; }
    const std::string& why() const { return why_; }
    int port() const { return port_; }

    // "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=...;Database=postgres;UID=quill;PWD=..."
    std::string connectionString(const std::string& password = kPassword) const;

    static constexpr const char* kPassword = "Qu1ll;mere";  // a ";" to prove the bracing

    static PostgresServer& instance();

private:
    std::string dir_;
    std::string why_;
    int port_ = 0;
};

int freeLoopbackPort();

}  // namespace quillmere::db::test
