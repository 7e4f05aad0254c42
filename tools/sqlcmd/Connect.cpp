// Opening the server a command line names.
#include "tools/sqlcmd/Runner.h"

#include "engine/Errors.h"

#include <cstdlib>

namespace quillmere::sqlcmd {

namespace {

class EmbeddedServer : public Server {
public:
    explicit EmbeddedServer(std::unique_ptr<engine::Session> s) : session_(std::move(s)) {}
    engine::BatchStatus execute(std::string_view batch, engine::ResultSink& sink) override {
        return session_->execute(batch, sink);
    }
    std::string currentDatabase() const override { return session_->currentDatabase(); }

private:
    std::unique_ptr<engine::Session> session_;
};

}  // namespace

std::unique_ptr<Server> openOdbcServer(const Options& options, engine::Message* error);

std::unique_ptr<Server> openServer(const Options& options, engine::Message* error) {
    if (!isEmbeddedServer(options.server)) return openOdbcServer(options, error);
    engine::SessionOptions so;
    if (const char* dir = std::getenv("QUILLMERE_DATA_DIR"); dir && *dir) so.dataDirectory = dir;
    so.database = options.database;
    so.serverName = "(embedded)";
    engine::Message m;
    std::unique_ptr<engine::Session> session;
    try {
        session = engine::Session::open(so, &m);
    } catch (const std::exception& e) {
        m = engine::internalError(e.what());
    }
    if (!session) {
        if (m.number == 0 && m.text.empty()) m = engine::makeError(4060, {options.database});
        if (error) *error = m;
        return nullptr;
    }
    return std::make_unique<EmbeddedServer>(std::move(session));
}

}  // namespace quillmere::sqlcmd
