#include "db/RowStore.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillmere::db {
namespace {

using engine::Value;
using engine::ValueView;

TEST(RowStore, ValuesRoundTripAcrossEncodings) {
    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    const std::int64_t small = std::numeric_limits<std::int64_t>::min();
    std::vector<Value> values = {
        Value::null(),           Value::fromInteger(0),     Value::fromInteger(-1),      Value::fromInteger(127),
        Value::fromInteger(128), Value::fromInteger(-129),  Value::fromInteger(1 << 23), Value::fromInteger(-(1LL << 40)),
        Value::fromInteger(big), Value::fromInteger(small), Value::fromReal(-0.5),       Value::fromReal(75.25),
        Value::fromText(""),     Value::fromText("学生"),   Value::fromText(std::string(63, 'a')),
        Value::fromText(std::string(64, 'b')),              Value::fromText(std::string(100000, 'c')),
        Value::fromBlob(std::string("\0\1\2", 3)),          Value::fromBlob(""),
    };
    RowStore store;
    store.setColumns(static_cast<int>(values.size()));
    std::vector<ValueView> views;
    for (const auto& v : values) views.push_back(v.view());
    for (int r = 0; r < 3; ++r) store.append(views);
    ASSERT_EQ(store.size(), 3u);
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < values.size(); ++c)
            EXPECT_EQ(Value::from(store.cell(r, static_cast<int>(c))), values[c]) << "row " << r << " column " << c;
}

TEST(RowStore, ManyRowsStayAddressableAndReplaceKeepsOthers) {
    RowStore store;
    store.setColumns(2);
    const int n = 50000;  // crosses several index blocks and chunks
    for (int i = 0; i < n; ++i) {
        std::string t = "row" + std::to_string(i);
        Value a = Value::fromInteger(i), b = Value::fromText(t);
        ValueView cells[] = {a.view(), b.view()};
        store.append(cells);
    }
    Value x = Value::fromText(std::string(600000, 'x'));  // larger than a chunk
    Value y = Value::null();
    ValueView repl[] = {y.view(), x.view()};
    store.replace(1234, repl);
    EXPECT_TRUE(store.cell(1234, 0).isNull());
    EXPECT_EQ(store.cell(1234, 1).bytes.size(), 600000u);
    for (int i : {0, 1233, 1235, 4095, 4096, n - 1}) {
        EXPECT_EQ(store.cell(i, 0).integer, i);
        EXPECT_EQ(store.cell(i, 1).bytes, "row" + std::to_string(i));
    }
    // Compact: well under 16 bytes a row for (int, short text) plus the index.
    EXPECT_LT(store.bytes(), static_cast<std::size_t>(n) * 24 + 600000 + (2 << 20));
    store.clear();
    EXPECT_EQ(store.size(), 0u);
    EXPECT_EQ(store.bytes(), 0u);
}

}  // namespace
}  // namespace quillmere::db
