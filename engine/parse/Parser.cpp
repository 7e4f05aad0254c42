#include "engine/parse/Parser.h"

#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"

#include <charconv>

namespace quillmere::engine::parse {

using namespace ast;
using lex::Tok;
using lex::Token;

namespace {

struct SyntaxError {
    Message message;
};

class Parser {
public:
    Parser(std::string_view src, const lex::LexResult& lx) : src_(src), toks_(lx.tokens) {
        slotOf_.assign(toks_.size(), -1);
        for (std::size_t i = 0; i < lx.literalTokens.size(); ++i) slotOf_[lx.literalTokens[i]] = static_cast<int>(i);
    }

    void parseBatch(Batch& out) {
        batch_ = &out;
        bool first = true;
        while (true) {
            while (isOp(";")) ++pos_;
            if (peek().kind == Tok::End) break;
            out.statements.push_back(parseStatement(first));
            first = false;
        }
    }

    ExprPtr parseStandaloneExpr(Batch& b) {
        batch_ = &b;
        auto e = parseExpr();
        if (peek().kind != Tok::End) fail();
        return e;
    }

private:
    std::string_view src_;
    const std::vector<Token>& toks_;
    std::vector<int> slotOf_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    int selectListDepth_ = 0;
    int chain_ = 0;  // operators chained at one level (a + b + c ...): they nest in the tree

    void chained() {
        if (++chain_ > kMaxChain) {
            Message m = qmError(191);
            m.line = static_cast<int>(peek().line);
            throw SyntaxError{m};
        }
    }
    Batch* batch_ = nullptr;

    struct DepthGuard {
        Parser& p;
        explicit DepthGuard(Parser& parser) : p(parser) {
            if (++p.depth_ > kMaxDepth) {
                Message m = qmError(191);
                m.line = static_cast<int>(p.peek().line);
                throw SyntaxError{m};
            }
        }
        ~DepthGuard() { --p.depth_; }
    };

    // ---- token helpers ----
    const Token& peek(std::size_t ahead = 0) const {
        std::size_t i = pos_ + ahead;
        return i < toks_.size() ? toks_[i] : toks_.back();
    }
    std::string_view text(const Token& t) const { return t.text(src_); }
    bool isKw(std::string_view kw, std::size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Ident && lex::iequals(text(t), kw);
    }
    bool isOp(std::string_view op, std::size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Op && text(t) == op;
    }
    bool acceptKw(std::string_view kw) {
        if (isKw(kw)) { ++pos_; return true; }
        return false;
    }
    bool acceptOp(std::string_view op) {
        if (isOp(op)) { ++pos_; return true; }
        return false;
    }
    void expectKw(std::string_view kw) {
        if (!acceptKw(kw)) fail();
    }
    void expectOp(std::string_view op) {
        if (!acceptOp(op)) fail();
    }
    int line() const { return static_cast<int>(peek().line); }

    [[noreturn]] void fail() const { failAt(pos_); }
    [[noreturn]] void failAt(std::size_t at) const {
        if (at >= toks_.size()) at = toks_.size() - 1;
        const Token* t = &toks_[at];
        Message m;
        if (t->kind == Tok::Error) {
            std::string_view body = text(*t);
            if (!body.empty() && (body[0] == '\'' || (body.size() > 1 && body[1] == '\''))) {
                std::string rest(body.substr(body[0] == '\'' ? 1 : 2));
                m = qmError(105, {rest});
            } else if (body.size() >= 2 && body[0] == '/' && body[1] == '*') {
                m = qmError(113);
            } else if (!body.empty() && (body[0] == '[' || body[0] == '"')) {
                m = qmError(105, {std::string(body.substr(1))});
            } else {
                m = qmError(102, {std::string(body)});
            }
            m.line = static_cast<int>(t->line);
            throw SyntaxError{m};
        }
        if (t->kind == Tok::End && at > 0) t = &toks_[at - 1];
        std::string near(text(*t));
        if (t->kind == Tok::Ident && lex::isReserved(near))
            m = qmError(156, {near});
        else
            m = qmError(102, {near});
        m.line = static_cast<int>(t->line);
        throw SyntaxError{m};
    }

    bool isName(const Token& t) const {
        return t.kind == Tok::QuotedIdent || (t.kind == Tok::Ident && !lex::isReserved(text(t)));
    }
    std::string name() {
        const Token& t = peek();
        if (!isName(t)) fail();
        ++pos_;
        return lex::identName(src_, t);
    }
    // Also accepts reserved words (after a dot, as in t.[key] written plainly).
    std::string anyName() {
        const Token& t = peek();
        if (t.kind != Tok::Ident && t.kind != Tok::QuotedIdent) fail();
        ++pos_;
        return lex::identName(src_, t);
    }
    std::vector<std::string> qualifiedName() {
        std::vector<std::string> parts;
        if (peek().kind == Tok::Variable) {  // a table variable
            parts.push_back(lex::lower(text(peek())));
            ++pos_;
            return parts;
        }
        parts.push_back(name());
        while (isOp(".")) {
            ++pos_;
            if (isOp(".")) { parts.emplace_back(); continue; }  // db..table
            parts.push_back(anyName());
        }
        return parts;
    }
    std::string variableName() {
        const Token& t = peek();
        if (t.kind != Tok::Variable) fail();
        ++pos_;
        return lex::lower(text(t));
    }
    int slotHere(std::size_t tokIndex) const { return slotOf_[tokIndex]; }
    std::int64_t integerToken(bool structural = true) {
        const Token& t = peek();
        if (t.kind != Tok::Integer) fail();
        std::int64_t v = 0;
        auto sv = text(t);
        auto r = std::from_chars(sv.data(), sv.data() + sv.size(), v);
        if (r.ec != std::errc()) fail();
        if (structural && slotOf_[pos_] >= 0) batch_->structuralSlots.push_back(slotOf_[pos_]);
        ++pos_;
        return v;
    }

    // ---- types ----
    SqlType parseType() {
        std::size_t at = pos_;
        const Token& t = peek();
        if (t.kind != Tok::Ident && t.kind != Tok::QuotedIdent) fail();
        std::string tname = lex::identName(src_, t);
        ++pos_;
        if (lex::iequals(tname, "sys") || lex::iequals(tname, "dbo")) {
            if (acceptOp(".")) tname = anyName();
        }
        if (lex::iequals(tname, "double") && acceptKw("precision")) tname = "float";
        if ((lex::iequals(tname, "char") || lex::iequals(tname, "character")) && acceptKw("varying")) tname = "varchar";
        std::string full = tname;
        if (acceptOp("(")) {
            full += "(";
            if (acceptKw("max")) {
                full += "max";
            } else {
                full += std::to_string(integerToken());
                if (acceptOp(",")) full += "," + std::to_string(integerToken());
            }
            expectOp(")");
            full += ")";
        }
        auto parsed = SqlType::parse(full);
        if (!parsed) {
            Message m = qmError(2715, {tname});
            m.line = static_cast<int>(toks_[at].line);
            throw SyntaxError{m};
        }
        return *parsed;
    }

    // ---- expressions ----
    ExprPtr make(ExprKind k, int ln) {
        auto e = std::make_unique<Expr>();
        e->kind = k;
        e->line = ln;
        return e;
    }

    ExprPtr parseExpr() {
        DepthGuard g(*this);
        int saved = chain_;  // chains count along one path of the tree only
        auto e = parseOr();
        chain_ = saved;
        return e;
    }
    ExprPtr parseOr() {
        auto left = parseAnd();
        while (isKw("or")) {
            chained();
            int ln = line();
            ++pos_;
            auto e = make(ExprKind::Or, ln);
            e->args.push_back(std::move(left));
            e->args.push_back(parseAnd());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr parseAnd() {
        auto left = parseNot();
        while (isKw("and")) {
            chained();
            int ln = line();
            ++pos_;
            auto e = make(ExprKind::And, ln);
            e->args.push_back(std::move(left));
            e->args.push_back(parseNot());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr parseNot() {
        if (isKw("not")) {
            DepthGuard g(*this);
            int ln = line();
            ++pos_;
            auto e = make(ExprKind::Not, ln);
            e->args.push_back(parseNot());
            return e;
        }
        return parsePredicate();
    }
    ExprPtr parsePredicate() {
        if (isKw("exists")) {
            int ln = line();
            ++pos_;
            expectOp("(");
            auto e = make(ExprKind::Exists, ln);
            e->select = parseSelect();
            expectOp(")");
            return e;
        }
        auto left = parseAdditive();
        int ln = line();
        const Token& t = peek();
        if (t.kind == Tok::Op) {
            std::string_view op = text(t);
            if (op == "=" || op == "<>" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=" ||
                op == "!<" || op == "!>") {
                ++pos_;
                std::string cmp = op == "!=" ? "<>" : op == "!<" ? ">=" : op == "!>" ? "<=" : std::string(op);
                if ((isKw("all") || isKw("any") || isKw("some")) && isOp("(", 1)) {
                    auto q = make(ExprKind::Quantified, ln);
                    q->star = isKw("all");
                    pos_ += 2;
                    q->op = cmp;
                    q->args.push_back(std::move(left));
                    q->select = parseSelect();
                    expectOp(")");
                    return q;
                }
                auto e = make(ExprKind::Compare, ln);
                e->op = cmp;
                e->args.push_back(std::move(left));
                e->args.push_back(parseAdditive());
                return e;
            }
        }
        bool negated = false;
        if (isKw("not") && (isKw("between", 1) || isKw("in", 1) || isKw("like", 1))) {
            negated = true;
            ++pos_;
        }
        if (acceptKw("between")) {
            auto e = make(ExprKind::Between, ln);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            expectKw("and");
            e->args.push_back(parseAdditive());
            return e;
        }
        if (acceptKw("in")) {
            expectOp("(");
            if (isKw("select")) {
                auto e = make(ExprKind::InSelect, ln);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->select = parseSelect();
                expectOp(")");
                return e;
            }
            auto e = make(ExprKind::InList, ln);
            e->negated = negated;
            e->args.push_back(std::move(left));
            do {
                e->args.push_back(parseExpr());
            } while (acceptOp(","));
            expectOp(")");
            return e;
        }
        if (acceptKw("like")) {
            auto e = make(ExprKind::Like, ln);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            if (acceptKw("escape")) e->args.push_back(parseAdditive());
            return e;
        }
        if (negated) fail();
        if (acceptKw("is")) {
            auto e = make(ExprKind::IsNull, ln);
            e->negated = acceptKw("not");
            expectKw("null");
            e->args.push_back(std::move(left));
            return e;
        }
        return left;
    }
    ExprPtr parseAdditive() {
        DepthGuard g(*this);
        auto left = parseMultiplicative();
        while (true) {
            const Token& t = peek();
            if (t.kind != Tok::Op) break;
            std::string_view op = text(t);
            if (op != "+" && op != "-" && op != "&" && op != "|" && op != "^") break;
            chained();
            int ln = line();
            ++pos_;
            auto e = make(ExprKind::Binary, ln);
            e->op = std::string(op);
            e->args.push_back(std::move(left));
            e->args.push_back(parseMultiplicative());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr parseMultiplicative() {
        auto left = parseUnary();
        while (true) {
            const Token& t = peek();
            if (t.kind != Tok::Op) break;
            std::string_view op = text(t);
            if (op != "*" && op != "/" && op != "%") break;
            chained();
            int ln = line();
            ++pos_;
            auto e = make(ExprKind::Binary, ln);
            e->op = std::string(op);
            e->args.push_back(std::move(left));
            e->args.push_back(parseUnary());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr parseUnary() {
        if (isOp("-") || isOp("+") || isOp("~")) {
            DepthGuard g(*this);
            int ln = line();
            std::string op(text(peek()));
            ++pos_;
            auto e = make(ExprKind::Unary, ln);
            e->op = op;
            e->args.push_back(parseUnary());
            return e;
        }
        return parsePrimary();
    }

    ExprPtr parsePrimary() {
        const Token& t = peek();
        int ln = static_cast<int>(t.line);
        switch (t.kind) {
        case Tok::String:
        case Tok::NString:
        case Tok::Integer:
        case Tok::Decimal:
        case Tok::Float:
        case Tok::Binary: {
            auto e = make(ExprKind::Literal, ln);
            e->slot = slotOf_[pos_];
            e->litKind = t.kind;
            if (selectListDepth_ > 0 && e->slot >= 0) batch_->structuralSlots.push_back(e->slot);
            ++pos_;
            return e;
        }
        case Tok::Variable: {
            auto e = make(ExprKind::Variable, ln);
            e->op = lex::lower(text(t));
            ++pos_;
            return e;
        }
        case Tok::GlobalVar: {
            auto e = make(ExprKind::GlobalVar, ln);
            e->op = lex::lower(text(t));
            ++pos_;
            return e;
        }
        case Tok::Op:
            if (text(t) == "(") {
                DepthGuard g(*this);
                ++pos_;
                if (isKw("select")) {
                    auto e = make(ExprKind::Subquery, ln);
                    e->select = parseSelect();
                    expectOp(")");
                    return e;
                }
                auto inner = parseExpr();
                expectOp(")");
                return inner;
            }
            fail();
        case Tok::Ident:
        case Tok::QuotedIdent:
            break;
        default:
            fail();
        }
        if (t.kind == Tok::Ident) {
            std::string_view w = text(t);
            if (lex::iequals(w, "null")) {
                ++pos_;
                return make(ExprKind::Null, ln);
            }
            if (lex::iequals(w, "case")) return parseCase();
            if (lex::iequals(w, "default")) {
                ++pos_;
                return make(ExprKind::Default, ln);
            }
            if ((lex::iequals(w, "cast") || lex::iequals(w, "try_cast")) && isOp("(", 1)) {
                pos_ += 2;
                auto e = make(ExprKind::Cast, ln);
                e->op = lex::lower(w);  // try_cast: NULL instead of an error
                e->args.push_back(parseExpr());
                expectKw("as");
                e->type = parseTypeForCast();
                expectOp(")");
                return e;
            }
            if ((lex::iequals(w, "convert") || lex::iequals(w, "try_convert")) && isOp("(", 1)) {
                pos_ += 2;
                auto e = make(ExprKind::Cast, ln);
                e->op = lex::lower(w);
                e->isConvert = true;
                e->type = parseTypeForCast();
                expectOp(",");
                e->args.push_back(parseExpr());
                if (acceptOp(",")) e->args.push_back(parseExpr());
                expectOp(")");
                return e;
            }
            if (lex::isReserved(w) && !(isOp("(", 1) && (lex::iequals(w, "left") || lex::iequals(w, "right"))))
                fail();
        }
        // function call or column reference
        if (isOp("(", 1)) {
            auto e = make(ExprKind::Call, ln);
            e->op = lex::lower(lex::identName(src_, t));
            pos_ += 2;
            DepthGuard g(*this);
            if (isOp(")")) {
                ++pos_;
                return withOver(std::move(e));
            }
            if (isOp("*")) {
                ++pos_;
                e->star = true;
                expectOp(")");
                return withOver(std::move(e));
            }
            if (acceptKw("distinct")) e->distinct = true;
            else acceptKw("all");
            do {
                e->args.push_back(parseExpr());
            } while (acceptOp(","));
            expectOp(")");
            return withOver(std::move(e));
        }
        auto e = make(ExprKind::Column, ln);
        e->parts.push_back(lex::identName(src_, t));
        ++pos_;
        while (isOp(".")) {
            ++pos_;
            if (isOp(".")) { e->parts.emplace_back(); continue; }
            if (isOp("*")) { --pos_; break; }  // t.* handled by the select list
            e->parts.push_back(anyName());
        }
        if (e->parts.size() > 4) failAt(pos_ - 1);
        // schema-qualified function call: dbo.f(...)
        if (isOp("(") && e->parts.size() == 2) {
            auto c = make(ExprKind::Call, ln);
            c->op = lex::lower(e->parts[1]);
            ++pos_;
            if (!isOp(")")) {
                do {
                    c->args.push_back(parseExpr());
                } while (acceptOp(","));
            }
            expectOp(")");
            return c;
        }
        return e;
    }

    ExprPtr withOver(ExprPtr e) {
        if (!isKw("over")) return e;
        ++pos_;
        expectOp("(");
        auto w = std::make_unique<Window>();
        if (isKw("partition") && isKw("by", 1)) {
            pos_ += 2;
            do {
                w->partition.push_back(parseExpr());
            } while (acceptOp(","));
        }
        if (isKw("order") && isKw("by", 1)) {
            pos_ += 2;
            do {
                auto x = parseExpr();
                bool desc = acceptKw("desc");
                if (!desc) acceptKw("asc");
                w->order.emplace_back(std::move(x), desc);
            } while (acceptOp(","));
        }
        expectOp(")");
        e->over = std::move(w);
        return e;
    }

    SqlType parseTypeForCast() {
        // CAST(x AS varchar) without a length is varchar(30).
        std::size_t at = pos_;
        SqlType ty = parseType();
        bool hadLength = pos_ - at > 1;
        if (!hadLength && ty.isCharacter() && ty.id != TypeId::Text && ty.id != TypeId::NText) ty.length = 30;
        if (!hadLength && (ty.id == TypeId::Binary || ty.id == TypeId::VarBinary)) ty.length = 30;
        return ty;
    }

    ExprPtr parseCase() {
        DepthGuard g(*this);
        auto e = make(ExprKind::Case, line());
        ++pos_;
        if (!isKw("when")) {
            e->hasOperand = true;
            e->args.push_back(parseExpr());
        }
        if (!isKw("when")) fail();
        while (acceptKw("when")) {
            e->args.push_back(parseExpr());
            expectKw("then");
            e->args.push_back(parseExpr());
        }
        if (acceptKw("else")) {
            e->hasElse = true;
            e->args.push_back(parseExpr());
        }
        expectKw("end");
        return e;
    }

    // ---- SELECT ----
    // OPTION (hint, ...) after a query: MAXRECURSION n is kept, other hints are
    // accepted and have no effect here.
    void parseQueryOptions(Select& sel) {
        if (!isKw("option") || !isOp("(", 1)) return;
        pos_ += 2;
        do {
            if (peek().kind == Tok::Ident && lex::iequals(text(peek()), "maxrecursion")) {
                ++pos_;
                sel.maxRecursion = parsePrimary();
                continue;
            }
            int depth = 0;
            while (peek().kind != Tok::End) {
                if (isOp("(")) ++depth;
                else if (isOp(")")) { if (depth == 0) break; --depth; }
                else if (isOp(",") && depth == 0) break;
                ++pos_;
            }
        } while (acceptOp(","));
        expectOp(")");
    }

    // Inside CREATE PROCEDURE/FUNCTION/TRIGGER (RETURN may give a value there).
    int moduleDepth_ = 0;
    struct ModuleScope {
        int& depth;
        explicit ModuleScope(int& d) : depth(d) { ++depth; }
        ~ModuleScope() { --depth; }
    };

    SelectPtr parseSelect() {
        DepthGuard g(*this);
        SelectPtr head;
        if (isOp("(")) {
            ++pos_;
            head = parseSelect();
            expectOp(")");
        } else {
            head = parseSelectCore();
        }
        Select* last = head.get();
        while (isKw("union") || isKw("except") || isKw("intersect")) {
            std::string op = lex::lower(text(peek()));
            ++pos_;
            if (op == "union" && acceptKw("all")) op = "union all";
            SelectPtr next;
            if (isOp("(")) {
                ++pos_;
                next = parseSelect();
                expectOp(")");
            } else {
                next = parseSelectCore();
            }
            last->setOp = op;
            last->setNext = std::move(next);
            last = last->setNext.get();
        }
        if (isKw("order") && isKw("by", 1)) {
            pos_ += 2;
            // literals here may be column positions: they shape the plan
            struct ListDepth { int& d; explicit ListDepth(int& x) : d(x) { ++d; } ~ListDepth() { --d; } } ld(selectListDepth_);
            do {
                OrderItem item;
                item.expr = parseExpr();
                if (acceptKw("desc")) item.desc = true;
                else acceptKw("asc");
                head->orderBy.push_back(std::move(item));
            } while (acceptOp(","));
            if (acceptKw("offset")) {
                head->offset = parseAdditive();
                if (!acceptKw("rows")) expectKw("row");
                if (acceptKw("fetch")) {
                    if (!acceptKw("next")) expectKw("first");
                    head->fetch = parseAdditive();
                    if (!acceptKw("rows")) expectKw("row");
                    expectKw("only");
                }
            }
        }
        return head;
    }

    SelectPtr parseSelectCore() {
        auto s = std::make_unique<Select>();
        s->line = line();
        expectKw("select");
        if (acceptKw("distinct")) s->distinct = true;
        else acceptKw("all");
        if (acceptKw("top")) {
            if (acceptOp("(")) {
                s->top = parseExpr();
                expectOp(")");
            } else {
                s->top = parsePrimary();
            }
            if (acceptKw("percent")) s->topPercent = true;
            acceptKw("with") && acceptKw("ties");
        }
        ++selectListDepth_;
        do {
            s->items.push_back(parseSelectItem());
        } while (acceptOp(","));
        --selectListDepth_;
        if (acceptKw("into")) s->into = qualifiedName();
        if (acceptKw("from")) {
            do {
                s->from.push_back(parseTableSource());
            } while (acceptOp(","));
        }
        if (acceptKw("where")) s->where = parseExpr();
        if (isKw("group") && isKw("by", 1)) {
            pos_ += 2;
            do {
                s->groupBy.push_back(parseExpr());
            } while (acceptOp(","));
        }
        if (acceptKw("having")) s->having = parseExpr();
        return s;
    }

    SelectItem parseSelectItem() {
        SelectItem item;
        if (isOp("*")) {
            ++pos_;
            item.star = true;
            return item;
        }
        // qualifier.*
        {
            std::size_t k = 0;
            while (isName(peek(k)) && isOp(".", k + 1)) k += 2;
            if (k > 0 && isOp("*", k)) {
                while (!isOp("*")) {
                    item.starQualifier.push_back(lex::identName(src_, peek()));
                    pos_ += 2;
                }
                ++pos_;
                item.star = true;
                return item;
            }
        }
        // @v = expr
        if (peek().kind == Tok::Variable && peek(1).kind == Tok::Op) {
            std::string_view op = text(peek(1));
            if (op == "=" || op == "+=" || op == "-=" || op == "*=" || op == "/=") {
                item.assignVar = lex::lower(text(peek()));
                pos_ += 2;
                --selectListDepth_;
                auto value = parseExpr();
                ++selectListDepth_;
                if (op != "=") {
                    auto v = make(ExprKind::Variable, value->line);
                    v->op = item.assignVar;
                    auto b = make(ExprKind::Binary, value->line);
                    b->op = std::string(op.substr(0, 1));
                    b->args.push_back(std::move(v));
                    b->args.push_back(std::move(value));
                    value = std::move(b);
                }
                item.expr = std::move(value);
                return item;
            }
        }
        // alias = expr
        if ((isName(peek()) || peek().kind == Tok::String) && isOp("=", 1)) {
            item.alias = peek().kind == Tok::String ? lex::stringValue(src_, peek()) : lex::identName(src_, peek());
            item.hasAlias = true;
            pos_ += 2;
            item.expr = parseExpr();
            return item;
        }
        item.expr = parseExpr();
        if (acceptKw("as")) {
            if (peek().kind == Tok::String) {
                item.alias = lex::stringValue(src_, peek());
                ++pos_;
            } else {
                item.alias = anyName();
            }
            item.hasAlias = true;
        } else if (isName(peek())) {
            item.alias = name();
            item.hasAlias = true;
        } else if (peek().kind == Tok::String) {
            item.alias = lex::stringValue(src_, peek());
            ++pos_;
            item.hasAlias = true;
        }
        return item;
    }

    std::string optionalAlias() {
        if (acceptKw("as")) return anyName();
        if (isName(peek())) return name();
        return {};
    }

    void skipTableHints() {
        if (isKw("with") && isOp("(", 1)) {
            pos_ += 2;
            int depth = 1;
            while (depth > 0 && peek().kind != Tok::End) {
                if (isOp("(")) ++depth;
                if (isOp(")")) --depth;
                ++pos_;
            }
        }
    }

    TableRefPtr parsePrimarySource() {
        DepthGuard g(*this);
        auto r = std::make_unique<TableRef>();
        r->line = line();
        if (isOp("(")) {
            if (isKw("select", 1) || isOp("(", 1)) {
                std::size_t save = pos_;
                ++pos_;
                if (isKw("select")) {
                    r->kind = TableRef::Derived;
                    r->select = parseSelect();
                    expectOp(")");
                    r->alias = optionalAlias();
                    if (r->alias.empty()) fail();
                    return r;
                }
                pos_ = save;
            }
            ++pos_;
            auto inner = parseTableSource();
            expectOp(")");
            return inner;
        }
        r->kind = TableRef::Named;
        r->parts = qualifiedName();
        r->alias = optionalAlias();
        skipTableHints();
        if (isOp("(") && peek(1).kind == Tok::Ident && isOp(")", 2) &&
            (isKw("nolock", 1) || isKw("readpast", 1) || isKw("updlock", 1) || isKw("holdlock", 1) || isKw("tablock", 1)))
            pos_ += 3;
        return r;
    }

    TableRefPtr parseTableSource() {
        auto left = parsePrimarySource();
        while (true) {
            std::string type;
            int ln = line();
            if (acceptKw("join")) type = "inner";
            else if (isKw("inner") && isKw("join", 1)) { pos_ += 2; type = "inner"; }
            else if (isKw("cross") && isKw("join", 1)) { pos_ += 2; type = "cross"; }
            else if (isKw("left") || isKw("right") || isKw("full")) {
                type = lex::lower(text(peek()));
                ++pos_;
                acceptKw("outer");
                expectKw("join");
            } else break;
            auto j = std::make_unique<TableRef>();
            j->kind = TableRef::Join;
            j->line = ln;
            j->joinType = type;
            j->left = std::move(left);
            j->right = parsePrimarySource();
            if (type != "cross") {
                expectKw("on");
                j->on = parseExpr();
            }
            left = std::move(j);
        }
        return left;
    }

    // ---- statements ----
    StmtPtr newStmt(StmtKind k, std::size_t startTok) {
        auto s = std::make_unique<Stmt>();
        s->kind = k;
        s->line = static_cast<int>(toks_[startTok].line);
        s->textBegin = toks_[startTok].begin;
        return s;
    }
    void finish(Stmt& s) {
        std::size_t last = pos_ > 0 ? pos_ - 1 : 0;
        s.textEnd = toks_[last].begin + toks_[last].length;
    }

    StmtPtr parseStatement(bool firstInBatch) {
        DepthGuard g(*this);
        std::size_t start = pos_;
        StmtPtr s = parseStatementInner(firstInBatch);
        if (s->textBegin == 0 && start > 0) s->textBegin = toks_[start].begin;
        if (s->textEnd == 0) finish(*s);
        return s;
    }

    StmtPtr parseStatementInner(bool firstInBatch) {
        std::size_t start = pos_;
        const Token& t = peek();
        if (t.kind == Tok::Op && text(t) == "(" ) {
            auto s = newStmt(StmtKind::Select, start);
            s->select = parseSelect();
            parseQueryOptions(*s->select);
            return s;
        }
        if (t.kind != Tok::Ident) {
            if (firstInBatch && t.kind == Tok::QuotedIdent) return parseExecBody(start);
            fail();
        }
        std::string kw = lex::lower(text(t));
        if (kw == "select") {
            auto s = newStmt(StmtKind::Select, start);
            s->select = parseSelect();
            parseQueryOptions(*s->select);
            return s;
        }
        if (kw == "with") {
            ++pos_;
            std::vector<CommonTable> ctes;
            do {
                CommonTable c;
                c.name = name();
                if (acceptOp("(")) {
                    do {
                        c.columns.push_back(anyName());
                    } while (acceptOp(","));
                    expectOp(")");
                }
                expectKw("as");
                expectOp("(");
                c.select = parseSelect();
                expectOp(")");
                ctes.push_back(std::move(c));
            } while (acceptOp(","));
            if (!isKw("select")) fail();
            auto s = newStmt(StmtKind::Select, start);
            s->select = parseSelect();
            s->select->with = std::move(ctes);
            parseQueryOptions(*s->select);
            return s;
        }
        if (kw == "throw") {
            auto s = newStmt(StmtKind::Throw, start);
            ++pos_;
            if (startsExpression()) {
                for (int i = 0; i < 3; ++i) {
                    if (i) expectOp(",");
                    s->args.emplace_back();
                    s->args.back().value = parseExpr();
                }
            }
            return s;
        }
        if (kw == "open" || kw == "close" || kw == "deallocate") {
            auto s = newStmt(kw == "open" ? StmtKind::OpenCursor : kw == "close" ? StmtKind::CloseCursor
                                                                                 : StmtKind::DeallocateCursor, start);
            ++pos_;
            acceptKw("global");
            s->name = lex::lower(anyName());
            return s;
        }
        if (kw == "fetch") {
            auto s = newStmt(StmtKind::FetchCursor, start);
            ++pos_;
            if (acceptKw("next") || acceptKw("prior") || acceptKw("first") || acceptKw("last")) {
                s->on = lex::iequals(text(toks_[pos_ - 1]), "next");
                if (!s->on) fail();
            }
            acceptKw("from");
            acceptKw("global");
            s->name = lex::lower(anyName());
            if (acceptKw("into")) {
                do {
                    SetItem it;
                    it.variable = variableName();
                    s->sets.push_back(std::move(it));
                } while (acceptOp(","));
            }
            return s;
        }
        if (kw == "insert") return parseInsert();
        if (kw == "update") return parseUpdate();
        if (kw == "delete") return parseDelete();
        if (kw == "create") return parseCreate(firstInBatch);
        if (kw == "alter") {
            if (isKw("table", 1)) {
                pos_ += 2;
                batch_->cacheable = false;
                return parseAlterTable(start);
            }
            // ALTER PROCEDURE / VIEW / TRIGGER / FUNCTION: a new definition for an existing module
            auto s = parseCreate(firstInBatch);
            s->replace = Replace::Alter;
            return s;
        }
        if (kw == "drop") return parseDrop();
        if (kw == "exec" || kw == "execute") {
            ++pos_;
            if (isOp("(")) {
                auto s = newStmt(StmtKind::ExecString, start);
                ++pos_;
                s->expr = parseExpr();
                expectOp(")");
                return s;
            }
            return parseExecBody(start);
        }
        if (kw == "declare") return parseDeclare();
        if (kw == "set") return parseSet();
        if (kw == "if") {
            auto s = newStmt(StmtKind::If, start);
            ++pos_;
            s->expr = parseExpr();
            s->thenStmt = parseStatement(false);
            while (isOp(";")) ++pos_;
            if (acceptKw("else")) s->elseStmt = parseStatement(false);
            return s;
        }
        if (kw == "while") {
            auto s = newStmt(StmtKind::While, start);
            ++pos_;
            s->expr = parseExpr();
            s->thenStmt = parseStatement(false);
            return s;
        }
        if (kw == "begin") {
            ++pos_;
            if (acceptKw("tran") || acceptKw("transaction")) {
                auto s = newStmt(StmtKind::BeginTran, start);
                if (isName(peek()) && !isKw("with")) ++pos_;
                return s;
            }
            if (isKw("try")) {
                ++pos_;
                auto s = newStmt(StmtKind::TryCatch, start);
                while (true) {
                    while (isOp(";")) ++pos_;
                    if (isKw("end") && isKw("try", 1)) { pos_ += 2; break; }
                    if (peek().kind == Tok::End) fail();
                    s->body.push_back(parseStatement(false));
                }
                while (isOp(";")) ++pos_;
                expectKw("begin");
                expectKw("catch");
                while (true) {
                    while (isOp(";")) ++pos_;
                    if (isKw("end") && isKw("catch", 1)) { pos_ += 2; break; }
                    if (peek().kind == Tok::End) fail();
                    s->catchBody.push_back(parseStatement(false));
                }
                return s;
            }
            if (isKw("catch")) fail();
            auto s = newStmt(StmtKind::Block, start);
            while (true) {
                while (isOp(";")) ++pos_;
                if (acceptKw("end")) break;
                if (peek().kind == Tok::End) fail();
                s->body.push_back(parseStatement(false));
            }
            return s;
        }
        if (kw == "commit" || kw == "rollback") {
            auto s = newStmt(kw == "commit" ? StmtKind::Commit : StmtKind::Rollback, start);
            ++pos_;
            if (acceptKw("tran") || acceptKw("transaction") || acceptKw("work")) {
                if (isName(peek())) {
                    s->name = name();
                }
            }
            return s;
        }
        if (kw == "save") {
            auto s = newStmt(StmtKind::SaveTran, start);
            ++pos_;
            if (!acceptKw("tran")) expectKw("transaction");
            s->name = name();
            return s;
        }
        if (kw == "print") {
            auto s = newStmt(StmtKind::Print, start);
            ++pos_;
            s->expr = parseExpr();
            return s;
        }
        if (kw == "return") {
            auto s = newStmt(StmtKind::Return, start);
            ++pos_;
            if (startsExpression()) {
                // a value is returned only by procedures and functions
                if (moduleDepth_ == 0) {
                    Message m = qmError(178);
                    m.line = static_cast<int>(toks_[start].line);
                    throw SyntaxError{m};
                }
                s->expr = parseExpr();
            }
            return s;
        }
        if (kw == "break" || kw == "continue") {
            ++pos_;
            return newStmt(kw == "break" ? StmtKind::Break : StmtKind::Continue, start);
        }
        if (kw == "use") {
            auto s = newStmt(StmtKind::Use, start);
            ++pos_;
            s->name = name();
            return s;
        }
        if (kw == "truncate") {
            auto s = newStmt(StmtKind::Truncate, start);
            ++pos_;
            expectKw("table");
            s->target = qualifiedName();
            return s;
        }
        if (kw == "raiserror") {
            auto s = newStmt(StmtKind::Raiserror, start);
            ++pos_;
            expectOp("(");
            do {
                s->args.emplace_back();
                s->args.back().value = parseExpr();
            } while (acceptOp(","));
            expectOp(")");
            if (acceptKw("with")) {
                do { anyName(); } while (acceptOp(","));
            }
            return s;
        }
        if (firstInBatch && !lex::isReserved(kw)) return parseExecBody(start);
        fail();
    }

    bool startsExpression() const {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::String: case Tok::NString: case Tok::Integer: case Tok::Decimal: case Tok::Float:
        case Tok::Variable: case Tok::GlobalVar: case Tok::Binary:
            return true;
        case Tok::Op:
            return text(t) == "(" || text(t) == "-" || text(t) == "+" || text(t) == "~";
        case Tok::Ident:
            return lex::iequals(text(t), "null") || lex::iequals(text(t), "case") ||
                   (!lex::isReserved(text(t)) && isOp("(", 1));
        default:
            return false;
        }
    }

    StmtPtr parseInsert() {
        auto s = newStmt(StmtKind::Insert, pos_);
        ++pos_;
        acceptKw("into");
        s->target = qualifiedName();
        skipTableHints();
        if (isOp("(") && !isKw("select", 1)) {
            ++pos_;
            do {
                s->columns.push_back(anyName());
            } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptKw("values")) {
            do {
                expectOp("(");
                std::vector<ExprPtr> row;
                do {
                    row.push_back(parseExpr());
                } while (acceptOp(","));
                expectOp(")");
                s->values.push_back(std::move(row));
            } while (acceptOp(","));
        } else if (isKw("select") || isOp("(")) {
            s->select = parseSelect();
        } else if (isKw("default") && isKw("values", 1)) {
            pos_ += 2;
            s->defaultValues = true;
        } else if (isKw("exec") || isKw("execute")) {
            std::size_t st = pos_;
            ++pos_;
            if (isOp("(")) {
                auto e = newStmt(StmtKind::ExecString, st);
                ++pos_;
                e->expr = parseExpr();
                expectOp(")");
                s->execSource = std::move(e);
            } else {
                s->execSource = parseExecBody(st);
            }
        } else {
            fail();
        }
        return s;
    }

    StmtPtr parseUpdate() {
        auto s = newStmt(StmtKind::Update, pos_);
        ++pos_;
        if (acceptKw("top")) {
            expectOp("(");
            s->top = parseExpr();
            expectOp(")");
        }
        s->target = qualifiedName();
        skipTableHints();
        expectKw("set");
        do {
            SetItem item;
            if (peek().kind == Tok::Variable) {
                item.variable = variableName();
                // SET @v = col = expr
                if (isOp("=") && isName(peek(1)) && isOp("=", 2)) {
                    ++pos_;
                    item.column.push_back(name());
                }
            } else {
                item.column = qualifiedName();
            }
            const Token& op = peek();
            if (op.kind != Tok::Op) fail();
            std::string_view o = text(op);
            if (o != "=" && o != "+=" && o != "-=" && o != "*=" && o != "/=") fail();
            item.op = std::string(o);
            ++pos_;
            item.value = parseExpr();
            s->sets.push_back(std::move(item));
        } while (acceptOp(","));
        if (acceptKw("from")) {
            do {
                s->from.push_back(parseTableSource());
            } while (acceptOp(","));
        }
        if (acceptKw("where")) s->where = parseExpr();
        return s;
    }

    StmtPtr parseDelete() {
        auto s = newStmt(StmtKind::Delete, pos_);
        ++pos_;
        if (acceptKw("top")) {
            expectOp("(");
            s->top = parseExpr();
            expectOp(")");
        }
        acceptKw("from");
        s->target = qualifiedName();
        skipTableHints();
        if (acceptKw("from")) {
            do {
                s->from.push_back(parseTableSource());
            } while (acceptOp(","));
        }
        if (acceptKw("where")) s->where = parseExpr();
        return s;
    }

    StmtPtr parseExecBody(std::size_t start) {
        auto s = newStmt(StmtKind::Exec, start);
        if (peek().kind == Tok::Variable && isOp("=", 1)) {
            s->returnVar = variableName();
            ++pos_;
        }
        s->target = qualifiedName();
        if (peek().kind == Tok::End || isOp(";")) return s;
        if (!startsArgument()) return s;
        do {
            ExecArg a;
            if (peek().kind == Tok::Variable && isOp("=", 1)) {
                a.name = variableName();
                ++pos_;
            }
            if (isKw("default")) {
                ++pos_;
                a.isDefault = true;
            } else if (peek().kind == Tok::Ident && !lex::iequals(text(peek()), "null") && !isOp("(", 1) &&
                       !lex::isReserved(text(peek()))) {
                a.isBareWord = true;
                a.bareWord = std::string(text(peek()));
                ++pos_;
            } else if (peek().kind == Tok::QuotedIdent) {
                a.isBareWord = true;
                a.bareWord = lex::identName(src_, peek());
                ++pos_;
            } else {
                a.value = parseAdditive();
            }
            if (acceptKw("output") || acceptKw("out")) a.output = true;
            s->args.push_back(std::move(a));
        } while (acceptOp(","));
        return s;
    }
    bool startsArgument() const {
        const Token& t = peek();
        if (t.kind == Tok::Ident) return !lex::isReserved(text(t)) || lex::iequals(text(t), "null") ||
                                         lex::iequals(text(t), "default");
        return startsExpression() || t.kind == Tok::QuotedIdent;
    }

    StmtPtr parseDeclare() {
        std::size_t start = pos_;
        ++pos_;
        if (peek().kind == Tok::Ident && !isOp("=", 1)) {
            // DECLARE name [options] CURSOR [options] FOR select
            auto s = newStmt(StmtKind::DeclareCursor, start);
            s->name = lex::lower(anyName());
            while (!isKw("cursor") && peek().kind == Tok::Ident && !isKw("for")) ++pos_;
            expectKw("cursor");
            while (!isKw("for") && peek().kind == Tok::Ident) ++pos_;
            expectKw("for");
            s->select = parseSelect();
            if (acceptKw("for")) {
                if (acceptKw("read")) expectKw("only");
                else {
                    expectKw("update");
                    if (acceptKw("of")) do { anyName(); } while (acceptOp(","));
                }
            }
            return s;
        }
        if (peek().kind == Tok::Variable && (isKw("table", 1) || (isKw("as", 1) && isKw("table", 2)))) {
            // DECLARE @t TABLE (columns and constraints)
            auto s = newStmt(StmtKind::DeclareTable, start);
            s->target = {variableName()};
            acceptKw("as");
            expectKw("table");
            expectOp("(");
            do {
                if (isOp(")")) break;
                std::string constraintName;
                if (acceptKw("constraint")) constraintName = name();
                if (parseTableConstraint(s->table, constraintName, nullptr)) continue;
                s->table.columns.push_back(parseColumnDef(s->table));
            } while (acceptOp(","));
            expectOp(")");
            for (auto& c : s->table.columns)
                if (c.primaryKey) s->table.primaryKey = {c.name};
            return s;
        }
        auto s = newStmt(StmtKind::Declare, start);
        do {
            DeclareItem d;
            d.name = variableName();
            acceptKw("as");
            if (isKw("table")) fail();
            if (isKw("cursor")) fail();
            d.type = parseType();
            if (acceptOp("=")) d.init = parseExpr();
            s->decls.push_back(std::move(d));
        } while (acceptOp(","));
        return s;
    }

    StmtPtr parseSet() {
        std::size_t start = pos_;
        ++pos_;
        if (peek().kind == Tok::Variable) {
            auto s = newStmt(StmtKind::SetVar, start);
            SetItem item;
            item.variable = variableName();
            const Token& op = peek();
            if (op.kind != Tok::Op) fail();
            std::string_view o = text(op);
            if (o != "=" && o != "+=" && o != "-=" && o != "*=" && o != "/=") fail();
            item.op = "=";
            ++pos_;
            item.value = parseExpr();
            if (o != "=") {
                // SET @v += e is SET @v = @v + e
                auto v = make(ExprKind::Variable, s->line);
                v->op = item.variable;
                auto b = make(ExprKind::Binary, s->line);
                b->op = std::string(o.substr(0, 1));
                b->args.push_back(std::move(v));
                b->args.push_back(std::move(item.value));
                item.value = std::move(b);
            }
            s->sets.push_back(std::move(item));
            return s;
        }
        auto s = newStmt(StmtKind::SetOption, start);
        s->name = lex::lower(anyName());
        if (s->name == "transaction") {  // SET TRANSACTION ISOLATION LEVEL ...
            while (peek().kind == Tok::Ident && !lex::isReserved(text(peek()))) ++pos_;
            return s;
        }
        if (s->name == "identity_insert") s->target = qualifiedName();
        while (acceptOp(",")) anyName();
        if (acceptKw("on")) s->on = true;
        else if (acceptKw("off")) s->on = false;
        else if (peek().kind == Tok::Ident || peek().kind == Tok::Integer || peek().kind == Tok::Variable) {
            s->expr = parsePrimary();
        } else fail();
        return s;
    }

    // ---- CREATE / DROP ----
    StmtPtr parseCreate(bool firstInBatch) {
        std::size_t start = pos_;
        ++pos_;
        batch_->cacheable = false;
        if (isKw("or") && isKw("alter", 1)) {  // CREATE OR ALTER
            pos_ += 2;
            auto s = parseCreate2(firstInBatch, start);
            s->replace = Replace::CreateOrAlter;
            return s;
        }
        return parseCreate2(firstInBatch, start);
    }

    StmtPtr parseCreate2(bool firstInBatch, std::size_t start) {
        if (acceptKw("table")) return parseCreateTable(start);
        if (isKw("view") || isKw("procedure") || isKw("proc") || isKw("trigger") || isKw("function")) {
            std::string what = lex::lower(text(peek()));
            if (!firstInBatch) {
                Message m = qmError(111, {what == "view" ? "CREATE VIEW" : what == "trigger" ? "CREATE TRIGGER"
                                          : what == "function" ? "CREATE FUNCTION" : "CREATE/ALTER PROCEDURE"});
                m.line = static_cast<int>(toks_[start].line);
                throw SyntaxError{m};
            }
            ++pos_;
            if (what == "view") return parseCreateView(start);
            if (what == "trigger") return parseCreateTrigger(start);
            if (what == "function") return parseCreateFunction(start);
            return parseCreateProc(start);
        }
        if (acceptKw("database")) {
            auto s = newStmt(StmtKind::CreateDatabase, start);
            s->name = name();
            return s;
        }
        bool unique = acceptKw("unique");
        if (!acceptKw("clustered")) acceptKw("nonclustered");
        if (acceptKw("index")) {
            auto s = newStmt(StmtKind::CreateIndex, start);
            s->on = unique;
            s->name = name();
            expectKw("on");
            s->target = qualifiedName();
            expectOp("(");
            do {
                s->columns.push_back(anyName());
                if (!acceptKw("asc")) acceptKw("desc");
            } while (acceptOp(","));
            expectOp(")");
            return s;
        }
        fail();
    }

    void parseReferences(ForeignKeyDef& fk) {
        auto ref = qualifiedName();
        fk.refTable = ref.back();
        if (acceptOp("(")) {
            do {
                fk.refColumns.push_back(anyName());
            } while (acceptOp(","));
            expectOp(")");
        }
        while (isKw("on")) {
            ++pos_;
            bool del = acceptKw("delete");
            if (!del) expectKw("update");
            std::string action;
            if (acceptKw("cascade")) action = "cascade";
            else if (acceptKw("no")) { expectKw("action"); action = "no action"; }
            else if (acceptKw("set")) {
                if (acceptKw("null")) action = "set null";
                else { expectKw("default"); action = "set default"; }
            } else fail();
            (del ? fk.onDelete : fk.onUpdate) = action;
        }
        if (isKw("not") && isKw("for", 1)) { pos_ += 2; anyName(); }
    }

    std::vector<std::string> columnList() {
        std::vector<std::string> cols;
        expectOp("(");
        do {
            cols.push_back(anyName());
            if (!acceptKw("asc")) acceptKw("desc");
        } while (acceptOp(","));
        expectOp(")");
        // index options and file groups of generated scripts: WITH (...) ON [PRIMARY]
        skipTableHints();
        if (isKw("on") && (peek(1).kind == Tok::QuotedIdent || peek(1).kind == Tok::Ident) && !isKw("delete", 1) &&
            !isKw("update", 1))
            pos_ += 2;
        return cols;
    }

    // A table constraint (after an optional CONSTRAINT name); false when none starts here.
    bool parseTableConstraint(TableDef& t, const std::string& constraintName, Stmt* alter) {
        if (acceptKw("primary")) {
            expectKw("key");
            if (!acceptKw("clustered")) acceptKw("nonclustered");
            t.primaryKey = columnList();
            t.primaryKeyName = constraintName;
        } else if (acceptKw("unique")) {
            if (!acceptKw("clustered")) acceptKw("nonclustered");
            t.uniques.push_back(columnList());
        } else if (acceptKw("foreign")) {
            expectKw("key");
            ForeignKeyDef fk;
            fk.name = constraintName;
            fk.columns = columnList();
            expectKw("references");
            parseReferences(fk);
            t.foreignKeys.push_back(std::move(fk));
        } else if (acceptKw("check")) {
            if (isKw("not") && isKw("for", 1)) pos_ += 3;
            t.checks.push_back(CheckDef{constraintName, checkText(), ""});
        } else if (alter && acceptKw("default")) {
            // ALTER TABLE t ADD [CONSTRAINT n] DEFAULT expr FOR column
            std::size_t b = pos_;
            parseAdditive();
            std::string text(src_.substr(toks_[b].begin, toks_[pos_ - 1].begin + toks_[pos_ - 1].length - toks_[b].begin));
            expectKw("for");
            SetItem d;
            d.column.push_back(anyName());
            d.variable = text;  // the default's text
            alter->sets.push_back(std::move(d));
        } else {
            return false;
        }
        return true;
    }

    // ( condition ): the condition's text
    std::string checkText() {
        expectOp("(");
        std::size_t b = pos_;
        parseExpr();
        std::string text(src_.substr(toks_[b].begin, toks_[pos_ - 1].begin + toks_[pos_ - 1].length - toks_[b].begin));
        expectOp(")");
        return text;
    }

    ColumnDef parseColumnDef(TableDef& t) {
        ColumnDef c;
        c.name = anyName();
        std::size_t typeStart = pos_;
        c.type = parseType();
        c.typeText = std::string(src_.substr(toks_[typeStart].begin,
                                             toks_[pos_ - 1].begin + toks_[pos_ - 1].length - toks_[typeStart].begin));
        while (true) {
            std::string cname;
            if (acceptKw("constraint")) cname = name();
            if (acceptKw("not")) {
                if (acceptKw("null")) c.notNull = true;
                else { expectKw("for"); anyName(); }
            } else if (acceptKw("null")) {
                c.notNull = false;
            } else if (acceptKw("identity")) {
                c.identity = true;
                if (acceptOp("(")) {
                    c.seed = integerToken();
                    expectOp(",");
                    c.increment = integerToken();
                    expectOp(")");
                }
            } else if (acceptKw("default")) {
                std::size_t b = pos_;
                c.defaultValue = parseAdditive();
                c.defaultText = std::string(src_.substr(toks_[b].begin,
                                                        toks_[pos_ - 1].begin + toks_[pos_ - 1].length - toks_[b].begin));
            } else if (acceptKw("primary")) {
                expectKw("key");
                if (!acceptKw("clustered")) acceptKw("nonclustered");
                c.primaryKey = true;
                t.primaryKeyName = cname;
                skipTableHints();
            } else if (acceptKw("unique")) {
                if (!acceptKw("clustered")) acceptKw("nonclustered");
                c.unique = true;
            } else if (acceptKw("references") || (acceptKw("foreign") && (expectKw("key"), expectKw("references"), true))) {
                ForeignKeyDef fk;
                fk.name = cname;
                fk.columns.push_back(c.name);
                parseReferences(fk);
                t.foreignKeys.push_back(std::move(fk));
            } else if (acceptKw("check")) {
                if (isKw("not") && isKw("for", 1)) pos_ += 3;
                t.checks.push_back(CheckDef{cname, checkText(), c.name});
            } else if (acceptKw("collate")) {
                anyName();
            } else if (acceptKw("rowguidcol") || acceptKw("sparse")) {
            } else {
                if (!cname.empty()) fail();
                break;
            }
        }
        return c;
    }

    StmtPtr parseCreateTable(std::size_t start) {
        auto s = newStmt(StmtKind::CreateTable, start);
        s->target = qualifiedName();
        expectOp("(");
        do {
            if (isOp(")")) break;  // trailing comma
            std::string constraintName;
            if (acceptKw("constraint")) constraintName = name();
            if (parseTableConstraint(s->table, constraintName, nullptr)) continue;
            if (!constraintName.empty()) fail();
            s->table.columns.push_back(parseColumnDef(s->table));
        } while (acceptOp(","));
        expectOp(")");
        if (acceptKw("on")) anyName();
        if (acceptKw("textimage_on")) anyName();
        s->definition = std::string(src_.substr(s->textBegin, toks_[pos_ - 1].begin + toks_[pos_ - 1].length - s->textBegin));
        for (auto& c : s->table.columns)
            if (c.primaryKey) {
                if (!s->table.primaryKey.empty()) fail();
                s->table.primaryKey.push_back(c.name);
            }
        if (s->table.columns.empty()) fail();
        return s;
    }

    // ALTER TABLE t {ADD items | DROP COLUMN c | DROP CONSTRAINT n | ALTER COLUMN c type [NOT] NULL
    //                | [WITH CHECK|NOCHECK] {CHECK|NOCHECK} CONSTRAINT ...}
    // The changes are described in s->table (added columns and constraints), s->names
    // (dropped names: {"column", c} / {"constraint", n}), s->decls (altered columns).
    StmtPtr parseAlterTable(std::size_t start) {
        auto s = newStmt(StmtKind::AlterTable, start);
        s->target = qualifiedName();
        if (acceptKw("with")) {
            if (!acceptKw("check")) expectKw("nocheck");
        }
        if (acceptKw("check") || acceptKw("nocheck")) {
            expectKw("constraint");
            if (!acceptKw("all")) do { anyName(); } while (acceptOp(","));
            return s;
        }
        if (acceptKw("add")) {
            do {
                std::string constraintName;
                if (acceptKw("constraint")) constraintName = name();
                if (parseTableConstraint(s->table, constraintName, s.get())) continue;
                if (!constraintName.empty()) fail();
                acceptKw("column");
                s->table.columns.push_back(parseColumnDef(s->table));
            } while (acceptOp(","));
            return s;
        }
        if (acceptKw("drop")) {
            do {
                if (acceptKw("column")) {
                    do { s->names.push_back({"column", anyName()}); } while (acceptOp(",") && !isKw("constraint") && !isKw("column"));
                } else {
                    acceptKw("constraint");
                    s->names.push_back({"constraint", anyName()});
                }
            } while (acceptOp(","));
            return s;
        }
        if (acceptKw("alter")) {
            expectKw("column");
            DeclareItem d;
            d.name = anyName();
            d.type = parseType();
            d.isTable = false;
            bool notNull = false;
            if (acceptKw("not")) { expectKw("null"); notNull = true; }
            else acceptKw("null");
            d.init = nullptr;
            s->decls.push_back(std::move(d));
            s->on = notNull;
            return s;
        }
        fail();
    }

    void takeDefinitionToEnd(Stmt& s) {
        // A module runs to the end of the batch; its text is kept as written.
        s.definition = std::string(src_.substr(s.textBegin));
    }

    StmtPtr parseCreateView(std::size_t start) {
        auto s = newStmt(StmtKind::CreateView, start);
        s->target = qualifiedName();
        if (acceptOp("(")) {
            do {
                s->columns.push_back(anyName());
            } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptKw("with")) {
            do { anyName(); } while (acceptOp(","));
        }
        expectKw("as");
        s->select = parseSelect();
        if (isKw("with") && isKw("check", 1)) {
            pos_ += 2;
            expectKw("option");
            s->checkOption = true;
        }
        while (isOp(";")) ++pos_;
        if (peek().kind != Tok::End) fail();
        takeDefinitionToEnd(*s);
        return s;
    }

    StmtPtr parseCreateProc(std::size_t start) {
        ModuleScope module(moduleDepth_);
        auto s = newStmt(StmtKind::CreateProc, start);
        s->target = qualifiedName();
        if (acceptOp(";")) integerToken();  // numbered procedures: name;1
        bool paren = acceptOp("(");
        if (peek().kind == Tok::Variable) {
            do {
                ParamDef p;
                p.spelled = std::string(text(peek()));
                p.name = variableName();
                acceptKw("as");
                p.type = parseType();
                acceptKw("varying");
                if (acceptOp("=")) p.defaultValue = parseUnary();
                if (acceptKw("output") || acceptKw("out")) p.output = true;
                if (acceptKw("readonly")) {}
                s->params.push_back(std::move(p));
            } while (acceptOp(","));
        }
        if (paren) expectOp(")");
        if (acceptKw("with")) {
            do { anyName(); } while (acceptOp(","));
        }
        expectKw("as");
        parseBodyToEnd(*s);
        takeDefinitionToEnd(*s);
        return s;
    }

    // CREATE FUNCTION name ([@p type [= default], ...]) RETURNS type [WITH ...] [AS] BEGIN ... END
    StmtPtr parseCreateFunction(std::size_t start) {
        ModuleScope module(moduleDepth_);
        auto s = newStmt(StmtKind::CreateFunction, start);
        s->target = qualifiedName();
        expectOp("(");
        if (peek().kind == Tok::Variable) {
            do {
                ParamDef p;
                p.spelled = std::string(text(peek()));
                p.name = variableName();
                acceptKw("as");
                p.type = parseType();
                if (acceptOp("=")) p.defaultValue = parseUnary();
                acceptKw("readonly");
                s->params.push_back(std::move(p));
            } while (acceptOp(","));
        }
        expectOp(")");
        expectKw("returns");
        if (isKw("table") || peek().kind == Tok::Variable) {
            s->on = true;  // table-valued: refused when run
            takeDefinitionToEnd(*s);
            pos_ = toks_.size() - 1;
            return s;
        }
        DeclareItem r;
        r.type = parseType();
        s->decls.push_back(std::move(r));
        if (acceptKw("with")) {
            do { anyName(); } while (acceptOp(","));
        }
        acceptKw("as");
        parseBodyToEnd(*s);
        takeDefinitionToEnd(*s);
        return s;
    }

    void parseBodyToEnd(Stmt& s) {
        while (true) {
            while (isOp(";")) ++pos_;
            if (peek().kind == Tok::End) break;
            s.body.push_back(parseStatement(false));
        }
    }

    StmtPtr parseCreateTrigger(std::size_t start) {
        ModuleScope module(moduleDepth_);
        auto s = newStmt(StmtKind::CreateTrigger, start);
        s->target = qualifiedName();
        expectKw("on");
        s->triggerTable = qualifiedName();
        if (acceptKw("with")) {
            do { anyName(); } while (acceptOp(","));
        }
        if (acceptKw("instead")) {
            expectKw("of");
            s->insteadOf = true;
        } else if (!acceptKw("for")) {
            expectKw("after");
        }
        do {
            if (acceptKw("insert")) s->onInsert = true;
            else if (acceptKw("update")) s->onUpdate = true;
            else if (acceptKw("delete")) s->onDelete = true;
            else fail();
        } while (acceptOp(","));
        if (isKw("not") && isKw("for", 1)) { pos_ += 2; anyName(); }
        expectKw("as");
        parseBodyToEnd(*s);
        takeDefinitionToEnd(*s);
        return s;
    }

    StmtPtr parseDrop() {
        std::size_t start = pos_;
        ++pos_;
        StmtKind k;
        if (acceptKw("table")) k = StmtKind::DropTable;
        else if (acceptKw("view")) k = StmtKind::DropView;
        else if (acceptKw("procedure") || acceptKw("proc")) k = StmtKind::DropProc;
        else if (acceptKw("trigger")) k = StmtKind::DropTrigger;
        else if (acceptKw("function")) k = StmtKind::DropFunction;
        else if (acceptKw("database")) k = StmtKind::DropDatabase;
        else if (acceptKw("index")) k = StmtKind::DropIndex;
        else fail();
        auto s = newStmt(k, start);
        if (isKw("if") && isKw("exists", 1)) {
            pos_ += 2;
            s->ifExists = true;
        }
        do {
            s->names.push_back(qualifiedName());
            if (k == StmtKind::DropIndex && acceptKw("on")) {
                auto table = qualifiedName();
                s->names.back().insert(s->names.back().begin(), table.back());
            }
        } while (acceptOp(","));
        if (k == StmtKind::DropDatabase) s->name = s->names.front().back();
        return s;
    }

};

}  // namespace

bool parseBatch(std::string_view src, const lex::LexResult& lexed, Batch& out, Message& error) {
    Parser p(src, lexed);
    try {
        p.parseBatch(out);
        return true;
    } catch (const SyntaxError& e) {
        error = e.message;
        out.statements.clear();
        return false;
    }
}

ExprPtr parseExpression(std::string_view src, Message& error) {
    lex::LexResult lx;
    lex::tokenize(src, lx);
    Parser p(src, lx);
    Batch dummy;
    try {
        return p.parseStandaloneExpr(dummy);
    } catch (const SyntaxError& e) {
        error = e.message;
        return nullptr;
    }
}

}  // namespace quillmere::engine::parse
