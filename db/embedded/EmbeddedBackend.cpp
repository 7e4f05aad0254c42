#include "db/embedded/EmbeddedBackend.h"

#include <cstdlib>
#include <optional>
#include <span>

namespace quillmere::db {

namespace {

constexpr std::size_t kPreparedLimit = 64;

DbError toError(const engine::Message& m) {
    return DbError::server(m.number, m.text, m.severity, m.procedure);
}

// Collects what a batch sends back; the first result set goes into a RowStore.
class CollectingSink : public engine::ResultSink {
public:
    explicit CollectingSink(QueryResult* result) : result_(result) {}

    void beginResultSet(const std::vector<engine::ResultColumn>& columns) override {
        ++resultSets_;
        if (!result_ || resultSets_ > 1) return;
        result_->hasRows = true;
        result_->columns.clear();
        for (const auto& c : columns) {
            ColumnMeta m;
            m.info = FieldInfo{c.name, c.type, c.baseTable, c.baseColumn};
            m.nullable = c.nullable;
            result_->columns.push_back(std::move(m));
        }
        result_->rows.clear();
        result_->rows.setColumns(static_cast<int>(columns.size()));
        cells_.resize(columns.size());
    }
    void row(const engine::RowView& row) override {
        if (!result_ || resultSets_ > 1) return;
        for (std::size_t i = 0; i < cells_.size(); ++i) cells_[i] = row.cell(static_cast<int>(i));
        result_->rows.append(cells_);
    }
    void endResultSet() override {}
    void rowsAffected(std::int64_t n, bool shown, int nestLevel) override {
        if (nestLevel == 0) lastTopLevelCount_ = n;
        if (result_ && shown) result_->info.push_back(InfoMessage{InfoMessage::Kind::RowsAffected, n, {}});
    }
    void message(const engine::Message& m) override {
        if (m.isError()) {
            if (!firstError_) firstError_ = m;
        } else if (result_) {
            result_->info.push_back(InfoMessage{InfoMessage::Kind::Print, 0, m.text});
        }
    }

    const std::optional<engine::Message>& firstError() const { return firstError_; }
    std::int64_t lastTopLevelCount() const { return lastTopLevelCount_; }

private:
    QueryResult* result_;
    int resultSets_ = 0;
    std::vector<engine::ValueView> cells_;
    std::optional<engine::Message> firstError_;
    std::int64_t lastTopLevelCount_ = -1;
};

void check(const engine::BatchStatus& status, const CollectingSink& sink) {
    if (status.ok) return;
    if (sink.firstError()) throw toError(*sink.firstError());
    throw DbError::server(status.firstErrorNumber, "语句执行失败。");
}

}  // namespace

std::filesystem::path EmbeddedBackend::dataDirectory() {
    if (const char* dir = std::getenv("QUILLMERE_DATA_DIR"); dir && *dir) return dir;
    return engine::Session::defaultDataDirectory();
}

EmbeddedBackend::EmbeddedBackend(const std::string& database) {
    engine::SessionOptions options;
    options.dataDirectory = dataDirectory();
    options.database = database;
    engine::Message error;
    session_ = engine::Session::open(options, &error);
    if (!session_) {
        if (error.number == 0 && error.text.empty()) error.text = "无法打开数据库 \"" + database + "\"。";
        throw DbError::server(error.number, error.text, error.severity ? error.severity : 11);
    }
}

void EmbeddedBackend::query(const std::string& sql, QueryResult& result) {
    CollectingSink sink(&result);
    engine::BatchStatus status = session_->execute(sql, sink);
    check(status, sink);
}

std::int64_t EmbeddedBackend::write(const std::string& sql, std::vector<WriteParam>& params) {
    // the parameters' storage (and their names) is kept from one row to the next
    std::vector<engine::Parameter>& ps = parameters_;
    if (ps.size() < params.size()) {
        for (std::size_t i = ps.size(); i < params.size(); ++i)
            ps.push_back(engine::Parameter{parameterMarker(static_cast<int>(i)), {}, {}});
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        ps[i].type = params[i].column->info.type;
        ps[i].value = std::move(params[i].value);
    }
    std::span<const engine::Parameter> used(ps.data(), params.size());
    // a batch save sends the same text row after row: the last one is checked first
    if (!lastPrepared_ || lastSql_ != sql) {
        auto it = prepared_.find(sql);
        if (it == prepared_.end()) {
            if (prepared_.size() >= kPreparedLimit) prepared_.clear();
            it = prepared_.emplace(sql, session_->prepare(sql)).first;
        }
        lastPrepared_ = it->second.get();
        lastSql_ = sql;
    }
    CollectingSink sink(nullptr);
    engine::BatchStatus status = lastPrepared_->execute(used, sink);
    check(status, sink);
    return sink.lastTopLevelCount();
}

void EmbeddedBackend::run(const std::string& sql) {
    CollectingSink sink(nullptr);
    check(session_->execute(sql, sink), sink);
}

void EmbeddedBackend::beginTransaction() { run("BEGIN TRANSACTION"); }
void EmbeddedBackend::commit() { run("COMMIT TRANSACTION"); }
void EmbeddedBackend::rollback() noexcept {
    try {
        run("ROLLBACK TRANSACTION");  // an error 3903 (no transaction) is of no interest here
    } catch (...) {
    }
}

std::vector<std::string> EmbeddedBackend::primaryKey(const std::string& table) {
    return session_->primaryKey(table);
}

std::string EmbeddedBackend::parameterMarker(int i) const { return "@p" + std::to_string(i + 1); }

std::string EmbeddedBackend::quoteIdentifier(std::string_view name) const {
    std::string r = "[";
    for (char c : name) {
        r += c;
        if (c == ']') r += ']';
    }
    r += ']';
    return r;
}

}  // namespace quillmere::db
