#include "settings/general_wstxt.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

const char *const AddMonitor = "AddMonitor(ScanRate=2,BarSize=2,HBars=1,VBars=0)";

struct ArgumentRow {
    const char *edge;
    const char *line;
    int32_t n;
    bool trim;
    const char *expected;
};

void PrintTo(const ArgumentRow &row, std::ostream *os)
{
    *os << row.edge;
}

class GetArgumentTest : public testing::TestWithParam<ArgumentRow> {};

TEST_P(GetArgumentTest, GivesTheNthArgument)
{
    const ArgumentRow &row = GetParam();
    EXPECT_EQ(GetArgument(row.n, QString::fromUtf8(row.line), row.trim),
              QString::fromUtf8(row.expected));
}

const ArgumentRow ArgumentRows[] = {{"Only", "Config(Activate=1)", 1, false, "Activate=1"},
                                    {"PastOnly", "Config(Activate=1)", 2, false, ""},
                                    {"Zero", "Config(Activate=1)", 0, false, ""},
                                    {"Third", AddMonitor, 3, false, "HBars=1"},
                                    {"Last", AddMonitor, 4, false, "VBars=0"},
                                    {"PastLast", AddMonitor, 5, true, ""},
                                    {"EmptyList", "Config()", 1, false, ""},
                                    {"NoList", "Config", 1, false, ""},
                                    {"CloseBeforeOpen", "f)a,b(", 1, false, ""},
                                    {"BlanksKept", "f( a b ,c)", 1, false, " a b "},
                                    {"BlanksTrimmed", "f( a b ,c)", 1, true, "a b"},
                                    {"OnlyBlanksTrimmed", "f(   ,c)", 1, true, ""},
                                    {"TabIsNoBlank", "f(\ta\t,c)", 1, true, "\ta\t"},
                                    {"EmptyBetweenCommas", "f(a,,b)", 2, false, ""},
                                    {"EmptyAfterQuoted", "f(\"x\",,b)", 2, false, ""},
                                    {"AfterQuotedAndEmpty", "f(\"x\",,b)", 3, false, "b"},
                                    {"QuotedComma", "Note(\"a,b\",c)", 1, false, "a,b"},
                                    {"AfterQuotedComma", "Note(\"a,b\",c)", 2, false, "c"},
                                    {"AfterClosingQuoteDropped", "f(\"ab\"cd,e)", 1, false, "ab"},
                                    {"AfterDroppedText", "f(\"ab\"cd,e)", 2, false, "e"},
                                    {"UnclosedQuoteKeepsMark", "f(\"abc)", 1, false, "\"abc"},
                                    {"UnclosedQuoteTakesCommas", "f(\"a,b)", 2, false, ""},
                                    {"AfterEmptyQuoted", "f(\"\",b)", 2, false, "b"},
                                    {"QuotedTrimmed", "f(\" a \",b)", 1, true, "a"},
                                    {"QuoteInValue", "f(k=\"x,y\",b)", 1, false, "k=\"x"},
                                    {"QuoteInValueSecond", "f(k=\"x,y\",b)", 2, false, "y\""},
                                    {"QuoteAfterBlank", "f( \"a,b\")", 2, false, "b\""},
                                    {"InnerParentheses", "f(a(1),b)", 1, false, "a(1)"},
                                    {"LastParenthesisCloses", "f(a)b)", 1, false, "a)b"},
                                    {"CommaAfterListIgnored", "f(a,b) x,y", 2, false, "b"},
                                    {"TextAfterListIsNoArgument", "f(a,b) x,y", 3, false, ""}};

INSTANTIATE_TEST_SUITE_P(Rows, GetArgumentTest, testing::ValuesIn(ArgumentRows),
                         [](const testing::TestParamInfo<ArgumentRow> &row) {
                             return std::string(row.param.edge);
                         });

TEST(CountArguments, CountsCommasByItsOwnQuoteRule)
{
    const struct {
        const char *line;
        int32_t count;
    } rows[] = {{"", 1},
                {"Config", 1},
                {"Config()", 1},
                {"Config(Activate=1)", 1},
                {AddMonitor, 4},
                {"Note(\"a,b\",c)", 2},
                {"f(\"\",b)", 2},
                {"f(\"x\",,b)", 3},
                {"f(k=\"x,y\",b)", 3},
                {"f(a,b) x,y", 3},
                {",f(a)", 2},
                {"a,b,", 3},
                {"x\"a,b,", 2},
                {"\"a,b\",c", 2},
                {"f(a,\"b,c\",d)", 3},
                {"f(a(\"b,c\"),d)", 2},
                {"f(\"a\"\",b)", 2}};
    for (const auto &row : rows)
        EXPECT_EQ(CountArguments(QString::fromUtf8(row.line)), row.count) << row.line;
}

TEST(ArgumentReader, AgreesWithGetArgumentForEveryN)
{
    for (const char *text : {AddMonitor, "f(\"a,b)", "f(\"ab\"cd,e,\"\",)", "Config()", "x"}) {
        const QString line = QString::fromUtf8(text);
        ArgumentReader reader(line);
        QStringView argument;
        int32_t n = 0;
        while (reader.Next(argument))
            EXPECT_EQ(argument.toString(), GetArgument(++n, line, false)) << text << " " << n;
        EXPECT_EQ(GetArgument(n + 1, line, false), QString()) << text;
    }
}

TEST(IsDataLine, OnlyTheFirstByteMakesAComment)
{
    for (const char *line : {"", "/", "//x", "#", "#x", ";", ";x"})
        EXPECT_FALSE(IsDataLine(line)) << line;
    for (const char *line : {" //", "   ", "a", "\t#", "\xC3\xA4"})
        EXPECT_TRUE(IsDataLine(line)) << line;
}

TEST(StartsWith, CaseSensitivePrefixOfNonEmptyTexts)
{
    EXPECT_FALSE(StartsWith("", ""));
    EXPECT_FALSE(StartsWith("abc", ""));
    EXPECT_FALSE(StartsWith("", "a"));
    EXPECT_FALSE(StartsWith("ab", "abc"));
    EXPECT_FALSE(StartsWith("Config(", "config"));
    EXPECT_TRUE(StartsWith("config(", "config"));
    EXPECT_TRUE(StartsWith("abc", "abc"));
}

TEST(PosFrom, OneBasedSearchFromStart)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"
                                            "b");
    const struct {
        QString pattern, text;
        int32_t start, position;
    } rows[] = {{"b", "abcb", 1, 2},  {"b", "abcb", 3, 4},
                {"b", "abcb", 5, 0},  {"cb", "abcb", 3, 3},
                {"cb", "abcb", 4, 0}, {"", "abc", 1, 0},
                {"a", "", 1, 0},      {"abcd", "abc", 1, 0},
                {"a", "aaa", 0, 1},   {"a", "aaa", std::numeric_limits<int32_t>::max(), 0},
                {"b", emoji, 1, 3}}; // a surrogate pair is two code units
    for (const auto &row : rows)
        EXPECT_EQ(PosFrom(row.pattern, row.text, row.start), row.position)
            << row.pattern.toStdString() << " in " << row.text.toStdString() << " from "
            << row.start;
}

TEST(ArgumentKeyAndValue, SplitAtTheFirstEquals)
{
    EXPECT_EQ(ArgumentKey(" Scan Rate = 3"), QByteArray("Scan Rate"));
    EXPECT_EQ(ArgumentKey("=5"), QByteArray());
    EXPECT_EQ(ArgumentKey("5"), QByteArray());
    EXPECT_EQ(ArgumentKey("a=b=c"), QByteArray("a"));
    EXPECT_EQ(ArgumentKey("\tk=1"), QByteArray("\tk"));

    EXPECT_EQ(ArgumentValue("ScanRate = 2 ", true), "2");
    EXPECT_EQ(ArgumentValue("ScanRate = 2 ", false), " 2 ");
    EXPECT_EQ(ArgumentValue("ScanRate=", true), "");
    EXPECT_EQ(ArgumentValue("a=b=c", false), "b=c");
    EXPECT_EQ(ArgumentValue("5", false), "5");
    EXPECT_EQ(ArgumentValue("  5 ", true), "5");
}

} // namespace
