// Translates T-SQL queries and data changes into SQLite SQL, typing every
// expression the SQL Server way on the way: + is concatenation or addition by
// the operands' types, quoted literals are converted into the type they meet,
// text comparisons use the TSQL_CI collation, and result columns carry their
// declared type and, when they come straight from a table, its name.
#pragma once

#include "engine/Convert.h"
#include "engine/Message.h"
#include "engine/Session.h"
#include "engine/catalog/Catalog.h"
#include "engine/parse/Ast.h"
#include "engine/parse/Literals.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quillmere::engine::translate {

enum class ParamKind : std::uint8_t { Literal, Variable, GlobalVar };

// One ?N of a translated statement: where its value comes from at run time and
// the conversion to apply before binding it.
struct ParamRef {
    ParamKind kind = ParamKind::Literal;
    int slot = -1;     // Literal
    std::string name;  // Variable / GlobalVar (lower case)
    bool convert = false;
    SqlType from, to;
    ConversionContext context = ConversionContext::Implicit;
    int line = 1;
};

struct Query {
    std::string sql;
    std::vector<ParamRef> params;           // params[i] binds ?(i+1)
    std::vector<ResultColumn> columns;      // SELECT: result columns
    std::vector<std::string> assignVars;    // SELECT @v = ...: variable of each column
    bool returnsRows = false;
};

// Errors found while translating (unknown names, conversions of constants ...).
struct TranslateError {
    Message message;
};

struct TriggerTables {
    catalog::Object* table = nullptr;  // the table whose trigger runs
    std::string inserted, deleted;     // SQLite names of the pseudo-tables
};

struct Environment {
    catalog::Catalog* catalog = nullptr;
    const parse::Literals* literals = nullptr;
    std::function<const SqlType*(const std::string&)> variableType;  // nullptr: not declared
    const TriggerTables* trigger = nullptr;
    std::string database;
    // Makes sure a view's columns are known (resolving its definition).
    std::function<void(catalog::Object&)> resolveView;
    // tables under SET IDENTITY_INSERT ... ON (lower-case names)
    const std::set<std::string>* identityInsert = nullptr;
};

// What a data change needs beside its statement.
struct DmlPlan {
    char action = 'I';                 // 'I', 'U', 'D'
    catalog::Object* table = nullptr;  // base table changed
    Query main;                        // with RETURNING of every column and the rowid when capture
    Query captureOld;                  // UPDATE with capture: old rows (columns..., rowid)
    bool capture = false;
    // INSERT ... VALUES with one row: the value source of each column of table, -1 when computed
    std::vector<int> valueParam;
    // through a view WITH CHECK OPTION: the view's rows with the base rowid as qm_rowid
    std::string checkView;
};

class Translator {
public:
    explicit Translator(const Environment& env) : env_(env) {}

    Query select(const ast::Select& s);
    // SELECT <expr>: one column, for IF conditions, SET, PRINT, RETURN ...
    Query scalar(const ast::Expr& e, bool asCondition, const SqlType* target = nullptr);
    DmlPlan insert(const ast::Stmt& s, bool capture);
    DmlPlan update(const ast::Stmt& s, bool capture);
    DmlPlan remove(const ast::Stmt& s, bool capture);
    // INSTEAD OF triggers: SQL that puts the rows the statement would insert into
    // the table named into (columns of target in order, then NULL for the rowid)
    std::string insteadInsert(const ast::Stmt& s, const catalog::Object& target, const std::string& into, Query& q);
    // ... and the old rows (DELETE, UPDATE) and new rows (UPDATE) of the target
    std::string insteadOld(const ast::Stmt& s, const catalog::Object& target, const std::string& into, Query& q);
    std::string insteadNew(const ast::Stmt& s, const catalog::Object& target, const std::string& into, Query& q);
    // Column list of a view's definition (types and base columns), for the catalog.
    std::vector<catalog::Column> viewColumns(const ast::Select& s, const std::vector<std::string>& names);
    // SQL of a CHECK condition over the columns of def, unqualified, literals inlined.
    std::string checkSql(const ast::TableDef& def, const std::string& text);
    // SQL of a constant expression with literals inlined (column defaults).
    std::string inlineExpr(const ast::Expr& e, SqlType& type);

    struct Impl;

private:
    Environment env_;
};

// Quotes an identifier for SQLite.
std::string quoteIdent(std::string_view name);
// The SQLite column declaration for a SQL Server type: affinity and collation.
std::string sqliteColumnType(const SqlType& t);

}  // namespace quillmere::engine::translate
