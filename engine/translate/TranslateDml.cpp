// Entry points of the translator: queries, scalar expressions and data changes
// (INSERT, UPDATE, DELETE on tables and through views).
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/lex/Lexer.h"
#include "engine/parse/Parser.h"
#include "engine/lex/Lexer.h"
#include "engine/translate/TranslateImpl.h"

namespace quillmere::engine::translate {

using ast::Expr;
using ast::ExprKind;

// The variables of `names` an expression reads (not inside its subqueries).
static void collectVariables(const ast::Expr& e, const std::set<std::string>& names, std::set<std::string>& found) {
    if (e.kind == ast::ExprKind::Variable && names.count(e.op)) found.insert(e.op);
    for (const auto& a : e.args)
        if (a) collectVariables(*a, names, found);
}

Query Translator::select(const ast::Select& s) {
    Query q;
    Impl impl(env_, q.params);
    std::vector<OutCol> out;
    bool assigning = !s.items.empty() && !s.items.front().assignVar.empty();
    for (const auto& it : s.items)
        if (assigning == it.assignVar.empty()) impl.error(141, {}, s.line);
    if (assigning && !s.setNext && s.groupBy.empty() && !s.having && !s.distinct) {
        // a variable assigned here and read by an item sees the previous row's value
        std::set<std::string> assigned;
        for (const auto& it : s.items) assigned.insert(it.assignVar);
        for (const auto& it : s.items)
            if (it.expr) collectVariables(*it.expr, assigned, impl.liveVars);
        if (!impl.liveVars.empty()) impl.accumulateOrder = &s;
    }
    q.sql = impl.selectSql(s, nullptr, out);
    for (const auto& o : out) {
        ResultColumn c;
        c.name = o.named ? o.name : std::string();
        c.type = o.value.type.id == TypeId::Unknown ? SqlType{TypeId::Int} : o.value.type;
        c.nullable = o.value.nullable;
        c.baseTable = o.value.baseTable;
        c.baseColumn = o.value.baseColumn;
        q.columns.push_back(std::move(c));
    }
    if (assigning)
        for (const auto& it : s.items) q.assignVars.push_back(it.assignVar);
    q.returnsRows = !assigning;
    return q;
}

Query Translator::scalar(const Expr& e, bool asCondition, const SqlType* target) {
    Query q;
    Impl impl(env_, q.params);
    Scope scope;
    Typed t = impl.expr(e, scope);
    if (target && !asCondition) t = impl.convertTo(t, *target, ConversionContext::Variable, e.line);
    q.sql = asCondition ? "SELECT CASE WHEN " + t.sql + " THEN 1 ELSE 0 END" : "SELECT " + t.sql;
    ResultColumn c;
    c.type = t.type;
    q.columns.push_back(c);
    return q;
}

std::string Translator::inlineExpr(const Expr& e, SqlType& type) {
    std::vector<ParamRef> params;
    Impl impl(env_, params);
    impl.inlineLiterals = true;
    Scope scope;
    Typed t = impl.expr(e, scope);
    type = t.type;
    return t.sql;
}

std::string Translator::checkSql(const ast::TableDef& def, const std::string& text) {
    std::vector<ParamRef> params;
    Environment env = env_;
    parse::Literals lits;
    Message m;
    auto e = parse::parseExpression(text, m);
    if (!e) throw TranslateError{m};
    lex::LexResult lx;
    lex::tokenize(text, lx);
    parse::decodeLiterals(text, lx, lits);
    env.literals = &lits;
    Impl impl(env, params);
    impl.inlineLiterals = true;
    Scope scope;
    Source self;
    self.exposed = "";
    self.sqlAlias = "";  // unqualified column names
    for (const auto& c : def.columns) {
        SourceCol sc;
        sc.name = c.name;
        sc.sqlName = c.name;
        sc.type = c.type;
        sc.baseTable = "t";
        sc.baseColumn = c.name;
        self.cols.push_back(sc);
    }
    scope.sources.push_back(std::move(self));
    Typed t = impl.expr(*e, scope);
    if (!params.empty()) impl.error(128, {text}, 1);
    return t.sql;
}

std::vector<catalog::Column> Translator::viewColumns(const ast::Select& s, const std::vector<std::string>& names) {
    std::vector<ParamRef> params;
    Impl impl(env_, params);
    impl.inlineLiterals = true;
    std::vector<OutCol> out;
    impl.selectSql(s, nullptr, out);
    std::vector<catalog::Column> cols;
    if (!names.empty() && names.size() != out.size()) impl.error(8159, {}, s.line);
    for (std::size_t i = 0; i < out.size(); ++i) {
        catalog::Column c;
        c.name = i < names.size() ? names[i] : out[i].name;
        if (c.name.empty()) impl.error(4511, {}, s.line);
        c.type = out[i].value.type.id == TypeId::Unknown ? SqlType{TypeId::Int} : out[i].value.type;
        c.nullable = out[i].value.nullable;
        c.baseTable = out[i].value.baseTable;
        c.baseColumn = out[i].value.baseColumn;
        cols.push_back(std::move(c));
    }
    return cols;
}

namespace {

struct Target {
    catalog::Object* table = nullptr;  // base table
    catalog::Object* view = nullptr;   // when through a view
    std::string name;                  // as written
};

std::string returningList(const catalog::Object& t) {
    std::string r = " RETURNING ";
    for (const auto& c : t.columns) r += quoteIdent(c.name) + ", ";
    return r + "rowid";
}

}  // namespace

// Resolves a DML target; for a view, the base table the listed columns belong to.
static Target resolveTarget(Translator::Impl& impl, const ast::Stmt& s, const std::vector<std::string>* columns,
                            std::vector<int>* baseIndexes) {
    Target t;
    t.name = s.target.back();
    if (impl.env.trigger && s.target.size() == 1 &&
        (lex::iequals(t.name, "inserted") || lex::iequals(t.name, "deleted")))
        impl.error(286, {}, s.line);
    catalog::Object* obj = impl.env.catalog->find(t.name);
    if (!obj && !t.name.empty() && t.name[0] == '@') impl.error(1087, {t.name}, s.line);
    if (!obj || (obj->kind != catalog::ObjectKind::Table && obj->kind != catalog::ObjectKind::View))
        impl.error(208, {t.name}, s.line);
    if (obj->kind == catalog::ObjectKind::Table) {
        t.table = obj;
        if (columns && baseIndexes) {
            for (const auto& c : *columns) {
                int i = obj->columnIndex(c);
                if (i < 0) impl.error(207, {c}, s.line);
                baseIndexes->push_back(i);
            }
        }
        return t;
    }
    t.view = obj;
    if (impl.env.resolveView) impl.env.resolveView(*obj);
    std::string base;
    std::vector<int> idx;
    auto take = [&](const catalog::Column& vc) {
        if (vc.baseTable.empty()) impl.error(4406, {obj->name}, s.line);
        if (base.empty()) base = vc.baseTable;
        else if (!lex::iequals(base, vc.baseTable)) impl.error(4405, {obj->name}, s.line);
    };
    if (columns) {
        for (const auto& c : *columns) {
            int i = obj->columnIndex(c);
            if (i < 0) impl.error(207, {c}, s.line);
            take(obj->columns[i]);
        }
    }
    if (base.empty()) {
        // no columns named: every base table of the view counts
        for (const auto& vc : obj->columns) {
            if (vc.baseTable.empty()) continue;
            if (base.empty()) base = vc.baseTable;
            else if (!lex::iequals(base, vc.baseTable) && !columns) impl.error(4405, {obj->name}, s.line);
        }
    }
    t.table = impl.env.catalog->find(base);
    if (!t.table) impl.error(4405, {obj->name}, s.line);
    if (columns && baseIndexes) {
        for (const auto& c : *columns) {
            const catalog::Column& vc = obj->columns[obj->columnIndex(c)];
            int bi = t.table->columnIndex(vc.baseColumn);
            if (bi < 0) impl.error(4406, {obj->name}, s.line);
            baseIndexes->push_back(bi);
        }
    }
    return t;
}

// The table an alias of the FROM list stands for (UPDATE e SET ... FROM emp e JOIN ...).
static const ast::TableRef* findAliased(const ast::TableRef& r, const std::string& name) {
    if (r.kind == ast::TableRef::Named) return lex::iequals(r.alias, name) ? &r : nullptr;
    if (r.kind == ast::TableRef::Join) {
        if (auto* x = findAliased(*r.left, name)) return x;
        return findAliased(*r.right, name);
    }
    return nullptr;
}
static const ast::TableRef* findAliased(const std::vector<ast::TableRefPtr>& from, const std::string& name) {
    for (const auto& f : from)
        if (auto* x = findAliased(*f, name)) return x;
    return nullptr;
}

// SQL of a column's value when a statement gives none (its DEFAULT, its IDENTITY, or NULL).
static std::string defaultValueSql(const Environment& env, const catalog::Object& table, const catalog::Column& c, int line) {
    if (c.identity)
        return "qm_next_identity(" + sqlLiteral(Value::fromText(table.name)) + "," + sqlLiteral(Value::fromText(c.name)) +
               "," + std::to_string(c.seed) + "," + std::to_string(c.increment) + ")";
    if (c.defaultText.empty()) return "NULL";
    Message m;
    auto e = parse::parseExpression(c.defaultText, m);
    if (!e) return "NULL";
    std::vector<ParamRef> dummy;
    Environment denv = env;
    parse::Literals lits;
    lex::LexResult lx;
    lex::tokenize(c.defaultText, lx);
    parse::decodeLiterals(c.defaultText, lx, lits);
    denv.literals = &lits;
    Translator::Impl dimpl(denv, dummy);
    dimpl.inlineLiterals = true;
    Scope sc;
    Typed t = dimpl.expr(*e, sc);
    t = dimpl.convertTo(t, c.type, ConversionContext::Column, line);
    return t.sql;
}

// WITH CHECK OPTION on the target view: the rows it lists, with the base table's rowid.
// The view, or one it is built on, that has WITH CHECK OPTION; nullptr when none.
static catalog::Object* checkedView(const Environment& env, catalog::Object* view, int depth = 0) {
    if (!view || view->kind != catalog::ObjectKind::View || depth > 32) return nullptr;
    if (env.resolveView) env.resolveView(*view);
    if (!view->module) return nullptr;
    const ast::Stmt& create = view->module->create();
    if (create.checkOption) return view;
    std::vector<const ast::TableRef*> refs;
    for (const ast::Select* m = create.select.get(); m; m = m->setNext.get())
        for (const auto& f : m->from) refs.push_back(f.get());
    while (!refs.empty()) {
        const ast::TableRef* r = refs.back();
        refs.pop_back();
        if (r->kind == ast::TableRef::Join) {
            refs.push_back(r->left.get());
            refs.push_back(r->right.get());
        } else if (r->kind == ast::TableRef::Named && !r->parts.empty()) {
            if (catalog::Object* inner = checkedView(env, env.catalog->find(r->parts.back()), depth + 1)) return inner;
        }
    }
    return nullptr;
}

static void checkOptionOf(Environment env, const Target& target, DmlPlan& plan) {
    catalog::Object* view = checkedView(env, target.view);
    if (!view) return;
    std::vector<SourceCol> cols;
    std::vector<ParamRef> params;
    Translator::Impl own(env, params);
    own.viewSql(*view, plan.checkView, cols, target.table->name);
}

DmlPlan Translator::insert(const ast::Stmt& s, bool capture) {
    DmlPlan plan;
    plan.action = 'I';
    plan.capture = capture;
    Impl impl(env_, plan.main.params);
    std::vector<int> baseIdx;
    std::vector<std::string> cols = s.columns;
    Target target;
    if (cols.empty()) {
        target = resolveTarget(impl, s, nullptr, nullptr);
        if (target.view) {
            for (const auto& vc : target.view->columns) {
                if (!lex::iequals(vc.baseTable, target.table->name)) impl.error(4405, {target.view->name}, s.line);
                baseIdx.push_back(target.table->columnIndex(vc.baseColumn));
            }
        } else {
            for (std::size_t i = 0; i < target.table->columns.size(); ++i)
                if (!target.table->columns[i].identity) baseIdx.push_back(static_cast<int>(i));
        }
    } else {
        target = resolveTarget(impl, s, &cols, &baseIdx);
        for (std::size_t i = 0; i < baseIdx.size(); ++i)
            for (std::size_t k = 0; k < i; ++k)
                if (baseIdx[i] == baseIdx[k]) impl.error(264, {cols[i]}, s.line);
    }
    catalog::Object& table = *target.table;
    plan.table = &table;
    bool explicitIdentity = env_.identityInsert && env_.identityInsert->count(lex::lower(table.name));
    for (int bi : baseIdx)
        if (table.columns[bi].identity && !explicitIdentity) impl.error(544, {table.name}, s.line);
    if (explicitIdentity) {
        // IDENTITY_INSERT ON: the statement must give the identity value itself
        for (std::size_t ci = 0; ci < table.columns.size(); ++ci) {
            if (!table.columns[ci].identity) continue;
            if (std::find(baseIdx.begin(), baseIdx.end(), static_cast<int>(ci)) == baseIdx.end())
                impl.error(545, {table.name}, s.line);
        }
    }

    auto defaultSql = [&](const catalog::Column& c) { return defaultValueSql(env_, table, c, s.line); };

    std::string sql = "INSERT INTO " + quoteIdent(table.name) + "(";
    for (std::size_t i = 0; i < table.columns.size(); ++i) sql += (i ? "," : "") + quoteIdent(table.columns[i].name);
    sql += ") ";
    std::vector<int> position(table.columns.size(), -1);
    for (std::size_t i = 0; i < baseIdx.size(); ++i) position[baseIdx[i]] = static_cast<int>(i);

    if (s.defaultValues) {
        sql += "VALUES (";
        for (std::size_t i = 0; i < table.columns.size(); ++i) sql += (i ? "," : "") + defaultSql(table.columns[i]);
        sql += ")";
    } else if (!s.values.empty()) {
        sql += "VALUES ";
        plan.valueParam.assign(table.columns.size(), -1);
        for (std::size_t r = 0; r < s.values.size(); ++r) {
            const auto& row = s.values[r];
            if (row.size() != baseIdx.size()) {
                if (s.columns.empty()) impl.error(213, {}, s.line);
                impl.error(row.size() < baseIdx.size() ? 109 : 110, {}, s.line);
            }
            sql += r ? ", (" : "(";
            for (std::size_t i = 0; i < table.columns.size(); ++i) {
                if (i) sql += ",";
                const catalog::Column& c = table.columns[i];
                int p = position[i];
                if (p < 0 || row[p]->kind == ExprKind::Default) {
                    sql += defaultSql(c);
                    continue;
                }
                Scope scope;
                Typed v = impl.expr(*row[p], scope);
                if (v.isColumn) impl.error(128, {row[p]->parts.back()}, row[p]->line);
                v = impl.convertTo(v, c.type, ConversionContext::Column, row[p]->line);
                if (s.values.size() == 1 && v.param >= 0) plan.valueParam[i] = v.param;
                sql += v.sql;
            }
            sql += ")";
        }
    } else if (s.select) {
        std::vector<OutCol> out;
        std::string sub = impl.selectSql(*s.select, nullptr, out);
        if (out.size() != baseIdx.size()) {
            if (s.columns.empty()) impl.error(213, {}, s.line);
            impl.error(out.size() < baseIdx.size() ? 120 : 121, {}, s.line);
        }
        sql += "SELECT ";
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            if (i) sql += ",";
            const catalog::Column& c = table.columns[i];
            int p = position[i];
            if (p < 0) {
                sql += defaultSql(c);
                continue;
            }
            Typed v;
            v.sql = "qm_src." + quoteIdent(out[p].sqlName);
            v.type = out[p].value.type;
            v.isNull = out[p].value.isNull;
            if (v.isNull) v.sql = "NULL";
            sql += impl.convertTo(v, c.type, ConversionContext::Column, s.line).sql;
        }
        sql += " FROM (" + sub + ") AS qm_src";
    } else {
        impl.error(102, {"EXEC"}, s.line);
    }
    if (capture) sql += returningList(table);
    plan.main.sql = std::move(sql);
    checkOptionOf(env_, target, plan);
    return plan;
}

// Shared by UPDATE and DELETE: FROM and WHERE over the target.
struct DmlScope {
    Scope scope;
    std::string from;       // extra FROM sources (UPDATE ... FROM); may be empty
    std::string rowidJoin;  // condition tying the target row to its FROM occurrence
    std::string targetAlias = "q0";
};

static void buildDmlScope(Translator::Impl& impl, const ast::Stmt& s, Target& target, DmlScope& ds) {
    catalog::Object& table = *target.table;
    // Does the target name an occurrence in FROM?
    const std::string& tname = s.target.back();
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (!ds.from.empty()) ds.from += ", ";
        ds.from += impl.fromSql(*s.from[i], ds.scope);
    }
    const Source* occurrence = nullptr;
    for (const Source& src : ds.scope.sources)
        if (lex::iequals(src.exposed, tname)) {
            occurrence = &src;
            break;
        }
    if (occurrence) {
        if (!occurrence->object) impl.error(4421, {tname}, s.line);
        if (occurrence->object->kind == catalog::ObjectKind::View) {
            // through a view named in FROM: rebuild it exposing the base rowid
            impl.error(4405, {occurrence->object->name}, s.line);
        }
        // SQLite's UPDATE ... FROM hides the rowid of FROM tables: expose it as a column.
        std::string plain = quoteIdent(occurrence->object->name) + " AS " + quoteIdent(occurrence->sqlAlias);
        auto at = ds.from.find(plain);
        if (at != std::string::npos)
            ds.from.replace(at, plain.size(), "(SELECT rowid AS qm_rowid, * FROM " + quoteIdent(occurrence->object->name) +
                                                  ") AS " + quoteIdent(occurrence->sqlAlias));
        ds.rowidJoin = quoteIdent(ds.targetAlias) + ".rowid = " + quoteIdent(occurrence->sqlAlias) + ".qm_rowid";
        return;
    }
    Source self;
    self.exposed = tname;
    self.table = target.view ? target.view->name : table.name;
    self.object = target.view ? target.view : &table;
    if (target.view) {
        // the view's rows, with the rowid of the base table
        std::string vsql;
        self.sqlAlias = impl.newAlias();
        impl.viewSql(*target.view, vsql, self.cols, table.name);
        std::string part = "(" + vsql + ") AS " + quoteIdent(self.sqlAlias);
        ds.from = ds.from.empty() ? part : part + ", " + ds.from;
        ds.rowidJoin = quoteIdent(ds.targetAlias) + ".rowid = " + quoteIdent(self.sqlAlias) + ".qm_rowid";
    } else {
        self.sqlAlias = ds.targetAlias;
        for (const auto& c : table.columns) {
            SourceCol sc;
            sc.name = c.name;
            sc.sqlName = c.name;
            sc.type = c.type;
            sc.nullable = c.nullable;
            sc.baseTable = table.name;
            sc.baseColumn = c.name;
            self.cols.push_back(std::move(sc));
        }
    }
    ds.scope.sources.insert(ds.scope.sources.begin(), std::move(self));
}

DmlPlan Translator::update(const ast::Stmt& s, bool capture) {
    DmlPlan plan;
    plan.action = 'U';
    plan.capture = capture;
    Impl impl(env_, plan.main.params);
    std::vector<std::string> cols;
    for (const auto& set : s.sets) {
        if (!set.variable.empty()) impl.error(102, {set.variable}, s.line);
        cols.push_back(set.column.back());
    }
    // SET names columns of the target (or of the view's one base table)
    Target target;
    std::vector<int> baseIdx;
    {
        catalog::Object* obj = env_.catalog->find(s.target.back());
        bool targetInFrom = false;
        if (const ast::TableRef* r = findAliased(s.from, s.target.back())) {
            // UPDATE alias SET ... FROM table alias
            obj = env_.catalog->find(r->parts.back());
            targetInFrom = true;
        }
        if (targetInFrom && obj) {
            ast::Stmt fake;
            fake.target = {obj->name};
            fake.line = s.line;
            target = resolveTarget(impl, fake, &cols, &baseIdx);
        } else {
            target = resolveTarget(impl, s, &cols, &baseIdx);
        }
    }
    catalog::Object& table = *target.table;
    plan.table = &table;
    DmlScope ds;
    buildDmlScope(impl, s, target, ds);
    std::string set;
    for (std::size_t i = 0; i < s.sets.size(); ++i) {
        const catalog::Column& c = table.columns[baseIdx[i]];
        if (c.identity) impl.error(8102, {c.name}, s.line);
        if (s.sets[i].value->kind == ExprKind::Default) {
            if (i) set += ", ";
            set += quoteIdent(c.name) + " = " + defaultValueSql(env_, table, c, s.line);
            continue;
        }
        Typed v = impl.expr(*s.sets[i].value, ds.scope);
        if (s.sets[i].op != "=") {
            Typed cur = impl.column([&] {
                Expr e;
                e.kind = ExprKind::Column;
                e.parts = s.sets[i].column;
                e.line = s.line;
                return e;
            }(), ds.scope);
            char op = s.sets[i].op[0];
            if (op == '+' && cur.type.isCharacter()) v.sql = "(" + cur.sql + " || " + v.sql + ")";
            else v.sql = "(" + cur.sql + " " + std::string(1, op) + " " + v.sql + ")";
            v.param = -1;
        }
        v = impl.convertTo(v, c.type, ConversionContext::Column, s.sets[i].value->line);
        if (i) set += ", ";
        set += quoteIdent(c.name) + " = " + v.sql;
    }
    std::string where;
    if (!ds.rowidJoin.empty()) where = ds.rowidJoin;
    if (s.where) {
        std::string w = impl.expr(*s.where, ds.scope).sql;
        where = where.empty() ? w : where + " AND " + w;
    }
    std::string head = quoteIdent(table.name) + " AS " + quoteIdent(ds.targetAlias);
    plan.main.sql = "UPDATE " + head + " SET " + set;
    if (!ds.from.empty()) plan.main.sql += " FROM " + ds.from;
    if (!where.empty()) plan.main.sql += " WHERE " + where;
    if (s.top) plan.main.sql += " LIMIT " + impl.expr(*s.top, ds.scope).sql;
    if (capture) {
        plan.main.sql += returningList(table);
        std::string cap = "SELECT DISTINCT ";
        for (const auto& c : table.columns) cap += quoteIdent(ds.targetAlias) + "." + quoteIdent(c.name) + ", ";
        cap += quoteIdent(ds.targetAlias) + ".rowid FROM " + head;
        if (!ds.from.empty()) cap += ", " + ds.from;
        if (!where.empty()) cap += " WHERE " + where;
        plan.captureOld.sql = cap;
        plan.captureOld.params = plan.main.params;
    }
    checkOptionOf(env_, target, plan);
    return plan;
}

// How many base tables a SELECT's FROM references: views, derived tables and common
// tables count the tables of their own FROM.
static int baseTablesInFrom(Translator::Impl& impl, const ast::Select& sel, int depth);
static int baseTablesInRef(Translator::Impl& impl, const ast::Select& sel, const ast::TableRef& r, int depth) {
    switch (r.kind) {
    case ast::TableRef::Join:
        return baseTablesInRef(impl, sel, *r.left, depth) + baseTablesInRef(impl, sel, *r.right, depth);
    case ast::TableRef::Derived:
        return r.select ? baseTablesInFrom(impl, *r.select, depth + 1) : 0;
    case ast::TableRef::Named: break;
    }
    if (r.parts.size() == 1)
        for (const auto& c : sel.with)
            if (lex::iequals(c.name, r.parts.back()) && c.select) return baseTablesInFrom(impl, *c.select, depth + 1);
    catalog::Object* obj = impl.env.catalog->find(r.parts.back());
    if (obj && obj->kind == catalog::ObjectKind::View && depth < 32) {
        if (impl.env.resolveView) impl.env.resolveView(*obj);
        if (obj->module && obj->module->create().select)
            return baseTablesInFrom(impl, *obj->module->create().select, depth + 1);
    }
    return 1;
}
static int baseTablesInFrom(Translator::Impl& impl, const ast::Select& sel, int depth) {
    int n = 0;
    for (const auto& f : sel.from)
        if (f) n += baseTablesInRef(impl, sel, *f, depth);
    return n;
}

DmlPlan Translator::remove(const ast::Stmt& s, bool capture) {
    DmlPlan plan;
    plan.action = 'D';
    plan.capture = capture;
    Impl impl(env_, plan.main.params);
    Target target;
    {
        catalog::Object* obj = env_.catalog->find(s.target.back());
        bool targetInFrom = false;
        if (const ast::TableRef* r = findAliased(s.from, s.target.back())) {
            obj = env_.catalog->find(r->parts.back());
            targetInFrom = true;
        }
        if (targetInFrom && obj) {
            ast::Stmt fake;
            fake.target = {obj->name};
            fake.line = s.line;
            target = resolveTarget(impl, fake, nullptr, nullptr);
        } else {
            target = resolveTarget(impl, s, nullptr, nullptr);
        }
    }
    catalog::Object& table = *target.table;
    plan.table = &table;
    if (target.view) {
        // DELETE through a view needs exactly one base table in its FROM (through the
        // views and derived tables it is built on), whatever table its columns come from
        std::string base;
        for (const auto& vc : target.view->columns) {
            if (vc.baseTable.empty()) continue;
            if (base.empty()) base = vc.baseTable;
            else if (!lex::iequals(base, vc.baseTable)) impl.error(4405, {target.view->name}, s.line);
        }
        if (target.view->module && target.view->module->create().select &&
            baseTablesInFrom(impl, *target.view->module->create().select, 0) > 1)
            impl.error(4405, {target.view->name}, s.line);
    }
    DmlScope ds;
    buildDmlScope(impl, s, target, ds);
    std::string where;
    if (s.where) where = impl.expr(*s.where, ds.scope).sql;
    std::string sql = "DELETE FROM " + quoteIdent(table.name);
    if (ds.from.empty()) {
        sql += " AS " + quoteIdent(ds.targetAlias);
        if (!where.empty()) sql += " WHERE " + where;
        if (s.top) sql += " LIMIT " + impl.expr(*s.top, ds.scope).sql;
    } else {
        std::string sub = "SELECT " + quoteIdent(ds.targetAlias) + ".rowid FROM " + quoteIdent(table.name) + " AS " +
                          quoteIdent(ds.targetAlias) + ", " + ds.from;
        std::string cond = ds.rowidJoin;
        if (!where.empty()) cond = cond.empty() ? where : cond + " AND " + where;
        if (!cond.empty()) sub += " WHERE " + cond;
        if (s.top) sub += " LIMIT " + impl.expr(*s.top, ds.scope).sql;
        sql += " WHERE rowid IN (" + sub + ")";
    }
    if (capture) sql += returningList(table);
    plan.main.sql = std::move(sql);
    return plan;
}

}  // namespace quillmere::engine::translate

namespace quillmere::engine::translate {

namespace {

// The target of an INSTEAD OF statement as a source with its own columns.
Source targetSource(Translator::Impl& impl, const ast::Stmt& s, const catalog::Object& target, std::string& fromSql) {
    Source src;
    src.exposed = s.target.back();
    src.table = target.name;
    src.object = const_cast<catalog::Object*>(&target);
    src.sqlAlias = impl.newAlias();
    if (target.kind == catalog::ObjectKind::View) {
        std::string vsql;
        impl.viewSql(*const_cast<catalog::Object*>(&target), vsql, src.cols, {});
        fromSql = "(" + vsql + ") AS " + quoteIdent(src.sqlAlias);
    } else {
        for (const auto& c : target.columns) {
            SourceCol sc;
            sc.name = c.name;
            sc.sqlName = c.name;
            sc.type = c.type;
            sc.nullable = c.nullable;
            sc.baseTable = target.name;
            sc.baseColumn = c.name;
            src.cols.push_back(sc);
        }
        fromSql = quoteIdent(target.name) + " AS " + quoteIdent(src.sqlAlias);
    }
    return src;
}

}  // namespace

std::string Translator::insteadInsert(const ast::Stmt& s, const catalog::Object& target, const std::string& into, Query& q) {
    Impl impl(env_, q.params);
    std::vector<int> position(target.columns.size(), -1);
    std::size_t listed = s.columns.empty() ? target.columns.size() : s.columns.size();
    if (s.columns.empty()) {
        for (std::size_t i = 0; i < target.columns.size(); ++i) position[i] = static_cast<int>(i);
    } else {
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            int c = target.columnIndex(s.columns[i]);
            if (c < 0) impl.error(207, {s.columns[i]}, s.line);
            position[c] = static_cast<int>(i);
        }
    }
    std::string sql = "INSERT INTO temp." + quoteIdent(into) + " ";
    if (!s.values.empty()) {
        sql += "VALUES ";
        for (std::size_t r = 0; r < s.values.size(); ++r) {
            const auto& row = s.values[r];
            if (row.size() != listed) impl.error(s.columns.empty() ? 213 : (row.size() < listed ? 109 : 110), {}, s.line);
            sql += r ? ", (" : "(";
            for (std::size_t i = 0; i < target.columns.size(); ++i) {
                int p = position[i];
                if (p < 0 || row[p]->kind == ExprKind::Default) {
                    sql += "NULL, ";
                    continue;
                }
                Scope scope;
                Typed v = impl.expr(*row[p], scope);
                sql += impl.convertTo(v, target.columns[i].type, ConversionContext::Column, row[p]->line).sql + ", ";
            }
            sql += "NULL)";
        }
    } else if (s.select) {
        std::vector<OutCol> out;
        std::string sub = impl.selectSql(*s.select, nullptr, out);
        if (out.size() != listed) impl.error(s.columns.empty() ? 213 : (out.size() < listed ? 120 : 121), {}, s.line);
        sql += "SELECT ";
        for (std::size_t i = 0; i < target.columns.size(); ++i) {
            int p = position[i];
            if (p < 0) {
                sql += "NULL, ";
                continue;
            }
            Typed v;
            v.sql = "qm_src." + quoteIdent(out[p].sqlName);
            v.type = out[p].value.type;
            sql += impl.convertTo(v, target.columns[i].type, ConversionContext::Column, s.line).sql + ", ";
        }
        sql += "NULL FROM (" + sub + ") AS qm_src";
    } else {
        impl.error(102, {"EXEC"}, s.line);
    }
    return sql;
}

std::string Translator::insteadOld(const ast::Stmt& s, const catalog::Object& target, const std::string& into, Query& q) {
    Impl impl(env_, q.params);
    Scope scope;
    std::string from;
    Source src = targetSource(impl, s, target, from);
    std::string alias = src.sqlAlias;
    std::vector<std::string> cols;
    for (const auto& c : src.cols) cols.push_back(quoteIdent(alias) + "." + quoteIdent(c.sqlName));
    scope.sources.push_back(std::move(src));
    for (const auto& f : s.from) from += ", " + impl.fromSql(*f, scope);
    std::string sql = "INSERT INTO temp." + quoteIdent(into) + " SELECT ";
    for (const auto& c : cols) sql += c + ", ";
    sql += "NULL FROM " + from;
    if (s.where) sql += " WHERE " + impl.expr(*s.where, scope).sql;
    return sql;
}

std::string Translator::insteadNew(const ast::Stmt& s, const catalog::Object& target, const std::string& into, Query& q) {
    Impl impl(env_, q.params);
    Scope scope;
    std::string from;
    Source src = targetSource(impl, s, target, from);
    std::string alias = src.sqlAlias;
    std::vector<SourceCol> srcCols = src.cols;
    scope.sources.push_back(std::move(src));
    for (const auto& f : s.from) from += ", " + impl.fromSql(*f, scope);
    std::vector<std::string> values;
    for (std::size_t i = 0; i < srcCols.size(); ++i) values.push_back(quoteIdent(alias) + "." + quoteIdent(srcCols[i].sqlName));
    for (const auto& set : s.sets) {
        if (!set.variable.empty()) impl.error(102, {set.variable}, s.line);
        int c = target.columnIndex(set.column.back());
        if (c < 0) impl.error(207, {set.column.back()}, s.line);
        Typed v = impl.expr(*set.value, scope);
        values[c] = impl.convertTo(v, target.columns[c].type, ConversionContext::Column, s.line).sql;
    }
    std::string sql = "INSERT INTO temp." + quoteIdent(into) + " SELECT ";
    for (const auto& v : values) sql += v + ", ";
    sql += "NULL FROM " + from;
    if (s.where) sql += " WHERE " + impl.expr(*s.where, scope).sql;
    return sql;
}

}  // namespace quillmere::engine::translate
