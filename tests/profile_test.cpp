// SPDX-License-Identifier: MIT
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace nebelkamm;

struct Lookup {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    std::optional<std::string> value;
};

// Named rows keep GoogleTest from dumping the bytes of each parameter.
void PrintTo(const Lookup& c, std::ostream* os) {
    *os << c.name;
}

class ProfileLookupTable : public ::testing::TestWithParam<Lookup> {};

TEST_P(ProfileLookupTable, Reads) {
    const Lookup& c = GetParam();
    EXPECT_EQ(ProfileLookup(c.content, c.section, c.key), c.value);
}

const std::optional<std::string> none;

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileLookupTable,
    ::testing::Values(
        Lookup{"Plain", "[Input]\nA=1.5\n", "Input", "A", "1.5"},
        Lookup{"CrLf", "[Input]\r\nA=1.5\r\nB=2\r\n", "Input", "B", "2"},
        Lookup{"LoneCr", "[Input]\rA=1.5\rB=2", "Input", "B", "2"},
        Lookup{"NoFinalTerminator", "[Input]\nA=1.5", "Input", "A", "1.5"},
        Lookup{"BlanksTrimmed", "  [ Input ]  \n \t A \v=\t 1.5 \t\n", "Input", "A", "1.5"},
        Lookup{"InnerBlanksKept", "[In put]\nA=1\n", "Input", "A", none},
        Lookup{"HeaderToFirstBracket", "[Input]x]\nA=1\n", "Input", "A", "1"},
        Lookup{"HeaderWithoutBracket", "[Input\nA=1\n", "Input", "A", "1"},
        Lookup{"CaseInsensitive", "[INPUT]\na=1\n", "input", "A", "1"},
        Lookup{"CommentIsNoKey", "[Input]\n;A=1\n  ;A=2\nA=3\n", "Input", "A", "3"},
        Lookup{"HashIsOrdinary", "[Input]\n#A=1\n", "Input", "#A", "1"},
        Lookup{"NoInlineComment", "[Input]\nA=1.5 ;x\n", "Input", "A", "1.5 ;x"},
        Lookup{"SplitAtFirstEquals", "[Input]\nA=b=c\n", "Input", "A", "b=c"},
        Lookup{"LineWithoutEquals", "[Input]\nA\n", "Input", "A", none},
        Lookup{"BeforeFirstHeader", "A=1\n[Input]\n", "Input", "A", none},
        Lookup{"FirstSectionOnly", "[Input]\nB=1\n[Input]\nA=2\n", "Input", "A", none},
        Lookup{"FirstKeyWins", "[Input]\nA=1\nA=2\n", "Input", "A", "1"},
        Lookup{"OtherSectionsIgnored", "[Other]\nA=1\n[Input]\nA=2\n[Third]\nA=3\n", "Input", "A",
               "2"},
        Lookup{"DoubleQuotes", "[Input]\nA=\" 1.5 \"\n", "Input", "A", " 1.5 "},
        Lookup{"SingleQuotes", "[Input]\nA='x'\n", "Input", "A", "x"},
        Lookup{"MismatchedQuotes", "[Input]\nA=\"x'\n", "Input", "A", "\"x'"},
        Lookup{"LoneQuote", "[Input]\nA=\"\n", "Input", "A", "\""},
        Lookup{"EmptyValue", "[Input]\nA=\n", "Input", "A", ""},
        Lookup{"Bom", "\xEF\xBB\xBF[Input]\nA=1\n", "Input", "A", "1"},
        Lookup{"CutTo2047", "[Input]\nA=" + std::string(3000, '7') + "\n", "Input", "A",
               std::string(2047, '7')},
        Lookup{"EmptyFile", "", "Input", "A", none},
        Lookup{"NulBytes", std::string("[Input]\nA=1\0x\n", 14), "Input", "A",
               std::string("1\0x", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

struct Update {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

void PrintTo(const Update& c, std::ostream* os) {
    *os << c.name;
}

class ProfileUpdateTable : public ::testing::TestWithParam<Update> {};

TEST_P(ProfileUpdateTable, WritesOnlyThatValue) {
    const Update& c = GetParam();
    const std::string after = ProfileUpdate(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(ProfileLookup(after, c.section, c.key), std::string(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileUpdateTable,
    ::testing::Values(
        Update{"NewFile", "", "Input", "A", "1", "[Input]\nA=1\n"},
        Update{"ReplaceValue", "[Input]\nA=1\nB=2\n", "Input", "A", "7", "[Input]\nA=7\nB=2\n"},
        Update{"KeepKeySpellingAndBlanks", "[input]\n  a = 1 \r\n", "Input", "A", "7",
               "[input]\n  a = 7\r\n"},
        Update{"EmptyOldValue", "[Input]\nA=\nB=2\n", "Input", "A", "7", "[Input]\nA=7\nB=2\n"},
        Update{"KeepCommentsAndOrder",
               "; top\n[Other]\nX=1\n\n[Input]\n; note\nB=2\nA=1 ;x\n\n; tail\n", "Input", "A", "7",
               "; top\n[Other]\nX=1\n\n[Input]\n; note\nB=2\nA=7\n\n; tail\n"},
        Update{"InsertAfterLastKey", "[Input]\nA=1\n; tail\n\n[Next]\n", "Input", "B", "2",
               "[Input]\nA=1\nB=2\n; tail\n\n[Next]\n"},
        Update{"InsertAfterHeaderWhenNoKeys", "[Input]\n; c\n", "Input", "B", "2",
               "[Input]\nB=2\n; c\n"},
        Update{"InsertIntoUnterminatedLastLine", "[Input]\nA=1", "Input", "B", "2",
               "[Input]\nA=1\nB=2"},
        Update{"AppendSection", "[Other]\nX=1\n", "Input", "A", "1",
               "[Other]\nX=1\n[Input]\nA=1\n"},
        Update{"AppendSectionAfterUnterminated", "[Other]\r\nX=1", "Input", "A", "1",
               "[Other]\r\nX=1\r\n[Input]\r\nA=1\r\n"},
        Update{"CrLfFile", "[Input]\r\nA=1\r\n", "Input", "B", "2", "[Input]\r\nA=1\r\nB=2\r\n"},
        Update{"FirstSectionOfTheName", "[Input]\nA=1\n[Input]\nB=2\n", "Input", "B", "3",
               "[Input]\nA=1\nB=3\n[Input]\nB=2\n"},
        Update{"TextBeforeHeaderKept", "junk=1\n[Input]\n", "Input", "junk", "2",
               "junk=1\n[Input]\njunk=2\n"},
        Update{"BomKept", "\xEF\xBB\xBF[Input]\nA=1\n", "Input", "A", "2",
               "\xEF\xBB\xBF[Input]\nA=2\n"},
        Update{"QuotedValueReplaced", "[Input]\nA=\"1\"\n", "Input", "A", "2", "[Input]\nA=2\n"},
        // Found by fuzzing: a lone CR would join the LF of the blank line after it.
        Update{"LoneCrBeforeBlankLine", "x\r[Input]\n\n", "Input", "A", "2",
               "x\r[Input]\nA=2\r\n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Arbitrary bytes never crash the reader or the writer, and a write always
// leaves a file in which the written value reads back.
TEST(Profile, RandomBytesAreHandled) {
    std::mt19937 rng(7);
    const std::string alphabet = "[]=;\"' \t\v\r\nAaInput0123.\xEF\xBB\xBF";
    for (int i = 0; i < 20000; ++i) {
        std::string content;
        const int len = static_cast<int>(rng() % 60);
        for (int k = 0; k < len; ++k)
            content += (rng() % 8) ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng());
        ProfileLookup(content, "Input", "A");
        const std::string after = ProfileUpdate(content, "Input", "A", "42");
        ASSERT_EQ(ProfileLookup(after, "Input", "A"), std::string("42")) << content;
    }
}

// Several keys written in one pass leave exactly the bytes of writing them
// one after the other, and read back as one pass reads them.
TEST(Profile, ManyAtOnceEqualsOneAfterTheOther) {
    std::mt19937 rng(11);
    const std::string alphabet = "[]=;\" \t\r\nAaBbInput0123.\xEF\xBB\xBF";
    const std::vector<std::string_view> names = {"A", "a", "B", "C", "Input"};
    for (int i = 0; i < 20000; ++i) {
        std::string content;
        const int len = static_cast<int>(rng() % 60);
        for (int k = 0; k < len; ++k)
            content += alphabet[rng() % alphabet.size()];
        std::vector<ProfileEntry> entries;
        std::vector<std::string> values;
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < n; ++k)
            values.push_back(std::to_string(rng() % 100));
        for (int k = 0; k < n; ++k)
            entries.push_back({names[rng() % names.size()], values[k]});
        std::string sequential = content;
        for (const ProfileEntry& e : entries)
            sequential = ProfileUpdate(sequential, "Input", e.Key, e.Value);
        ASSERT_EQ(ProfileUpdateMany(content, "Input", entries), sequential) << content;

        std::vector<std::string_view> keys;
        for (const ProfileEntry& e : entries)
            keys.push_back(e.Key);
        const auto many = ProfileLookupMany(sequential, "Input", keys);
        for (size_t k = 0; k < keys.size(); ++k)
            ASSERT_EQ(many[k], ProfileLookup(sequential, "Input", keys[k])) << sequential;
    }
}
