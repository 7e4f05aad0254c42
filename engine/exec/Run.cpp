// Running batches: the plan cache, statement dispatch, variables and control flow.
#include "engine/Convert.h"
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/exec/Engine.h"
#include "engine/parse/Parser.h"
#include "engine/types/SqliteFunctions.h"

#include <optional>
#include <sqlite3.h>

namespace quillmere::engine::exec {

using ast::StmtKind;

namespace {

constexpr std::size_t kPlanCacheLimit = 2000;
constexpr std::uint64_t kLoopLimit = 50'000'000;

Message noDatabase() {
    return internalError("未选择数据库：请先执行 CREATE DATABASE 或 USE。");
}

}  // namespace

BatchStatus Engine::execute(std::string_view batch, ResultSink& sink) {
    return execute(batch, std::span<const Parameter>(), sink);
}

BatchStatus Engine::execute(std::string_view batch, std::span<const Parameter> parameters, ResultSink& sink) {
    if (executing_ > 0) {
        // run from inside a sink callback: keep the outer batch's state intact
        ResultSink* savedSink = sink_;
        BatchStatus savedStatus = status_;
        auto savedCursors = std::move(cursors_);
        auto savedCaught = std::move(caught_);
        int savedTry = tryDepth_;
        lex::LexResult savedLex = std::move(lexed_);
        parse::Literals savedLits = std::move(literals_);
        lexed_ = lex::LexResult();
        literals_ = parse::Literals();
        std::uint64_t savedLoops = loops_;
        ++executing_;
        BatchStatus r = executeOutermost(batch, parameters, sink);
        --executing_;
        sink_ = savedSink;
        status_ = savedStatus;
        cursors_ = std::move(savedCursors);
        caught_ = std::move(savedCaught);
        tryDepth_ = savedTry;
        lexed_ = std::move(savedLex);
        literals_ = std::move(savedLits);
        loops_ = savedLoops;
        return r;
    }
    ++executing_;
    BatchStatus r = executeOutermost(batch, parameters, sink);
    --executing_;
    return r;
}

void Engine::runBatch(const ast::Batch& tree, const parse::Literals& literals, std::span<const Parameter> parameters,
                      ResultSink&, ReusedFrame* reused) {
    std::optional<Frame> fresh;
    if (!reused) fresh.emplace();
    Frame& top = reused ? reused->frame : *fresh;
    top.literals = &literals;
    top.returnValue = 0;
    bool same = reused && reused->names.size() == parameters.size() && top.vars.size() == parameters.size();
    for (std::size_t i = 0; same && i < parameters.size(); ++i) same = reused->names[i] == parameters[i].name;
    if (same) {
        // the variables of the last run, in parameter order: only the values change
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            reused->slots[i]->type = parameters[i].type;
            reused->slots[i]->value = parameters[i].value;
        }
    } else {
        top.vars.clear();
        for (const auto& p : parameters) {
            std::string name = lex::lower(p.name);
            if (name.empty() || name[0] != '@') name = "@" + name;
            top.vars[name] = Variable{p.type, p.value};
        }
        if (reused) {
            reused->names.clear();
            reused->slots.clear();
            for (const auto& p : parameters) {
                std::string name = lex::lower(p.name);
                if (name.empty() || name[0] != '@') name = "@" + name;
                reused->names.push_back(p.name);
                reused->slots.push_back(&top.vars[name]);
            }
            if (top.vars.size() != parameters.size()) reused->names.clear();  // a name given twice
        }
    }
    // variables the batch declares do not outlive the run
    struct Trim {
        Frame& f;
        ReusedFrame* r;
        std::size_t n;
        ~Trim() {
            if (r && f.vars.size() != n) {
                f.vars.clear();
                r->names.clear();
                r->slots.clear();
            }
            if (r) f.tableVariables.clear();
        }
    } trim{top, reused, parameters.size()};
    try {
        runStatements(tree.statements, top);
    } catch (...) {
        dropTableVariables(top);
        throw;
    }
    dropTableVariables(top);
    // cursors refer to the batch's tree: they end with it
    cursors_.clear();
    caught_.clear();
    tryDepth_ = 0;
}

namespace {

// A batch parsed once; its statements keep their prepared SQLite plans between runs.
class Prepared final : public PreparedBatch {
public:
    Prepared(Engine& engine, std::string_view text) : engine_(engine), text_(text) {
        lex::LexResult lexed;
        lex::tokenize(text_, lexed);
        parse::decodeLiterals(text_, lexed, literals_);
        Message error;
        if (!parse::parseBatch(text_, lexed, tree_, error)) parsed_ = false;
    }
    BatchStatus execute(std::span<const Parameter> parameters, ResultSink& sink) override {
        // A syntax error, or a batch started from inside another one's sink, takes the ordinary way.
        if (!parsed_) return engine_.execute(text_, parameters, sink);
        return engine_.runPrepared(tree_, literals_, parameters, sink, &frame_);
    }

private:
    ReusedFrame frame_;
    Engine& engine_;
    std::string text_;
    parse::Literals literals_;
    ast::Batch tree_;
    bool parsed_ = true;
};

}  // namespace

std::unique_ptr<PreparedBatch> Engine::prepare(std::string_view batch) {
    return std::make_unique<Prepared>(*this, batch);
}

BatchStatus Engine::runPrepared(const ast::Batch& tree, const parse::Literals& literals,
                                std::span<const Parameter> parameters, ResultSink& sink, ReusedFrame* frame) {
    if (executing_ > 0) {
        // from inside a sink callback: not worth the saved state; run it as a nested batch
        ResultSink* savedSink = sink_;
        BatchStatus savedStatus = status_;
        auto savedCursors = std::move(cursors_);
        auto savedCaught = std::move(caught_);
        int savedTry = tryDepth_;
        std::uint64_t savedLoops = loops_;
        ++executing_;
        BatchStatus r = runPreparedOutermost(tree, literals, parameters, sink, frame);
        --executing_;
        sink_ = savedSink;
        status_ = savedStatus;
        cursors_ = std::move(savedCursors);
        caught_ = std::move(savedCaught);
        tryDepth_ = savedTry;
        loops_ = savedLoops;
        return r;
    }
    ++executing_;
    BatchStatus r = runPreparedOutermost(tree, literals, parameters, sink, frame);
    --executing_;
    return r;
}

// Runs the outermost batch: an error escaping it ends the batch and is reported once.
template <class Body>
BatchStatus Engine::guardBatch(ResultSink& sink, Body&& body) {
    sink_ = &sink;
    status_ = BatchStatus{};
    loops_ = 0;
    try {
        body();
    } catch (const RuntimeError& e) {
        if (e.reported) {
            resetAfterBatchError();
        } else {
            Message m = e.message;
            m.server = options_.serverName;
            endBatchWithError(m, sink);
        }
    } catch (const std::exception& e) {
        endBatchWithError(internalError(e.what()), sink);
    }
    sink_ = nullptr;
    return status_;
}

BatchStatus Engine::runPreparedOutermost(const ast::Batch& tree, const parse::Literals& literals,
                                         std::span<const Parameter> parameters, ResultSink& sink, ReusedFrame* frame) {
    return guardBatch(sink, [&] { runBatch(tree, literals, parameters, sink, frame); });
}

BatchStatus Engine::executeOutermost(std::string_view batch, std::span<const Parameter> parameters, ResultSink& sink) {
    return guardBatch(sink, [&] {
        lex::tokenize(batch, lexed_);
        std::shared_ptr<ast::Batch> tree;
        // the batch's literals (reused storage: the session runs one batch at a time)
        parse::Literals& literals = literals_;
        parse::decodeLiterals(batch, lexed_, literals);
        auto it = planCache_.find(lexed_.shape);
        if (it != planCache_.end()) {
            const CachedBatch& cb = it->second;
            bool same = true;
            for (std::size_t i = 0; i < cb.batch->structuralSlots.size(); ++i) {
                int slot = cb.batch->structuralSlots[i];
                if (slot >= static_cast<int>(literals.values.size()) || !(literals.values[slot] == cb.structural[i])) {
                    same = false;
                    break;
                }
            }
            if (same) tree = cb.batch;
        }
        if (!tree) {
            tree = std::make_shared<ast::Batch>();
            Message error;
            if (!parse::parseBatch(batch, lexed_, *tree, error)) {
                error.server = options_.serverName;
                status_.ok = false;
                status_.firstErrorNumber = error.number;
                lastError_ = error.number;
                sink.message(error);
                return;
            }
            if (tree->cacheable && batch.size() < 100000) {
                if (planCache_.size() >= kPlanCacheLimit) planCache_.clear();
                CachedBatch cb;
                cb.batch = tree;
                for (int slot : tree->structuralSlots) cb.structural.push_back(literals.values[slot]);
                planCache_[lexed_.shape] = std::move(cb);
            }
        }
        runBatch(*tree, literals, parameters, sink);
    });
}

void Engine::report(Message m, const ast::Stmt& s, const Frame& f) {
    if (m.line < s.line) m.line = s.line;
    if (m.procedure.empty()) m.procedure = f.procedure;
    m.server = options_.serverName;
    if (m.isError()) {
        if (status_.ok) status_.firstErrorNumber = m.number;
        status_.ok = false;
        lastError_ = m.number;
        ++errorReports_;
    }
    if (sink_) sink_->message(m);
}

void Engine::emitRowCount(std::int64_t n, const Frame& f) {
    if (sink_) sink_->rowsAffected(n, !nocount_, f.nestLevel);
}

void Engine::resetAfterBatchError() {
    cursors_.clear();
    caught_.clear();
    tryDepth_ = 0;
}

// An error that ends the whole batch: reported once, and the batch's status tells it.
void Engine::endBatchWithError(const Message& m, ResultSink& sink) {
    resetAfterBatchError();
    status_.ok = false;
    if (!status_.firstErrorNumber) status_.firstErrorNumber = m.number;
    sink.message(m);
}

Flow Engine::runStatements(const std::vector<ast::StmtPtr>& list, Frame& f) {
    for (const auto& s : list) {
        Flow fl = runStatement(*s, f);
        if (fl != Flow::Next) return fl;
    }
    return Flow::Next;
}

Flow Engine::runStatement(const ast::Stmt& s, Frame& f) {
    bool aborts = false;
    try {
        // @@ERROR keeps the previous statement's error while this one runs (IF @@ERROR <> 0);
        // it is cleared when a simple statement ends without an error of its own.
        std::uint64_t reportsBefore = errorReports_;
        Flow fl = dispatch(s, f);
        bool compound = s.kind == ast::StmtKind::If || s.kind == ast::StmtKind::While ||
                        s.kind == ast::StmtKind::Block || s.kind == ast::StmtKind::TryCatch;
        if (!compound && errorReports_ == reportsBefore) lastError_ = 0;
        return fl;
    } catch (const RuntimeError& e) {
        if (!e.caught) rowcount_ = 0;
        if (e.caught) return Flow::Caught;
        if (tryDepth_ > 0 && !e.reported && e.message.isError()) {
            Message m = e.message;
            if (m.line < s.line) m.line = s.line;
            if (m.procedure.empty()) m.procedure = f.procedure;
            caught_.push_back(m);
            lastError_ = m.number;
            return Flow::Caught;
        }
        if (!e.reported) {
            report(e.message, s, f);
            if (e.terminated) report(statementTerminated(), s, f);
        }
        aborts = e.abortBatch || e.reported || errorScope(e.message.number) == ErrorScope::Batch;
    } catch (const translate::TranslateError& e) {
        rowcount_ = 0;
        if (tryDepth_ > 0) {
            Message m = e.message;
            if (m.procedure.empty()) m.procedure = f.procedure;
            caught_.push_back(m);
            lastError_ = m.number;
            return Flow::Caught;
        }
        report(e.message, s, f);
        int n = e.message.number;
        aborts = n == 208 || n == 207 || n == 4104 || n == 209 || errorScope(n) == ErrorScope::Batch;
    }
    // Inside a trigger every error ends the batch, as on the server.
    if (f.triggerObject) aborts = true;
    if (xactAbort_ && lastError_ != 0) {
        // SET XACT_ABORT ON: the whole transaction is undone and the batch ends
        if (trancount_ > 0 && savepointDepth_ == 0) {
            execOk("ROLLBACK");
            trancount_ = 0;
        }
        aborts = true;
    }
    return aborts ? Flow::Abort : Flow::Next;
}

translate::Environment Engine::environment(Frame& f) {
    translate::Environment env;
    env.catalog = &catalog_;
    env.literals = f.literals;
    env.trigger = f.trigger;
    env.database = database_;
    env.variableType = [&f](const std::string& name) -> const SqlType* {
        auto it = f.vars.find(name);
        return it == f.vars.end() ? nullptr : &it->second.type;
    };
    env.resolveView = [this](catalog::Object& v) { resolveView(v); };
    env.identityInsert = &identityInsert_;
    return env;
}

static int variantOf(int part, const Frame& f) { return part * 64 + (f.trigger ? f.nestLevel : 0); }

Compiled* Engine::cachedPlan(const ast::Stmt& s, int part, const Frame& f) {
    int variant = variantOf(part, f);
    for (auto& [v, p] : s.plans) {
        if (v != variant) continue;
        auto* c = static_cast<Compiled*>(p.get());
        if (!c->busy && c->catalogVersion == catalog_.version()) return c;
    }
    return nullptr;
}

Compiled& Engine::compile(const ast::Stmt& s, int part, Frame& f, const std::function<void(Compiled&)>& build) {
    int variant = variantOf(part, f);
    for (auto& [v, p] : s.plans) {
        if (v != variant) continue;
        auto* c = static_cast<Compiled*>(p.get());
        if (c->busy) continue;  // the statement runs inside itself (recursion): use another copy
        if (c->catalogVersion == catalog_.version()) return *c;
        auto fresh = std::make_shared<Compiled>();
        fresh->catalogVersion = catalog_.version();
        build(*fresh);
        prepare(*fresh);
        p = fresh;
        return *fresh;
    }
    auto fresh = std::make_shared<Compiled>();
    fresh->catalogVersion = catalog_.version();
    try {
        build(*fresh);
    } catch (const translate::TranslateError& e) {
        // Another program may have created the object since the catalog was read.
        int n = e.message.number;
        if ((n == 208 || n == 2812 || n == 195) && reloadCatalogIfChanged()) {
            fresh = std::make_shared<Compiled>();
            fresh->catalogVersion = catalog_.version();
            build(*fresh);
        } else {
            throw;
        }
    }
    prepare(*fresh);
    s.plans.emplace_back(variant, fresh);
    return *fresh;
}

void Engine::prepare(Compiled& c) {
    const std::string& sql = c.isDml ? c.dml.main.sql : c.query.sql;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &c.stmt,
                           nullptr) != SQLITE_OK) {
        std::string err = sqlite3_errmsg(db_);
        sqlite3_finalize(c.stmt);
        c.stmt = nullptr;
        if (auto m = decodeSqliteError(err)) throw RuntimeError{*m};
        if (err.find("misuse of aggregate") != std::string::npos || err.find("misuse of window") != std::string::npos)
            throw RuntimeError{qmError(147), true};
        if (err.find("no such table") != std::string::npos) {
            reloadCatalogIfChanged();
            throw RuntimeError{qmError(208, {err.substr(err.find(':') + 2)}), true};
        }
        throw RuntimeError{internalError(err + " [" + sql.substr(0, 300) + "]")};
    }
    if (c.isDml && !c.dml.captureOld.sql.empty()) {
        const std::string& cap = c.dml.captureOld.sql;
        if (sqlite3_prepare_v3(db_, cap.c_str(), static_cast<int>(cap.size()), SQLITE_PREPARE_PERSISTENT, &c.capture,
                               nullptr) != SQLITE_OK) {
            std::string err = sqlite3_errmsg(db_);
            throw RuntimeError{internalError(err)};
        }
    }
}

static void bindValue(sqlite3_stmt* st, int index, const Value& v, bool copy) {
    switch (v.kind) {
    case ValueKind::Null: sqlite3_bind_null(st, index); break;
    case ValueKind::Integer: sqlite3_bind_int64(st, index, v.integer); break;
    case ValueKind::Real: sqlite3_bind_double(st, index, v.real); break;
    case ValueKind::Text:
        sqlite3_bind_text(st, index, v.bytes.data(), static_cast<int>(v.bytes.size()),
                          copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
        break;
    case ValueKind::Blob:
        sqlite3_bind_blob(st, index, v.bytes.data(), static_cast<int>(v.bytes.size()),
                          copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
        break;
    }
}

Value Engine::paramValue(const translate::ParamRef& p, Frame& f, SqlType* type) {
    switch (p.kind) {
    case translate::ParamKind::Literal:
        if (type) *type = f.literals->types[p.slot];
        return f.literals->values[p.slot];
    case translate::ParamKind::Variable: {
        auto it = f.vars.find(p.name);
        if (it == f.vars.end()) {
            Message m = qmError(137, {p.name});
            m.line = p.line;
            throw RuntimeError{m};
        }
        if (type) *type = it->second.type;
        return it->second.value;
    }
    case translate::ParamKind::GlobalVar: {
        if (type) *type = SqlType{TypeId::Int};
        const std::string& n = p.name;
        if (n == "@@rowcount") return Value::fromInteger(rowcount_);
        if (n == "@@error") return Value::fromInteger(lastError_);
        if (n == "@@trancount") return Value::fromInteger(trancount_);
        if (n == "@@nestlevel") return Value::fromInteger(f.nestLevel);
        if (n == "@@spid") return Value::fromInteger(51);
        if (n == "@@datefirst") return Value::fromInteger(7);
        if (n == "@@fetch_status") return Value::fromInteger(fetchStatus_);
        if (n == "xact_state") return Value::fromInteger(trancount_ > 0 ? 1 : 0);
        if (n.rfind("error_", 0) == 0) {
            if (caught_.empty()) return Value::null();
            const Message& m = caught_.back();
            if (n == "error_number") return Value::fromInteger(m.number);
            if (n == "error_severity") return Value::fromInteger(m.severity);
            if (n == "error_state") return Value::fromInteger(m.state);
            if (n == "error_line") return Value::fromInteger(m.line);
            if (type) *type = SqlType{TypeId::NVarChar, 4000};
            if (n == "error_procedure") return m.procedure.empty() ? Value::null() : Value::fromText(m.procedure);
            return Value::fromText(m.text);
        }
        if (n == "@@identity") {
            if (type) *type = SqlType{TypeId::Numeric, 0, 38, 0};
            return functions_.hasIdentity ? Value::fromInteger(functions_.lastIdentity) : Value::null();
        }
        if (type) *type = SqlType{TypeId::NVarChar, 128};
        if (n == "@@version") return Value::fromText("Microsoft SQL Server (Quillmere embedded T-SQL engine on SQLite)");
        if (n == "@@servername" || n == "@@servicename") return Value::fromText(options_.serverName);
        if (n == "@@language") return Value::fromText("简体中文");
        return Value::null();
    }
    }
    return Value::null();
}

void Engine::bind(sqlite3_stmt* st, const std::vector<translate::ParamRef>& params, Frame& f, bool borrow) {
    int count = sqlite3_bind_parameter_count(st);
    for (std::size_t i = 0; i < params.size(); ++i) {
        int index = static_cast<int>(i) + 1;
        if (index > count) break;
        const translate::ParamRef& p = params[i];
        if (!p.convert && p.kind == translate::ParamKind::Literal) {
            bindValue(st, index, f.literals->values[p.slot], false);
            continue;
        }
        if (p.kind == translate::ParamKind::Variable) {
            // a variable's value is bound where it is, without a copy
            auto it = f.vars.find(p.name);
            if (it != f.vars.end()) {
                const Variable& var = it->second;
                if (!p.convert) {
                    bindValue(st, index, var.value, !borrow);
                    continue;
                }
                auto r = convertValue(var.value, var.type, p.to, p.context);
                if (auto* m = std::get_if<Message>(&r)) {
                    Message msg = *m;
                    msg.line = p.line;
                    RuntimeError e{msg};
                    e.terminated = msg.number == 8152;
                    throw e;
                }
                bindValue(st, index, std::get<Value>(r), true);
                continue;
            }
        }
        SqlType from;
        Value v = paramValue(p, f, &from);
        if (p.convert) {
            auto r = convertValue(v, from, p.to, p.context);
            if (auto* m = std::get_if<Message>(&r)) {
                Message msg = *m;
                msg.line = p.line;
                RuntimeError e{msg};
                e.terminated = msg.number == 8152;
                throw e;
            }
            bindValue(st, index, std::get<Value>(r), true);
        } else {
            bindValue(st, index, v, true);
        }
    }
}

void Engine::assign(Frame& f, const std::string& name, const Value& v, const SqlType& from, int line) {
    auto it = f.vars.find(name);
    if (it == f.vars.end()) {
        Message m = qmError(137, {name});
        m.line = line;
        throw RuntimeError{m};
    }
    auto r = convertValue(v, from, it->second.type, ConversionContext::Variable);
    if (auto* m = std::get_if<Message>(&r)) {
        Message msg = *m;
        msg.line = line;
        throw RuntimeError{msg};
    }
    it->second.value = std::move(std::get<Value>(r));
}

Value columnValueOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Value::fromInteger(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Value::fromReal(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return Value::fromText(std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                           static_cast<std::size_t>(sqlite3_value_bytes(v))));
    case SQLITE_BLOB: {
        const void* b = sqlite3_value_blob(v);
        return Value::fromBlob(std::string(static_cast<const char*>(b ? b : ""), static_cast<std::size_t>(sqlite3_value_bytes(v))));
    }
    default: return Value::null();
    }
}

static Value columnValue(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return Value::fromInteger(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: return Value::fromReal(sqlite3_column_double(st, i));
    case SQLITE_TEXT:
        return Value::fromText(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                           static_cast<std::size_t>(sqlite3_column_bytes(st, i))));
    case SQLITE_BLOB: {
        const void* b = sqlite3_column_blob(st, i);
        return Value::fromBlob(std::string(static_cast<const char*>(b ? b : ""),
                                           static_cast<std::size_t>(sqlite3_column_bytes(st, i))));
    }
    default: return Value::null();
    }
}

Value Engine::evaluate(const ast::Stmt& s, int part, const ast::Expr& e, Frame& f, const SqlType* target,
                       SqlType* type) {
    // Plain values need no SQL.
    Value v;
    SqlType t;
    bool direct = true;
    if (e.kind == ast::ExprKind::Literal && e.slot >= 0) {
        v = f.literals->values[e.slot];
        t = f.literals->types[e.slot];
    } else if (e.kind == ast::ExprKind::Null) {
        v = Value::null();
    } else if (e.kind == ast::ExprKind::Variable) {
        translate::ParamRef p;
        p.kind = translate::ParamKind::Variable;
        p.name = e.op;
        p.line = e.line;
        v = paramValue(p, f, &t);
    } else {
        direct = false;
    }
    if (direct) {
        if (target) {
            auto r = convertValue(v, t, *target, ConversionContext::Variable);
            if (auto* m = std::get_if<Message>(&r)) {
                Message msg = *m;
                msg.line = e.line;
                throw RuntimeError{msg};
            }
            v = std::get<Value>(r);
            t = *target;
        }
        if (type) *type = t;
        return v;
    }
    Compiled& c = plan(s, part, f, [&](Compiled& c) {
        translate::Translator tr(environment(f));
        c.query = tr.scalar(e, false, target);
    });
    BusyGuard busy(c);
    bind(c.stmt, c.query.params, f);
    int rc = sqlite3_step(c.stmt);
    if (rc == SQLITE_ROW) v = columnValue(c.stmt, 0);
    if (rc == SQLITE_ROW) rc = sqlite3_step(c.stmt);
    sqlite3_reset(c.stmt);
    if (rc != SQLITE_DONE) sqliteFailure(rc, "", nullptr);
    if (type) *type = target ? *target : c.query.columns[0].type;
    return v;
}

bool Engine::evaluateCondition(const ast::Stmt& s, int part, const ast::Expr& e, Frame& f) {
    Compiled& c = plan(s, part, f, [&](Compiled& c) {
        translate::Translator tr(environment(f));
        c.query = tr.scalar(e, true);
    });
    BusyGuard busy(c);
    bind(c.stmt, c.query.params, f);
    int rc = sqlite3_step(c.stmt);
    bool result = rc == SQLITE_ROW && sqlite3_column_int(c.stmt, 0) != 0;
    if (rc == SQLITE_ROW) rc = sqlite3_step(c.stmt);
    sqlite3_reset(c.stmt);
    if (rc != SQLITE_DONE) sqliteFailure(rc, "", nullptr);
    return result;
}

Flow Engine::dispatch(const ast::Stmt& s, Frame& f) {
    if (!db_ && s.kind != StmtKind::CreateDatabase && s.kind != StmtKind::DropDatabase && s.kind != StmtKind::Use &&
        s.kind != StmtKind::Print && s.kind != StmtKind::Declare && s.kind != StmtKind::SetVar &&
        s.kind != StmtKind::SetOption && s.kind != StmtKind::Block && s.kind != StmtKind::If)
        throw RuntimeError{noDatabase(), true};
    switch (s.kind) {
    case StmtKind::Select:
        return runSelect(s, f);
    case StmtKind::Insert:
    case StmtKind::Update:
    case StmtKind::Delete:
        return runDml(s, f);
    case StmtKind::Truncate: {
        catalog::Object* t = catalog_.find(s.target.back());
        if (!t || t->kind != catalog::ObjectKind::Table) throw RuntimeError{qmError(4701, {s.target.back()})};
        if (!catalog_.referencing(t->name).empty()) {
            Message m = qmError(4712, {t->name});
            m.text = "无法截断表 '" + t->name + "'，因为该表正由 FOREIGN KEY 约束引用。";
            throw RuntimeError{m};
        }
        int depth = ++savepointDepth_;
        savepoint(depth);
        std::string err;
        bool ok = execOk("DELETE FROM " + translate::quoteIdent(t->name), &err);
        if (ok) releaseSavepoint(depth);
        else rollbackSavepoint(depth);
        --savepointDepth_;
        if (!ok) throw RuntimeError{internalError(err)};
        // the identity starts again at its seed
        functions_.identities.erase(t->name);
        return Flow::Next;
    }
    case StmtKind::Declare:
        for (std::size_t i = 0; i < s.decls.size(); ++i) {
            const auto& d = s.decls[i];
            if (f.vars.count(d.name)) throw RuntimeError{qmError(134, {d.name})};
            f.vars[d.name] = Variable{d.type, Value::null()};
            if (d.init) {
                SqlType t;
                Value v = evaluate(s, static_cast<int>(i) + 1, *d.init, f, &d.type, &t);
                f.vars[d.name].value = std::move(v);
            }
        }
        return Flow::Next;
    case StmtKind::SetVar: {
        const auto& set = s.sets.front();
        auto it = f.vars.find(set.variable);
        if (it == f.vars.end()) throw RuntimeError{qmError(137, {set.variable})};
        SqlType target = it->second.type;
        SqlType t;
        Value v = evaluate(s, 1, *set.value, f, &target, &t);
        f.vars[set.variable].value = std::move(v);
        return Flow::Next;
    }
    case StmtKind::SetOption:
        if (s.name == "nocount") nocount_ = s.on;
        if (s.name == "xact_abort") xactAbort_ = s.on;
        if (s.name == "identity_insert") {
            catalog::Object* t = s.target.empty() ? nullptr : catalog_.find(s.target.back());
            if (!t || t->kind != catalog::ObjectKind::Table || !t->hasIdentity) {
                Message m = qmError(8106);
                m.text = "表 '" + (s.target.empty() ? std::string() : s.target.back()) + "' 没有标识属性。无法执行 SET 操作。";
                throw RuntimeError{m};
            }
            if (s.on) identityInsert_.insert(lex::lower(t->name));
            else identityInsert_.erase(lex::lower(t->name));
            catalog_.bump();  // plans made under the other setting are stale
        }
        return Flow::Next;
    case StmtKind::If: {
        bool c = evaluateCondition(s, 1, *s.expr, f);
        if (c) return runStatement(*s.thenStmt, f);
        if (s.elseStmt) return runStatement(*s.elseStmt, f);
        return Flow::Next;
    }
    case StmtKind::While:
        while (evaluateCondition(s, 1, *s.expr, f)) {
            if (++loops_ > kLoopLimit) {
                throw RuntimeError{internalError("WHILE 循环超过了 " + std::to_string(kLoopLimit) + " 次，批处理已中止。"), true};
            }
            Flow fl = runStatement(*s.thenStmt, f);
            if (fl == Flow::Break) break;
            if (fl == Flow::Continue) continue;
            if (fl != Flow::Next) return fl;
        }
        return Flow::Next;
    case StmtKind::Block:
        return runStatements(s.body, f);
    case StmtKind::Break:
        return Flow::Break;
    case StmtKind::Continue:
        return Flow::Continue;
    case StmtKind::Print: {
        SqlType t;
        Value v = evaluate(s, 1, *s.expr, f, nullptr, &t);
        Message m;
        m.number = 0;
        m.severity = 0;
        m.state = 1;
        m.line = s.line;
        if (v.kind == ValueKind::Text) {
            m.text = v.bytes;
        } else if (!v.isNull()) {
            auto r = convertValue(v, t, SqlType{TypeId::VarChar, 8000}, ConversionContext::Cast);
            if (auto* x = std::get_if<Value>(&r)) m.text = x->bytes;
        }
        report(m, s, f);
        return Flow::Next;
    }
    case StmtKind::Return:
        if (f.isFunction) {
            SqlType t;
            if (s.expr) f.returnScalar = evaluate(s, 1, *s.expr, f, f.returnType, &t);
            return Flow::Return;
        }
        if (s.expr) {
            SqlType t;
            SqlType intType{TypeId::Int};
            Value v = evaluate(s, 1, *s.expr, f, &intType, &t);
            f.returnValue = v.kind == ValueKind::Integer ? v.integer : 0;
        }
        return Flow::Return;
    case StmtKind::BeginTran:
    case StmtKind::Commit:
    case StmtKind::Rollback:
    case StmtKind::SaveTran:
        return runTransaction(s, f);
    case StmtKind::CreateDatabase:
    case StmtKind::DropDatabase:
    case StmtKind::Use:
        return runDatabaseStatement(s, f);
    case StmtKind::Exec:
    case StmtKind::ExecString:
        return runExec(s, f);
    case StmtKind::Raiserror: {
        SqlType t;
        Value msg = evaluate(s, 1, *s.args.at(0).value, f, nullptr, &t);
        int severity = 16, state = 1;
        if (s.args.size() > 1) {
            Value sv = evaluate(s, 2, *s.args[1].value, f, nullptr, &t);
            if (sv.kind == ValueKind::Integer) severity = static_cast<int>(sv.integer);
        }
        if (s.args.size() > 2) {
            Value st = evaluate(s, 3, *s.args[2].value, f, nullptr, &t);
            if (st.kind == ValueKind::Integer) state = static_cast<int>(st.integer);
        }
        Message m;
        m.number = msg.kind == ValueKind::Integer ? static_cast<int>(msg.integer) : 50000;
        m.severity = std::max(0, std::min(25, severity));
        m.state = state;
        m.line = s.line;
        std::string text = msg.kind == ValueKind::Text ? msg.bytes : qmError(m.number).text;
        // substitute %s / %d with the further arguments
        std::string out;
        std::size_t argi = 3;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd')) {
                if (argi < s.args.size()) {
                    Value a = evaluate(s, static_cast<int>(argi) + 1, *s.args[argi].value, f, nullptr, &t);
                    if (a.kind == ValueKind::Text) out += a.bytes;
                    else if (a.kind == ValueKind::Integer) out += std::to_string(a.integer);
                    else if (a.kind == ValueKind::Real) out += std::to_string(a.real);
                    else out += "(null)";
                    ++argi;
                }
                ++i;
                continue;
            }
            out.push_back(text[i]);
        }
        m.text = out;
        if (m.severity > 10) throw RuntimeError{m};
        report(m, s, f);
        return Flow::Next;
    }
    case StmtKind::Empty:
        return Flow::Next;
    case StmtKind::TryCatch:
        return runTryCatch(s, f);
    case StmtKind::DeclareTable: {
        const std::string& name = s.target.front();
        if (catalog_.find(name)) throw RuntimeError{qmError(134, {name})};
        std::string sql = sqliteTableSql(name, s.table, true);
        std::string err;
        if (!execOk(sql, &err)) throw RuntimeError{internalError(err)};
        ast::Stmt holder;
        holder.target = s.target;
        holder.table.columns.reserve(s.table.columns.size());
        // the catalog keeps a CREATE text for it, like any table
        std::string text = "CREATE TABLE [" + name + "] (";
        for (std::size_t i = 0; i < s.table.columns.size(); ++i) {
            const auto& c = s.table.columns[i];
            text += (i ? ", [" : "[") + c.name + "] " + c.type.name() + (c.notNull ? " NOT NULL" : " NULL");
            if (!c.defaultText.empty()) text += " DEFAULT " + c.defaultText;
            if (c.identity) text += " IDENTITY(" + std::to_string(c.seed) + "," + std::to_string(c.increment) + ")";
        }
        if (!s.table.primaryKey.empty()) {
            text += ", PRIMARY KEY (";
            for (std::size_t i = 0; i < s.table.primaryKey.size(); ++i) text += (i ? ", [" : "[") + s.table.primaryKey[i] + "]";
            text += ")";
        }
        text += ")";
        lex::LexResult lx;
        lex::tokenize(text, lx);
        ast::Batch b;
        Message m;
        if (!parse::parseBatch(text, lx, b, m)) throw RuntimeError{m};
        auto obj = catalog::Catalog::tableFromStatement(*b.statements.front(), text);
        if (!catalog_.add(db_, std::move(obj), m)) throw RuntimeError{m};
        f.tableVariables.push_back(name);
        return Flow::Next;
    }
    case StmtKind::AlterTable:
        return runAlterTable(s, f);
    case StmtKind::Throw: {
        if (s.args.empty()) {
            if (caught_.empty()) {
                Message m = qmError(10704);
                m.text = "要重新引发错误，THROW 语句必须在 CATCH 块内使用。";
                throw RuntimeError{m};
            }
            throw RuntimeError{caught_.back()};
        }
        SqlType t;
        Value num = evaluate(s, 1, *s.args[0].value, f, nullptr, &t);
        Value msg = evaluate(s, 2, *s.args[1].value, f, nullptr, &t);
        Value st = evaluate(s, 3, *s.args[2].value, f, nullptr, &t);
        Message m;
        m.number = num.kind == ValueKind::Integer ? static_cast<int>(num.integer) : 50000;
        m.severity = 16;
        m.state = st.kind == ValueKind::Integer ? static_cast<int>(st.integer) : 1;
        m.text = msg.kind == ValueKind::Text ? msg.bytes : std::string();
        m.line = s.line;
        throw RuntimeError{m, true};
    }
    case StmtKind::DeclareCursor:
    case StmtKind::OpenCursor:
    case StmtKind::FetchCursor:
    case StmtKind::CloseCursor:
    case StmtKind::DeallocateCursor:
        return runCursor(s, f);
    default:
        return runDdl(s, f);
    }
}

Flow Engine::runTransaction(const ast::Stmt& s, Frame& f) {
    switch (s.kind) {
    case StmtKind::BeginTran:
        if (trancount_ == 0) {
            if (savepointDepth_ > 0) exec("SAVEPOINT qm_tran");
            else exec("BEGIN");
        }
        ++trancount_;
        return Flow::Next;
    case StmtKind::Commit:
        if (trancount_ == 0) throw RuntimeError{qmError(3902)};
        if (--trancount_ == 0) {
            if (savepointDepth_ > 0) exec("RELEASE qm_tran");
            else exec("COMMIT");
        }
        return Flow::Next;
    case StmtKind::Rollback:
        if (!s.name.empty() && trancount_ > 0) {
            // ROLLBACK TRAN savepoint_name
            std::string err;
            if (execOk("ROLLBACK TO " + translate::quoteIdent("qm_user_" + lex::lower(s.name)), &err)) return Flow::Next;
        }
        if (trancount_ == 0) throw RuntimeError{qmError(3903)};
        trancount_ = 0;
        if (savepointDepth_ > 0) {
            execOk("ROLLBACK TO qm_tran");
            execOk("RELEASE qm_tran");
        } else {
            execOk("ROLLBACK");
        }
        if (f.triggerObject) {
            tranRolledBack_ = true;
            throw RuntimeError{qmError(3609), true};
        }
        return Flow::Next;
    case StmtKind::SaveTran:
        if (trancount_ == 0) {
            Message m = qmError(628);
            m.text = "当没有活动的事务时，不能发出 SAVE TRANSACTION。";
            throw RuntimeError{m};
        }
        exec("SAVEPOINT " + translate::quoteIdent("qm_user_" + lex::lower(s.name)));
        return Flow::Next;
    default:
        return Flow::Next;
    }
}

}  // namespace quillmere::engine::exec

namespace quillmere::engine::exec {

Flow Engine::runTryCatch(const ast::Stmt& s, Frame& f) {
    ++tryDepth_;
    Flow fl;
    try {
        fl = runStatements(s.body, f);
    } catch (...) {
        --tryDepth_;
        throw;
    }
    --tryDepth_;
    if (fl != Flow::Caught) return fl;
    // the failed statement's changes are already undone; the CATCH block runs
    Flow c = runStatements(s.catchBody, f);
    caught_.pop_back();
    return c;
}

Flow Engine::runCursor(const ast::Stmt& s, Frame& f) {
    auto missing = [&]() {
        Message m = qmError(16916);
        m.text = "名为 '" + s.name + "' 的游标不存在。";
        return RuntimeError{m};
    };
    switch (s.kind) {
    case StmtKind::DeclareCursor: {
        if (cursors_.count(s.name)) {
            Message m = qmError(16915);
            m.text = "名为 '" + s.name + "' 的游标已存在。";
            throw RuntimeError{m};
        }
        Cursor c;
        c.declaration = &s;
        cursors_[s.name] = std::move(c);
        return Flow::Next;
    }
    case StmtKind::OpenCursor: {
        auto it = cursors_.find(s.name);
        if (it == cursors_.end()) throw missing();
        Cursor& c = it->second;
        if (c.open) {
            Message m = qmError(16905);
            m.text = "游标已打开。";
            throw RuntimeError{m};
        }
        // the rows are read when the cursor opens (a STATIC cursor)
        Compiled& q = compile(*c.declaration, 0, f, [&](Compiled& x) {
            translate::Translator tr(environment(f));
            x.query = tr.select(*c.declaration->select);
        });
        BusyGuard busy(q);
        bind(q.stmt, q.query.params, f);
        c.rows.clear();
        c.columns = q.query.columns;
        int rc;
        int n = static_cast<int>(q.query.columns.size());
        while ((rc = sqlite3_step(q.stmt)) == SQLITE_ROW) {
            std::vector<Value> row;
            for (int i = 0; i < n; ++i) row.push_back(columnValue(q.stmt, i));
            c.rows.push_back(std::move(row));
        }
        sqlite3_reset(q.stmt);
        if (rc != SQLITE_DONE) sqliteFailure(rc, "", nullptr);
        c.position = 0;
        c.open = true;
        return Flow::Next;
    }
    case StmtKind::FetchCursor: {
        auto it = cursors_.find(s.name);
        if (it == cursors_.end()) throw missing();
        Cursor& c = it->second;
        if (!c.open) {
            Message m = qmError(16917);
            m.text = "游标未打开。";
            throw RuntimeError{m};
        }
        if (c.position >= c.rows.size()) {
            fetchStatus_ = -1;
            return Flow::Next;
        }
        const auto& row = c.rows[c.position++];
        fetchStatus_ = 0;
        if (s.sets.empty()) {
            sink_->beginResultSet(c.columns);
            struct Row final : RowView {
                const std::vector<Value>* r;
                int size() const override { return static_cast<int>(r->size()); }
                ValueView cell(int i) const override { return (*r)[i].view(); }
            } rv;
            rv.r = &row;
            sink_->row(rv);
            sink_->endResultSet();
            emitRowCount(1, f);
            return Flow::Next;
        }
        if (s.sets.size() != row.size()) {
            fetchStatus_ = -1;
            Message m = qmError(16924);
            m.text = "游标提取: INTO 列表中声明的变量数目必须与所选列的数目匹配。";
            throw RuntimeError{m};
        }
        for (std::size_t i = 0; i < row.size(); ++i) assign(f, s.sets[i].variable, row[i], c.columns[i].type, s.line);
        return Flow::Next;
    }
    case StmtKind::CloseCursor: {
        auto it = cursors_.find(s.name);
        if (it == cursors_.end()) throw missing();
        it->second.open = false;
        it->second.rows.clear();
        return Flow::Next;
    }
    default: {
        auto it = cursors_.find(s.name);
        if (it == cursors_.end()) throw missing();
        cursors_.erase(it);
        return Flow::Next;
    }
    }
}

}  // namespace quillmere::engine::exec

namespace quillmere::engine::exec {

namespace {

class FunctionSink final : public ResultSink {
public:
    std::optional<Message> error;
    void beginResultSet(const std::vector<ResultColumn>&) override {}
    void row(const RowView&) override {}
    void endResultSet() override {}
    void rowsAffected(std::int64_t, bool, int) override {}
    void message(const Message& m) override {
        if (m.isError() && !error) error = m;
    }
};

void udfThunk(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    static_cast<Engine*>(sqlite3_user_data(ctx))->callFunction(ctx, argc, argv);
}

void varThunk(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    static_cast<Engine*>(sqlite3_user_data(ctx))->readVariable(ctx, argc, argv);
}

}  // namespace

void registerUdf(sqlite3* db, Engine* engine) {
    sqlite3_create_function_v2(db, "qm_udf", -1, SQLITE_UTF8, engine, udfThunk, nullptr, nullptr, nullptr);
    // not deterministic: read again for every row
    sqlite3_create_function_v2(db, "qm_var", 1, SQLITE_UTF8, engine, varThunk, nullptr, nullptr, nullptr);
}

void Engine::readVariable(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1 || !assignFrame_) {
        sqlite3_result_null(ctx);
        return;
    }
    const unsigned char* n = sqlite3_value_text(argv[0]);
    auto it = assignFrame_->vars.find(n ? reinterpret_cast<const char*>(n) : "");
    if (it == assignFrame_->vars.end()) {
        sqlite3_result_null(ctx);
        return;
    }
    const Value& v = it->second.value;
    switch (v.kind) {
    case ValueKind::Null: sqlite3_result_null(ctx); break;
    case ValueKind::Integer: sqlite3_result_int64(ctx, v.integer); break;
    case ValueKind::Real: sqlite3_result_double(ctx, v.real); break;
    case ValueKind::Text:
        sqlite3_result_text(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case ValueKind::Blob:
        sqlite3_result_blob(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

void Engine::callFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1) return;
    std::string name = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]) ? sqlite3_value_text(argv[0]) : (const unsigned char*)"");
    catalog::Object* fn = catalog_.find(name);
    if (!fn || fn->kind != catalog::ObjectKind::Function) {
        raiseSqliteError(ctx, qmError(208, {name}));
        return;
    }
    if (udfDepth_ >= 32) {
        raiseSqliteError(ctx, qmError(217));
        return;
    }
    FunctionSink capture;
    ResultSink* savedSink = sink_;
    bool savedNocount = nocount_;
    std::int64_t savedRowcount = rowcount_;
    int savedTry = tryDepth_;
    BatchStatus savedStatus = status_;
    Value result;
    try {
        auto mod = moduleOf(*fn);
        const ast::Stmt& c = mod->create();
        Frame ff;
        ff.literals = &mod->literals;
        ff.procedure = fn->name;
        ff.nestLevel = udfDepth_ + 1;
        ff.isFunction = true;
        ff.returnType = &c.decls.front().type;
        for (std::size_t i = 0; i < c.params.size() && static_cast<int>(i) + 1 < argc; ++i)
            ff.vars[c.params[i].name] = Variable{c.params[i].type, columnValueOf(argv[i + 1])};
        sink_ = &capture;
        tryDepth_ = 0;
        ++udfDepth_;
        try {
            runStatements(c.body, ff);
        } catch (...) {
            dropTableVariables(ff);
            throw;
        }
        dropTableVariables(ff);
        --udfDepth_;
        result = ff.returnScalar;
    } catch (const RuntimeError& e) {
        --udfDepth_;
        if (!capture.error) capture.error = e.message;
    } catch (const translate::TranslateError& e) {
        --udfDepth_;
        if (!capture.error) capture.error = e.message;
    } catch (const std::exception& e) {
        --udfDepth_;
        if (!capture.error) capture.error = internalError(e.what());
    }
    if (udfDepth_ < 0) udfDepth_ = 0;
    sink_ = savedSink;
    nocount_ = savedNocount;
    rowcount_ = savedRowcount;
    tryDepth_ = savedTry;
    status_ = savedStatus;
    if (capture.error) {
        raiseSqliteError(ctx, *capture.error);
        return;
    }
    switch (result.kind) {
    case ValueKind::Null: sqlite3_result_null(ctx); break;
    case ValueKind::Integer: sqlite3_result_int64(ctx, result.integer); break;
    case ValueKind::Real: sqlite3_result_double(ctx, result.real); break;
    case ValueKind::Text:
        sqlite3_result_text(ctx, result.bytes.data(), static_cast<int>(result.bytes.size()), SQLITE_TRANSIENT);
        break;
    case ValueKind::Blob:
        sqlite3_result_blob(ctx, result.bytes.data(), static_cast<int>(result.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

}  // namespace quillmere::engine::exec

namespace quillmere::engine::exec {

void Engine::dropTableVariables(Frame& f) {
    for (const auto& name : f.tableVariables) {
        execOk("DROP TABLE IF EXISTS temp." + translate::quoteIdent(name));
        Message m;
        catalog_.remove(db_, name, m);
    }
    f.tableVariables.clear();
}

}  // namespace quillmere::engine::exec
