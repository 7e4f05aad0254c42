// SELECT: sources, star expansion, names of result columns, grouping, ordering, UNION.
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
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
    std::string savedRowid = rowidFor, savedRowidAlias = rowidAlias, savedRowidColumn = rowidColumn;
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
        rowidColumn = savedRowidColumn;
        rowidMatches = savedMatches;
        throw;
    }
    literals = savedLits;
    inlineLiterals = savedInline;
    rowidFor = savedRowid;
    rowidAlias = savedRowidAlias;
    rowidColumn = savedRowidColumn;
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

// Catalog views scripts ask: sysobjects, sys.objects/tables/views/procedures/triggers,
// INFORMATION_SCHEMA.TABLES and COLUMNS.
bool Translator::Impl::systemView(const std::vector<std::string>& parts, Source& src, std::string& sql) {
    std::string name = lex::lower(parts.back());
    std::string schema = parts.size() >= 2 ? lex::lower(parts[parts.size() - 2]) : std::string();
    SqlType sysname{TypeId::NVarChar, 128};
    SqlType intType{TypeId::Int};
    SqlType code{TypeId::Char, 2};
    struct Col {
        std::string name;
        SqlType type;
        std::string expr;
    };
    std::vector<Col> cols;
    std::string from;
    std::string db = sqlLiteral(Value::fromText(env.database));
    const std::string catalogFrom = " FROM main.qm_catalog c LEFT JOIN main.qm_catalog p ON p.name = c.parent";
    std::string typeDesc = "CASE c.kind WHEN 'U' THEN 'USER_TABLE' WHEN 'V' THEN 'VIEW' WHEN 'P' THEN "
                           "'SQL_STORED_PROCEDURE' ELSE 'SQL_TRIGGER' END";
    if (name == "sysobjects" && (schema.empty() || schema == "dbo" || schema == "sys")) {
        cols = {{"name", sysname, "c.name"}, {"id", intType, "c.id"}, {"xtype", code, "substr(c.kind || ' ', 1, 2)"}, {"type", code, "substr(c.kind || ' ', 1, 2)"},
                {"parent_obj", intType, "ifnull(p.id, 0)"}, {"uid", intType, "1"}};
        from = catalogFrom;
    } else if (schema == "sys" && (name == "objects" || name == "tables" || name == "views" || name == "procedures" ||
                                   name == "triggers" || name == "all_objects")) {
        cols = {{"name", sysname, "c.name"}, {"object_id", intType, "c.id"}, {"type", code, "substr(c.kind || ' ', 1, 2)"},
                {"type_desc", SqlType{TypeId::NVarChar, 60}, typeDesc},
                {name == "triggers" ? "parent_id" : "parent_object_id", intType, "ifnull(p.id, 0)"},
                {"schema_id", intType, "1"}};
        from = catalogFrom;
        if (name == "tables") from += " WHERE c.kind = 'U'";
        if (name == "views") from += " WHERE c.kind = 'V'";
        if (name == "procedures") from += " WHERE c.kind = 'P'";
        if (name == "triggers") from += " WHERE c.kind = 'TR'";
    } else if (schema == "information_schema" && (name == "tables" || name == "views")) {
        cols = {{"TABLE_CATALOG", sysname, db}, {"TABLE_SCHEMA", sysname, "'dbo'"}, {"TABLE_NAME", sysname, "c.name"},
                {"TABLE_TYPE", SqlType{TypeId::VarChar, 10}, "CASE c.kind WHEN 'U' THEN 'BASE TABLE' ELSE 'VIEW' END"}};
        from = name == "views" ? " FROM main.qm_catalog c WHERE c.kind = 'V'" : " FROM main.qm_catalog c WHERE c.kind IN ('U', 'V')";
    } else if (schema == "information_schema" && name == "routines") {
        cols = {{"ROUTINE_CATALOG", sysname, db}, {"ROUTINE_SCHEMA", sysname, "'dbo'"}, {"ROUTINE_NAME", sysname, "c.name"},
                {"ROUTINE_TYPE", SqlType{TypeId::NVarChar, 20}, "'PROCEDURE'"}};
        from = " FROM main.qm_catalog c WHERE c.kind = 'P'";
    } else if (schema == "information_schema" && name == "columns") {
        cols = {{"TABLE_CATALOG", sysname, "t0"}, {"TABLE_SCHEMA", sysname, "t1"}, {"TABLE_NAME", sysname, "t2"},
                {"COLUMN_NAME", sysname, "t3"}, {"ORDINAL_POSITION", intType, "t4"},
                {"IS_NULLABLE", SqlType{TypeId::VarChar, 3}, "t5"}, {"DATA_TYPE", sysname, "t6"},
                {"CHARACTER_MAXIMUM_LENGTH", intType, "t7"}};
        std::string rows;
        for (catalog::Object* o : env.catalog->all()) {
            if (o->kind != catalog::ObjectKind::Table) continue;
            for (std::size_t i = 0; i < o->columns.size(); ++i) {
                const auto& c = o->columns[i];
                std::string tname = c.type.name();
                auto paren = tname.find('(');
                rows += rows.empty() ? "SELECT " : " UNION ALL SELECT ";
                rows += db + " AS t0, 'dbo' AS t1, " + sqlLiteral(Value::fromText(o->name)) + " AS t2, " +
                        sqlLiteral(Value::fromText(c.name)) + " AS t3, " + std::to_string(i + 1) + " AS t4, " +
                        (c.nullable ? "'YES'" : "'NO'") + " AS t5, " +
                        sqlLiteral(Value::fromText(paren == std::string::npos ? tname : tname.substr(0, paren))) +
                        " AS t6, " + (c.type.isCharacter() ? std::to_string(c.type.length) : std::string("NULL")) + " AS t7";
            }
        }
        if (rows.empty()) rows = "SELECT NULL AS t0, NULL AS t1, NULL AS t2, NULL AS t3, NULL AS t4, NULL AS t5, NULL AS t6, NULL AS t7 WHERE 0";
        from = " FROM (" + rows + ")";
    } else {
        return false;
    }
    std::string select;
    for (std::size_t k = 0; k < cols.size(); ++k) {
        SourceCol c;
        c.name = cols[k].name;
        c.sqlName = "c" + std::to_string(k);
        c.type = cols[k].type;
        src.cols.push_back(c);
        select += (k ? ", " : "") + cols[k].expr + " AS c" + std::to_string(k);
    }
    sql = "(SELECT " + select + from + ") AS " + quoteIdent(src.sqlAlias);
    return true;
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
    if (parts.size() == 1) {
        for (auto it = ctes.rbegin(); it != ctes.rend(); ++it) {
            if (!lex::iequals(it->name, name)) continue;
            src.cols = it->cols;
            it->selfAlias = src.sqlAlias;
            sql = quoteIdent(it->sqlName) + " AS " + quoteIdent(src.sqlAlias);
            return src;
        }
    }
    catalog::Object* obj = env.catalog->find(name);
    if (!obj && systemView(parts, src, sql)) return src;
    if (!obj && !name.empty() && name[0] == '@') error(1087, {name}, line);
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
            rowidColumn = "rowid";
        }
        return src;
    }
    std::string vsql;
    bool carries = false;
    if (!rowidFor.empty()) {
        // a view over a view: the inner one carries the base table's rowid when it reaches it
        try {
            viewSql(*obj, vsql, src.cols, rowidFor);
            carries = true;
        } catch (const TranslateError& e) {
            if (e.message.number != 4405 && e.message.number != 4403) throw;
        }
    }
    if (carries) {
        ++rowidMatches;
        rowidAlias = src.sqlAlias;
        rowidColumn = "qm_rowid";
    } else {
        viewSql(*obj, vsql, src.cols, {});
    }
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

namespace {

bool isAggregateName(const std::string& f) {
    return f == "count" || f == "count_big" || f == "sum" || f == "avg" || f == "min" || f == "max" ||
           f == "stdev" || f == "stdevp" || f == "var" || f == "varp";
}

}  // namespace

// Column references of an expression that are not inside an aggregate or a subquery.
void outerColumnRefs(const Expr& e, std::vector<const Expr*>& out) {
    switch (e.kind) {
    case ExprKind::Column: out.push_back(&e); return;
    case ExprKind::Call:
        if (isAggregateName(e.op)) return;
        break;
    case ExprKind::Subquery:
    case ExprKind::Exists: return;
    case ExprKind::InSelect:
    case ExprKind::Quantified: outerColumnRefs(*e.args[0], out); return;
    default: break;
    }
    bool datePart = e.kind == ExprKind::Call && (e.op == "datepart" || e.op == "dateadd" || e.op == "datediff" || e.op == "datename");
    for (std::size_t i = datePart ? 1 : 0; i < e.args.size(); ++i) outerColumnRefs(*e.args[i], out);
}

std::string Translator::Impl::coreSql(const ast::Select& s, Scope* outer, std::vector<OutCol>& out,
                                      Scope*& scopeOut, std::vector<std::unique_ptr<Scope>>& keep) {
    keep.push_back(std::make_unique<Scope>());
    Scope& scope = *keep.back();
    scope.outer = outer;
    scopeOut = &scope;
    bool levelled = levelMember;  // a member of a recursive common table
    levelMember = false;
    if (levelled) ctes[levelCte].selfAlias.clear();
    std::string from;
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (i) from += ", ";
        from += fromSql(*s.from[i], scope);
    }
    std::string levelSql;
    if (levelled) {
        const std::string& self = ctes[levelCte].selfAlias;
        levelSql = self.empty() ? ", 0 AS qm_lvl"
                                : ", tsql_cte_level(" + quoteIdent(self) + ".qm_lvl + 1, " + levelMaxSql + ") AS qm_lvl";
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
    // In a grouped query every column outside an aggregate must be grouped (8120).
    bool aggregated = grouped || s.having;
    for (const auto& o : out) aggregated = aggregated || o.value.aggregate;
    std::vector<std::string> groupSql;
    for (const auto& g : s.groupBy) groupSql.push_back(expr(*g, scope).sql);
    if (aggregated) {
        auto grouped_ = [&](const std::string& sql) {
            for (const auto& g : groupSql)
                if (g == sql) return true;
            return false;
        };
        auto local = [&](const std::string& sql) {
            for (const Source& src : scope.sources)
                if (sql.rfind(quoteIdent(src.sqlAlias) + ".", 0) == 0) return &src;
            return static_cast<const Source*>(nullptr);
        };
        std::size_t k = 0;
        for (const auto& item : s.items) {
            std::vector<const Expr*> refs;
            std::vector<std::pair<std::string, std::string>> starCols;  // sql, shown name
            if (item.star) {
                for (; k < out.size() && out[k].value.isColumn; ++k) {
                    const Source* src = local(out[k].value.sql);
                    starCols.emplace_back(out[k].value.sql, (src ? src->exposed + "." : "") + out[k].name);
                }
                for (const auto& [sql, shown] : starCols)
                    if (!grouped_(sql)) error(8120, {shown}, s.line);
                continue;
            }
            const OutCol& o = out[k++];
            if (o.value.aggregate && !grouped_(o.value.sql)) {
                // columns may still appear outside the aggregate: a + count(*)
            }
            if (grouped_(o.value.sql)) continue;
            outerColumnRefs(*item.expr, refs);
            for (const Expr* r : refs) {
                Typed t = column(*r, scope);
                const Source* src = local(t.sql);
                if (src && !grouped_(t.sql)) error(8120, {src->exposed + "." + r->parts.back()}, r->line);
            }
        }
    }
    items += levelSql;
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
            if (g.aggregate) error(144, {}, s.groupBy[i]->line);
            if (i) sql += ", ";
            sql += g.sql;
            if (g.type.isCharacter() && !g.isColumn) sql += " COLLATE TSQL_CI";
        }
    }
    if (s.having) {
        Typed h = expr(*s.having, scope);
        // HAVING without GROUP BY or aggregates: the rows form one group
        bool anyAggregate = h.aggregate;
        for (const auto& o : out) anyAggregate = anyAggregate || o.value.aggregate;
        if (!grouped && !anyAggregate) sql += " GROUP BY 'qm'";
        sql += " HAVING " + h.sql;
    }
    (void)exprRefsAggregateOnly;
    return sql;
}

namespace {

// Whether a FROM item names table (a common table referring to itself).
bool namesTable(const ast::TableRef& r, const std::string& table) {
    if (r.kind == ast::TableRef::Named) return r.parts.size() == 1 && lex::iequals(r.parts[0], table);
    if (r.kind == ast::TableRef::Join) return namesTable(*r.left, table) || namesTable(*r.right, table);
    return false;
}

bool isRecursive(const ast::CommonTable& c) {
    for (const ast::Select* m = c.select.get(); m; m = m->setNext.get())
        for (const auto& f : m->from)
            if (namesTable(*f, c.name)) return true;
    return false;
}

}  // namespace

std::string Translator::Impl::selectSql(const ast::Select& s, Scope* outer, std::vector<OutCol>& out) {
    if (!s.with.empty()) {
        // WITH [RECURSIVE]: each common table is known by its first member's columns
        std::string with = "WITH RECURSIVE ";
        std::size_t saved = ctes.size();
        for (std::size_t i = 0; i < s.with.size(); ++i) {
            const auto& c = s.with[i];
            Cte cte;
            cte.name = c.name;
            cte.sqlName = "qm_cte_" + std::to_string(++aliasCounter);
            std::vector<OutCol> headCols;
            {
                std::vector<std::unique_ptr<Scope>> keep;
                Scope* sc = nullptr;
                coreSql(*c.select, outer, headCols, sc, keep);
            }
            std::vector<std::string> names;
            for (std::size_t k = 0; k < headCols.size(); ++k) {
                SourceCol col;
                col.name = k < c.columns.size() ? c.columns[k] : headCols[k].name;
                col.sqlName = "c" + std::to_string(k);
                col.type = headCols[k].value.type;
                col.baseTable = headCols[k].value.baseTable;
                col.baseColumn = headCols[k].value.baseColumn;
                cte.cols.push_back(col);
                names.push_back(col.sqlName);
            }
            bool recursive = isRecursive(c);
            if (recursive) names.push_back("qm_lvl");
            ctes.push_back(cte);
            std::vector<OutCol> cols;
            const ast::Select* savedBody = levelBody;
            std::size_t savedCte = levelCte;
            std::string savedMax = levelMaxSql;
            if (recursive) {
                levelBody = c.select.get();
                levelCte = ctes.size() - 1;
                if (s.maxRecursion) {
                    Scope none;
                    none.outer = outer;
                    levelMaxSql = expr(*s.maxRecursion, none).sql;
                } else {
                    levelMaxSql = "100";
                }
            }
            std::string body;
            try {
                body = selectSql(*c.select, outer, cols);
            } catch (...) {
                levelBody = savedBody;
                levelCte = savedCte;
                levelMaxSql = savedMax;
                throw;
            }
            levelBody = savedBody;
            levelCte = savedCte;
            levelMaxSql = savedMax;
            with += (i ? ", " : "") + quoteIdent(cte.sqlName) + "(";
            for (std::size_t k = 0; k < names.size(); ++k) with += (k ? ", " : "") + names[k];
            with += ") AS (" + body + ")";
        }
        ast::Select& self = const_cast<ast::Select&>(s);
        std::vector<ast::CommonTable> moved = std::move(self.with);
        self.with.clear();
        std::string rest;
        try {
            rest = selectSql(s, outer, out);
        } catch (...) {
            self.with = std::move(moved);
            ctes.resize(saved);
            throw;
        }
        self.with = std::move(moved);
        ctes.resize(saved);
        return with + " " + rest;
    }
    std::vector<std::unique_ptr<Scope>> keep;
    Scope* headScope = nullptr;
    bool wantRowid = !rowidFor.empty();
    bool levelled = &s == levelBody;  // the members of a recursive common table
    if (levelled) levelBody = nullptr;
    levelMember = levelled;
    std::string sql = coreSql(s, outer, out, headScope, keep);
    if (wantRowid) {
        if (s.setNext || s.distinct || !s.groupBy.empty()) error(4403, {rowidFor}, s.line);
        if (rowidMatches != 1) error(4405, {rowidFor}, s.line);
        auto pos = sql.find(" FROM ");
        sql.insert(pos == std::string::npos ? sql.size() : pos, ", " + quoteIdent(rowidAlias) + "." + rowidColumn + " AS qm_rowid");
        rowidFor.clear();
    }
    // TOP n, or TOP n PERCENT of the rows core gives (rounded up)
    auto topSql = [&](const ast::Select& sel, Scope& sc, const std::string& core) -> std::string {
        if (!sel.top) return {};
        Typed t = expr(*sel.top, sc);
        if (!sel.topPercent) return " LIMIT " + t.sql;
        std::string share = "(count(*) * CAST(" + t.sql + " AS REAL) / 100.0)";
        return " LIMIT (SELECT CAST(" + share + " AS INTEGER) + (" + share + " > CAST(" + share +
               " AS INTEGER)) FROM (" + core + "))";
    };
    const std::string core = sql;
    if (!s.setNext) {
        const bool ordered = &s == accumulateOrder && !s.orderBy.empty();
        std::string orderSql;
        std::swap(sql, orderSql);
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
        std::swap(sql, orderSql);
        if (ordered) {
            // each row's values are computed as it comes out, in this order
            auto pos = sql.find(" FROM ");
            if (pos == std::string::npos) pos = sql.size();
            sql.insert(pos, ", row_number() OVER (" + orderSql.substr(1) + ") AS qm_ord");
        } else {
            sql += orderSql;
        }
        if (s.offset) {
            if (s.top) error(10741, {}, s.line);
            sql += " LIMIT " + (s.fetch ? expr(*s.fetch, *headScope).sql : std::string("-1")) + " OFFSET " +
                   expr(*s.offset, *headScope).sql;
        } else {
            sql += topSql(s, *headScope, core);
        }
        return sql;
    }
    // UNION / EXCEPT / INTERSECT chain
    std::string head = sql;
    if (s.top) head = "SELECT * FROM (" + head + topSql(s, *headScope, core) + ")";
    std::vector<std::string> parts{head};
    std::vector<std::vector<SqlType>> partTypes(1);
    std::vector<std::vector<std::string>> partNames(1);
    std::vector<std::string> ops;
    for (auto& o : out) {
        partTypes[0].push_back(o.value.isNull ? SqlType{} : o.value.type);
        partNames[0].push_back(o.sqlName);
        if (o.value.isNull) o.value.type = SqlType{};  // a NULL takes the other members' type
    }
    for (const ast::Select* m = &s; m->setNext; m = m->setNext.get()) {
        std::vector<OutCol> mout;
        Scope* ms = nullptr;
        levelMember = levelled;
        std::string part = coreSql(*m->setNext, outer, mout, ms, keep);
        if (m->setNext->top) part = "SELECT * FROM (" + part + topSql(*m->setNext, *ms, part) + ")";
        if (mout.size() != out.size()) error(205, {}, m->setNext->line);
        partTypes.emplace_back();
        partNames.emplace_back();
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i].value.type = higherOf(out[i].value.type, mout[i].value.type);
            out[i].value.baseTable.clear();
            out[i].value.isColumn = false;
            partTypes.back().push_back(mout[i].value.isNull ? SqlType{} : mout[i].value.type);
            partNames.back().push_back(mout[i].sqlName);
        }
        ops.push_back(m->setOp == "union all" ? " UNION ALL " : m->setOp == "union" ? " UNION "
                      : m->setOp == "except" ? " EXCEPT " : " INTERSECT ");
        parts.push_back(std::move(part));
    }
    for (auto& o : out)
        if (o.value.type.id == TypeId::Unknown) o.value.type = SqlType{TypeId::Int};
    // Each column takes the type of highest precedence among the members: a member
    // whose text must become a number (or a number text) is converted row by row.
    std::string compound;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        std::string items;
        bool convert = false;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const SqlType& from = partTypes[k][i];
            Typed col;
            col.sql = "qm_u." + quoteIdent(partNames[k][i]);
            col.type = from;
            if (from.id != TypeId::Unknown && out[i].value.type.id != TypeId::Unknown &&
                from.isCharacter() != out[i].value.type.isCharacter()) {
                col = convertTo(col, out[i].value.type, ConversionContext::Implicit, s.line);
                convert = true;
            }
            items += (i ? ", " : "") + col.sql + " AS " + quoteIdent(partNames[k][i]);
        }
        std::string part = convert ? "SELECT " + items + " FROM (" + parts[k] + ") AS qm_u" : parts[k];
        compound += (k ? ops[k - 1] : std::string()) + part;
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
        if (r.isUnicode() && r.length > 4000) r.length = 4000;
        return r;
    }
    return resultTypeOf('=', a, b);
}

}  // namespace quillmere::engine::translate
