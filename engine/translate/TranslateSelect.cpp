// SELECT: sources, star expansion, names of result columns, grouping, ordering, UNION.
#include "engine/Errors.h"
#include "engine/lex/Lexer.h"
#include "engine/translate/TranslateImpl.h"

#include <set>

namespace quillmere::engine::translate {

using ast::Expr;
using ast::ExprKind;

std::string Translator::Impl::tableQualifier(const std::vector<std::string>& parts) const {
    return parts.back();
}

void Translator::Impl::viewSql(catalog::Object& view, std::string& sql, std::vector<SourceCol>& cols,
                               const std::string& rowidTable) {
    if (env.resolveView) env.resolveView(view);
    if (!view.module) error(208, {view.name}, 1);
    const ast::Stmt& create = view.module->create();
    // The view's own literals are written into its SQL.
    const parse::Literals* savedLits = literals;
    bool savedInline = inlineLiterals;
    std::string savedRowid = rowidFor, savedRowidAlias = rowidAlias;
    int savedMatches = rowidMatches;
    literals = &view.module->literals;
    inlineLiterals = true;
    rowidFor = rowidTable;
    rowidAlias.clear();
    rowidMatches = 0;
    std::vector<OutCol> out;
    try {
        sql = selectSql(*create.select, nullptr, out);
    } catch (...) {
        literals = savedLits;
        inlineLiterals = savedInline;
        rowidFor = savedRowid;
        rowidAlias = savedRowidAlias;
        rowidMatches = savedMatches;
        throw;
    }
    literals = savedLits;
    inlineLiterals = savedInline;
    rowidFor = savedRowid;
    rowidAlias = savedRowidAlias;
    rowidMatches = savedMatches;
    cols.clear();
    for (std::size_t i = 0; i < out.size(); ++i) {
        SourceCol c;
        c.name = i < create.columns.size() ? create.columns[i] : out[i].name;
        c.sqlName = out[i].sqlName;
        c.type = out[i].value.type;
        c.nullable = out[i].value.nullable;
        c.baseTable = out[i].value.baseTable;
        c.baseColumn = out[i].value.baseColumn;
        cols.push_back(std::move(c));
    }
}

Source Translator::Impl::namedSource(const std::vector<std::string>& parts, const std::string& alias, int line,
                                     std::string& sql) {
    Source src;
    const std::string& name = parts.back();
    src.table = name;
    src.exposed = alias.empty() ? name : alias;
    src.aliased = !alias.empty();
    src.sqlAlias = newAlias();
    if (env.trigger && parts.size() == 1 && (lex::iequals(name, "inserted") || lex::iequals(name, "deleted"))) {
        catalog::Object* t = env.trigger->table;
        for (const auto& c : t->columns) {
            SourceCol sc;
            sc.name = c.name;
            sc.sqlName = c.name;
            sc.type = c.type;
            sc.nullable = c.nullable;
            src.cols.push_back(std::move(sc));
        }
        sql = "temp." + quoteIdent(lex::iequals(name, "inserted") ? env.trigger->inserted : env.trigger->deleted) +
              " AS " + quoteIdent(src.sqlAlias);
        return src;
    }
    catalog::Object* obj = env.catalog->find(name);
    if (!obj || (obj->kind != catalog::ObjectKind::Table && obj->kind != catalog::ObjectKind::View)) {
        std::string full;
        for (std::size_t i = 0; i < parts.size(); ++i) full += (i ? "." : "") + parts[i];
        error(208, {full}, line);
    }
    src.object = obj;
    src.table = obj->name;
    if (!src.aliased) src.exposed = name;
    if (obj->kind == catalog::ObjectKind::Table) {
        for (const auto& c : obj->columns) {
            SourceCol sc;
            sc.name = c.name;
            sc.sqlName = c.name;
            sc.type = c.type;
            sc.nullable = c.nullable;
            sc.baseTable = obj->name;
            sc.baseColumn = c.name;
            src.cols.push_back(std::move(sc));
        }
        sql = quoteIdent(obj->name) + " AS " + quoteIdent(src.sqlAlias);
        if (!rowidFor.empty() && lex::iequals(obj->name, rowidFor)) {
            ++rowidMatches;
            rowidAlias = src.sqlAlias;
        }
        return src;
    }
    std::string vsql;
    viewSql(*obj, vsql, src.cols, {});
    sql = "(" + vsql + ") AS " + quoteIdent(src.sqlAlias);
    return src;
}

std::string Translator::Impl::fromSql(const ast::TableRef& r, Scope& scope) {
    switch (r.kind) {
    case ast::TableRef::Named: {
        std::string sql;
        scope.sources.push_back(namedSource(r.parts, r.alias, r.line, sql));
        return sql;
    }
    case ast::TableRef::Derived: {
        Source src;
        src.exposed = r.alias;
        src.table = r.alias;
        src.aliased = true;
        src.sqlAlias = newAlias();
        std::vector<OutCol> out;
        // A derived table sees no columns of its siblings.
        std::string sub = selectSql(*r.select, scope.outer, out);
        for (auto& o : out) {
            SourceCol c;
            c.name = o.name;
            c.sqlName = o.sqlName;
            c.type = o.value.type;
            c.nullable = o.value.nullable;
            c.baseTable = o.value.baseTable;
            c.baseColumn = o.value.baseColumn;
            src.cols.push_back(std::move(c));
        }
        scope.sources.push_back(std::move(src));
        return "(" + sub + ") AS " + quoteIdent(scope.sources.back().sqlAlias);
    }
    case ast::TableRef::Join: {
        std::string left = fromSql(*r.left, scope);
        std::string right = fromSql(*r.right, scope);
        std::string type = r.joinType == "inner" ? " JOIN " : r.joinType == "left" ? " LEFT JOIN "
                           : r.joinType == "right" ? " RIGHT JOIN " : r.joinType == "full" ? " FULL JOIN " : " CROSS JOIN ";
        std::string sql = left + type + right;
        if (r.on) sql += " ON " + expr(*r.on, scope).sql;
        return sql;
    }
    }
    return {};
}

std::string Translator::Impl::subquerySql(const ast::Select& s, Scope& scope, std::vector<OutCol>* cols) {
    std::vector<OutCol> out;
    std::string sql = selectSql(s, &scope, out);
    if (cols) *cols = std::move(out);
    return sql;
}

namespace {

bool exprRefsAggregateOnly(const Typed& t) { return t.aggregate; }

}  // namespace

std::string Translator::Impl::coreSql(const ast::Select& s, Scope* outer, std::vector<OutCol>& out,
                                      Scope*& scopeOut, std::vector<std::unique_ptr<Scope>>& keep) {
    keep.push_back(std::make_unique<Scope>());
    Scope& scope = *keep.back();
    scope.outer = outer;
    scopeOut = &scope;
    std::string from;
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (i) from += ", ";
        from += fromSql(*s.from[i], scope);
    }
    std::string items;
    bool grouped = !s.groupBy.empty();
    std::set<std::string> usedNames;
    int unnamed = 0;
    auto addOut = [&](OutCol o) {
        std::string base = o.named && !o.name.empty() ? o.name : "_c" + std::to_string(++unnamed);
        std::string n = base;
        int k = 1;
        while (usedNames.count(lex::lower(n))) n = base + "_" + std::to_string(++k);
        usedNames.insert(lex::lower(n));
        o.sqlName = n;
        if (!items.empty()) items += ", ";
        std::string v = o.value.sql;
        if ((s.distinct || !s.setOp.empty()) && o.value.type.isCharacter() && !o.value.isColumn) v += " COLLATE TSQL_CI";
        items += v + " AS " + quoteIdent(n);
        out.push_back(std::move(o));
    };
    for (const auto& item : s.items) {
        if (item.star) {
            bool any = false;
            for (const Source& src : scope.sources) {
                if (!item.starQualifier.empty()) {
                    const std::string& q = item.starQualifier.back();
                    if (!(lex::iequals(src.exposed, q) || (!src.aliased && lex::iequals(src.table, q)))) continue;
                }
                any = true;
                for (const SourceCol& c : src.cols) {
                    OutCol o;
                    o.name = c.name;
                    o.named = true;
                    o.value.sql = quoteIdent(src.sqlAlias) + "." + quoteIdent(c.sqlName);
                    o.value.type = c.type;
                    o.value.nullable = c.nullable;
                    o.value.baseTable = c.baseTable;
                    o.value.baseColumn = c.baseColumn;
                    o.value.isColumn = !c.baseTable.empty();
                    addOut(std::move(o));
                }
            }
            if (!any) {
                if (item.starQualifier.empty()) error(263, {}, s.line);
                std::string q;
                for (std::size_t i = 0; i < item.starQualifier.size(); ++i) q += (i ? "." : "") + item.starQualifier[i];
                error(4104, {q}, s.line);
            }
            continue;
        }
        OutCol o;
        o.value = expr(*item.expr, scope);
        if (o.value.isNull) o.value.type = SqlType{TypeId::Int};
        if (item.hasAlias) {
            o.name = item.alias;
            o.named = true;
        } else if (item.expr->kind == ExprKind::Column) {
            o.name = item.expr->parts.back();
            // the column as the source spells it
            o.named = true;
        }
        addOut(std::move(o));
    }
    // Names of plain columns take the spelling of their declaration.
    std::string sql = std::string("SELECT ") + (s.distinct ? "DISTINCT " : "") + items;
    if (!rowidFor.empty() && outer == nullptr) {
        // set after FROM is translated; see below
    }
    if (!from.empty()) sql += " FROM " + from;
    if (s.where) {
        Typed w = expr(*s.where, scope);
        if (w.aggregate) error(147, {}, s.where->line);
        sql += " WHERE " + w.sql;
    }
    if (grouped) {
        sql += " GROUP BY ";
        for (std::size_t i = 0; i < s.groupBy.size(); ++i) {
            Typed g = expr(*s.groupBy[i], scope);
            if (i) sql += ", ";
            sql += g.sql;
            if (g.type.isCharacter() && !g.isColumn) sql += " COLLATE TSQL_CI";
        }
    }
    if (s.having) sql += " HAVING " + expr(*s.having, scope).sql;
    (void)exprRefsAggregateOnly;
    return sql;
}

std::string Translator::Impl::selectSql(const ast::Select& s, Scope* outer, std::vector<OutCol>& out) {
    std::vector<std::unique_ptr<Scope>> keep;
    Scope* headScope = nullptr;
    bool wantRowid = !rowidFor.empty();
    std::string sql = coreSql(s, outer, out, headScope, keep);
    if (wantRowid) {
        if (s.setNext || s.distinct || !s.groupBy.empty()) error(4403, {rowidFor}, s.line);
        if (rowidMatches != 1) error(4405, {rowidFor}, s.line);
        auto pos = sql.find(" FROM ");
        sql.insert(pos == std::string::npos ? sql.size() : pos, ", " + quoteIdent(rowidAlias) + ".rowid AS qm_rowid");
        rowidFor.clear();
    }
    auto topSql = [&](const ast::Select& sel, Scope& sc) -> std::string {
        if (!sel.top) return {};
        Typed t = expr(*sel.top, sc);
        if (sel.topPercent) return {};
        return " LIMIT " + t.sql;
    };
    if (!s.setNext) {
        if (!s.orderBy.empty()) {
            sql += " ORDER BY ";
            for (std::size_t i = 0; i < s.orderBy.size(); ++i) {
                const auto& item = s.orderBy[i];
                if (i) sql += ", ";
                const Expr& e = *item.expr;
                std::string term;
                if (e.kind == ExprKind::Literal && e.litKind == lex::Tok::Integer && literals) {
                    std::int64_t n = literals->values[e.slot].integer;
                    if (n < 1 || n > static_cast<std::int64_t>(out.size())) error(108, {std::to_string(n)}, e.line);
                    term = std::to_string(n);
                } else if (e.kind == ExprKind::Column && e.parts.size() == 1) {
                    for (const auto& o : out)
                        if (o.named && lex::iequals(o.name, e.parts[0]) && !(o.value.isColumn && false)) {
                            term = quoteIdent(o.sqlName);
                            if (o.value.type.isCharacter() && !o.value.isColumn) term += " COLLATE TSQL_CI";
                            break;
                        }
                }
                if (term.empty()) {
                    Typed t = expr(e, *headScope);
                    term = t.sql;
                    if (t.type.isCharacter() && !t.isColumn) term += " COLLATE TSQL_CI";
                }
                sql += term + (item.desc ? " DESC" : "");
            }
        }
        sql += topSql(s, *headScope);
        return sql;
    }
    // UNION / EXCEPT / INTERSECT chain
    std::string head = sql;
    if (s.top) head = "SELECT * FROM (" + head + topSql(s, *headScope) + ")";
    std::string compound = head;
    for (const ast::Select* m = &s; m->setNext; m = m->setNext.get()) {
        std::vector<OutCol> mout;
        Scope* ms = nullptr;
        std::string part = coreSql(*m->setNext, outer, mout, ms, keep);
        if (m->setNext->top) part = "SELECT * FROM (" + part + topSql(*m->setNext, *ms) + ")";
        if (mout.size() != out.size()) error(205, {}, m->setNext->line);
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i].value.type = higherOf(out[i].value.type, mout[i].value.type);
            out[i].value.baseTable.clear();
            out[i].value.isColumn = false;
        }
        std::string op = m->setOp == "union all" ? " UNION ALL " : m->setOp == "union" ? " UNION "
                         : m->setOp == "except" ? " EXCEPT " : " INTERSECT ";
        compound += op + part;
    }
    if (!s.orderBy.empty()) {
        compound += " ORDER BY ";
        for (std::size_t i = 0; i < s.orderBy.size(); ++i) {
            const auto& item = s.orderBy[i];
            const Expr& e = *item.expr;
            int pos = -1;
            if (e.kind == ExprKind::Literal && e.litKind == lex::Tok::Integer && literals) {
                pos = static_cast<int>(literals->values[e.slot].integer);
                if (pos < 1 || pos > static_cast<int>(out.size())) error(108, {std::to_string(pos)}, e.line);
            } else if (e.kind == ExprKind::Column) {
                for (std::size_t k = 0; k < out.size(); ++k)
                    if (out[k].named && lex::iequals(out[k].name, e.parts.back())) { pos = static_cast<int>(k) + 1; break; }
            }
            if (pos < 0) error(104, {}, e.line);
            if (i) compound += ", ";
            compound += std::to_string(pos) + (item.desc ? " DESC" : "");
        }
    }
    return compound;
}

SqlType higherOf(const SqlType& a, const SqlType& b) {
    if (a.id == TypeId::Unknown) return b;
    if (b.id == TypeId::Unknown) return a;
    if (a.isCharacter() && b.isCharacter()) {
        SqlType r = a;
        if (b.isUnicode()) r.id = b.id;
        r.length = (a.length == -1 || b.length == -1) ? -1 : std::max(a.length, b.length);
        return r;
    }
    return resultTypeOf('=', a, b);
}

}  // namespace quillmere::engine::translate
