#include "db/Recordset.h"

#include "db/Backend.h"
#include "db/ConnectionString.h"
#include "db/Messages.h"
#include "engine/Convert.h"
#include "engine/Format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <variant>

namespace quillmere::db {

using engine::TypeId;
using engine::ValueKind;
using engine::ValueView;

namespace {

std::string formatted(const char* pattern, std::initializer_list<std::string> args) {
    std::string out;
    auto it = args.begin();
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && it != args.end()) {
            out += *it++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// A cell the ODBC driver gave as text, as the typed value the engine would hold.
Value typedFromText(std::string_view text, const SqlType& type) {
    auto asInteger = [&](std::string_view t) -> std::optional<std::int64_t> {
        while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
        if (!t.empty() && t.front() == '+') t.remove_prefix(1);
        if (std::size_t dot = t.find('.'); dot != std::string_view::npos &&
                                           t.find_first_not_of('0', dot + 1) == std::string_view::npos)
            t = t.substr(0, dot);
        std::int64_t v = 0;
        auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
        return v;
    };
    if (type.id == TypeId::Bit) {
        if (text == "t" || text == "true") return Value::fromInteger(1);
        if (text == "f" || text == "false") return Value::fromInteger(0);
    }
    if (type.isInteger() || (type.id == TypeId::Numeric && type.scale == 0)) {
        if (auto v = asInteger(text)) return Value::fromInteger(*v);
    } else if (type.isNumber()) {
        std::string t(text);
        char* end = nullptr;
        double d = std::strtod(t.c_str(), &end);
        if (end && *end == '\0' && !t.empty()) return Value::fromReal(d);
    }
    return Value::fromText(std::string(text));
}

bool comparable(const SqlType& t) {
    // text, ntext and image cannot be compared with = on SQL Server.
    return t.id != TypeId::Text && t.id != TypeId::NText;
}

struct Pending {
    std::vector<Value> values;
    // 0 or 1 per column; a string, so that a row of a few columns needs no allocation
    std::string changed;
    bool deleted = false;
    bool modified() const { return std::find(changed.begin(), changed.end(), 1) != changed.end(); }
};

// The statement for rows changed alike: its text and where its parameters come from.
struct WriteShape {
    std::string sql;
    std::vector<int> setColumns;    // new values, in column order
    std::vector<int> whereColumns;  // originals; the NULL ones are written as IS NULL
};

// One statement of an update batch.
struct WriteStep {
    std::size_t row;
    const Pending* pending = nullptr;
    const WriteShape* shape = nullptr;
    const std::string* table = nullptr;
    const std::vector<int>* key = nullptr;
};

}  // namespace

struct Recordset::Impl {
    LockType lock = LockType::ReadOnly;
    bool open = false;
    std::weak_ptr<Backend> backend;  // of the connection the set was read on
    QueryResult data;
    std::vector<InfoMessage> info;
    std::map<std::size_t, Pending> pending;
    std::vector<std::size_t> removed;  // deleted and saved, sorted
    std::vector<std::size_t> hidden;   // removed and pending deletions, sorted
    mutable std::vector<std::size_t> visible;  // visible -> stored row, built when rows are hidden
    mutable bool visibleValid = false;
    std::ptrdiff_t pos = -1;  // stored row; -1 before the first, size() after the last

    std::size_t n() const { return data.rows.size(); }
    int columns() const { return static_cast<int>(data.columns.size()); }
    bool isHidden(std::size_t r) const { return std::binary_search(hidden.begin(), hidden.end(), r); }
    std::size_t visibleCount() const { return n() - hidden.size(); }

    void requireOpen() const {
        if (!open) throw DbError::client(msg::kClosedObject);
    }
    void requireColumn(int c) const {
        if (c < 0 || c >= columns()) throw DbError::client(msg::kNoSuchItem);
    }
    bool onDeletedRow() const { return pos >= 0 && static_cast<std::size_t>(pos) < n() && isHidden(pos); }
    bool hasCurrent() const {
        return open && pos >= 0 && static_cast<std::size_t>(pos) < n() && !isHidden(pos);
    }
    void requireCurrent() const {
        requireOpen();
        if (!hasCurrent()) throw DbError::client(msg::kNoCurrentRecord);
    }
    void requireUpdatable() const {
        requireOpen();
        if (lock == LockType::ReadOnly || lock == LockType::Unspecified) throw DbError::client(msg::kReadOnly);
    }
    bool immediate() const { return lock == LockType::Optimistic || lock == LockType::Pessimistic; }

    std::size_t actualOf(int visibleRow) const {
        if (visibleRow < 0 || static_cast<std::size_t>(visibleRow) >= visibleCount())
            throw DbError::client(msg::kNoCurrentRecord);
        if (hidden.empty()) return visibleRow;
        if (!visibleValid) {
            visible.clear();
            visible.reserve(visibleCount());
            std::size_t h = 0;
            for (std::size_t r = 0; r < n(); ++r) {
                if (h < hidden.size() && hidden[h] == r) { ++h; continue; }
                visible.push_back(r);
            }
            visibleValid = true;
        }
        return visible[visibleRow];
    }
    int visibleOf(std::size_t r) const {
        return static_cast<int>(r - (std::lower_bound(hidden.begin(), hidden.end(), r) - hidden.begin()));
    }
    void rebuildHidden() {
        hidden = removed;
        for (const auto& [r, p] : pending)
            if (p.deleted) hidden.push_back(r);
        std::sort(hidden.begin(), hidden.end());
        visibleValid = false;
        visible.clear();
        visible.shrink_to_fit();
    }

    const Value* pendingValue(std::size_t r, int c) const {
        if (pending.empty()) return nullptr;
        auto it = pending.find(r);
        if (it == pending.end() || !it->second.changed[c]) return nullptr;
        return &it->second.values[c];
    }
    Value originalValue(std::size_t r, int c) const {
        ValueView v = data.rows.cell(r, c);
        if (data.textCells && v.kind == ValueKind::Text) return typedFromText(v.bytes, data.columns[c].info.type);
        return Value::from(v);
    }
    Value value(std::size_t r, int c) const {
        if (const Value* p = pendingValue(r, c)) return *p;
        return originalValue(r, c);
    }
    std::string text(std::size_t r, int c) const {
        const SqlType& type = data.columns[c].info.type;
        if (const Value* p = pendingValue(r, c)) return p->isNull() ? std::string() : engine::formatValue(p->view(), type, "");
        ValueView v = data.rows.cell(r, c);
        if (v.isNull()) return {};
        if (data.textCells) return std::string(v.bytes);
        return engine::formatValue(v, type, "");
    }

    void clearRows() {
        data = QueryResult{};
        pending.clear();
        removed.clear();
        hidden.clear();
        visible.clear();
        visibleValid = false;
        pos = -1;
    }

    void set(std::size_t r, int c, const Value& v) {
        const SqlType& type = data.columns[c].info.type;
        Value stored;
        if (!v.isNull()) {
            auto converted = engine::convertValue(v, engine::typeOfLiteral(v), type, engine::ConversionContext::Column);
            if (auto* m = std::get_if<engine::Message>(&converted))
                throw DbError::server(m->number, m->text, m->severity ? m->severity : 16);
            stored = std::move(std::get<Value>(converted));
        }
        Pending& p = pending[r];
        if (p.values.empty()) {
            p.values.resize(columns());
            p.changed.assign(columns(), 0);
        }
        p.values[c] = std::move(stored);
        p.changed[c] = 1;
    }

    void updateBatch();
    std::vector<WriteStep> plan(Backend& b, std::map<std::string, std::vector<int>>& keyCache);
    // statements by shape and the tables written, for one batch
    std::map<std::string, WriteShape> shapeCache;
    std::deque<std::string> tableNames;
    std::string keyText(const WriteStep& s) const {
        std::string t;
        for (int c : *s.key) {
            if (!t.empty()) t += ", ";
            t += data.columns[c].info.baseColumn + "=" + text(s.row, c);
        }
        return t;
    }
    void applySaved();
};

// ---- planning and sending a batch ---------------------------------------------

std::vector<WriteStep> Recordset::Impl::plan(Backend& b, std::map<std::string, std::vector<int>>& keyCache) {
    auto keyOf = [&](const std::string& table) -> const std::vector<int>& {
        for (auto& [t, k] : keyCache)
            if (equalsIgnoreCase(t, table)) return k;
        std::vector<int> fields;
        std::vector<std::string> pk = b.primaryKey(table);
        for (const std::string& col : pk) {
            int found = -1;
            for (int c = 0; c < columns(); ++c)
                if (equalsIgnoreCase(data.columns[c].info.baseTable, table) &&
                    equalsIgnoreCase(data.columns[c].info.baseColumn, col)) {
                    found = c;
                    break;
                }
            if (found < 0) throw DbError::client(formatted(msg::kNoKey, {table, col}));
            fields.push_back(found);
        }
        if (pk.empty()) {
            // No primary key: the row is found by all its comparable columns, and must be
            // the only one that matches.
            for (int c = 0; c < columns(); ++c)
                if (equalsIgnoreCase(data.columns[c].info.baseTable, table) && comparable(data.columns[c].info.type) &&
                    data.columns[c].info.type.id != TypeId::Float && data.columns[c].info.type.id != TypeId::Real)
                    fields.push_back(c);
        }
        return keyCache.emplace(table, std::move(fields)).first->second;
    };
    auto oneTable = [&](auto pick) -> std::string {
        std::string table;
        for (int c = 0; c < columns(); ++c) {
            if (!pick(c)) continue;
            const std::string& t = data.columns[c].info.baseTable;
            if (t.empty() || (!table.empty() && !equalsIgnoreCase(t, table))) throw DbError::client(msg::kNotUpdatable);
            table = t;
        }
        if (table.empty()) throw DbError::client(msg::kNotUpdatable);
        return table;
    };

    std::vector<WriteStep> steps;
    steps.reserve(pending.size());
    struct {
        const std::string* table = nullptr;
        const std::vector<int>* key = nullptr;
        bool deleted = false;
        std::string changed;
        std::vector<int> whereColumns;
        std::vector<int> setColumns;
    } last;
    std::string shape;
    const WriteShape* lastShape = nullptr;  // of the row before, with the NULLs among its originals
    std::string nulls, lastNulls;
    for (const auto& [row, p] : pending) {
        if (!p.deleted && !p.modified()) continue;
        WriteStep s;
        s.row = row;
        s.pending = &p;
        // rows changed in the same columns go to the same table, found by the same key
        // and checked on the same columns: all found once
        if (!last.key || p.deleted != last.deleted || p.changed != last.changed) {
            std::string table = p.deleted ? oneTable([&](int c) { return !data.columns[c].info.baseTable.empty(); })
                                          : oneTable([&](int c) { return p.changed[c] != 0; });
            if (!last.table || *last.table != table) last.table = &tableNames.emplace_back(std::move(table));
            last.key = &keyOf(*last.table);
            last.deleted = p.deleted;
            last.changed = p.changed;
            const std::vector<int>& key = *last.key;
            // The row is found by its key; an update also checks that the changed columns
            // still hold what was read (ADO's adCriteriaUpdCols).
            last.whereColumns = key;
            last.setColumns.clear();
            if (!p.deleted)
                for (int c = 0; c < columns(); ++c) {
                    if (!p.changed[c]) continue;
                    last.setColumns.push_back(c);
                    if (comparable(data.columns[c].info.type) && std::find(key.begin(), key.end(), c) == key.end())
                        last.whereColumns.push_back(c);
                }
            lastShape = nullptr;
        }
        s.table = last.table;
        s.key = last.key;
        const std::vector<int>& whereColumns = last.whereColumns;
        if (whereColumns.empty()) throw DbError::client(msg::kNotUpdatable);

        // Parameters: new values, then the original values that are not NULL. Which
        // originals are NULL is all that can differ from the row before.
        nulls.clear();
        for (int c : whereColumns) nulls += data.rows.cell(row, c).isNull() ? 'n' : 'v';
        if (!lastShape || nulls != lastNulls) {
            shape.assign(1, p.deleted ? 'D' : 'U');
            if (!p.deleted)
                for (int c = 0; c < columns(); ++c) shape += p.changed[c] ? 'c' : '-';
            shape += '|';
            shape += nulls;  // the where columns follow from table and changes
            shape += *s.table;

            auto cached = shapeCache.find(shape);
            if (cached == shapeCache.end()) {
                WriteShape ws;
                ws.setColumns = last.setColumns;
                ws.whereColumns = whereColumns;
                std::string& sql = ws.sql;
                int marker = 0;
                if (p.deleted) {
                    sql = "DELETE FROM " + b.quoteIdentifier(*s.table) + " WHERE ";
                } else {
                    sql = "UPDATE " + b.quoteIdentifier(*s.table) + " SET ";
                    bool first = true;
                    for (int c : last.setColumns) {
                        if (!first) sql += ", ";
                        first = false;
                        sql += b.quoteIdentifier(data.columns[c].info.baseColumn) + " = " + b.parameterMarker(marker++);
                    }
                    sql += " WHERE ";
                }
                bool first = true;
                for (std::size_t i = 0; i < whereColumns.size(); ++i) {
                    if (!first) sql += " AND ";
                    first = false;
                    sql += b.quoteIdentifier(data.columns[whereColumns[i]].info.baseColumn);
                    // shape holds 'n' or 'v' for each where column after the '|'
                    bool isNull = data.rows.cell(row, whereColumns[i]).isNull();
                    sql += isNull ? std::string(" IS NULL") : " = " + b.parameterMarker(marker++);
                }
                cached = shapeCache.emplace(shape, std::move(ws)).first;
            }
            lastShape = &cached->second;
            lastNulls = nulls;
        }
        s.shape = lastShape;
        steps.push_back(s);
    }
    return steps;
}

void Recordset::Impl::updateBatch() {
    requireUpdatable();
    if (pending.empty()) return;
    std::shared_ptr<Backend> held = backend.lock();
    if (!held) throw DbError::client(msg::kClosedObject);  // its connection was closed since
    Backend& b = *held;
    std::map<std::string, std::vector<int>> keyCache;  // table -> field indexes of its key
    shapeCache.clear();
    tableNames.clear();
    std::vector<WriteStep> steps = plan(b, keyCache);
    if (!steps.empty()) {
        // one parameter list, refilled for each row
        std::vector<WriteParam> params;
        b.beginTransaction();
        try {
            for (const WriteStep& s : steps) {
                const WriteShape& shape = *s.shape;
                params.resize(shape.setColumns.size() + shape.whereColumns.size());
                std::size_t used = 0;
                for (int c : shape.setColumns) {
                    WriteParam& wp = params[used++];
                    wp.value = s.pending->values[c];  // the pending value stays in case the batch fails
                    wp.column = &data.columns[c];
                }
                for (int c : shape.whereColumns) {
                    ValueView v = data.rows.cell(s.row, c);
                    if (v.isNull()) continue;
                    WriteParam& wp = params[used++];
                    if (data.textCells && v.kind == ValueKind::Text) {
                        wp.value = typedFromText(v.bytes, data.columns[c].info.type);
                    } else {
                        wp.value.kind = v.kind;
                        wp.value.integer = v.integer;
                        wp.value.real = v.real;
                        wp.value.bytes.assign(v.bytes);
                    }
                    wp.column = &data.columns[c];
                }
                params.resize(used);
                std::int64_t n = b.write(shape.sql, params);  // may take the values out of params
                if (n <= 0) {  // no count at all is no proof the row was found
                    throw DbError::conflict("无法保存更改：表 '" + *s.table + "' 中 " + keyText(s) +
                                            " 的行自读取以来已被其他用户修改或删除。本批更改均未保存，仍保留在记录集中，"
                                            "可以全部取消后重新读取。");
                }
                if (n > 1) {
                    throw DbError::client("无法保存更改：表 '" + *s.table + "' 中与 " + keyText(s) +
                                          " 相同的行不止一行（该表没有主键，无法唯一确定要更改的行）。本批更改均未保存。");
                }
            }
            b.commit();
        } catch (...) {
            b.rollback();
            throw;
        }
    }
    applySaved();
}

void Recordset::Impl::applySaved() {
    std::vector<ValueView> cells(columns());
    std::vector<std::string> texts(columns());
    for (auto& [row, p] : pending) {
        if (p.deleted) {
            removed.insert(std::lower_bound(removed.begin(), removed.end(), row), row);
            continue;
        }
        if (!p.modified()) continue;
        for (int c = 0; c < columns(); ++c) {
            if (p.changed[c]) {
                const Value& v = p.values[c];
                if (data.textCells && !v.isNull()) {
                    texts[c] = engine::formatValue(v.view(), data.columns[c].info.type, "");
                    cells[c] = ValueView{ValueKind::Text, 0, 0.0, texts[c]};
                } else {
                    cells[c] = v.view();
                }
            } else {
                cells[c] = data.rows.cell(row, c);
            }
        }
        data.rows.replace(row, cells);
    }
    pending.clear();
    rebuildHidden();
}

// ---- Recordset -------------------------------------------------------------------

Recordset::Recordset() : impl_(new Impl) {}
Recordset::~Recordset() { delete impl_; }

void Recordset::setLockType(LockType t) {
    if (impl_->open) throw DbError::client(msg::kOpenObject);
    impl_->lock = t;
}
LockType Recordset::lockType() const { return impl_->lock; }

void Recordset::open(const std::string& sql, Connection& cnn) {
    if (impl_->open) throw DbError::client(msg::kOpenObject);
    std::shared_ptr<Backend> held = cnn.sharedBackend();
    Backend& b = *held;
    impl_->clearRows();
    impl_->info.clear();
    QueryResult result;
    try {
        b.query(sql, result);
    } catch (...) {
        impl_->info = std::move(result.info);
        throw;
    }
    impl_->info = std::move(result.info);
    if (!result.hasRows) return;
    impl_->data = std::move(result);
    impl_->backend = held;
    impl_->open = true;
    impl_->pos = 0;
}

void Recordset::close() {
    impl_->requireOpen();
    impl_->clearRows();
    impl_->open = false;
    impl_->backend.reset();
}

bool Recordset::isOpen() const { return impl_->open; }

// A row just deleted stays current, neither BOF nor EOF, until the next move (as in
// ADO), so that "delete, move next" works on the last remaining row too.
bool Recordset::eof() const {
    impl_->requireOpen();
    if (impl_->onDeletedRow()) return false;
    return impl_->visibleCount() == 0 || impl_->pos >= static_cast<std::ptrdiff_t>(impl_->n());
}

bool Recordset::bof() const {
    impl_->requireOpen();
    if (impl_->onDeletedRow()) return false;
    return impl_->visibleCount() == 0 || impl_->pos < 0;
}

std::int64_t Recordset::recordCount() const {
    impl_->requireOpen();
    return static_cast<std::int64_t>(impl_->visibleCount());
}

void Recordset::moveFirst() {
    impl_->requireOpen();
    std::ptrdiff_t a = 0, n = impl_->n();
    while (a < n && impl_->isHidden(a)) ++a;
    impl_->pos = a;
}

void Recordset::moveLast() {
    impl_->requireOpen();
    std::ptrdiff_t a = static_cast<std::ptrdiff_t>(impl_->n()) - 1;
    while (a >= 0 && impl_->isHidden(a)) --a;
    impl_->pos = a < 0 ? static_cast<std::ptrdiff_t>(impl_->n()) : a;
}

void Recordset::moveNext() {
    if (eof()) throw DbError::client(msg::kNoCurrentRecord);
    std::ptrdiff_t a = impl_->pos + 1, n = impl_->n();
    while (a < n && impl_->isHidden(a)) ++a;
    impl_->pos = a;
}

void Recordset::movePrevious() {
    if (bof()) throw DbError::client(msg::kNoCurrentRecord);
    std::ptrdiff_t a = std::min<std::ptrdiff_t>(impl_->pos, impl_->n()) - 1;
    while (a >= 0 && impl_->isHidden(a)) --a;
    impl_->pos = a;
}

int Recordset::fieldCount() const {
    impl_->requireOpen();
    return impl_->columns();
}

const FieldInfo& Recordset::fieldInfo(int index) const {
    impl_->requireOpen();
    impl_->requireColumn(index);
    return impl_->data.columns[index].info;
}

int Recordset::fieldIndex(std::string_view name) const {
    if (!impl_->open) return -1;
    for (int c = 0; c < impl_->columns(); ++c)
        if (equalsIgnoreCase(impl_->data.columns[c].info.name, name)) return c;
    return -1;
}

Value Recordset::field(int index) const {
    impl_->requireCurrent();
    impl_->requireColumn(index);
    return impl_->value(impl_->pos, index);
}

Value Recordset::field(std::string_view name) const {
    impl_->requireOpen();
    return field(fieldIndex(name));
}

std::string Recordset::fieldText(int index) const {
    impl_->requireCurrent();
    impl_->requireColumn(index);
    return impl_->text(impl_->pos, index);
}

std::string Recordset::fieldText(std::string_view name) const {
    impl_->requireOpen();
    return fieldText(fieldIndex(name));
}

void Recordset::setField(int index, const Value& v) {
    impl_->requireUpdatable();
    impl_->requireCurrent();
    impl_->requireColumn(index);
    impl_->set(impl_->pos, index, v);
    if (impl_->immediate()) impl_->updateBatch();
}

void Recordset::deleteCurrent() {
    impl_->requireUpdatable();
    impl_->requireCurrent();
    Pending& p = impl_->pending[impl_->pos];
    if (p.values.empty()) {
        p.values.resize(impl_->columns());
        p.changed.assign(impl_->columns(), 0);
    }
    p.deleted = true;
    impl_->rebuildHidden();
    if (impl_->immediate()) impl_->updateBatch();
}

void Recordset::updateBatch() { impl_->updateBatch(); }

void Recordset::cancelBatch() {
    impl_->requireOpen();
    impl_->pending.clear();
    impl_->rebuildHidden();
}

bool Recordset::hasPendingChanges() const { return impl_->open && !impl_->pending.empty(); }

RowStatus Recordset::status() const {
    impl_->requireOpen();
    if (impl_->pos < 0 || static_cast<std::size_t>(impl_->pos) >= impl_->n())
        throw DbError::client(msg::kNoCurrentRecord);
    auto it = impl_->pending.find(impl_->pos);
    if (it == impl_->pending.end()) return RowStatus::Unchanged;
    if (it->second.deleted) return RowStatus::Deleted;
    return it->second.modified() ? RowStatus::Modified : RowStatus::Unchanged;
}

const std::vector<InfoMessage>& Recordset::infoMessages() const { return impl_->info; }

std::size_t Recordset::storageBytes() const { return impl_->data.rows.bytes(); }

// ---- GridSource ------------------------------------------------------------------

int Recordset::rowCount() const { return impl_->open ? static_cast<int>(impl_->visibleCount()) : 0; }

int Recordset::columnCount() const { return impl_->open ? impl_->columns() : 0; }

std::string Recordset::columnName(int column) const {
    impl_->requireOpen();
    impl_->requireColumn(column);
    return impl_->data.columns[column].info.name;
}

Value Recordset::value(int row, int column) const {
    impl_->requireOpen();
    impl_->requireColumn(column);
    return impl_->value(impl_->actualOf(row), column);
}

std::string Recordset::displayText(int row, int column) const {
    impl_->requireOpen();
    impl_->requireColumn(column);
    return impl_->text(impl_->actualOf(row), column);
}

void Recordset::setCell(int row, int column, const std::string& text) {
    impl_->requireUpdatable();
    impl_->requireColumn(column);
    std::size_t r = impl_->actualOf(row);
    impl_->pos = static_cast<std::ptrdiff_t>(r);
    // An emptied cell of a number or date column is NULL; of a text column, the empty text.
    Value v = text.empty() && !impl_->data.columns[column].info.type.isCharacter() ? Value::null() : Value::fromText(text);
    impl_->set(r, column, v);
    if (impl_->immediate()) impl_->updateBatch();
}

int Recordset::currentRow() const {
    if (!impl_->hasCurrent()) return -1;
    return impl_->visibleOf(impl_->pos);
}

void Recordset::setCurrentRow(int row) {
    impl_->requireOpen();
    if (row < 0) impl_->pos = -1;
    else if (static_cast<std::size_t>(row) >= impl_->visibleCount()) impl_->pos = impl_->n();
    else impl_->pos = impl_->actualOf(row);
}

RowStatus Recordset::rowStatus(int row) const {
    impl_->requireOpen();
    std::size_t r = impl_->actualOf(row);
    auto it = impl_->pending.find(r);
    if (it == impl_->pending.end()) return RowStatus::Unchanged;
    return it->second.modified() ? RowStatus::Modified : RowStatus::Unchanged;
}

}  // namespace quillmere::db
