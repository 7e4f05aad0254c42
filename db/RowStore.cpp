#include "db/RowStore.h"

#include <algorithm>
#include <cstring>

namespace quillmere::db {

using engine::ValueKind;
using engine::ValueView;

namespace {

enum : std::uint8_t {
    kNull = 0x00,
    kInt1 = 0x01,  // 0x01..0x08: integer in 1..8 bytes, little-endian, sign-extended
    kReal = 0x09,
    kText = 0x0A,  // LEB128 length, bytes
    kBlob = 0x0B,
    kShortText = 0x40,  // 0x40..0x7F: text of 0..63 bytes
};

int integerBytes(std::int64_t v) {
    int n = 1;
    while (n < 8) {
        std::int64_t lo = -(std::int64_t(1) << (8 * n - 1));
        std::int64_t hi = (std::int64_t(1) << (8 * n - 1)) - 1;
        if (v >= lo && v <= hi) break;
        ++n;
    }
    return n;
}

std::size_t lebSize(std::size_t n) {
    std::size_t s = 1;
    while (n >= 0x80) { n >>= 7; ++s; }
    return s;
}

std::size_t cellSize(const ValueView& v) {
    switch (v.kind) {
    case ValueKind::Null: return 1;
    case ValueKind::Integer: return 1 + integerBytes(v.integer);
    case ValueKind::Real: return 9;
    case ValueKind::Text:
        if (v.bytes.size() < 64) return 1 + v.bytes.size();
        return 1 + lebSize(v.bytes.size()) + v.bytes.size();
    case ValueKind::Blob: return 1 + lebSize(v.bytes.size()) + v.bytes.size();
    }
    return 1;
}

std::uint8_t* putLeb(std::uint8_t* p, std::size_t n) {
    while (n >= 0x80) { *p++ = std::uint8_t(n | 0x80); n >>= 7; }
    *p++ = std::uint8_t(n);
    return p;
}

const std::uint8_t* getLeb(const std::uint8_t* p, std::size_t& n) {
    n = 0;
    int shift = 0;
    while (*p & 0x80) { n |= std::size_t(*p++ & 0x7F) << shift; shift += 7; }
    n |= std::size_t(*p++) << shift;
    return p;
}

std::uint8_t* putCell(std::uint8_t* p, const ValueView& v) {
    switch (v.kind) {
    case ValueKind::Null: *p++ = kNull; break;
    case ValueKind::Integer: {
        int n = integerBytes(v.integer);
        *p++ = std::uint8_t(kInt1 + n - 1);
        std::uint64_t u = std::uint64_t(v.integer);
        for (int i = 0; i < n; ++i) { *p++ = std::uint8_t(u); u >>= 8; }
        break;
    }
    case ValueKind::Real:
        *p++ = kReal;
        std::memcpy(p, &v.real, 8);
        p += 8;
        break;
    case ValueKind::Text:
    case ValueKind::Blob:
        if (v.kind == ValueKind::Text && v.bytes.size() < 64) {
            *p++ = std::uint8_t(kShortText + v.bytes.size());
        } else {
            *p++ = v.kind == ValueKind::Text ? kText : kBlob;
            p = putLeb(p, v.bytes.size());
        }
        if (!v.bytes.empty()) std::memcpy(p, v.bytes.data(), v.bytes.size());
        p += v.bytes.size();
        break;
    }
    return p;
}

// Reads the cell at p into v (when v is given) and returns the next cell.
const std::uint8_t* getCell(const std::uint8_t* p, ValueView* v) {
    std::uint8_t tag = *p++;
    if (tag >= kShortText) {
        std::size_t n = tag - kShortText;
        if (v) { v->kind = ValueKind::Text; v->bytes = {reinterpret_cast<const char*>(p), n}; }
        return p + n;
    }
    if (tag == kNull) {
        if (v) *v = ValueView{};
        return p;
    }
    if (tag <= kInt1 + 7) {
        int n = tag - kInt1 + 1;
        if (v) {
            std::uint64_t u = 0;
            for (int i = 0; i < n; ++i) u |= std::uint64_t(p[i]) << (8 * i);
            if (n < 8 && (p[n - 1] & 0x80)) u |= ~std::uint64_t(0) << (8 * n);
            v->kind = ValueKind::Integer;
            v->integer = std::int64_t(u);
        }
        return p + n;
    }
    if (tag == kReal) {
        if (v) { v->kind = ValueKind::Real; std::memcpy(&v->real, p, 8); }
        return p + 8;
    }
    std::size_t n;
    p = getLeb(p, n);
    if (v) {
        v->kind = tag == kText ? ValueKind::Text : ValueKind::Blob;
        v->bytes = {reinterpret_cast<const char*>(p), n};
    }
    return p + n;
}

}  // namespace

void RowStore::clear() {
    count_ = 0;
    chunks_.clear();
    free_ = nullptr;
    freeLeft_ = 0;
    freeChunkSize_ = 0;
    chunkBytes_ = 0;
    indexBlocks_.clear();
}

std::uint8_t* RowStore::allocate(std::size_t n) {
    if (n > kChunk / 4) {
        // A very large row gets a chunk of its own; the current chunk stays in use.
        chunks_.emplace_back(new std::uint8_t[n]);
        chunkBytes_ += n;
        return chunks_.back().get();
    }
    if (n > freeLeft_) {
        // Chunks grow from 1 KiB to kChunk so that small results stay small.
        std::size_t size = chunks_.empty() ? 1024 : std::min(kChunk, freeChunkSize_ * 2);
        while (size < n) size *= 2;
        chunks_.emplace_back(new std::uint8_t[size]);
        chunkBytes_ += size;
        free_ = chunks_.back().get();
        freeLeft_ = size;
        freeChunkSize_ = size;
    }
    std::uint8_t* p = free_;
    free_ += n;
    freeLeft_ -= n;
    return p;
}

const std::uint8_t* RowStore::write(std::span<const ValueView> cells) {
    std::size_t n = 0;
    for (const auto& c : cells) n += cellSize(c);
    if (n == 0) n = 1;  // a row without columns still needs an address
    std::uint8_t* start = allocate(n);
    std::uint8_t* p = start;
    for (const auto& c : cells) p = putCell(p, c);
    return start;
}

void RowStore::append(std::span<const ValueView> cells) {
    const std::uint8_t* row = write(cells);
    if (count_ % kIndexBlock == 0 && count_ / kIndexBlock == indexBlocks_.size())
        indexBlocks_.emplace_back(new const std::uint8_t*[kIndexBlock]);
    slot(count_) = row;
    ++count_;
}

void RowStore::replace(std::size_t r, std::span<const ValueView> cells) {
    slot(r) = write(cells);
}

ValueView RowStore::cell(std::size_t r, int column) const {
    const std::uint8_t* p = slot(r);
    for (int i = 0; i < column; ++i) p = getCell(p, nullptr);
    ValueView v;
    getCell(p, &v);
    return v;
}

}  // namespace quillmere::db
