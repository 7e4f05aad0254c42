// Internals of the translator shared by its source files.
#pragma once

#include "engine/translate/Translator.h"

#include <set>
#include <string>
#include <vector>

namespace quillmere::engine::translate {

struct Typed {
    std::string sql;
    SqlType type;
    bool isColumn = false;  // a column with its own collation
    bool isNull = false;    // the NULL literal
    int param = -1;         // a bare parameter: index into params
    bool nullable = true;
    bool aggregate = false;
    std::string baseTable, baseColumn;
};

struct SourceCol {
    std::string name, sqlName;
    SqlType type;
    bool nullable = true;
    std::string baseTable, baseColumn;
};

struct Source {
    std::string exposed;  // alias, or the object name
    std::string table;    // object name (for schema.table.column)
    bool aliased = false;
    std::string sqlAlias;
    std::vector<SourceCol> cols;
    catalog::Object* object = nullptr;
};

struct Scope {
    std::vector<Source> sources;
    Scope* outer = nullptr;
};

struct OutCol {
    std::string name;
    bool named = false;  // has a name (alias or column)
    Typed value;
    std::string sqlName;
};

struct Translator::Impl {
    Environment& env;
    std::vector<ParamRef>& params;
    const parse::Literals* literals;
    bool inlineLiterals = false;
    int aliasCounter = 0;
    // WITH tables in scope: name -> columns and SQL name
    struct Cte {
        std::string name, sqlName;
        std::vector<SourceCol> cols;
        std::string selfAlias;  // a recursive member's reference to the table itself
    };
    std::vector<Cte> ctes;
    // A recursive common table carries each row's recursion level in a hidden
    // column (qm_lvl) so that MAXRECURSION can stop it: the members of levelBody
    // add it to their select lists.
    const ast::Select* levelBody = nullptr;
    bool levelMember = false;
    std::size_t levelCte = 0;
    std::string levelMaxSql;
    // DML through a view: the base table whose rowid the view select must expose.
    std::string rowidFor;
    std::string rowidAlias;
    std::string rowidColumn = "rowid";  // "qm_rowid" when it comes through an inner view
    int rowidMatches = 0;
    bool windowBase = false;
    // SELECT @s = @s + col: the assigned variables are read row by row (qm_var), and
    // the ORDER BY of accumulateOrder becomes a window so rows are computed in order.
    std::set<std::string> liveVars;
    const ast::Select* accumulateOrder = nullptr;

    Impl(Environment& e, std::vector<ParamRef>& p) : env(e), params(p), literals(e.literals) {}

    [[noreturn]] void error(Message m, int line);
    [[noreturn]] void error(int number, std::initializer_list<std::string_view> args, int line);

    std::string newAlias() { return "q" + std::to_string(++aliasCounter); }
    int addParam(const ParamRef& p);
    std::string paramSql(int index) const { return "?" + std::to_string(index + 1); }

    Typed expr(const ast::Expr& e, Scope& scope);
    Typed literal(const ast::Expr& e);
    Typed column(const ast::Expr& e, Scope& scope);
    Typed call(const ast::Expr& e, Scope& scope);
    Typed compare(const std::string& op, Typed l, Typed r, int line);
    Typed convertTo(Typed t, const SqlType& to, ConversionContext ctx, int line, int style = -1);
    // An implicit conversion made only when the value is evaluated (a CASE branch, a COALESCE
    // argument): a literal is not converted while its parameters are bound.
    Typed convertWhenTaken(Typed t, const SqlType& to, int line);
    bool convertWhenEvaluated = false;
    bool needsConversion(const SqlType& from, const SqlType& to, ConversionContext ctx) const;
    std::string condition(const ast::Expr& e, Scope& scope);
    std::string subquerySql(const ast::Select& s, Scope& scope, std::vector<OutCol>* cols = nullptr);

    // SELECT
    std::string selectSql(const ast::Select& s, Scope* outer, std::vector<OutCol>& out);
    std::string coreSql(const ast::Select& s, Scope* outer, std::vector<OutCol>& out, Scope*& scopeOut,
                        std::vector<std::unique_ptr<Scope>>& keep);
    std::string fromSql(const ast::TableRef& r, Scope& scope);
    bool systemView(const std::vector<std::string>& parts, Source& src, std::string& sql);
    Source namedSource(const std::vector<std::string>& parts, const std::string& alias, int line, std::string& sql);
    void viewSql(catalog::Object& view, std::string& sql, std::vector<SourceCol>& cols, const std::string& rowidTable);

    std::string tableQualifier(const std::vector<std::string>& parts) const;
    static bool isCharType(const SqlType& t) { return t.isCharacter(); }
};

std::string sqlLiteral(const Value& v);
SqlType higherOf(const SqlType& a, const SqlType& b);
void outerColumnRefs(const ast::Expr& e, std::vector<const ast::Expr*>& out);
std::string typeText(const SqlType& t);

}  // namespace quillmere::engine::translate
