// Whatever a user types reaches these functions: random bytes and extreme values
// must give a value or a server error, never a crash or a hang.
#include "engine/Convert.h"
#include "engine/Format.h"
#include "engine/types/DateTime.h"
#include "engine/types/Text.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillmere::engine;

namespace {

std::string randomText(std::mt19937& rng) {
    static const std::string pieces[] = {"1", "9", "0", ".", "-", "+", " ", ":", "/", "T", "e", "AM", "张", "%", "_",
                                         "[", "]", "^", "\xff", "\xe4\xb8", "1986", "10", "31", "2", "\t", ",", "$"};
    std::string s;
    int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) s += pieces[rng() % std::size(pieces)];
    if (rng() % 8 == 0) s.append(static_cast<std::size_t>(rng() % 300), static_cast<char>(rng() % 256));
    return s;
}

}  // namespace

TEST(GarbageInputTest, ConversionsAndTextFunctionsSurviveRandomInput) {
    std::mt19937 rng(12345);
    const char* types[] = {"int", "tinyint", "bigint", "bit", "numeric(5,2)", "numeric(38,10)", "money", "float",
                           "real", "datetime", "smalldatetime", "date", "time", "datetime2", "char(3)",
                           "varchar(5)", "nvarchar(2)", "varbinary(4)", "uniqueidentifier"};
    const Value extremes[] = {Value::fromInteger(INT64_MIN), Value::fromInteger(INT64_MAX), Value::fromReal(1e308),
                              Value::fromReal(-1e308), Value::fromReal(std::nan("")), Value::fromReal(INFINITY),
                              Value::fromReal(5e-324), Value::fromBlob(std::string("\0\1", 2))};
    int values = 0, errors = 0;
    for (int i = 0; i < 4000; ++i) {
        Value v = i % 10 == 0 ? extremes[static_cast<std::size_t>(i / 10) % std::size(extremes)]
                              : Value::fromText(randomText(rng));
        SqlType to = SqlType::parse(types[rng() % std::size(types)]).value();
        auto ctx = static_cast<ConversionContext>(rng() % 5);
        auto r = convertValue(v, SqlType{}, to, ctx);
        if (auto* m = std::get_if<Message>(&r)) {
            EXPECT_GT(m->severity, 10);
            EXPECT_FALSE(m->text.empty());
            ++errors;
        } else {
            formatValue(std::get<Value>(r).view(), to);
            ++values;
        }
        std::string a = randomText(rng), b = randomText(rng);
        int ab = compareText(a, b), ba = compareText(b, a);
        EXPECT_EQ(ab < 0, ba > 0) << a << " | " << b;
        EXPECT_EQ(compareText(a, a), 0);
        types::likeMatch(a, b, rng() % 2 ? U'!' : 0, rng() % 2);
        lengthInCodePageBytes(a);
        types::upperText(a);
        types::DateTimeParts p;
        types::parseDateTime(a, p);
    }
    EXPECT_GT(values, 100);
    EXPECT_GT(errors, 100);
}
