#include "localizer/kutils/KStrings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <random>

using namespace kutils;

TEST(KStrings, ClassifiesTexts) {
    EXPECT_FALSE(HasLetters(""));
    EXPECT_FALSE(HasLetters("12 -+@[`{~"));
    EXPECT_TRUE(HasLetters("1z"));
    EXPECT_TRUE(HasLetters("\x80"));  // every non-ASCII byte counts as a letter

    EXPECT_FALSE(HasNonSymbolChars(u""));
    EXPECT_FALSE(HasNonSymbolChars(u"12-3"));
    EXPECT_TRUE(HasNonSymbolChars(u"12 3"));
    // The set's edges: 33..64, 91..96, 123..126.
    EXPECT_FALSE(HasNonSymbolChars(u"!@[`{~"));
    EXPECT_TRUE(HasNonSymbolChars(u"@A"));
    EXPECT_TRUE(HasNonSymbolChars(u"Z"));
    EXPECT_TRUE(HasNonSymbolChars(u"a"));
    EXPECT_TRUE(HasNonSymbolChars(u"\x7f"));
    EXPECT_TRUE(HasNonSymbolChars(u"\u0416"));
    EXPECT_TRUE(HasNonSymbolChars(u"\x1f"));

    EXPECT_EQ(Spaces(3), "   ");
    EXPECT_EQ(Spaces(0), "");
    EXPECT_EQ(Spaces(-4), "");
}

TEST(KStrings, PosNthCountsOverlappingOccurrences) {
    EXPECT_EQ(PosNth("aa", "aaaa", 1, 1), 1);
    EXPECT_EQ(PosNth("aa", "aaaa", 1, 2), 2);
    EXPECT_EQ(PosNth("aa", "aaaa", 1, 3), 3);
    EXPECT_EQ(PosNth("aa", "aaaa", 1, 4), 0);
    EXPECT_EQ(PosNth("aa", "aaaa", 2, 1), 2);
    EXPECT_EQ(PosNth("aa", "aaaa", -5, 1), 1);  // below 1 counts as 1
    EXPECT_EQ(PosNth("aa", "aaaa", 5, 1), 0);
    EXPECT_EQ(PosNth("ab", "xaba", 4, 1), 0);  // a prefix at the very end is no occurrence
    EXPECT_EQ(PosNth("b", "abcb", 3, 1), 4);
    EXPECT_EQ(PosNth("", "abc", 1, 1), 0);
    EXPECT_EQ(PosNth("a", "", 1, 1), 0);
    EXPECT_EQ(PosNth("a", "aaa", 1, 0), 0);
    EXPECT_EQ(PosNth("A", "aaa", 1, 1), 0);  // case-sensitive
}

TEST(KStrings, PosTextIgnoresAnsiCase) {
    EXPECT_EQ(PosText("CAP", "Form1.caption"), 7);
    EXPECT_EQ(PosText("\xc4\xd6", "xx\xe4\xf6"), 3);  // umlauts of the ANSI page
    EXPECT_EQ(PosText("q", "abc"), 0);
    EXPECT_EQ(PosText("", "abc"), 0);
}

TEST(KStrings, AnsiCaseMapping) {
    // The ANSI page's letters beyond ASCII, including the four in 0x80..0x9F.
    EXPECT_EQ(AnsiLowerCase("AZ\xc0\xc9\xde\x8a\x8c\x8e\x9f"), "az\xe0\xe9\xfe\x9a\x9c\x9e\xff");
    EXPECT_EQ(AnsiUpperCase("az\xe0\xe9\xfe\x9a\x9c\x9e\xff"), "AZ\xc0\xc9\xde\x8a\x8c\x8e\x9f");
    // Multiplication/division signs, sharp s and micro have no case partner in the page.
    EXPECT_EQ(AnsiLowerCase("\xd7\xdf\xb5"), "\xd7\xdf\xb5");
    EXPECT_EQ(AnsiUpperCase("\xf7\xdf\xb5"), "\xf7\xdf\xb5");
    EXPECT_EQ(AnsiUpperCase("a1-_z"), "A1-_Z");
}

TEST(KStrings, TrimmedPartBefore) {
    EXPECT_EQ(TrimmedPartBefore(" (", "English (United States)"), "English");
    EXPECT_EQ(TrimmedPartBefore(" (", "Bulgarian"), "Bulgarian");
    EXPECT_EQ(TrimmedPartBefore("(", "  Serbian\t(Latin)"), "Serbian");
    EXPECT_EQ(TrimmedPartBefore("(", " no bracket "), " no bracket ");  // untrimmed when absent
    EXPECT_EQ(TrimmedPartBefore("(", "(x)"), "");
}

TEST(KStrings, StrToIntZero) {
    EXPECT_EQ(StrToIntZero(" 42 "), 42);
    EXPECT_EQ(StrToIntZero("-12"), -12);
    EXPECT_EQ(StrToIntZero("+7"), 7);
    EXPECT_EQ(StrToIntZero("$1F"), 31);
    EXPECT_EQ(StrToIntZero("x1f"), 31);
    EXPECT_EQ(StrToIntZero("0X1f"), 31);
    EXPECT_EQ(StrToIntZero("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToIntZero("2147483647"), INT32_MAX);
    EXPECT_EQ(StrToIntZero("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToIntZero("2147483648"), 0);  // overflow
    EXPECT_EQ(StrToIntZero("$100000000"), 0);
    EXPECT_EQ(StrToIntZero("99999999999999999999"), 0);
    EXPECT_EQ(StrToIntZero(""), 0);
    EXPECT_EQ(StrToIntZero("   "), 0);
    EXPECT_EQ(StrToIntZero("12a"), 0);
    EXPECT_EQ(StrToIntZero("$"), 0);
    EXPECT_EQ(StrToIntZero("1 2"), 0);
}

TEST(KStrings, HexParsing) {
    EXPECT_EQ(HexDigitToInt('0'), 0);
    EXPECT_EQ(HexDigitToInt('9'), 9);
    EXPECT_EQ(HexDigitToInt('a'), 10);
    EXPECT_EQ(HexDigitToInt('F'), 15);
    EXPECT_EQ(HexToInt("1f"), 31);
    EXPECT_EQ(HexToInt("00000409"), 0x409);
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexToInt("123456789"), 0x23456789);  // wraps in 32 bits
    try {
        HexToInt("1g");
        FAIL() << "no error";
    } catch (const EKStringsError& e) {
        EXPECT_EQ(e.Message(), "g is not a hex digit");
    }
    for (const char* bad : {"$1F", "-1", "0x1", " 1", "1 "}) EXPECT_THROW(HexToInt(bad), EKStringsError) << bad;
    EXPECT_THROW(HexDigitToInt('G'), EKStringsError);
    // The error is a fw::Exception, so the program's catch points see it.
    EXPECT_THROW(HexDigitToInt('/'), fw::Exception);
}

TEST(KStrings, JoiningParts) {
    EXPECT_EQ(JoinPath("C:\\a\\", "\\b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a", "\\b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("C:\\a", ""), "C:\\a");
    EXPECT_EQ(JoinPath("", ""), "");
    // Only one separator character is taken off.
    EXPECT_EQ(JoinPath("a\\\\", "\\\\b"), "a\\\\\\b");
    // A longer separator is always put in between.
    EXPECT_EQ(JoinWithSeparator("a::", "::b", "::"), "a::::::b");
    EXPECT_EQ(JoinWithSeparator("a", "b", ", "), "a, b");

    EXPECT_EQ(JoinDotted("Form1", "Caption"), "Form1.Caption");
    EXPECT_EQ(JoinDotted("", "Caption"), "Caption");
    EXPECT_EQ(JoinDotted("Form1", ""), "Form1");
    EXPECT_EQ(JoinDotted("", ""), "");
}

TEST(KStrings, QuoteStringUsesFormSourceSyntax) {
    EXPECT_EQ(QuoteString("", '\''), "''");
    EXPECT_EQ(QuoteString("a'b", '\''), "'a''b'");
    EXPECT_EQ(QuoteString("a\r\nb", '\''), "'a'#13#10'b'");
    EXPECT_EQ(QuoteString("\r\n", '\''), "''#13#10");
    EXPECT_EQ(QuoteString("ab\t", '\''), "'ab'#9");
    EXPECT_EQ(QuoteString(std::string("a\0b", 3), '\''), "'a'#0'b'");
    EXPECT_EQ(QuoteString("\xe9\xff", '\''), "'\xe9\xff'");
    EXPECT_EQ(QuoteString("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(QuoteString("it's", '"'), "\"it's\"");
}

TEST(KStrings, LookupsIgnoreAsciiCaseOnly) {
    std::vector<std::string> list{"Alpha", "beta", "BETA", "\xc4rger"};
    EXPECT_EQ(IndexOfText(list, "BeTa"), 1);
    EXPECT_EQ(IndexOfText(list, "alpha"), 0);
    EXPECT_EQ(IndexOfText(list, "gamma"), -1);
    EXPECT_EQ(IndexOfText(list, "\xe4rger"), -1);  // not an ASCII letter
    EXPECT_EQ(IndexOfText({}, ""), -1);
    EXPECT_TRUE(TextInArray("ALPHA", list));
    EXPECT_FALSE(TextInArray("alph", list));
}

TEST(KStrings, SplitAt) {
    std::string left = "x", right = "y";
    SplitAt("=", "key=value=2", left, right);
    EXPECT_EQ(left, "key");
    EXPECT_EQ(right, "value=2");
    SplitAt("=", "=v", left, right);
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "v");
    SplitAt("=", "k=", left, right);
    EXPECT_EQ(left, "k");
    EXPECT_EQ(right, "");
    SplitAt("=", "novalue", left, right);
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "");
    SplitAt("", "abc", left, right);
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "");
    // A longer separator is dropped whole, nothing of it is left in Right.
    SplitAt("::", "a::b", left, right);
    EXPECT_EQ(left, "a");
    EXPECT_EQ(right, "b");
}

TEST(KStrings, MatchesWildcard) {
    EXPECT_TRUE(MatchesWildcard("Form1.Caption", "*.caption", false));
    EXPECT_FALSE(MatchesWildcard("Form1.Caption", "*.caption", true));
    EXPECT_TRUE(MatchesWildcard("Form1.Caption", "*.Caption", true));
    EXPECT_TRUE(MatchesWildcard("\xc4RGER", "\xe4rg*", false));  // ANSI case folding

    EXPECT_TRUE(MatchesWildcard("abc", "a?c", true));
    EXPECT_FALSE(MatchesWildcard("abc", "a?d", true));
    EXPECT_FALSE(MatchesWildcard("abc", "ab?c", true));
    EXPECT_TRUE(MatchesWildcard("ab", "ab?", true));
    EXPECT_TRUE(MatchesWildcard("abc", "ab?", true));
    EXPECT_FALSE(MatchesWildcard("abcd", "ab?", true));
    EXPECT_TRUE(MatchesWildcard("", "?", true));
    EXPECT_TRUE(MatchesWildcard("x", "?", true));
    EXPECT_FALSE(MatchesWildcard("xy", "?", true));

    EXPECT_TRUE(MatchesWildcard("anything", "*", true));
    EXPECT_TRUE(MatchesWildcard("", "*", true));
    EXPECT_TRUE(MatchesWildcard("", "", true));
    EXPECT_FALSE(MatchesWildcard("a", "", true));
    EXPECT_FALSE(MatchesWildcard("", "a", true));
    EXPECT_TRUE(MatchesWildcard("abc", "abc", true));
    EXPECT_FALSE(MatchesWildcard("abc", "abcd", true));
    EXPECT_FALSE(MatchesWildcard("abcd", "abc", true));

    EXPECT_TRUE(MatchesWildcard("Form1.Button1.Caption", "Form1.*", true));
    EXPECT_TRUE(MatchesWildcard("Form1.Button1.Caption", "*.Button1.*", true));
    EXPECT_TRUE(MatchesWildcard("Form1.Button1.Caption", "*Button?.Cap*", true));
    EXPECT_FALSE(MatchesWildcard("Form1.Button1.Caption", "*Button?.Hint", true));
    // A later occurrence of the literal is tried when the first leads nowhere.
    EXPECT_TRUE(MatchesWildcard("a.b.c", "*.c", true));
    EXPECT_TRUE(MatchesWildcard("abab", "*ab", true));
    EXPECT_TRUE(MatchesWildcard("aXbXc", "a*X*c", true));
    EXPECT_FALSE(MatchesWildcard("aXbXd", "a*X*c", true));
    // The literal after "*" may start right where the "*" stands.
    EXPECT_TRUE(MatchesWildcard("ab", "a*b", true));
    // "*" followed by another wildcard has an empty literal, which is never found.
    EXPECT_FALSE(MatchesWildcard("abc", "**", true));
    EXPECT_FALSE(MatchesWildcard("abc", "a*?", true));
    EXPECT_FALSE(MatchesWildcard("abc", "*?c", true));
    EXPECT_TRUE(MatchesWildcard("abc", "a?*", true));
}

namespace {

// The matching rules written out literally (1-based, recursive, exponential in the worst case):
// the reference the bounded matcher must agree with.
bool ReferenceMatch(const std::string& text, const std::string& mask) {
    if ((text.empty() && mask.empty()) || mask == "*") return true;
    auto nextWildcard = [&](size_t from) {
        while (from <= mask.size() && mask[from - 1] != '*' && mask[from - 1] != '?') ++from;
        return from;
    };
    size_t i = 1, s = 1;
    for (;;) {
        size_t w = nextWildcard(s);
        for (size_t k = 0; k < w - s; ++k)
            if (i + k > text.size() || text[i + k - 1] != mask[i + k - 1]) return false;
        i += w - s;
        if (w > mask.size()) return w > text.size();
        if (mask[w - 1] == '?') {
            i = s = w + 1;
            continue;
        }
        size_t v = w + 1;
        if (v > mask.size()) return true;
        std::string literal = mask.substr(v - 1, nextWildcard(v) - v);
        for (int n = 1;; ++n) {
            int p = PosNth(literal, text, static_cast<int>(i), n);
            if (p == 0) return false;
            if (ReferenceMatch(text.substr(p - 1 + literal.size()), mask.substr(v - 1 + literal.size()))) return true;
        }
    }
}

}  // namespace

TEST(KStrings, MatchesWildcardAgreesWithTheRulesOnRandomInput) {
    std::mt19937 rng(20261207);
    auto make = [&](const char* alphabet, size_t letters, size_t maxLen) {
        std::string r(rng() % (maxLen + 1), ' ');
        for (char& c : r) c = alphabet[rng() % letters];
        return r;
    };
    int matched = 0;
    for (int n = 0; n < 200000; ++n) {
        std::string text = make("ab", 2, 9), mask = make("ab*?", 4, 8);
        bool expected = ReferenceMatch(text, mask);
        ASSERT_EQ(MatchesWildcard(text, mask, true), expected) << "text '" << text << "' mask '" << mask << "'";
        matched += expected;
    }
    EXPECT_GT(matched, 10000);  // both outcomes are well represented
    EXPECT_LT(matched, 190000);
}

TEST(KStrings, MatchesWildcardStaysFastOnAdversarialMasks) {
    // Without remembering failed positions this takes about 200^15 steps.
    std::string text(200, 'a');
    std::string mask;
    for (int i = 0; i < 15; ++i) mask += "*a";
    mask += "*b";
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchesWildcard(text, mask, true));
    EXPECT_TRUE(MatchesWildcard(text + "b", mask, true));
    // A mask deeper than any stack: one level per "*".
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "*a";
    EXPECT_TRUE(MatchesWildcard(std::string(200000, 'a'), deep, true));
    EXPECT_FALSE(MatchesWildcard(std::string(199999, 'a'), deep, true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}
