// Expressions: typing, implicit conversions, operators and built-in functions.
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/lex/Lexer.h"
#include "engine/translate/TranslateImpl.h"

#include <cstdio>

namespace quillmere::engine::translate {

using ast::Expr;
using ast::ExprKind;

std::string quoteIdent(std::string_view name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"') r.push_back('"');
        r.push_back(c);
    }
    r.push_back('"');
    return r;
}

std::string sqliteColumnType(const SqlType& t) {
    switch (t.id) {
    case TypeId::Bit: case TypeId::TinyInt: case TypeId::SmallInt: case TypeId::Int: case TypeId::BigInt:
        return "INTEGER";
    case TypeId::Numeric:
        return t.scale == 0 && t.precision <= 18 ? "INTEGER" : "REAL";
    case TypeId::Money: case TypeId::SmallMoney: case TypeId::Float: case TypeId::Real:
        return "REAL";
    case TypeId::Binary: case TypeId::VarBinary:
        return "BLOB";
    case TypeId::Char: case TypeId::VarChar: case TypeId::NChar: case TypeId::NVarChar: case TypeId::Text:
    case TypeId::NText: case TypeId::UniqueIdentifier:
        return "TEXT COLLATE TSQL_CI";
    default:
        return "TEXT";
    }
}

std::string typeText(const SqlType& t) { return t.name(); }

std::string sqlLiteral(const Value& v) {
    switch (v.kind) {
    case ValueKind::Null: return "NULL";
    case ValueKind::Integer: return std::to_string(v.integer);
    case ValueKind::Real: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", v.real);
        std::string s = buf;
        if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
        return s;
    }
    case ValueKind::Text: {
        std::string r = "'";
        for (char c : v.bytes) {
            if (c == '\'') r.push_back('\'');
            r.push_back(c);
        }
        r.push_back('\'');
        return r;
    }
    case ValueKind::Blob: {
        static const char* hex = "0123456789ABCDEF";
        std::string r = "X'";
        for (unsigned char c : v.bytes) {
            r.push_back(hex[c >> 4]);
            r.push_back(hex[c & 15]);
        }
        r.push_back('\'');
        return r;
    }
    }
    return "NULL";
}

void Translator::Impl::error(Message m, int line) {
    m.line = line;
    throw TranslateError{std::move(m)};
}
void Translator::Impl::error(int number, std::initializer_list<std::string_view> args, int line) {
    error(qmError(number, args), line);
}

int Translator::Impl::addParam(const ParamRef& p) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        const ParamRef& q = params[i];
        if (q.kind == p.kind && q.slot == p.slot && q.name == p.name && q.convert == p.convert &&
            (!p.convert || (q.to == p.to && q.context == p.context && q.from == p.from)))
            return static_cast<int>(i);
    }
    params.push_back(p);
    return static_cast<int>(params.size()) - 1;
}

static bool sameFamilyNoChange(const SqlType& from, const SqlType& to) {
    if (from == to) return true;
    auto intRank = [](TypeId id) {
        switch (id) {
        case TypeId::Bit: return 1;
        case TypeId::TinyInt: return 2;
        case TypeId::SmallInt: return 3;
        case TypeId::Int: return 4;
        case TypeId::BigInt: return 5;
        default: return 0;
        }
    };
    if (from.isInteger() && to.isInteger()) return intRank(from.id) <= intRank(to.id) && from.id != TypeId::Bit;
    return false;
}

bool Translator::Impl::needsConversion(const SqlType& from, const SqlType& to, ConversionContext ctx) const {
    if (to.id == TypeId::Unknown) return false;
    if (from == to) return false;
    if (ctx == ConversionContext::Implicit) {
        // Only operands of different families meet a conversion.
        if (from.isCharacter() && to.isCharacter()) return false;
        if (from.isNumber() && to.isNumber()) return false;
        if (from.isDateTime() && to.isDateTime()) return false;
        return true;
    }
    if (sameFamilyNoChange(from, to)) return false;
    if (from.isCharacter() && to.isCharacter()) {
        if (to.id == TypeId::Char || to.id == TypeId::NChar) {
            return !((from.id == TypeId::Char || from.id == TypeId::NChar) && from.length == to.length);
        }
        if (to.length == -1 || to.id == TypeId::Text || to.id == TypeId::NText) return false;
        if (from.length > 0 && from.length <= to.length && from.length != -1) return false;
        return true;
    }
    if (from.isInteger() && to.id == TypeId::Numeric && to.scale == 0 && to.precision >= 19) return false;
    if (from.isDateTime() && from.id == to.id) return false;
    return true;
}

Typed Translator::Impl::convertTo(Typed t, const SqlType& to, ConversionContext ctx, int line, int style) {
    if (t.isNull) {
        Typed r;
        r.sql = "NULL";
        r.type = to;
        r.isNull = true;
        return r;
    }
    // A lifted literal may be longer in the next batch of the same shape: its
    // conversion into a typed target is always made when it is bound.
    bool liftedText = t.param >= 0 && params[t.param].kind == ParamKind::Literal && t.type.isCharacter() &&
                      ctx != ConversionContext::Implicit && to.isCharacter() && !(t.type == to);
    if (style < 0 && !liftedText && !needsConversion(t.type, to, ctx)) return t;
    if (t.param >= 0 && style < 0 && !convertWhenEvaluated) {
        ParamRef p = params[t.param];
        if (!p.convert) {
            p.convert = true;
            p.from = t.type;
            p.to = to;
            p.context = ctx;
            p.line = line;
            Typed r;
            r.param = addParam(p);
            r.sql = paramSql(r.param);
            r.type = to;
            return r;
        }
    }
    Typed r;
    r.type = to;
    std::string from = t.type.id == TypeId::Unknown ? std::string() : ",'" + typeText(t.type) + "'";
    if (style >= 0)
        r.sql = "tsql_convert_style(" + t.sql + ",'" + typeText(to) + "'," + std::to_string(style) + from + ")";
    else
        r.sql = "tsql_convert(" + t.sql + ",'" + typeText(to) + "'," + std::to_string(static_cast<int>(ctx)) + from + ")";
    r.aggregate = t.aggregate;
    return r;
}

Typed Translator::Impl::convertWhenTaken(Typed t, const SqlType& to, int line) {
    convertWhenEvaluated = true;
    try {
        t = convertTo(t, to, ConversionContext::Implicit, line);
    } catch (...) {
        convertWhenEvaluated = false;
        throw;
    }
    convertWhenEvaluated = false;
    return t;
}

Typed Translator::Impl::literal(const Expr& e) {
    Typed t;
    if (e.slot < 0 || !literals || e.slot >= static_cast<int>(literals->values.size())) {
        t.sql = "NULL";
        t.isNull = true;
        return t;
    }
    t.type = literals->types[e.slot];
    t.nullable = false;
    if (inlineLiterals) {
        t.sql = sqlLiteral(literals->values[e.slot]);
        return t;
    }
    ParamRef p;
    p.kind = ParamKind::Literal;
    p.slot = e.slot;
    p.line = e.line;
    t.param = addParam(p);
    t.sql = paramSql(t.param);
    return t;
}

std::string Translator::Impl::condition(const Expr& e, Scope& scope) {
    Typed t = expr(e, scope);
    return t.sql;
}

Typed Translator::Impl::compare(const std::string& op, Typed l, Typed r, int line) {
    Typed out;
    out.type = SqlType{TypeId::Bit};
    if (!l.isNull && !r.isNull) {
        bool lc = l.type.isCharacter() || l.type.id == TypeId::Unknown;
        bool rc = r.type.isCharacter() || r.type.id == TypeId::Unknown;
        if (l.type.isCharacter() && !rc) l = convertTo(l, r.type, ConversionContext::Implicit, line);
        else if (r.type.isCharacter() && !lc) r = convertTo(r, l.type, ConversionContext::Implicit, line);
        else if (l.type.isCharacter() && r.type.isCharacter() && !l.isColumn && !r.isColumn) {
            out.sql = "(" + l.sql + " " + op + " " + r.sql + " COLLATE TSQL_CI)";
            out.aggregate = l.aggregate || r.aggregate;
            return out;
        }
    }
    out.sql = "(" + l.sql + " " + op + " " + r.sql + ")";
    out.aggregate = l.aggregate || r.aggregate;
    return out;
}

Typed Translator::Impl::expr(const Expr& e, Scope& scope) {
    switch (e.kind) {
    case ExprKind::Literal:
        return literal(e);
    case ExprKind::Null: {
        Typed t;
        t.sql = "NULL";
        t.isNull = true;
        return t;
    }
    case ExprKind::Default:
        error(102, {"DEFAULT"}, e.line);
    case ExprKind::Column:
        return column(e, scope);
    case ExprKind::Variable: {
        const SqlType* ty = env.variableType ? env.variableType(e.op) : nullptr;
        if (!ty) error(137, {e.op}, e.line);
        if (liveVars.count(e.op)) {
            Typed t;
            t.sql = "qm_var('" + e.op + "')";
            t.type = *ty;
            return t;
        }
        ParamRef p;
        p.kind = ParamKind::Variable;
        p.name = e.op;
        p.line = e.line;
        Typed t;
        t.param = addParam(p);
        t.sql = paramSql(t.param);
        t.type = *ty;
        return t;
    }
    case ExprKind::GlobalVar: {
        ParamRef p;
        p.kind = ParamKind::GlobalVar;
        p.name = e.op;
        Typed t;
        t.param = addParam(p);
        t.sql = paramSql(t.param);
        if (e.op == "@@version" || e.op == "@@servername" || e.op == "@@language" || e.op == "@@servicename")
            t.type = SqlType{TypeId::NVarChar, 128};
        else if (e.op == "@@identity")
            t.type = SqlType{TypeId::Numeric, 0, 38, 0};
        else
            t.type = SqlType{TypeId::Int};
        return t;
    }
    case ExprKind::Unary: {
        Typed a = expr(*e.args[0], scope);
        if (a.type.isCharacter() && e.op != "+") a = convertTo(a, SqlType{TypeId::Int}, ConversionContext::Implicit, e.line);
        Typed t;
        t.type = a.type;
        t.aggregate = a.aggregate;
        t.sql = "(" + std::string(e.op == "~" ? "~" : e.op) + a.sql + ")";
        return t;
    }
    case ExprKind::Binary: {
        Typed l = expr(*e.args[0], scope);
        Typed r = expr(*e.args[1], scope);
        Typed t;
        t.aggregate = l.aggregate || r.aggregate;
        bool lc = l.type.isCharacter() || l.isNull;
        bool rc = r.type.isCharacter() || r.isNull;
        if (e.op == "+" && lc && rc && !(l.isNull && r.isNull)) {
            t.type = l.isNull ? r.type : r.isNull ? l.type : resultTypeOf('+', l.type, r.type);
            t.sql = "(" + l.sql + " || " + r.sql + ")";
            return t;
        }
        if (l.type.isCharacter() && r.type.isCharacter() && !l.isNull && !r.isNull) {
            // only + is defined on two strings
            const char* name = e.op == "-" ? "subtract" : e.op == "*" ? "multiply" : e.op == "/" ? "divide"
                             : e.op == "%" ? "modulo" : nullptr;
            std::string type = typeText(l.type);
            if (name) error(8117, {type.substr(0, type.find('(')), name}, e.line);
        }
        if (l.isNull || r.isNull) {
            t.type = l.isNull ? r.type : l.type;
            if (t.type.id == TypeId::Unknown) t.type = SqlType{TypeId::Int};
            t.sql = "NULL";
            t.isNull = false;
            return t;
        }
        if ((l.type.isDateTime() || r.type.isDateTime()) && (e.op == "+" || e.op == "-")) {
            Typed& d = l.type.isDateTime() ? l : r;
            Typed& n = l.type.isDateTime() ? r : l;
            if (n.type.isCharacter()) n = convertTo(n, SqlType{TypeId::DateTime}, ConversionContext::Implicit, e.line);
            t.type = d.type;
            t.sql = "tsql_dateadd('day'," + (e.op == "-" ? "-(" + n.sql + ")" : n.sql) + "," + d.sql + ")";
            return t;
        }
        t.type = resultTypeOf(e.op[0], l.type, r.type);
        if (l.type.isCharacter()) l = convertTo(l, t.type, ConversionContext::Implicit, e.line);
        if (r.type.isCharacter()) r = convertTo(r, t.type, ConversionContext::Implicit, e.line);
        if (e.op == "/") {
            t.sql = "tsql_div(" + (t.type.isInteger() ? l.sql : "CAST(" + l.sql + " AS REAL)") + "," + r.sql + ")";
        } else if (e.op == "%") {
            t.sql = "tsql_mod(" + l.sql + "," + r.sql + ")";
        } else if (t.type.isInteger() && (e.op == "+" || e.op == "-" || e.op == "*")) {
            t.sql = "tsql_int((" + l.sql + " " + e.op + " " + r.sql + "),'" + typeText(t.type) + "')";
        } else {
            t.sql = "(" + l.sql + " " + e.op + " " + r.sql + ")";
        }
        return t;
    }
    case ExprKind::Compare:
        return compare(e.op, expr(*e.args[0], scope), expr(*e.args[1], scope), e.line);
    case ExprKind::And:
    case ExprKind::Or: {
        Typed l = expr(*e.args[0], scope);
        Typed r = expr(*e.args[1], scope);
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.aggregate = l.aggregate || r.aggregate;
        t.sql = "(" + l.sql + (e.kind == ExprKind::And ? " AND " : " OR ") + r.sql + ")";
        return t;
    }
    case ExprKind::Not: {
        Typed a = expr(*e.args[0], scope);
        a.sql = "(NOT " + a.sql + ")";
        a.type = SqlType{TypeId::Bit};
        a.isColumn = false;
        a.param = -1;
        return a;
    }
    case ExprKind::IsNull: {
        Typed a = expr(*e.args[0], scope);
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.aggregate = a.aggregate;
        t.sql = "(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)");
        return t;
    }
    case ExprKind::Like: {
        Typed v = expr(*e.args[0], scope);
        Typed p = expr(*e.args[1], scope);
        std::string esc = e.args.size() > 2 ? expr(*e.args[2], scope).sql : "NULL";
        bool unicode = v.type.isUnicode() || p.type.isUnicode();
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.aggregate = v.aggregate;
        t.sql = std::string("(") + (e.negated ? "NOT " : "") + "tsql_like(" + v.sql + "," + p.sql + "," + esc + "," +
                (unicode ? "1" : "0") + "))";
        return t;
    }
    case ExprKind::Between: {
        Typed v = expr(*e.args[0], scope);
        Typed lo = expr(*e.args[1], scope);
        Typed hi = expr(*e.args[2], scope);
        Typed a = compare(e.negated ? "<" : ">=", v, lo, e.line);
        Typed b = compare(e.negated ? ">" : "<=", v, hi, e.line);
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.sql = "(" + a.sql + (e.negated ? " OR " : " AND ") + b.sql + ")";
        return t;
    }
    case ExprKind::InList: {
        Typed v = expr(*e.args[0], scope);
        std::string items;
        bool allChar = v.type.isCharacter();
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            Typed it = expr(*e.args[i], scope);
            if (it.type.isCharacter() && !v.type.isCharacter() && v.type.id != TypeId::Unknown)
                it = convertTo(it, v.type, ConversionContext::Implicit, e.line);
            else if (v.type.isCharacter() && !it.type.isCharacter() && !it.isNull)
                allChar = false;
            if (i > 1) items += ",";
            items += it.sql;
        }
        std::string lhs = v.sql;
        if (v.type.isCharacter() && allChar && !v.isColumn) lhs = "(" + lhs + " COLLATE TSQL_CI)";
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.aggregate = v.aggregate;
        t.sql = "(" + lhs + (e.negated ? " NOT IN (" : " IN (") + items + "))";
        return t;
    }
    case ExprKind::InSelect: {
        Typed v = expr(*e.args[0], scope);
        std::vector<OutCol> cols;
        std::string sub = subquerySql(*e.select, scope, &cols);
        if (cols.size() != 1) error(116, {}, e.line);
        std::string lhs = v.sql;
        if (!cols.empty() && cols[0].value.type.isCharacter() && !v.type.isCharacter() && v.type.id != TypeId::Unknown) {
            Typed inner;
            inner.sql = "s." + quoteIdent(cols[0].sqlName);
            inner.type = cols[0].value.type;
            sub = "SELECT " + convertTo(inner, v.type,
                                        ConversionContext::Implicit, e.line).sql +
                  " FROM (" + sub + ") AS s";
        } else if (v.type.isCharacter() && !cols.empty() && !cols[0].value.type.isCharacter() &&
                   cols[0].value.type.id != TypeId::Unknown) {
            v = convertTo(v, cols[0].value.type, ConversionContext::Implicit, e.line);
            lhs = v.sql;
        } else if (v.type.isCharacter() && !v.isColumn) {
            lhs = "(" + lhs + " COLLATE TSQL_CI)";
        }
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.sql = "(" + lhs + (e.negated ? " NOT IN (" : " IN (") + sub + "))";
        return t;
    }
    case ExprKind::Quantified: {
        Typed v = expr(*e.args[0], scope);
        std::vector<OutCol> cols;
        std::string sub = subquerySql(*e.select, scope, &cols);
        if (cols.size() != 1) error(116, {}, e.line);
        Typed item;
        item.sql = "qm_q." + quoteIdent(cols[0].sqlName);
        item.type = cols[0].value.type;
        Typed c = compare(e.op, v, item, e.line);
        Typed t;
        t.type = SqlType{TypeId::Bit};
        if (e.star)  // ALL: no row where the comparison is not true
            t.sql = "(NOT EXISTS (SELECT 1 FROM (" + sub + ") AS qm_q WHERE NOT " + c.sql + " OR " + item.sql +
                    " IS NULL OR " + v.sql + " IS NULL))";
        else
            t.sql = "(EXISTS (SELECT 1 FROM (" + sub + ") AS qm_q WHERE " + c.sql + "))";
        return t;
    }
    case ExprKind::Exists: {
        Typed t;
        t.type = SqlType{TypeId::Bit};
        t.sql = "(EXISTS (" + subquerySql(*e.select, scope) + "))";
        return t;
    }
    case ExprKind::Subquery: {
        std::vector<OutCol> cols;
        const ast::Select& s = *e.select;
        std::string sub = subquerySql(s, scope, &cols);
        if (cols.size() != 1) error(116, {}, e.line);
        Typed t;
        t.type = cols[0].value.type;
        if (t.type.id == TypeId::Unknown) t.type = SqlType{TypeId::Int};
        // More than one row is error 512, as on the server; an aggregate without
        // GROUP BY always gives exactly one.
        bool single = s.groupBy.empty() && !s.setNext && cols[0].value.aggregate && !s.distinct;
        if (single) {
            t.sql = "(" + sub + ")";
        } else {
            t.sql = "(SELECT qm_one(s." + quoteIdent(cols[0].sqlName) + ") FROM (" + sub + ") AS s)";
        }
        t.baseTable = cols[0].value.baseTable;
        return t;
    }
    case ExprKind::Call:
        return call(e, scope);
    case ExprKind::Cast: {
        Typed v = expr(*e.args[0], scope);
        int style = -1;
        if (e.args.size() > 1) {
            if (e.args[1]->kind != ExprKind::Literal || !literals || e.args[1]->slot < 0)
                error(102, {"CONVERT"}, e.line);
            const Value& sv = literals->values[e.args[1]->slot];
            style = sv.kind == ValueKind::Integer ? static_cast<int>(sv.integer) : 0;
        }
        if (v.isNull) {
            Typed t;
            t.sql = "NULL";
            t.type = e.type;
            return t;
        }
        bool agg = v.aggregate;
        if (e.op.rfind("try_", 0) == 0) {
            Typed t;
            t.type = e.type;
            t.aggregate = agg;
            t.sql = "qm_try_convert(" + v.sql + ",'" + typeText(e.type) + "','" + typeText(v.type) + "'," +
                    std::to_string(style) + ")";
            return t;
        }
        Typed t = convertTo(v, e.type, ConversionContext::Cast, e.line, style);
        if (!needsConversion(v.type, e.type, ConversionContext::Cast) && style < 0) t.type = e.type;
        t.isColumn = false;
        t.aggregate = agg;
        return t;
    }
    case ExprKind::Case: {
        std::size_t i = 0;
        Typed operand;
        if (e.hasOperand) {
            operand = expr(*e.args[0], scope);
            i = 1;
        }
        SqlType type;
        bool agg = operand.aggregate;
        std::size_t end = e.args.size() - (e.hasElse ? 1 : 0);
        std::vector<std::string> whens;
        std::vector<Typed> results;
        for (; i + 1 < end; i += 2) {
            Typed w = expr(*e.args[i], scope);
            if (e.hasOperand) {
                if (w.type.isCharacter() && !operand.type.isCharacter() && operand.type.id != TypeId::Unknown)
                    w = convertTo(w, operand.type, ConversionContext::Implicit, e.line);
                if (w.type.isCharacter() && operand.type.isCharacter() && !operand.isColumn && !w.isColumn)
                    w.sql += " COLLATE TSQL_CI";
            }
            Typed th = expr(*e.args[i + 1], scope);
            agg = agg || w.aggregate || th.aggregate;
            if (!th.isNull) type = higherOf(type, th.type);
            whens.push_back(w.sql);
            results.push_back(th);
        }
        if (e.hasElse) {
            Typed el = expr(*e.args.back(), scope);
            agg = agg || el.aggregate;
            if (!el.isNull) type = higherOf(type, el.type);
            results.push_back(el);
        }
        // every result takes the CASE's type (a text where a number wins is converted: 245 when it is
        // none), when that branch is taken
        for (auto& r : results)
            if (!r.isNull && r.type.isCharacter() != type.isCharacter() && type.id != TypeId::Unknown)
                r = convertWhenTaken(r, type, e.line);
        std::string sql = "(CASE";
        if (e.hasOperand) sql += " " + operand.sql;
        for (std::size_t k = 0; k < whens.size(); ++k) sql += " WHEN " + whens[k] + " THEN " + results[k].sql;
        if (e.hasElse) sql += " ELSE " + results.back().sql;
        sql += " END)";
        Typed t;
        t.sql = sql;
        t.type = type;
        t.aggregate = agg;
        return t;
    }
    }
    error(102, {""}, e.line);
}

}  // namespace quillmere::engine::translate
