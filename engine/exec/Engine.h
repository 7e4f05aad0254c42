// The embedded engine's Session: runs T-SQL batches on a SQLite database file.
#pragma once

#include "engine/Session.h"
#include "engine/catalog/Catalog.h"
#include "engine/exec/SqlFunctions.h"
#include "engine/lex/Lexer.h"
#include "engine/parse/Ast.h"
#include "engine/parse/Literals.h"
#include "engine/translate/Translator.h"

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillmere::engine::exec {

struct Variable {
    SqlType type;
    Value value;
};

// What a batch, procedure or trigger body runs in.
struct Frame {
    std::unordered_map<std::string, Variable> vars;
    const parse::Literals* literals = nullptr;
    std::string procedure;  // empty at batch level
    int nestLevel = 0;
    const translate::TriggerTables* trigger = nullptr;
    const catalog::Object* triggerObject = nullptr;
    std::int64_t returnValue = 0;
    // user-defined function: its RETURN value, in its declared type
    bool isFunction = false;
    const SqlType* returnType = nullptr;
    Value returnScalar;
    std::vector<std::string> tableVariables;  // dropped when the frame ends
};

// The top frame of a prepared batch, kept between runs with the same parameter names.
struct ReusedFrame {
    Frame frame;
    std::vector<std::string> names;  // the parameter names of the last run, as given
    std::vector<Variable*> slots;    // their variables in frame.vars
};

// Caught: an error inside BEGIN TRY, on its way to the CATCH block.
enum class Flow { Next, Break, Continue, Return, Abort, Caught };

// An error that ends the current statement (or the batch, when abortBatch).
struct RuntimeError {
    Message message;
    bool abortBatch = false;
    bool terminated = false;  // add "语句已终止。"
    bool reported = false;    // already sent (an error inside a trigger)
    bool caught = false;      // taken by an enclosing TRY block
};

struct Cursor {
    const ast::Stmt* declaration = nullptr;
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
    std::size_t position = 0;
    bool open = false;
};

// A prepared SQLite statement with the translation it came from.
struct Compiled {
    std::uint64_t catalogVersion = 0;
    translate::Query query;
    translate::DmlPlan dml;
    bool isDml = false;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_stmt* capture = nullptr;
    std::vector<catalog::Object*> triggers;
    bool busy = false;  // being stepped: a nested use (recursion) gets its own copy
    ~Compiled();
};

// Marks a plan as in use while its statement runs.
struct BusyGuard {
    Compiled& c;
    explicit BusyGuard(Compiled& x) : c(x) { c.busy = true; }
    ~BusyGuard() { c.busy = false; }
};

struct CachedBatch {
    std::shared_ptr<ast::Batch> batch;
    std::vector<Value> structural;  // literal values the tree depends on
};

class Engine final : public Session {
public:
    Engine(SessionOptions options);
    ~Engine() override;

    bool connect(const std::string& database, Message* error);

    BatchStatus execute(std::string_view batch, ResultSink& sink) override;
    BatchStatus execute(std::string_view batch, std::span<const Parameter> parameters, ResultSink& sink) override;
    BatchStatus executeOutermost(std::string_view batch, std::span<const Parameter> parameters, ResultSink& sink);
    std::unique_ptr<PreparedBatch> prepare(std::string_view batch) override;
    // Runs a parsed batch (the outermost execute in progress); a prepared batch keeps its top frame.
    void runBatch(const ast::Batch& tree, const parse::Literals& literals, std::span<const Parameter> parameters,
                  ResultSink& sink, ReusedFrame* reused = nullptr);
    BatchStatus runPrepared(const ast::Batch& tree, const parse::Literals& literals,
                            std::span<const Parameter> parameters, ResultSink& sink, ReusedFrame* frame);
    BatchStatus runPreparedOutermost(const ast::Batch& tree, const parse::Literals& literals,
                                     std::span<const Parameter> parameters, ResultSink& sink, ReusedFrame* frame);
    std::string currentDatabase() const override { return database_; }
    std::vector<std::string> primaryKey(std::string_view table) const override;
    std::optional<std::vector<ResultColumn>> columns(std::string_view object) const override;

    template <class Body>
    BatchStatus guardBatch(ResultSink& sink, Body&& body);
    void resetAfterBatchError();
    void endBatchWithError(const Message& m, ResultSink& sink);

    // ---- used by the executor's parts ----
    Flow runStatements(const std::vector<ast::StmtPtr>& list, Frame& f);
    Flow runStatement(const ast::Stmt& s, Frame& f);
    Flow dispatch(const ast::Stmt& s, Frame& f);

    void report(Message m, const ast::Stmt& s, const Frame& f);
    void emitRowCount(std::int64_t n, const Frame& f);

    Compiled& compile(const ast::Stmt& s, int variant, Frame& f, const std::function<void(Compiled&)>& build);
    // The ready plan of a statement part, nullptr when it must be (re)built.
    Compiled* cachedPlan(const ast::Stmt& s, int part, const Frame& f);
    // compile() without building a std::function when the plan is ready (the common case)
    template <class F>
    Compiled& plan(const ast::Stmt& s, int part, Frame& f, F&& build) {
        if (Compiled* c = cachedPlan(s, part, f)) return *c;
        return compile(s, part, f, std::function<void(Compiled&)>(std::forward<F>(build)));
    }
    translate::Environment environment(Frame& f);
    void prepare(Compiled& c);
    // borrow: text of variables is bound without a copy; the caller steps the statement
    // while no variable can change, and binds again before any later step.
    void bind(sqlite3_stmt* st, const std::vector<translate::ParamRef>& params, Frame& f, bool borrow = false);
    Value paramValue(const translate::ParamRef& p, Frame& f, SqlType* type);
    [[noreturn]] void sqliteFailure(int rc, const char* action, const catalog::Object* table,
                                    const Compiled* plan = nullptr, Frame* frame = nullptr);

    Flow runSelect(const ast::Stmt& s, Frame& f);
    Flow runDml(const ast::Stmt& s, Frame& f);
    Flow runInsertExec(const ast::Stmt& s, Frame& f);
    // INSTEAD OF: true when a trigger took the statement's place
    bool runInsteadOf(const ast::Stmt& s, Frame& f);
    Flow runNested(const std::string& sql, Frame& f);
    void dropTableVariables(Frame& f);  // internal T-SQL run in the current frame
    int insertExecCounter_ = 0;
    std::uint64_t insteadOfCheckedAt_ = 0;  // catalog version when anyInsteadOf_ was computed
    bool anyInsteadOf_ = false;
    void fireTriggers(catalog::Object& table, char action, Frame& f, const std::string& ins, const std::string& del);
    Value evaluate(const ast::Stmt& s, int part, const ast::Expr& e, Frame& f, const SqlType* target, SqlType* type);
    bool evaluateCondition(const ast::Stmt& s, int part, const ast::Expr& e, Frame& f);
    void assign(Frame& f, const std::string& name, const Value& v, const SqlType& from, int line);
    // SELECT @v = ... in progress: qm_var('@v') reads its variables as they are now
    Frame* assignFrame_ = nullptr;
    void readVariable(sqlite3_context* ctx, int argc, sqlite3_value** argv);

    Flow runExec(const ast::Stmt& s, Frame& f);
    Flow runExecuteSql(const ast::Stmt& s, Frame& f);
    Flow runHelpText(const ast::Stmt& s, Frame& f, const Value& name);
    Flow runDdl(const ast::Stmt& s, Frame& f);
    Flow runAlterTable(const ast::Stmt& s, Frame& f);
    std::string sqliteTableSql(const std::string& name, const ast::TableDef& def, bool temp);
    // "; CREATE UNIQUE INDEX ..." over the rows of table with a NULL in columns (empty when none can be NULL)
    static std::string nullKeyIndexSql(const std::string& prefix, const std::string& table, const ast::TableDef& def,
                                       const std::vector<std::string>& columns);
    Flow runDatabaseStatement(const ast::Stmt& s, Frame& f);
    Flow runTransaction(const ast::Stmt& s, Frame& f);

    void resolveView(catalog::Object& view);
    std::shared_ptr<catalog::Module> moduleOf(catalog::Object& o);
    void exec(const std::string& sql);  // internal SQL that must not fail
    bool execOk(const std::string& sql, std::string* error = nullptr);
    std::string captureTable(char kind, int level, const catalog::Object& table);
    void savepoint(int depth);
    void releaseSavepoint(int depth);
    void rollbackSavepoint(int depth);
    bool reloadCatalogIfChanged();

    // state
    SessionOptions options_;
    std::string database_;
    sqlite3* db_ = nullptr;
    catalog::Catalog catalog_;
    FunctionState functions_;
    ResultSink* sink_ = nullptr;
    BatchStatus status_;
    bool nocount_ = false;
    bool xactAbort_ = false;  // SET XACT_ABORT ON: an error rolls the transaction back and ends the batch
    int trancount_ = 0;
    bool tranRolledBack_ = false;
    std::int64_t rowcount_ = 0;
    int lastError_ = 0;
    std::uint64_t errorReports_ = 0;  // errors reported so far (a statement raised one when it moved)
    int savepointDepth_ = 0;
    std::vector<const catalog::Object*> triggerStack_;
    std::set<std::string> captureTables_;
    struct CaptureShape {
        std::uint64_t version = 0;
        std::string columns, suffix;
    };
    std::unordered_map<std::int64_t, CaptureShape> captureShapes_;  // table id -> its capture columns
    std::set<std::string> dirtyCaptures_;  // capture tables holding rows of an earlier statement
    std::unordered_map<std::string, sqlite3_stmt*> internalStmts_;
    std::unordered_map<std::string, CachedBatch> planCache_;
    lex::LexResult lexed_;
    parse::Literals literals_;
    std::uint64_t loops_ = 0;
    int tryDepth_ = 0;
    std::vector<Message> caught_;  // errors being handled by CATCH blocks
    std::unordered_map<std::string, Cursor> cursors_;
    int fetchStatus_ = -1;
    std::set<std::string> identityInsert_;

    Flow runTryCatch(const ast::Stmt& s, Frame& f);
    int udfDepth_ = 0;
    int executing_ = 0;  // execute() nesting: a sink may run a batch while rows stream
    // qm_udf(name, args...): runs a user-defined scalar function for SQLite
    void callFunction(struct sqlite3_context* ctx, int argc, struct sqlite3_value** argv);
    Flow runCursor(const ast::Stmt& s, Frame& f);

    sqlite3_stmt* internal(const std::string& sql);
    void closeDatabase();
};

Value columnValueOf(struct sqlite3_value* v);
void registerUdf(sqlite3* db, Engine* engine);
std::filesystem::path findDatabaseFile(const std::filesystem::path& dir, const std::string& name);

}  // namespace quillmere::engine::exec
