#include "PostgresServer.h"

#include "db/ConnectionString.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quillmere::db::test {

namespace fs = std::filesystem;

namespace {

const char* kBin = "/usr/lib/postgresql/15/bin";

std::string asServerUser(const std::string& command) {
    if (geteuid() != 0) return command;
    return "runuser -u postgres -- " + command;
}

int run(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

int freeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

PostgresServer& PostgresServer::instance() {
    static PostgresServer server;
    return server;
}

void PostgresServer::start() {
    if (!fs::exists(fs::path(kBin) / "initdb")) {
        why_ = "PostgreSQL 15 is not installed";
        return;
    }
    char tmpl[] = "/tmp/quillmere-pg-XXXXXX";
    if (!mkdtemp(tmpl)) {
        why_ = "mkdtemp failed";
        return;
    }
    dir_ = tmpl;
    {
        std::ofstream pw(dir_ + "/pw");
        pw << kPassword << "\n";
    }
    if (geteuid() == 0 && run("chown -R postgres:postgres " + dir_) != 0) {
        why_ = "cannot hand " + dir_ + " to the postgres user";
        return;
    }
    std::string initdb = std::string(kBin) + "/initdb -D " + dir_ + "/data -U quill --pwfile=" + dir_ +
                         "/pw --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync > " + dir_ + "/initdb.log 2>&1";
    if (run(asServerUser(initdb)) != 0) {
        why_ = "initdb failed, see " + dir_ + "/initdb.log";
        return;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        int port = freeLoopbackPort();
        std::string start = std::string(kBin) + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -w -t 60 -o \"-p " +
                            std::to_string(port) + " -h 127.0.0.1 -k " + dir_ +
                            " -c fsync=off -c synchronous_commit=off -c full_page_writes=off\" start > /dev/null 2>&1";
        if (run(asServerUser(start)) == 0) {
            port_ = port;
            return;
        }
    }
    why_ = "pg_ctl start failed, see " + dir_ + "/server.log";
}

void PostgresServer::stop() {
    if (dir_.empty()) return;
    if (port_) run(asServerUser(std::string(kBin) + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop > /dev/null 2>&1"));
    port_ = 0;
    std::error_code ec;
    fs::remove_all(dir_, ec);
    dir_.clear();
}

std::string PostgresServer::connectionString(const std::string& password) const {
    return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=postgres;UID=quill;PWD=" + odbcValue(password) + ";CommLog=0;Debug=0";
}

namespace {

class PostgresEnvironment : public ::testing::Environment {
public:
    void SetUp() override {}  // started on first use, so that runs without ODBC tests pay nothing
    void TearDown() override { PostgresServer::instance().stop(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PostgresEnvironment);

}  // namespace

}  // namespace quillmere::db::test
