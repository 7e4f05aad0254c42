// EXEC of stored procedures (arguments converted to the declared parameter
// types), dynamic SQL, and the system procedure sp_helptext.
#include "engine/Convert.h"
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/exec/Engine.h"
#include "engine/parse/Parser.h"

#include <sqlite3.h>

namespace quillmere::engine::exec {

namespace {

constexpr int kMaxNesting = 32;

}  // namespace

Flow Engine::runHelpText(const ast::Stmt& s, Frame& f, const Value& nameValue) {
    std::string name = nameValue.kind == ValueKind::Text ? nameValue.bytes : "";
    while (!name.empty() && name.back() == ' ') name.pop_back();
    auto dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(dot + 1);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    catalog::Object* o = catalog_.find(name);
    if (!o) {
        reloadCatalogIfChanged();
        o = catalog_.find(name);
    }
    if (!o) {
        Message m = qmError(15009);
        m.state = 1;
        m.text = "对象 '" + name + "' 不存在于数据库 '" + database_ + "' 中，或者对此操作无效。";
        throw RuntimeError{m};
    }
    std::vector<ResultColumn> cols(1);
    cols[0].name = "Text";
    cols[0].type = SqlType{TypeId::NVarChar, 255};
    sink_->beginResultSet(cols);
    struct OneCell final : RowView {
        std::string_view text;
        int size() const override { return 1; }
        ValueView cell(int) const override {
            ValueView v;
            v.kind = ValueKind::Text;
            v.bytes = text;
            return v;
        }
    } row;
    const std::string& text = o->definition;
    std::int64_t n = 0;
    std::size_t b = 0;
    while (b < text.size()) {
        std::size_t e = text.find('\n', b);
        std::size_t end = e == std::string::npos ? text.size() : e + 1;
        row.text = std::string_view(text).substr(b, end - b);
        sink_->row(row);
        ++n;
        b = end;
    }
    sink_->endResultSet();
    rowcount_ = n;
    emitRowCount(n, f);
    return Flow::Next;
}

// sp_executesql @stmt [, N'@a int, @b varchar(10) OUTPUT' [, @a = 1, @b = @x OUTPUT]]
Flow Engine::runExecuteSql(const ast::Stmt& s, Frame& f) {
    if (s.args.empty()) throw RuntimeError{qmError(201, {"sp_executesql", "@statement"})};
    SqlType t;
    auto argValue = [&](std::size_t i) {
        const ast::ExecArg& a = s.args[i];
        if (a.isBareWord) return Value::fromText(a.bareWord);
        if (!a.value) return Value::null();
        return evaluate(s, static_cast<int>(i) + 1, *a.value, f, nullptr, &t);
    };
    Value sql = argValue(0);
    if (sql.kind != ValueKind::Text) return Flow::Next;
    if (f.nestLevel + 1 > kMaxNesting) throw RuntimeError{qmError(217), true};
    Frame inner;
    inner.nestLevel = f.nestLevel + 1;
    std::vector<std::pair<std::string, std::string>> outputs;  // caller variable <- parameter
    if (s.args.size() > 1) {
        Value decl = argValue(1);
        if (decl.kind == ValueKind::Text && !decl.bytes.empty()) {
            std::string text = "DECLARE " + decl.bytes;
            // OUTPUT marks are not part of DECLARE: note them and drop them
            std::vector<bool> isOutput;
            {
                std::string cleaned;
                std::size_t i = 0;
                std::string lowerText = lex::lower(text);
                while (i < text.size()) {
                    auto at = lowerText.find("output", i);
                    if (at == std::string::npos) {
                        cleaned += text.substr(i);
                        break;
                    }
                    cleaned += text.substr(i, at - i);
                    i = at + 6;
                }
                text = cleaned;
            }
            lex::LexResult lx;
            lex::tokenize(text, lx);
            ast::Batch b;
            Message m;
            if (!parse::parseBatch(text, lx, b, m) || b.statements.size() != 1 ||
                b.statements.front()->kind != ast::StmtKind::Declare)
                throw RuntimeError{m.number ? m : qmError(102, {decl.bytes})};
            const auto& decls = b.statements.front()->decls;
            bool named = false;
            for (std::size_t i = 2; i < s.args.size(); ++i) {
                const ast::ExecArg& a = s.args[i];
                std::size_t k = i - 2;
                if (!a.name.empty()) {
                    named = true;
                    k = 0;
                    while (k < decls.size() && decls[k].name != a.name) ++k;
                    if (k == decls.size()) throw RuntimeError{qmError(8145, {a.name, "sp_executesql"})};
                } else if (named) {
                    throw RuntimeError{qmError(119, {std::to_string(i + 1)})};
                }
                if (k >= decls.size()) throw RuntimeError{qmError(8144, {"sp_executesql"})};
                SqlType from;
                Value v = a.isBareWord ? Value::fromText(a.bareWord)
                                       : (a.value ? evaluate(s, static_cast<int>(i) + 1, *a.value, f, nullptr, &from) : Value::null());
                auto r = convertValue(v, from, decls[k].type, ConversionContext::Argument);
                if (auto* em = std::get_if<Message>(&r)) throw RuntimeError{*em};
                inner.vars[decls[k].name] = Variable{decls[k].type, std::get<Value>(r)};
                if (a.output && a.value && a.value->kind == ast::ExprKind::Variable)
                    outputs.emplace_back(a.value->op, decls[k].name);
            }
            for (const auto& d : decls)
                if (!inner.vars.count(d.name)) inner.vars[d.name] = Variable{d.type, Value::null()};
        }
    }
    lex::LexResult lx;
    lex::tokenize(sql.bytes, lx);
    auto tree = std::make_shared<ast::Batch>();
    Message error;
    if (!parse::parseBatch(sql.bytes, lx, *tree, error)) throw RuntimeError{error};
    parse::Literals lits;
    parse::decodeLiterals(sql.bytes, lx, lits);
    inner.literals = &lits;
    Flow fl = runStatements(tree->statements, inner);
    dropTableVariables(inner);
    if (fl == Flow::Caught) {
        RuntimeError c{Message{}};
        c.caught = true;
        throw c;
    }
    if (fl == Flow::Abort) {
        RuntimeError e{Message{}, true};
        e.reported = true;
        throw e;
    }
    for (const auto& [callerVar, param] : outputs) {
        auto it = inner.vars.find(param);
        if (it != inner.vars.end()) assign(f, callerVar, it->second.value, it->second.type, s.line);
    }
    return Flow::Next;
}

Flow Engine::runExec(const ast::Stmt& s, Frame& f) {
    if (s.kind == ast::StmtKind::ExecString) {
        SqlType t;
        Value sql = evaluate(s, 1, *s.expr, f, nullptr, &t);
        if (sql.kind != ValueKind::Text) return Flow::Next;
        if (f.nestLevel + 1 > kMaxNesting) throw RuntimeError{qmError(217), true};
        lex::LexResult lx;
        lex::tokenize(sql.bytes, lx);
        auto tree = std::make_shared<ast::Batch>();
        Message error;
        if (!parse::parseBatch(sql.bytes, lx, *tree, error)) throw RuntimeError{error};
        parse::Literals lits;
        parse::decodeLiterals(sql.bytes, lx, lits);
        Frame inner;
        inner.literals = &lits;
        inner.nestLevel = f.nestLevel;
        Flow fl = runStatements(tree->statements, inner);
        dropTableVariables(inner);
        if (fl == Flow::Caught) {
            RuntimeError c{Message{}};
            c.caught = true;
            throw c;
        }
        if (fl == Flow::Abort) {
            RuntimeError e{Message{}, true};
            e.reported = true;
            throw e;
        }
        return Flow::Next;
    }
    const std::string& name = s.target.back();
    catalog::Object* proc = catalog_.find(name);
    if (!proc || proc->kind != catalog::ObjectKind::Procedure) {
        if (lex::iequals(name, "sp_helptext")) {
            if (s.args.empty()) throw RuntimeError{qmError(201, {"sp_helptext", "@objname"})};
            const ast::ExecArg& a = s.args.front();
            Value v;
            SqlType t;
            if (a.isBareWord) v = Value::fromText(a.bareWord);
            else if (a.value) v = evaluate(s, 1, *a.value, f, nullptr, &t);
            return runHelpText(s, f, v);
        }
        if (lex::iequals(name, "sp_executesql")) return runExecuteSql(s, f);
        reloadCatalogIfChanged();
        proc = catalog_.find(name);
        if (!proc || proc->kind != catalog::ObjectKind::Procedure) {
            std::string full;
            for (std::size_t i = 0; i < s.target.size(); ++i) full += (i ? "." : "") + s.target[i];
            throw RuntimeError{qmError(2812, {full})};
        }
    }
    if (f.nestLevel + 1 > kMaxNesting) throw RuntimeError{qmError(217), true};
    auto mod = moduleOf(*proc);
    const ast::Stmt& create = mod->create();
    Frame pf;
    pf.literals = &mod->literals;
    pf.procedure = proc->name;
    pf.nestLevel = f.nestLevel + 1;
    // arguments: positional first, then @name = value
    std::vector<const ast::ExecArg*> byParam(create.params.size(), nullptr);
    std::vector<int> argIndex(create.params.size(), -1);
    bool named = false;
    for (std::size_t i = 0; i < s.args.size(); ++i) {
        const ast::ExecArg& a = s.args[i];
        if (!a.name.empty()) {
            named = true;
            std::size_t k = 0;
            while (k < create.params.size() && create.params[k].name != a.name) ++k;
            if (k == create.params.size()) throw RuntimeError{qmError(8145, {a.name, proc->name})};
            byParam[k] = &a;
            argIndex[k] = static_cast<int>(i);
        } else {
            if (named) throw RuntimeError{qmError(119, {std::to_string(i + 1)})};
            if (i >= create.params.size()) throw RuntimeError{qmError(8144, {proc->name})};
            byParam[i] = &a;
            argIndex[i] = static_cast<int>(i);
        }
    }
    std::vector<std::pair<std::string, std::string>> outputs;  // caller variable <- parameter
    for (std::size_t k = 0; k < create.params.size(); ++k) {
        const ast::ParamDef& p = create.params[k];
        const ast::ExecArg* a = byParam[k];
        Value v;
        SqlType from;
        if (!a || a->isDefault) {
            if (!p.defaultValue) {
                if (a && a->isDefault) {
                    v = Value::null();
                } else {
                    throw RuntimeError{qmError(201, {proc->name, p.spelled.empty() ? p.name : p.spelled})};
                }
            } else {
                translate::ParamRef dummy;
                ast::Stmt holder;
                v = evaluate(create, 1000 + static_cast<int>(k), *p.defaultValue, pf, nullptr, &from);
            }
        } else if (a->isBareWord) {
            v = Value::fromText(a->bareWord);
            from = SqlType{TypeId::NVarChar, static_cast<int>(a->bareWord.size())};
        } else {
            v = evaluate(s, 1 + argIndex[k], *a->value, f, nullptr, &from);
            if (a->output && a->value->kind == ast::ExprKind::Variable) outputs.emplace_back(a->value->op, p.name);
        }
        auto r = convertValue(v, from, p.type, ConversionContext::Argument);
        if (auto* m = std::get_if<Message>(&r)) throw RuntimeError{*m};
        pf.vars[p.name] = Variable{p.type, std::move(std::get<Value>(r))};
    }
    bool savedNocount = nocount_;
    Flow fl;
    try {
        fl = runStatements(create.body, pf);
    } catch (...) {
        dropTableVariables(pf);
        nocount_ = savedNocount;
        throw;
    }
    dropTableVariables(pf);
    nocount_ = savedNocount;
    if (fl == Flow::Caught) {
        RuntimeError c{Message{}};
        c.caught = true;
        throw c;
    }
    if (fl == Flow::Abort) {
        RuntimeError e{Message{}, true};
        e.reported = true;
        throw e;
    }
    for (const auto& [callerVar, param] : outputs) {
        auto it = pf.vars.find(param);
        if (it != pf.vars.end()) assign(f, callerVar, it->second.value, it->second.type, s.line);
    }
    if (!s.returnVar.empty()) assign(f, s.returnVar, Value::fromInteger(pf.returnValue), SqlType{TypeId::Int}, s.line);
    return Flow::Next;
}

}  // namespace quillmere::engine::exec
