// Values as they cross the engine's boundary: bound parameters going in,
// result cells coming out.
//
// Storage convention in the SQLite file (every part of the engine relies on it):
//   bit, tinyint, smallint, int, bigint      INTEGER
//   numeric(p,0) with p <= 18                INTEGER
//   numeric(p,s) with s > 0, money, float    REAL (shown with the declared scale)
//   char, varchar, nchar, nvarchar, text     TEXT, UTF-8; char(n)/nchar(n) stored padded with blanks
//   datetime                                 TEXT 'yyyy-mm-dd hh:mi:ss.mmm'
//   smalldatetime                            TEXT 'yyyy-mm-dd hh:mi:00'
//   date / time / datetime2                  TEXT in their display form
//   binary, varbinary                        BLOB
// Lengths of char/varchar are counted in code page 936 bytes: every character
// above U+007F takes two bytes, as on a Chinese_PRC_CI_AS server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere::engine {

enum class ValueKind : std::uint8_t { Null, Integer, Real, Text, Blob };

// A borrowed cell: valid only until the producer moves to the next row.
struct ValueView {
    ValueKind kind = ValueKind::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string_view bytes;  // Text (UTF-8) or Blob

    bool isNull() const { return kind == ValueKind::Null; }
};

// An owned value.
struct Value {
    ValueKind kind = ValueKind::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string bytes;  // Text (UTF-8) or Blob

    static Value null() { return {}; }
    static Value fromInteger(std::int64_t v) { Value x; x.kind = ValueKind::Integer; x.integer = v; return x; }
    static Value fromReal(double v) { Value x; x.kind = ValueKind::Real; x.real = v; return x; }
    static Value fromText(std::string v) { Value x; x.kind = ValueKind::Text; x.bytes = std::move(v); return x; }
    static Value fromBlob(std::string v) { Value x; x.kind = ValueKind::Blob; x.bytes = std::move(v); return x; }
    static Value from(const ValueView& v) {
        Value x; x.kind = v.kind; x.integer = v.integer; x.real = v.real; x.bytes.assign(v.bytes); return x;
    }

    bool isNull() const { return kind == ValueKind::Null; }
    ValueView view() const { return ValueView{kind, integer, real, bytes}; }
    friend bool operator==(const Value&, const Value&) = default;
};

}  // namespace quillmere::engine
