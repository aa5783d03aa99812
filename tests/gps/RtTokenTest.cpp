#include "RtToken.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Tokens = std::vector<std::string>;

// First, then Next until the first empty result, then two more calls that
// must stay empty.
Tokens drain(TRtTokenList& list) {
    Tokens tokens;
    for (std::string t = list.First(); !t.empty(); t = list.Next()) {
        tokens.push_back(t);
        if (tokens.size() > 1000) {
            ADD_FAILURE() << "no end of tokens";
            break;
        }
    }
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.Next(), "");
    return tokens;
}

struct SplitRow {
    const char* name;
    const char* delimiters; // nullptr: the default set
    std::string text;
    Tokens expected;
};

class Split : public testing::TestWithParam<SplitRow> {};

TEST_P(Split, GivesTokensThenEmptyTexts) {
    const SplitRow& row = GetParam();
    TRtTokenList list(row.text.c_str());
    if (row.delimiters != nullptr) {
        list.SetDelimiters(row.delimiters);
    }
    EXPECT_EQ(drain(list), row.expected);
    EXPECT_EQ(list.tokensFound(), row.expected);
}

const SplitRow splitRows[] = {
    {"ThreeFields", ",", "a,b,c", {"a", "b", "c"}},
    {"EmptyFieldVanishes", ",", "a,,b", {"a", "b"}},
    {"LeadingAndTrailing", ",", ",a,", {"a"}},
    {"OnlyDelimiters", ",", ",,,", {}},
    {"EmptyText", ",", "", {}},
    {"StarAndCarriageReturnStayInToken", ",", "A*1F\r", {"A*1F\r"}},
    {"FiveEmptyGllFields", ",", "$GPGLL,,,,,,V", {"$GPGLL", "V"}},
    {"CommaOnlyKeepsSpacesAndSemicolons", ",", "a b;c,d", {"a b;c", "d"}},
    {"EmptySetGivesWholeText", "", "a, b+c", {"a, b+c"}},
    {"ExactBytesNoCaseFolding", "a", "AaBab", {"A", "B", "b"}},
    {"HighBytes",
     "\xB0",
     "12\xB0"
     "34\xB4\xB0",
     {"12", "34\xB4"}},
    {"DefaultExpression", nullptr, "x = (a+b)*2", {"x", "a", "b", "2"}},
    {"DefaultQuoteIsPlainDelimiter", nullptr, "\"a b\"c", {"a", "b", "c"}},
    {"DefaultControlCharacters", nullptr, "a\tb\nc\rd", {"a", "b", "c", "d"}},
    {"DefaultKeepsOtherPunctuation", nullptr, "a.b!c<d>e?f", {"a.b!c<d>e?f"}},
};

INSTANTIATE_TEST_SUITE_P(Table, Split, testing::ValuesIn(splitRows),
                         [](const testing::TestParamInfo<SplitRow>& info) {
                             return std::string(info.param.name);
                         });

TEST(RtTokenList, EachDefaultDelimiterSplits) {
    const std::string set = DefaultDelimiters;
    ASSERT_EQ(set.size(), 22u);
    for (char c : set) {
        const std::string text = std::string("a") + c + "b";
        TRtTokenList list(text.c_str());
        EXPECT_EQ(drain(list), (Tokens{"a", "b"})) << "delimiter code " << int(c);
    }
}

TEST(RtTokenList, FirstRestartsAndReleasesTokensFound) {
    const char* text = "p,q,r";
    TRtTokenList list(text);
    list.SetDelimiters(",");
    EXPECT_EQ(list.First(), "p");
    EXPECT_EQ(list.Next(), "q");
    EXPECT_EQ(list.tokensFound(), (Tokens{"p", "q"}));
    EXPECT_EQ(list.First(), "p");
    EXPECT_EQ(list.tokensFound(), (Tokens{"p"}));
    list.Reset();
    EXPECT_TRUE(list.tokensFound().empty());
    EXPECT_EQ(list.Next(), "p");
}

TEST(RtTokenList, SetTextAndSetDelimitersStartOver) {
    TRtTokenList list("a b");
    EXPECT_EQ(list.First(), "a");
    list.SetText("c d");
    EXPECT_TRUE(list.tokensFound().empty());
    EXPECT_EQ(list.Next(), "c");
    list.SetDelimiters(",");
    EXPECT_TRUE(list.tokensFound().empty());
    EXPECT_EQ(list.Next(), "c d");
}

TEST(RtTokenList, ReturnedTokenIsTheCallersCopy) {
    TRtTokenList list("one two");
    std::string token = list.First();
    token[0] = 'X';
    EXPECT_EQ(list.tokensFound().front(), "one");
}

TEST(RtTokenList, AbsentTextIsRefusedAndKeepsTheOldOne) {
    EXPECT_THROW(TRtTokenList(nullptr), std::invalid_argument);
    TRtTokenList list("kept");
    EXPECT_THROW(list.SetText(nullptr), std::invalid_argument);
    EXPECT_EQ(list.First(), "kept");
}

TEST(RtTokenList, DelimiterSetLimitedTo63Characters) {
    // 63 distinct characters, "!" (33) to "_" (95): all fit and all split.
    std::string set;
    for (char c = '!'; c <= '_'; ++c) {
        set += c;
    }
    ASSERT_EQ(set.size(), 63u);
    TRtTokenList list("a_b!c");
    list.SetDelimiters(set.c_str());
    EXPECT_EQ(drain(list), (Tokens{"a", "b", "c"}));

    const std::string tooLong = set + "`";
    EXPECT_THROW(list.SetDelimiters(tooLong.c_str()), std::length_error);
    EXPECT_THROW(list.SetDelimiters(nullptr), std::invalid_argument);
    // The refused sets left the previous one in place.
    EXPECT_EQ(drain(list), (Tokens{"a", "b", "c"}));
}

TEST(RtTokenList, HugeDelimiterTextIsRefused) {
    const std::string huge(100000, ',');
    TRtTokenList list("a,b");
    EXPECT_THROW(list.SetDelimiters(huge.c_str()), std::length_error);
}

} // namespace
