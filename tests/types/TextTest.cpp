// Chinese_PRC_CI_AS comparison, code page 936 lengths and LIKE.
#include "engine/Convert.h"
#include "engine/types/Text.h"

#include <gtest/gtest.h>

using namespace quillmere::engine;

TEST(CollationTest, EqualUnderChinesePrcCiAs) {
    struct Case { const char* a; const char* b; };
    for (const Case& c : {Case{"abc", "ABC"}, Case{"abc", "abc   "}, Case{"2001001", "2001001 "},
                          Case{"ＡＢＣ", "abc"}, Case{"１２３", "123"}, Case{"张三", "张三  "}, Case{"", "   "},
                          Case{"Admin", "admin"}, Case{"ab　", "ab"}})
        EXPECT_EQ(compareText(c.a, c.b), 0) << c.a << " | " << c.b;
}

TEST(CollationTest, DifferentAndOrdered) {
    struct Case { const char* lo; const char* hi; };
    for (const Case& c : {Case{"a", "b"}, Case{"A", "b"}, Case{"a", "á"}, Case{"abc", "abcd"}, Case{" a", "a"},
                          Case{"2001001", "2001002"}, Case{"9", "a"}, Case{"z", "张"},
                          // Chinese characters of GB2312 level 1 sort by pinyin.
                          Case{"a_", "ab"}, Case{"A_", "ab"}, Case{"ａ_", "AB"}, Case{"安", "白"}, Case{"李", "王"}, Case{"王", "张"}, Case{"ab", "ab c"}}) {
        EXPECT_LT(compareText(c.lo, c.hi), 0) << c.lo << " < " << c.hi;
        EXPECT_GT(compareText(c.hi, c.lo), 0) << c.hi << " > " << c.lo;
    }
}

TEST(CollationTest, CodePageLengths) {
    EXPECT_EQ(lengthInCodePageBytes("abc"), 3);
    EXPECT_EQ(lengthInCodePageBytes("张三"), 4);
    EXPECT_EQ(lengthInCodePageBytes("计算机科学与技术"), 16);
    EXPECT_EQ(lengthInCodePageBytes("a张"), 3);
    EXPECT_EQ(lengthInCodePageBytes(""), 0);
    // A malformed byte counts once and does not derail the rest.
    EXPECT_EQ(lengthInCodePageBytes("\xff" "ab"), 4);
}

TEST(LikeTest, PatternsUnderTheCollation) {
    struct Case { const char* value; const char* pattern; bool unicode; bool match; };
    const Case cases[] = {
        {"Robert King", "% King", false, true},
        {"Robert King   ", "% King", false, true},   // trailing blanks of the value ignored
        {"Robert King   ", "% King", true, false},   // ... but not for Unicode data
        {"abc", "abc ", false, false},               // the pattern's blanks count
        {"ABC", "a%", false, true},
        {"张三丰", "张%", false, true},
        {"张三丰", "_三_", false, true},
        {"张三丰", "张_", false, false},
        {"b", "[a-c]", false, true},
        {"d", "[a-c]", false, false},
        {"d", "[^a-c]", false, true},
        {"50%", "50[%]", false, true},
        {"50x", "50[%]", false, false},
        {"a_b", "a!_b", false, false},
        {"", "%", false, true},
        {"abc", "%%%c", false, true},
        {"mississippi", "%iss%ipp%", false, true},
        {"[x", "[x", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(types::likeMatch(c.value, c.pattern, 0, c.unicode), c.match) << c.value << " LIKE " << c.pattern;
    EXPECT_TRUE(types::likeMatch("a_b", "a!_b", '!', false));
    EXPECT_FALSE(types::likeMatch("axb", "a!_b", '!', false));
}

TEST(LikeTest, LongInputsFinish) {
    std::string value(20000, 'a');
    std::string pattern = "%" + std::string(50, 'a') + "%b";
    EXPECT_FALSE(types::likeMatch(value, pattern, 0, false));
}
