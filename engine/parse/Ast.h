// Syntax tree of a T-SQL batch. Names keep the spelling of the text; lookups
// fold case. Literal values are not stored in the tree: a literal refers to a
// slot of the batch's literal list, so one tree serves every batch of the same
// shape (see Session's plan cache).
#pragma once

#include "engine/SqlType.h"
#include "engine/lex/Lexer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::engine::ast {

struct Select;
struct Expr;
struct Stmt;
struct TableRef;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using SelectPtr = std::unique_ptr<Select>;
using TableRefPtr = std::unique_ptr<TableRef>;

enum class ExprKind {
    Literal,    // slot, litKind
    Null,
    Default,    // DEFAULT in VALUES
    Column,     // parts: [[db.]schema.]table.]column
    Variable,   // name (lower case, with @)
    GlobalVar,  // name (lower case, with @@)
    Unary,      // op "-", "+", "~"; args[0]
    Binary,     // op "+", "-", "*", "/", "%", "&", "|", "^"
    Compare,    // op "=", "<>", "<", ">", "<=", ">="
    And,
    Or,
    Not,
    IsNull,     // negated: IS NOT NULL
    Like,       // args: value, pattern[, escape]
    Between,    // args: value, low, high
    InList,     // args: value, items...
    InSelect,   // args: value; select
    Exists,     // select
    Subquery,   // select (scalar)
    Call,       // name (lower case), args; star for COUNT(*); distinct
    Cast,       // args[0] AS type; CONVERT(type, value[, style]) keeps style in args[1]
    Case,       // args: [operand], when, then, when, then ..., [else]
    Quantified, // args[0] op ALL/ANY (select); star: ALL
};

struct Window {  // OVER (PARTITION BY ... ORDER BY ...)
    std::vector<ExprPtr> partition;
    std::vector<std::pair<ExprPtr, bool>> order;  // expression, descending
};

struct Expr {
    ExprKind kind = ExprKind::Null;
    int line = 1;
    std::string op;                  // operator, function or variable name
    std::vector<std::string> parts;  // Column name parts
    std::vector<ExprPtr> args;
    SelectPtr select;
    int slot = -1;                   // Literal: slot in the batch's literal list
    lex::Tok litKind = lex::Tok::End;
    bool negated = false;
    bool star = false;               // COUNT(*)
    bool distinct = false;           // COUNT(DISTINCT x)
    bool hasOperand = false;         // CASE x WHEN ...
    bool hasElse = false;
    SqlType type;                    // Cast target
    bool isConvert = false;
    std::unique_ptr<Window> over;    // window function
};

struct SelectItem {
    ExprPtr expr;                  // null for a star
    std::string alias;             // empty: unnamed (or the column's own name)
    bool hasAlias = false;
    bool star = false;             // * or qualifier.*
    std::vector<std::string> starQualifier;
    std::string assignVar;         // SELECT @v = expr
};

struct OrderItem {
    ExprPtr expr;
    bool desc = false;
};

struct TableRef {
    enum Kind { Named, Derived, Join } kind = Named;
    std::vector<std::string> parts;  // Named: [db.][schema.]name
    std::string alias;
    SelectPtr select;                // Derived
    std::string joinType;            // Join: "inner", "left", "right", "full", "cross"
    TableRefPtr left, right;
    ExprPtr on;
    int line = 1;
};

struct CommonTable {
    std::string name;
    std::vector<std::string> columns;
    SelectPtr select;
};

struct Select {
    std::vector<CommonTable> with;     // WITH name AS (...) before the statement
    bool distinct = false;
    ExprPtr top;
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::vector<TableRefPtr> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;    // on the first member of a UNION chain: orders the whole
    ExprPtr offset, fetch;             // ORDER BY ... OFFSET n ROWS FETCH NEXT m ROWS ONLY
    SelectPtr setNext;                 // next member of UNION / EXCEPT / INTERSECT
    std::string setOp;                 // "union", "union all", "except", "intersect"
    std::vector<std::string> into;     // SELECT ... INTO table
    ExprPtr maxRecursion;              // OPTION (MAXRECURSION n) on the statement's query
    int line = 1;
};

struct ColumnDef {
    std::string name;
    SqlType type;
    std::string typeText;
    bool notNull = false;
    ExprPtr defaultValue;
    std::string defaultText;  // source text of the default expression
    bool primaryKey = false;
    bool unique = false;
    bool identity = false;
    std::int64_t seed = 1, increment = 1;
};

struct ForeignKeyDef {
    std::string name;
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
    std::string onDelete = "no action", onUpdate = "no action";
};

struct CheckDef {
    std::string name;  // empty: the server names it
    std::string text;  // the condition as written
    std::string column;  // column constraint: its column
};

struct TableDef {
    std::vector<CheckDef> checks;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey;
    std::string primaryKeyName;
    std::vector<std::vector<std::string>> uniques;
    std::vector<ForeignKeyDef> foreignKeys;
};

struct ParamDef {
    std::string name;  // lower case, with @
    std::string spelled;
    SqlType type;
    ExprPtr defaultValue;
    bool output = false;
};

struct ExecArg {
    std::string name;  // "@p" when passed by name, lower case
    ExprPtr value;     // null with bareWord
    std::string bareWord;
    bool isBareWord = false;
    bool output = false;
    bool isDefault = false;
};

struct DeclareItem {
    std::string name;  // lower case with @
    SqlType type;
    ExprPtr init;
    bool isTable = false;
};

struct SetItem {
    std::vector<std::string> column;  // column parts, or empty for a variable
    std::string variable;             // @v (lower case)
    std::string op = "=";             // "=", "+=", ...
    ExprPtr value;
};

enum class StmtKind {
    Select, Insert, Update, Delete, Truncate,
    CreateTable, DropTable, CreateView, DropView, CreateProc, DropProc, CreateTrigger, DropTrigger,
    CreateIndex, DropIndex, AlterTable, CreateFunction, DropFunction,
    Exec, ExecString, Declare, SetVar, SetOption, If, While, Block, Break, Continue, Print, Return,
    BeginTran, Commit, Rollback, SaveTran, CreateDatabase, DropDatabase, Use, Raiserror, Empty,
    TryCatch, Throw, DeclareTable, DeclareCursor, OpenCursor, FetchCursor, CloseCursor, DeallocateCursor,
};

enum class Replace { No, Alter, CreateOrAlter };

struct Stmt {
    StmtKind kind = StmtKind::Empty;
    Replace replace = Replace::No;  // ALTER PROC/VIEW/TRIGGER/FUNCTION, CREATE OR ALTER
    int line = 1;
    std::uint32_t textBegin = 0, textEnd = 0;  // span in the batch

    SelectPtr select;                          // SELECT; INSERT ... SELECT; CREATE VIEW
    std::vector<std::string> target;           // DML target / object name parts
    std::vector<std::string> columns;          // INSERT column list; CREATE VIEW column list
    std::vector<std::vector<ExprPtr>> values;  // INSERT VALUES rows
    bool defaultValues = false;
    StmtPtr execSource;                        // INSERT ... EXEC
    std::vector<SetItem> sets;                 // UPDATE SET; SET @v
    std::vector<TableRefPtr> from;             // UPDATE/DELETE ... FROM
    ExprPtr where;
    ExprPtr top;

    std::string name;                          // object name (last part), database, option
    std::vector<std::vector<std::string>> names;  // DROP lists
    bool ifExists = false;
    bool checkOption = false;      // CREATE VIEW ... WITH CHECK OPTION
    TableDef table;
    std::vector<ParamDef> params;
    std::vector<StmtPtr> body;                 // procedure / trigger body; BEGIN...END block; TRY block
    std::vector<StmtPtr> catchBody;            // BEGIN CATCH ... END CATCH
    std::vector<std::string> triggerTable;
    bool onInsert = false, onUpdate = false, onDelete = false, insteadOf = false;
    std::string definition;                    // CREATE text as written

    std::vector<ExecArg> args;
    std::string returnVar;                     // EXEC @rc = proc
    std::vector<DeclareItem> decls;
    ExprPtr expr;                              // PRINT / RETURN / IF / WHILE condition / EXEC (@s)
    StmtPtr thenStmt, elseStmt;
    bool on = false;                           // SET option ON/OFF

    // Compiled forms kept by the executor, by variant (nesting level, part).
    mutable std::vector<std::pair<int, std::shared_ptr<void>>> plans;
};

struct Batch {
    std::vector<StmtPtr> statements;
    bool cacheable = true;  // false when the batch defines a module (its text is kept)
    std::vector<int> structuralSlots;  // literal slots whose value shaped the tree
};

}  // namespace quillmere::engine::ast
