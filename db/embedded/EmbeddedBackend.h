// The backend over the embedded engine: one engine::Session per connection.
#pragma once

#include "db/Backend.h"
#include "engine/Session.h"

#include <memory>
#include <unordered_map>

namespace quillmere::db {

class EmbeddedBackend : public Backend {
public:
    // Opens database in the data directory ($QUILLMERE_DATA_DIR when set, else the
    // engine's default). Throws DbError with the engine's number and text.
    explicit EmbeddedBackend(const std::string& database);

    void query(const std::string& sql, QueryResult& result) override;
    std::int64_t write(const std::string& sql, std::vector<WriteParam>& params) override;
    void beginTransaction() override;
    void commit() override;
    void rollback() noexcept override;
    std::vector<std::string> primaryKey(const std::string& table) override;
    std::string parameterMarker(int i) const override;
    std::string quoteIdentifier(std::string_view name) const override;

    engine::Session& session() { return *session_; }

    static std::filesystem::path dataDirectory();

private:
    void run(const std::string& sql);

    std::unique_ptr<engine::Session> session_;
    // Write statements read once: a batch save runs the same few texts for many rows.
    std::unordered_map<std::string, std::unique_ptr<engine::PreparedBatch>> prepared_;
    std::vector<engine::Parameter> parameters_;
    engine::PreparedBatch* lastPrepared_ = nullptr;  // the statement of lastSql_, held in prepared_
    std::string lastSql_;
};

}  // namespace quillmere::db
