// Column references and built-in functions.
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/lex/Lexer.h"
#include "engine/translate/TranslateImpl.h"

namespace quillmere::engine::translate {

using ast::Expr;
using ast::ExprKind;

static std::string joinParts(const std::vector<std::string>& parts) {
    std::string r;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) r += ".";
        r += parts[i];
    }
    return r;
}

Typed Translator::Impl::column(const Expr& e, Scope& scope) {
    const std::string& colName = e.parts.back();
    if (e.parts.size() == 1) {
        std::string lname = lex::lower(colName);
        if (lname == "current_timestamp") {
            Typed t;
            t.sql = "tsql_getdate()";
            t.type = SqlType{TypeId::DateTime};
            return t;
        }
        if (lname == "current_user" || lname == "session_user" || lname == "system_user" || lname == "user") {
            Typed t;
            t.sql = "'dbo'";
            t.type = SqlType{TypeId::NVarChar, 128};
            return t;
        }
    }
    std::string qualifier = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : std::string();
    for (Scope* s = &scope; s; s = s->outer) {
        const Source* found = nullptr;
        const SourceCol* foundCol = nullptr;
        for (const Source& src : s->sources) {
            if (!qualifier.empty()) {
                bool match = lex::iequals(src.exposed, qualifier) || (!src.aliased && lex::iequals(src.table, qualifier));
                if (!match) continue;
            }
            for (const SourceCol& c : src.cols) {
                if (lex::iequals(c.name, colName)) {
                    if (found && found != &src) error(209, {colName}, e.line);
                    if (found == &src) continue;
                    found = &src;
                    foundCol = &c;
                }
            }
            if (!qualifier.empty() && !found) {
                error(207, {colName}, e.line);
            }
        }
        if (found) {
            Typed t;
            t.sql = found->sqlAlias.empty() ? quoteIdent(foundCol->sqlName)
                                            : quoteIdent(found->sqlAlias) + "." + quoteIdent(foundCol->sqlName);
            t.type = foundCol->type;
            t.nullable = foundCol->nullable;
            t.baseTable = foundCol->baseTable;
            t.baseColumn = foundCol->baseColumn;
            t.isColumn = !foundCol->baseTable.empty();
            return t;
        }
    }
    if (e.parts.size() > 1) error(4104, {joinParts(e.parts)}, e.line);
    error(207, {colName}, e.line);
}

namespace {

SqlType varcharOf(const SqlType& t) {
    if (t.isCharacter()) {
        SqlType r = t;
        if (t.id == TypeId::Char) r.id = TypeId::VarChar;
        if (t.id == TypeId::NChar) r.id = TypeId::NVarChar;
        return r;
    }
    return SqlType{TypeId::VarChar, 8000};
}

}  // namespace

Typed Translator::Impl::call(const Expr& e, Scope& scope) {
    const std::string& f = e.op;
    auto arg = [&](std::size_t i) { return expr(*e.args.at(i), scope); };
    auto need = [&](std::size_t lo, std::size_t hi) {
        if (e.args.size() < lo || e.args.size() > hi) error(174, {f, std::to_string(lo)}, e.line);
    };
    auto asText = [&](Typed t) {
        if (t.type.isCharacter() || t.isNull) return t;
        return convertTo(t, SqlType{TypeId::VarChar, 8000}, ConversionContext::Cast, e.line);
    };
    auto asInt = [&](Typed t) {
        if (t.type.isCharacter()) return convertTo(t, SqlType{TypeId::Int}, ConversionContext::Implicit, e.line);
        return t;
    };
    auto asDate = [&](Typed t) {
        if (t.type.isDateTime() || t.isNull) return t;
        return convertTo(t, SqlType{TypeId::DateTime}, ConversionContext::Implicit, e.line);
    };
    Typed t;
    if (e.over && !windowBase) {
        std::string window = " OVER (";
        if (!e.over->partition.empty()) {
            window += "PARTITION BY ";
            for (std::size_t i = 0; i < e.over->partition.size(); ++i) {
                Typed p = expr(*e.over->partition[i], scope);
                window += (i ? ", " : "") + p.sql + (p.type.isCharacter() && !p.isColumn ? " COLLATE TSQL_CI" : "");
            }
        }
        if (!e.over->order.empty()) {
            window += e.over->partition.empty() ? "ORDER BY " : " ORDER BY ";
            for (std::size_t i = 0; i < e.over->order.size(); ++i) {
                Typed o = expr(*e.over->order[i].first, scope);
                window += (i ? ", " : "") + o.sql + (o.type.isCharacter() && !o.isColumn ? " COLLATE TSQL_CI" : "") +
                          (e.over->order[i].second ? " DESC" : "");
            }
        }
        window += ")";
        if (f == "row_number" || f == "rank" || f == "dense_rank" || f == "ntile" || f == "percent_rank" ||
            f == "cume_dist") {
            std::string args;
            for (std::size_t i = 0; i < e.args.size(); ++i) args += (i ? "," : "") + arg(i).sql;
            t.type = f == "percent_rank" || f == "cume_dist" ? SqlType{TypeId::Float}
                     : f == "ntile" ? SqlType{TypeId::BigInt} : SqlType{TypeId::BigInt};
            t.sql = f + "(" + args + ")" + window;
            return t;
        }
        if (f == "lag" || f == "lead" || f == "first_value" || f == "last_value") {
            std::string args;
            for (std::size_t i = 0; i < e.args.size(); ++i) {
                Typed a = arg(i);
                if (i == 0) t.type = a.type;
                args += (i ? "," : "") + a.sql;
            }
            t.sql = f + "(" + args + ")" + window;
            return t;
        }
        windowBase = true;
        try {
            t = call(e, scope);
        } catch (...) {
            windowBase = false;
            throw;
        }
        windowBase = false;
        t.sql += window;
        t.aggregate = false;
        return t;
    }
    // aggregates
    if (f == "count" || f == "count_big") {
        t.type = SqlType{f == "count" ? TypeId::Int : TypeId::BigInt};
        t.aggregate = true;
        if (e.star) {
            t.sql = "count(*)";
        } else {
            need(1, 1);
            Typed a = arg(0);
            t.sql = std::string("count(") + (e.distinct ? "DISTINCT " : "") + a.sql + ")";
        }
        return t;
    }
    if (f == "sum" || f == "avg" || f == "min" || f == "max") {
        need(1, 1);
        Typed a = arg(0);
        if (a.aggregate) error(130, {}, e.line);
        std::string d = e.distinct ? "DISTINCT " : "";
        t.aggregate = true;
        if (f == "min" || f == "max") {
            t.type = a.type;
            t.sql = f + "(" + d + a.sql + ")";
            return t;
        }
        if (a.type.isCharacter()) error(8117, {typeText(a.type), f}, e.line);
        t.type = aggregateType(f, a.type.id == TypeId::Unknown ? SqlType{TypeId::Int} : a.type);
        if (f == "avg" && a.type.isInteger()) {
            t.sql = "tsql_avg_int(" + d + a.sql + ")";
        } else if (f == "avg" && a.type.id == TypeId::Numeric && a.type.scale == 0 && a.type.precision <= 18) {
            // integers stored: SQLite's own sum and count, divided exactly once per group
            t.sql = t.type.scale == 6 ? "qm_avg_integers(" + d + a.sql + ")"
                                      : "qm_avg_final(sum(" + d + a.sql + "), count(" + d + a.sql + ")," +
                                            std::to_string(t.type.scale) + ")";
        } else if (f == "avg" && (a.type.id == TypeId::Numeric || a.type.id == TypeId::Money || a.type.id == TypeId::SmallMoney)) {
            t.sql = "tsql_avg_numeric(" + d + a.sql + "," + std::to_string(t.type.scale) + ")";
        } else if (f == "sum" && a.type.isInteger()) {
            t.sql = "tsql_sum_int(" + d + a.sql + ",'" + typeText(t.type) + "')";
        } else {
            t.sql = f + "(" + d + a.sql + ")";
        }
        return t;
    }
    if (e.star) error(102, {"*"}, e.line);
    std::vector<Typed> a;
    // the date part of DATEPART/DATEADD/DATEDIFF/DATENAME is a word, not a column
    bool datePart = f == "datepart" || f == "datename" || f == "dateadd" || f == "datediff";
    for (std::size_t i = 0; i < e.args.size(); ++i) a.push_back(datePart && i == 0 ? Typed{} : arg(i));
    for (auto& x : a) t.aggregate = t.aggregate || x.aggregate;
    auto list = [&](std::size_t from = 0) {
        std::string s;
        for (std::size_t i = from; i < a.size(); ++i) {
            if (i > from) s += ",";
            s += a[i].sql;
        }
        return s;
    };
    if (f == "len") {
        need(1, 1);
        t.type = SqlType{TypeId::Int};
        t.sql = "tsql_len(" + asText(a[0]).sql + ")";
    } else if (f == "datalength") {
        need(1, 1);
        t.type = SqlType{TypeId::Int};
        // a value of a fixed-size type takes that size whatever it holds
        int size = 0;
        const SqlType& at = a[0].type;
        switch (at.id) {
        case TypeId::Bit: case TypeId::TinyInt: size = 1; break;
        case TypeId::SmallInt: size = 2; break;
        case TypeId::Int: case TypeId::Real: case TypeId::SmallMoney: case TypeId::SmallDateTime: size = 4; break;
        case TypeId::BigInt: case TypeId::Float: case TypeId::Money: case TypeId::DateTime: size = 8; break;
        case TypeId::Numeric:
            size = at.precision <= 9 ? 5 : at.precision <= 19 ? 9 : at.precision <= 28 ? 13 : 17;
            break;
        default: break;
        }
        if (size && !a[0].isNull)
            t.sql = "(CASE WHEN " + a[0].sql + " IS NULL THEN NULL ELSE " + std::to_string(size) + " END)";
        else
            t.sql = "tsql_datalength(" + a[0].sql + "," + (a[0].type.isUnicode() ? "1" : "0") + ")";
    } else if (f == "substring") {
        need(3, 3);
        t.type = varcharOf(a[0].type);
        t.sql = "tsql_substring(" + asText(a[0]).sql + "," + asInt(a[1]).sql + "," + asInt(a[2]).sql + ")";
    } else if (f == "left" || f == "right") {
        need(2, 2);
        t.type = varcharOf(a[0].type);
        t.sql = "tsql_" + f + "(" + asText(a[0]).sql + "," + asInt(a[1]).sql + ")";
    } else if (f == "upper" || f == "lower") {
        need(1, 1);
        t.type = a[0].type.isCharacter() ? a[0].type : varcharOf(a[0].type);
        t.sql = "tsql_" + f + "(" + asText(a[0]).sql + ")";
    } else if (f == "ltrim" || f == "rtrim" || f == "trim") {
        need(1, 1);
        t.type = varcharOf(a[0].type);
        t.sql = "tsql_" + f + "(" + asText(a[0]).sql + ")";
    } else if (f == "replace") {
        need(3, 3);
        t.type = (a[0].type.isUnicode() ? SqlType{TypeId::NVarChar, 4000} : SqlType{TypeId::VarChar, 8000});
        t.sql = "tsql_replace(" + asText(a[0]).sql + "," + asText(a[1]).sql + "," + asText(a[2]).sql + ")";
    } else if (f == "charindex") {
        need(2, 3);
        t.type = SqlType{TypeId::Int};
        t.sql = "tsql_charindex(" + asText(a[0]).sql + "," + asText(a[1]).sql + "," +
                (a.size() > 2 ? asInt(a[2]).sql : std::string("1")) + ")";
    } else if (f == "isnull") {
        need(2, 2);
        t.type = a[0].isNull ? a[1].type : a[0].type;
        Typed b = a[0].isNull ? a[1] : convertTo(a[1], t.type, ConversionContext::Implicit, e.line);
        if (t.type.isCharacter() && b.type.isCharacter() && !a[0].isNull)
            b = convertTo(a[1], t.type, ConversionContext::Cast, e.line);
        t.sql = "ifnull(" + a[0].sql + "," + b.sql + ")";
    } else if (f == "coalesce") {
        if (a.size() < 2) error(189, {f, "2", "254"}, e.line);
        // the type of highest precedence among the arguments; each converted when reached
        for (auto& x : a)
            if (!x.isNull) t.type = higherOf(t.type, x.type);
        t.sql = "coalesce(";
        for (std::size_t i = 0; i < a.size(); ++i) {
            Typed x = a[i];
            if (!x.isNull && t.type.id != TypeId::Unknown && x.type.isCharacter() != t.type.isCharacter())
                x = convertWhenTaken(x, t.type, e.line);
            t.sql += (i ? "," : "") + x.sql;
        }
        t.sql += ")";
    } else if (f == "nullif") {
        need(2, 2);
        t.type = a[0].type;
        // equal as = finds them: under the collation, trailing blanks ignored
        Typed same = compare("=", a[0], a[1], e.line);
        t.sql = "(CASE WHEN " + same.sql + " THEN NULL ELSE " + a[0].sql + " END)";
    } else if (f == "iif") {
        need(3, 3);
        t.type = a[1].isNull ? a[2].type : a[1].type;
        t.sql = "(CASE WHEN " + a[0].sql + " THEN " + a[1].sql + " ELSE " + a[2].sql + " END)";
    } else if (f == "getdate" || f == "sysdatetime" || f == "getutcdate" || f == "current_timestamp") {
        t.type = SqlType{TypeId::DateTime};
        t.sql = f == "getutcdate" ? "tsql_getdate()" : "tsql_getdate()";
    } else if (f == "year" || f == "month" || f == "day") {
        need(1, 1);
        t.type = SqlType{TypeId::Int};
        t.sql = "tsql_datepart('" + f + "'," + asDate(a[0]).sql + ")";
    } else if (f == "datepart" || f == "datename") {
        need(2, 2);
        if (e.args[0]->kind != ExprKind::Column) error(155, {"datepart"}, e.line);
        t.type = f == "datepart" ? SqlType{TypeId::Int} : SqlType{TypeId::NVarChar, 30};
        std::string part = lex::lower(e.args[0]->parts.back());
        t.sql = "tsql_datepart('" + part + "'," + asDate(a[1]).sql + ")";
        if (f == "datename") {
            // names as a Chinese server gives them: months as two digits, weekdays as 星期X
            if (part == "month" || part == "mm" || part == "m")
                t.sql = "printf('%02d', " + t.sql + ")";
            else if (part == "weekday" || part == "dw")
                t.sql = "(CASE " + t.sql + " WHEN 1 THEN '星期日' WHEN 2 THEN '星期一' WHEN 3 THEN '星期二' WHEN 4 THEN "
                        "'星期三' WHEN 5 THEN '星期四' WHEN 6 THEN '星期五' ELSE '星期六' END)";
            else
                t.sql = "CAST(" + t.sql + " AS TEXT)";
        }
    } else if (f == "dateadd") {
        need(3, 3);
        if (e.args[0]->kind != ExprKind::Column) error(155, {"dateadd"}, e.line);
        t.type = a[2].type.isDateTime() ? a[2].type : SqlType{TypeId::DateTime};
        t.sql = "tsql_dateadd('" + lex::lower(e.args[0]->parts.back()) + "'," + asInt(a[1]).sql + "," +
                asDate(a[2]).sql + ")";
    } else if (f == "datediff") {
        need(3, 3);
        if (e.args[0]->kind != ExprKind::Column) error(155, {"datediff"}, e.line);
        t.type = SqlType{TypeId::Int};
        t.sql = "tsql_datediff('" + lex::lower(e.args[0]->parts.back()) + "'," + asDate(a[1]).sql + "," +
                asDate(a[2]).sql + ")";
    } else if (f == "abs" || f == "sign" || f == "ceiling" || f == "floor") {
        need(1, 1);
        Typed x = a[0].type.isCharacter() ? convertTo(a[0], SqlType{TypeId::Float}, ConversionContext::Implicit, e.line) : a[0];
        t.type = x.type;
        t.sql = "tsql_" + f + "(" + x.sql + ")";
        if ((f == "ceiling" || f == "floor") && x.type.id == TypeId::Numeric)
            t.type = SqlType{TypeId::Numeric, 0, std::min(38, std::max(1, x.type.precision - x.type.scale + 1)), 0};
    } else if (f == "round") {
        need(2, 3);
        t.type = a[0].type.isCharacter() ? SqlType{TypeId::Float} : a[0].type;
        t.sql = "tsql_round(" + a[0].sql + "," + asInt(a[1]).sql + (a.size() > 2 ? "," + a[2].sql : std::string()) + ")";
    } else if (f == "power" || f == "sqrt" || f == "exp" || f == "log" || f == "log10" || f == "square") {
        t.type = f == "power" ? (a[0].type.isCharacter() ? SqlType{TypeId::Float} : a[0].type) : SqlType{TypeId::Float};
        if (f == "square") t.sql = "((" + a.at(0).sql + ")*(" + a.at(0).sql + ")*1.0)";
        else if (f == "log") t.sql = "tsql_log(" + list() + ")";
        else if (f == "power" && t.type.isInteger() && t.type.id != TypeId::Bit && a.size() == 2)
            t.sql = "tsql_power(" + list() + ",'" + typeText(t.type) + "')";
        else if (f == "power" || f == "sqrt") t.sql = "tsql_" + f + "(" + list() + ")";
        else t.sql = f + "(" + list() + ")";
    } else if (f == "space") {
        need(1, 1);
        t.type = SqlType{TypeId::VarChar, 8000};
        t.sql = "tsql_space(" + asInt(a[0]).sql + ",8000)";
    } else if (f == "replicate") {
        need(2, 2);
        t.type = (a[0].type.isUnicode() ? SqlType{TypeId::NVarChar, 4000} : SqlType{TypeId::VarChar, 8000});
        // a (max) argument gives a (max) result; otherwise the result stops at 8000 bytes
        bool max = a[0].type.length == -1;
        if (max) t.type.length = -1;
        t.sql = "tsql_replicate(" + asText(a[0]).sql + "," + asInt(a[1]).sql + "," +
                (max ? "-1" : a[0].type.isUnicode() ? "4000" : "8000") + ")";
    } else if (f == "reverse") {
        need(1, 1);
        t.type = varcharOf(a[0].type);
        t.sql = "tsql_reverse(" + asText(a[0]).sql + ")";
    } else if (f == "concat") {
        if (a.size() < 2) error(189, {f, "2", "254"}, e.line);
        bool unicode = false;
        std::string s = "tsql_concat_n(";
        for (std::size_t i = 0; i < a.size(); ++i) {
            unicode = unicode || a[i].type.isUnicode();
            if (i) s += ",";
            s += asText(a[i]).sql;
        }
        t.sql = s + ")";
        t.type = unicode ? SqlType{TypeId::NVarChar, 4000} : SqlType{TypeId::VarChar, 8000};
    } else if (f == "concat_ws") {
        if (a.size() < 3) error(189, {f, "3", "254"}, e.line);
        bool unicode = false;
        std::string s = "tsql_concat_ws(";
        for (std::size_t i = 0; i < a.size(); ++i) {
            unicode = unicode || a[i].type.isUnicode();
            if (i) s += ",";
            s += asText(a[i]).sql;
        }
        t.sql = s + ")";
        t.type = unicode ? SqlType{TypeId::NVarChar, 4000} : SqlType{TypeId::VarChar, 8000};
    } else if (f == "stuff") {
        need(4, 4);
        t.type = a[0].type.isUnicode() || a[3].type.isUnicode() ? SqlType{TypeId::NVarChar, 4000}
                                                                : SqlType{TypeId::VarChar, 8000};
        t.sql = "tsql_stuff(" + asText(a[0]).sql + "," + asInt(a[1]).sql + "," + asInt(a[2]).sql + "," +
                asText(a[3]).sql + ")";
    } else if (f == "quotename") {
        need(1, 2);
        t.type = SqlType{TypeId::NVarChar, 258};
        t.sql = "tsql_quotename(" + asText(a[0]).sql + (a.size() > 1 ? "," + asText(a[1]).sql : std::string()) + ")";
    } else if (f == "pi") {
        need(0, 0);
        t.type = SqlType{TypeId::Float};
        t.sql = "3.141592653589793";
    } else if (f == "choose") {
        if (a.size() < 2) error(189, {f, "2", "254"}, e.line);
        // the result type by precedence among the choices, each converted when chosen
        for (std::size_t i = 1; i < a.size(); ++i)
            if (!a[i].isNull) t.type = higherOf(t.type, a[i].type);
        if (t.type.id == TypeId::Unknown) t.type = SqlType{TypeId::Int};
        std::string sql = "(CASE " + asInt(a[0]).sql;
        for (std::size_t i = 1; i < a.size(); ++i) {
            Typed x = a[i];
            if (!x.isNull && x.type.isCharacter() != t.type.isCharacter()) x = convertWhenTaken(x, t.type, e.line);
            sql += " WHEN " + std::to_string(i) + " THEN " + x.sql;
        }
        t.sql = sql + " END)";
    } else if (f == "ascii" || f == "unicode") {
        need(1, 1);
        t.type = SqlType{TypeId::Int};
        t.sql = "unicode(" + a[0].sql + ")";
    } else if (f == "char" || f == "nchar") {
        need(1, 1);
        t.type = SqlType{f == "char" ? TypeId::Char : TypeId::NChar, 1};
        t.sql = "char(" + a[0].sql + ")";
    } else if (f == "newid") {
        t.type = SqlType{TypeId::UniqueIdentifier};
        t.sql = "qm_newid()";
    } else if (f == "object_id") {
        need(1, 2);
        t.type = SqlType{TypeId::Int};
        t.sql = "qm_object_id(" + a[0].sql + ")";
    } else if (f == "db_name") {
        t.type = SqlType{TypeId::NVarChar, 128};
        t.sql = sqlLiteral(Value::fromText(env.database));
    } else if (f == "user_name" || f == "suser_sname" || f == "suser_name" || f == "user_id") {
        t.type = SqlType{TypeId::NVarChar, 128};
        t.sql = "'dbo'";
    } else if (f == "scope_identity" || f == "ident_current") {
        ParamRef p;
        p.kind = ParamKind::GlobalVar;
        p.name = "@@identity";
        t.type = SqlType{TypeId::Numeric, 0, 38, 0};
        t.sql = paramSql(addParam(p));
    } else if (f == "error_message" || f == "error_number" || f == "error_severity" || f == "error_state" ||
               f == "error_line" || f == "error_procedure") {
        ParamRef p;
        p.kind = ParamKind::GlobalVar;
        p.name = f;
        t.type = f == "error_message" ? SqlType{TypeId::NVarChar, 4000}
                 : f == "error_procedure" ? SqlType{TypeId::NVarChar, 128} : SqlType{TypeId::Int};
        t.sql = paramSql(addParam(p));
    } else if (f == "xact_state") {
        ParamRef p;
        p.kind = ParamKind::GlobalVar;
        p.name = "xact_state";
        t.type = SqlType{TypeId::SmallInt};
        t.sql = paramSql(addParam(p));
    } else if (f == "stuff") {
        need(4, 4);
        t.type = varcharOf(a[0].type);
        t.sql = "qm_stuff(" + asText(a[0]).sql + "," + asInt(a[1]).sql + "," + asInt(a[2]).sql + "," + asText(a[3]).sql + ")";
    } else if (f == "patindex") {
        need(2, 2);
        t.type = SqlType{TypeId::Int};
        t.sql = "qm_patindex(" + asText(a[0]).sql + "," + asText(a[1]).sql + ")";
    } else if (f == "choose") {
        if (a.size() < 2) error(189, {f, "2", "254"}, e.line);
        std::string c = "(CASE " + asInt(a[0]).sql;
        for (std::size_t i = 1; i < a.size(); ++i) {
            c += " WHEN " + std::to_string(i) + " THEN " + a[i].sql;
            if (t.type.id == TypeId::Unknown && !a[i].isNull) t.type = a[i].type;
        }
        t.sql = c + " END)";
    } else if (f == "datefromparts") {
        need(3, 3);
        t.type = SqlType{TypeId::Date};
        t.sql = "printf('%04d-%02d-%02d'," + asInt(a[0]).sql + "," + asInt(a[1]).sql + "," + asInt(a[2]).sql + ")";
    } else if (f == "isdate") {
        need(1, 1);
        t.type = SqlType{TypeId::Int};
        t.sql = "(qm_try_convert(" + a[0].sql + ",'datetime','" + typeText(a[0].type) + "',-1) IS NOT NULL)";
    } else if (f == "rand") {
        t.type = SqlType{TypeId::Float};
        t.sql = "((random() / 18446744073709551616.0) + 0.5)";
    } else if (f == "pi") {
        t.type = SqlType{TypeId::Float};
        t.sql = "3.141592653589793";
    } else if (f == "isnumeric") {
        need(1, 1);
        t.type = SqlType{TypeId::Int};
        t.sql = "qm_isnumeric(" + a[0].sql + ")";
    } else if (f == "str") {
        need(1, 3);
        // the length when it is a literal, else the most it can be
        t.type = SqlType{TypeId::VarChar, 10};
        if (a.size() > 1) t.type.length = 8000;
        if (a.size() > 1 && e.args[1]->kind == ExprKind::Literal && literals &&
            literals->values[e.args[1]->slot].kind == ValueKind::Integer) {
            std::int64_t n = literals->values[e.args[1]->slot].integer;
            if (n > 0 && n <= 8000) t.type.length = static_cast<int>(n);
        }
        Typed x = a[0].type.isCharacter() ? convertTo(a[0], SqlType{TypeId::Float}, ConversionContext::Implicit, e.line) : a[0];
        t.sql = "tsql_str(" + x.sql + "," + (a.size() > 1 ? asInt(a[1]).sql : std::string("10")) + "," +
                (a.size() > 2 ? asInt(a[2]).sql : std::string("0")) + ")";
    } else if (catalog::Object* fn = env.catalog->find(f); fn && fn->kind == catalog::ObjectKind::Function) {
        // a user-defined scalar function: run by the engine through qm_udf
        if (!fn->module) {
            Message m;
            fn->module = catalog::Catalog::parseModule(fn->definition, m);
            if (!fn->module) error(m, e.line);
        }
        const ast::Stmt& c = fn->module->create();
        if (c.on || c.decls.empty()) error(internalError("嵌入式引擎不支持表值函数。"), e.line);
        if (a.size() > c.params.size()) error(8144, {fn->name}, e.line);
        if (a.size() < c.params.size()) error(313, {fn->name}, e.line);
        std::string sql = "qm_udf(" + sqlLiteral(Value::fromText(fn->name));
        for (std::size_t i = 0; i < c.params.size(); ++i)
            sql += "," + convertTo(a[i], c.params[i].type, ConversionContext::Argument, e.line).sql;
        t.sql = sql + ")";
        t.type = c.decls.front().type;
    } else {
        error(195, {f}, e.line);
    }
    return t;
}

}  // namespace quillmere::engine::translate
