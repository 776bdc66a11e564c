#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/FormParser.h"
#include "framework/FormStream.h"

using namespace fw;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBinary(const std::string& text) {
    TMemoryStream out;
    TWriter w(out);
    ObjectTextToBinary(std::string_view(text), w);
    return out.Bytes();
}

std::string ToText(const Bytes& b) {
    return ObjectBinaryToText(b.data(), b.size());
}

// The bytes of one property value in the binary form of "object A: TA\r\n P = <value>\r\nend".
Bytes ValueBytes(const std::string& value) {
    Bytes b = ToBinary("object A: TA\r\n  P = " + value + "\r\nend\r\n");
    // "TPF0" + "\2TA" + "\1A" + "\1P" = 4 + 3 + 2 + 2; then the value, then the two list ends.
    EXPECT_GE(b.size(), 13u);
    EXPECT_EQ(Bytes(b.end() - 2, b.end()), Bytes({0, 0}));
    return Bytes(b.begin() + 11, b.end() - 2);
}

Bytes B(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Str(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string ParserErrorOf(const std::string& text) {
    try {
        ToBinary(text);
    } catch (const EParserError& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

TEST(FormParser, TokensAndLines) {
    TParser p("object Form1: TForm1\r\n  Font.Name = 'Ms ''Sans'''#13#10\n  X = $1F -12 1.5e3 2s 12345c\n{");
    EXPECT_EQ(p.Token(), toSymbol);
    EXPECT_TRUE(p.TokenSymbolIs("OBJECT"));
    EXPECT_EQ(p.SourceLine(), 1);
    p.NextToken();
    EXPECT_EQ(p.TokenString(), "Form1");
    EXPECT_EQ(p.NextToken(), ':');
    p.NextToken();
    p.NextToken();
    EXPECT_EQ(p.SourceLine(), 2);
    EXPECT_EQ(p.TokenComponentIdent(), "Font.Name");
    EXPECT_EQ(p.NextToken(), '=');
    EXPECT_EQ(p.NextToken(), toString);
    EXPECT_EQ(p.TokenAnsiString(), "Ms 'Sans'\r\n");
    EXPECT_EQ(p.NextToken(), toSymbol);
    EXPECT_EQ(p.SourceLine(), 3);
    p.NextToken();
    EXPECT_EQ(p.NextToken(), toInteger);
    EXPECT_EQ(p.TokenInt(), 31);
    EXPECT_EQ(p.NextToken(), toInteger);
    EXPECT_EQ(p.TokenInt(), -12);
    EXPECT_EQ(p.NextToken(), toFloat);
    EXPECT_EQ(p.FloatType(), 0);
    EXPECT_EQ(p.TokenFloatText(), "1.5e3");
    EXPECT_EQ(p.NextToken(), toFloat);
    EXPECT_EQ(p.FloatType(), 's');
    EXPECT_EQ(p.TokenFloatText(), "2");
    EXPECT_EQ(p.NextToken(), toFloat);
    EXPECT_EQ(p.FloatType(), 'c');
    EXPECT_EQ(p.NextToken(), '{');
    EXPECT_EQ(p.SourceLine(), 4);
    EXPECT_EQ(p.NextToken(), toEOF);
    EXPECT_EQ(p.NextToken(), toEOF);
}

TEST(FormParser, WideStringsAndTextEnds) {
    TParser p("'x'#1234 'ab'#127 #128");
    EXPECT_EQ(p.Token(), toWString);
    EXPECT_EQ(p.TokenWideString(), u"x\u04D2");
    EXPECT_EQ(p.NextToken(), toString);
    EXPECT_EQ(p.TokenAnsiString(), "ab\x7F");
    EXPECT_EQ(p.NextToken(), toWString);
    EXPECT_EQ(p.TokenWideString(), u"\u0080");

    // A zero byte ends the text; so does the end of the view, even inside a token.
    std::string withZero("abc\0def", 7);
    TParser z(withZero);
    EXPECT_EQ(z.TokenString(), "abc");
    EXPECT_EQ(z.NextToken(), toEOF);
    std::string buffer = "'unterminated'";
    try {
        TParser t(std::string_view(buffer.data(), 5));
        ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Invalid string constant on line 1");
    }
}

TEST(FormParser, ErrorMessagesCarryTheLine) {
    EXPECT_EQ(ParserErrorOf("object A: TA\r\n  P = 1\r\n  Q = )\r\nend\r\n"), "Invalid property value on line 3");
    EXPECT_EQ(ParserErrorOf("object A: TA\n  P = 'abc\n'\nend"), "Invalid string constant on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA\n  P 1\nend"), "''='' expected on line 2");
    EXPECT_EQ(ParserErrorOf("thing A: TA\nend"), "OBJECT expected on line 1");
    EXPECT_EQ(ParserErrorOf("object A: 5\nend"), "Identifier expected on line 1");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = 'a' + 5\nend"), "String expected on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA [x]\nend"), "Number expected on line 1");
    EXPECT_EQ(ParserErrorOf("object A: TA\n\n P = {01 0G}\nend"), "Invalid binary value on line 3");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = {012}\nend"), "Invalid binary value on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = {01"), "Invalid binary value on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = <\n  thing\n  end>\nend"), "item expected on line 3");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = 1.2.3\nend"), "'1.2.3' is not a valid floating point value on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = 99999999999999999999\nend"),
              "'99999999999999999999' is not a valid integer value on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = #70000\nend"), "Invalid string constant on line 2");
    // The text ends before the object does: an error, not a loop.
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = (1 2"), "Invalid property value on line 2");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = 1\n"), "Identifier expected on line 3");
    EXPECT_EQ(ParserErrorOf("object A: TA\n P = 1\n object B: TB"), "Identifier expected on line 3");
    EXPECT_EQ(ParserErrorOf(""), "OBJECT expected on line 1");
    // A class name the binary form would read back as an object prefix.
    std::string c240(240, 'C');
    EXPECT_EQ(ParserErrorOf("object A: TA\n object B: " + c240 + "\n end\nend"),
              "Class name is too long: \"" + c240 + "\" on line 2");
    EXPECT_EQ(ToText(ToBinary("object A: " + std::string(239, 'C') + "\nend")),
              "object A: " + std::string(239, 'C') + "\r\nend\r\n");
}

TEST(FormTextToBinary, IntegerTagSizes) {
    EXPECT_EQ(ValueBytes("0"), B({2, 0}));
    EXPECT_EQ(ValueBytes("127"), B({2, 0x7F}));
    EXPECT_EQ(ValueBytes("-128"), B({2, 0x80}));
    EXPECT_EQ(ValueBytes("128"), B({3, 0x80, 0}));
    EXPECT_EQ(ValueBytes("300"), B({3, 0x2C, 0x01}));
    EXPECT_EQ(ValueBytes("-32768"), B({3, 0x00, 0x80}));
    EXPECT_EQ(ValueBytes("32768"), B({4, 0x00, 0x80, 0, 0}));
    EXPECT_EQ(ValueBytes("100000"), B({4, 0xA0, 0x86, 0x01, 0}));
    EXPECT_EQ(ValueBytes("-2147483648"), B({4, 0, 0, 0, 0x80}));
    EXPECT_EQ(ValueBytes("2147483648"), B({19, 0, 0, 0, 0x80, 0, 0, 0, 0}));
    EXPECT_EQ(ValueBytes("-2147483649"), B({19, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ValueBytes("$FF"), B({3, 0xFF, 0}));
    EXPECT_EQ(ValueBytes("$FFFFFFFFFFFFFFFF"), B({2, 0xFF}));
}

TEST(FormTextToBinary, StringsAndConcatenation) {
    EXPECT_EQ(ValueBytes("'A' + 'B'"), B({6, 2, 'A', 'B'}));
    EXPECT_EQ(ValueBytes("''"), B({6, 0}));
    EXPECT_EQ(ValueBytes("'It''s'#13#10"), Cat(B({6, 6}), Str("It's\r\n")));
    std::string s255(255, 'x'), s256(256, 'x');
    EXPECT_EQ(ValueBytes("'" + s255 + "'"), Cat(B({6, 255}), Str(s255)));
    EXPECT_EQ(ValueBytes("'" + s256 + "'"), Cat(B({12, 0, 1, 0, 0}), Str(s256)));
    // A wide part makes the whole value wide; its UTF-8 form is shorter than 2 bytes a
    // character here, so it is stored as UTF-8.
    EXPECT_EQ(ValueBytes("'x'#1234"), B({20, 3, 0, 0, 0, 'x', 0xD3, 0x92}));
    EXPECT_EQ(ValueBytes("'ab' + #1234 + 'c'"), B({20, 5, 0, 0, 0, 'a', 'b', 0xD3, 0x92, 'c'}));
    // Two bytes a character or more: a wide string.
    EXPECT_EQ(ValueBytes("#1040#1041"), B({18, 2, 0, 0, 0, 0x10, 0x04, 0x11, 0x04}));
    // 8-bit text is stored as it is by the plain writer.
    EXPECT_EQ(ValueBytes("'\xE9t\xE9'"), B({6, 3, 0xE9, 't', 0xE9}));
    // Short strings (names) are cut to 255 bytes.
    std::string longName(300, 'N');
    Bytes b = ToBinary("object A: TA\n " + longName + " = 1\nend");
    EXPECT_EQ(b[9], 255);
    EXPECT_EQ(b[10 + 255], 2);
}

TEST(FormTextToBinary, FloatsAndOtherValues) {
    long double x = 12.5L;
    Bytes ext(reinterpret_cast<uint8_t*>(&x), reinterpret_cast<uint8_t*>(&x) + 10);
    EXPECT_EQ(ValueBytes("12.5"), Cat(B({5}), ext));
    float f = 12.5f;
    Bytes single(reinterpret_cast<uint8_t*>(&f), reinterpret_cast<uint8_t*>(&f) + 4);
    EXPECT_EQ(ValueBytes("12.5s"), Cat(B({15}), single));
    EXPECT_EQ(ValueBytes("12345c"), B({16, 0x39, 0x30, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ValueBytes("12.5C"), B({16, 12, 0, 0, 0, 0, 0, 0, 0}));  // rounded half to even
    EXPECT_EQ(ValueBytes("-9223372036854775808c"), B({16, 0, 0, 0, 0, 0, 0, 0, 0x80}));
    double d = 45000.25;
    Bytes date(reinterpret_cast<uint8_t*>(&d), reinterpret_cast<uint8_t*>(&d) + 8);
    EXPECT_EQ(ValueBytes("45000.25d"), Cat(B({17}), date));
    EXPECT_EQ(ValueBytes("True"), B({9}));
    EXPECT_EQ(ValueBytes("false"), B({8}));
    EXPECT_EQ(ValueBytes("NULL"), B({0}));
    EXPECT_EQ(ValueBytes("Nil"), B({13}));
    EXPECT_EQ(ValueBytes("clRed"), Cat(B({7, 5}), Str("clRed")));
    EXPECT_EQ(ValueBytes("Form1.Button1"), Cat(B({7, 13}), Str("Form1.Button1")));
    EXPECT_EQ(ValueBytes("[]"), B({11, 0}));
    EXPECT_EQ(ValueBytes("[akLeft, 3]"), B({11, 6, 'a', 'k', 'L', 'e', 'f', 't', 1, '3', 0}));
    EXPECT_EQ(ValueBytes("()"), B({1, 0}));
    EXPECT_EQ(ValueBytes("(1 'a' (2))"), B({1, 2, 1, 6, 1, 'a', 1, 2, 2, 0, 0}));
    EXPECT_EQ(ValueBytes("{}"), B({10, 0, 0, 0, 0}));
    EXPECT_EQ(ValueBytes("{0aFF\r\n  10}"), B({10, 3, 0, 0, 0, 0x0A, 0xFF, 0x10}));
    EXPECT_EQ(ValueBytes("<>"), B({14, 0}));
    EXPECT_EQ(ValueBytes("<item [2] X = 1 end item end>"), B({14, 2, 2, 1, 1, 'X', 2, 1, 0, 1, 0, 0}));
}

TEST(FormTextToBinary, ObjectHeadersAndPrefixes) {
    Bytes b = ToBinary("inherited F: TF\n inline G: TG [3]\n end\n object TBevel\n end\nend");
    Bytes expect = Cat(Str("TPF0"), B({0xF1, 2, 'T', 'F', 1, 'F', 0}));
    expect = Cat(expect, B({0xF6, 2, 3, 2, 'T', 'G', 1, 'G', 0, 0}));
    expect = Cat(expect, Cat(B({6}), Str("TBevel")));
    expect = Cat(expect, B({0, 0, 0, 0}));
    EXPECT_EQ(b, expect);
}

// The layout of the text form: indentation, lists, sets, collections, binary lines, long strings.
TEST(FormBinaryToText, Layout) {
    std::string longText(100, 'a');
    std::string text =
        "object Form1: TForm1\r\n"
        "  Left = 10\r\n"
        "  Caption = 'It'#39's'\r\n"
        "  Items.Strings = (\r\n"
        "    'one'\r\n"
        "    'two')\r\n"
        "  Anchors = [akLeft, akTop]\r\n"
        "  Columns = <\r\n"
        "    item\r\n"
        "      Caption = 'A'\r\n"
        "    end\r\n"
        "    item [3]\r\n"
        "      Width = 50\r\n"
        "    end>\r\n"
        "  Data = {0102}\r\n"
        "  Big = {\r\n"
        "    000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F\r\n"
        "    20}\r\n"
        "  Empty = <>\r\n"
        "  EmptyList = ()\r\n"
        "  EmptySet = []\r\n"
        "  Flag = True\r\n"
        "  Ratio = 12.500000000000000000\r\n"
        "  Small = 0.5s\r\n"
        "  Money = 12345c\r\n"
        "  When = 45000.25d\r\n"
        "  Wide = 'x'#1234\r\n"
        "  Long = \r\n"
        "    '" +
        std::string(64, 'a') +
        "' +\r\n"
        "    '" +
        std::string(36, 'a') + "'\r\n";
    std::string tail =
        "  object Button1: TButton [2]\r\n"
        "    Tag = -1\r\n"
        "  end\r\n"
        "  inline Frame1: TFrame1\r\n"
        "  end\r\n"
        "  object TBevel\r\n"
        "  end\r\n"
        "end\r\n";
    std::string input = text.substr(0, text.find("  Long = ")) + "  Long = '" + longText + "'\r\n" + tail;
    text += tail;
    Bytes b = ToBinary(input);
    EXPECT_EQ(ToText(b), text);
    // A second pass gives the same text and the same bytes.
    EXPECT_EQ(ToBinary(ToText(b)), b);
    EXPECT_EQ(ToText(ToBinary(text)), text);
}

TEST(FormBinaryToText, StringSplitting) {
    // Codes count towards the line length; a string of exactly 64 characters stays on the line.
    std::string s64(64, 'b');
    EXPECT_EQ(ToText(ToBinary("object A: TA\n P = '" + s64 + "'\nend")),
              "object A: TA\r\n  P = '" + s64 + "'\r\nend\r\n");
    std::string t =
        ToText(ToBinary("object A: TA\n P = '" + std::string(70, 'c') + "'#13#10'" + std::string(70, 'd') + "'\nend"));
    EXPECT_EQ(t, "object A: TA\r\n  P = \r\n    '" + std::string(64, 'c') + "' +\r\n    '" + std::string(6, 'c') +
                     "'#13#10'" + std::string(56, 'd') + "' +\r\n    '" + std::string(14, 'd') + "'\r\nend\r\n");
    // 8-bit text keeps its high bytes inside the quotes.
    EXPECT_EQ(ToText(ToBinary("object A: TA\n P = '\xE9'\nend")), "object A: TA\r\n  P = '\xE9'\r\nend\r\n");
}

// Binary -> text -> binary gives the same bytes for every tag the text form can express.
TEST(FormBinaryToText, EveryTagRoundTrips) {
    TMemoryStream out;
    {
        TWriter w(out);
        w.WriteSignature();
        w.WritePrefix(ffInherited | ffChildPos, 70000);
        w.WriteStr("TForm1");
        w.WriteStr("Form1");
        auto prop = [&](const char* n) { w.WriteStr(n); };
        prop("Null");
        w.WriteValue(vaNull);
        prop("List");
        w.WriteListBegin();
        for (int64_t v :
             std::initializer_list<int64_t>{0, -1, 127, -129, 40000, -2147483648LL, 5000000000LL, INT64_MIN, INT64_MAX})
            w.WriteInteger(v);
        w.WriteListBegin();
        w.WriteListEnd();
        w.WriteListEnd();
        for (long double v : {0.0L, -0.0L, 0.1L, 1.0L / 3, 12.5L, -1e-300L, 1e300L, 123456789012345678.0L, 1e18L,
                              3.4e-4900L, 1.1e4930L, 0.00012L}) {
            prop("Ext");
            w.WriteExtended(LongDoubleToExtended(v));
        }
        prop("Str");
        w.WriteString(std::string("It's\0\x01\x7F\xFF", 8) + std::string(300, 'z'));
        prop("Empty");
        w.WriteString("");
        prop("Ident");
        w.WriteIdent("clBtnFace");
        prop("F");
        w.WriteIdent("False");
        prop("T");
        w.WriteIdent("True");
        prop("Bin");
        std::vector<uint8_t> bin(100);
        for (size_t i = 0; i < bin.size(); ++i) bin[i] = static_cast<uint8_t>(i * 7);
        w.WriteBinary(bin.data(), bin.size());
        prop("Bin31");
        w.WriteBinary(bin.data(), 31);
        prop("Bin32");
        w.WriteBinary(bin.data(), 32);
        prop("Set");
        w.WriteValue(vaSet);
        w.WriteStr("fsBold");
        w.WriteStr("fsItalic");
        w.WriteStr("");
        prop("Nil");
        w.WriteIdent("nil");
        prop("Coll");
        w.WriteValue(vaCollection);
        w.WriteListBegin();
        prop("A");
        w.WriteInteger(1);
        w.WriteListEnd();
        w.WriteInteger(5);
        w.WriteListBegin();
        w.WriteListEnd();
        w.WriteInteger(3000000000LL);
        w.WriteListBegin();
        w.WriteListEnd();
        w.WriteListEnd();
        for (float v : {0.0f, 0.1f, 12.5f, -3.4e38f, 1e-45f}) {
            prop("Single");
            w.WriteSingle(v);
        }
        for (int64_t v : std::initializer_list<int64_t>{0, 12345, -1, INT64_MIN, INT64_MAX}) {
            prop("Cur");
            w.WriteCurrency(v);
        }
        for (double v : {0.0, 45000.25, -1e-310, 1.7e308}) {
            prop("Date");
            w.WriteDate(v);
        }
        prop("Wide");
        w.WriteWideString(u"\u0410\u0411\u0412");
        prop("WideMixed");
        w.WriteWideString(u"\u0410\u0411\u0412'\r");
        prop("Utf8");
        w.WriteWideString(u"caf\u00E9 \U0001F600 ok");
        w.WriteListEnd();
        w.WritePrefix(ffInline, 0);
        w.WriteStr("TFrame1");
        w.WriteStr("");
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteListEnd();
        w.FlushBuffer();
    }
    const Bytes& bin = out.Bytes();
    std::string text = ToText(bin);
    EXPECT_EQ(ToBinary(text), bin) << text;
    EXPECT_NE(text.find("inherited Form1: TForm1 [70000]"), std::string::npos);
    EXPECT_NE(text.find("Wide = #1040#1041#1042\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Utf8 = 'caf'#233' '#55357#56832' ok'"), std::string::npos) << text;
}

TEST(FormBinaryToText, ExtendedTextReadsBackExactly) {
    // Values whose shortest digits need more than 16 significant digits still come back exact.
    for (long double v : {0.1L, 2.0L / 3, 1e-5L, 9.999999999999999999e17L, 1.0L + 1e-18L, -7.25e-4000L}) {
        std::string s = ExtendedToText(LongDoubleToExtended(v));
        long double back = 0;
        ASSERT_TRUE(TextToExtended(s, back)) << s;
        EXPECT_EQ(LongDoubleToExtended(back), LongDoubleToExtended(v)) << s;
    }
    EXPECT_EQ(ExtendedToText(LongDoubleToExtended(12.5L)), "12.500000000000000000");
    EXPECT_EQ(ExtendedToText(LongDoubleToExtended(-0.25L)), "-0.250000000000000000");
    EXPECT_EQ(SingleToText(0.1f), "0.1");
    EXPECT_EQ(DoubleToText(45000.25), "45000.25");
}

// Infinities and NaNs (any payload, either sign) of every float tag: binary -> text -> binary
// gives the same bytes, so a form holding one still loads after a pass through the text form.
TEST(FormBinaryToText, NonFiniteFloatsReadBackBitForBit) {
    auto roundTrip = [](const Bytes& value) {
        Bytes form = Cat(Cat(Str("TPF0"), B({2, 'T', 'A', 1, 'A', 1, 'P'})), Cat(value, B({0, 0})));
        std::string text = ToText(form);
        Bytes back;
        try {
            back = ToBinary(text);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.Message() << "\n" << text;
        }
        EXPECT_EQ(back, form) << text;
        return text;
    };
    auto ext = [](uint64_t mant, uint16_t se) {
        Bytes b{5};
        for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(mant >> (8 * i)));
        b.push_back(static_cast<uint8_t>(se));
        b.push_back(static_cast<uint8_t>(se >> 8));
        return b;
    };
    auto single = [](uint32_t bits) {
        Bytes b{15};
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        return b;
    };
    auto date = [](uint64_t bits) {
        Bytes b{17};
        for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        return b;
    };
    const uint64_t top = uint64_t(1) << 63;
    EXPECT_NE(roundTrip(ext(top, 0x7FFF)).find("P = 1.#INF\r\n"), std::string::npos);
    EXPECT_NE(roundTrip(ext(top, 0xFFFF)).find("P = -1.#INF\r\n"), std::string::npos);
    roundTrip(ext(0xC000000000000000ull, 0xFFFF));  // the default NaN
    roundTrip(ext(0xC000000000000000ull, 0x7FFF));
    roundTrip(ext(0x8000000000000001ull, 0x7FFF));  // a signalling one
    roundTrip(ext(0xFFFFFFFFFFFFFFFFull, 0xFFFF));
    roundTrip(ext(0x0000000000000001ull, 0x7FFF));  // without its integer bit
    roundTrip(ext(0, 0x7FFF));
    EXPECT_NE(roundTrip(single(0x7F800000u)).find("P = 1.#INFs\r\n"), std::string::npos);
    roundTrip(single(0xFF800000u));
    roundTrip(single(0x7FC00000u));
    roundTrip(single(0xFFFFFFFFu));
    roundTrip(single(0x7F800001u));
    EXPECT_NE(roundTrip(date(0xFFF0000000000000ull)).find("P = -1.#INFd\r\n"), std::string::npos);
    roundTrip(date(0x7FF0000000000000ull));
    roundTrip(date(0x7FF8000000000000ull));
    roundTrip(date(0xFFFFFFFFFFFFFFFFull));
    roundTrip(date(0x7FF0000000000001ull));

    // Inside a list and next to ordinary values.
    Bytes list = Cat(Cat(Cat(B({1}), ext(top, 0x7FFF)), Cat(single(0x7FC00001u), date(0x3FF0000000000000ull))), B({0}));
    roundTrip(list);

    // What is no such value stays an error, and identifiers keep their tag.
    for (const char* bad : {"1.#NAN", "1.#NAN0s", "1.#NAN99999999999999999999", "1.#NAN8388608s", "1.#INF5", "1.#INFc",
                            "1.#NAN9223372036854775808"})
        EXPECT_NE(ParserErrorOf("object A: TA\r\n  P = " + std::string(bad) + "\r\nend\r\n"), "(no error)") << bad;
    EXPECT_EQ(ValueBytes("INF"), Cat(B({7, 3}), Str("INF")));
    EXPECT_EQ(ValueBytes("NAN"), Cat(B({7, 3}), Str("NAN")));
}

TEST(FormResource, HeaderBytes) {
    Bytes bin = ToBinary("object Form1: TForm1\nend");
    TMemoryStream res;
    BinaryToResourceForm(bin, res);
    Bytes expect = Cat(B({0xFF, 0x0A, 0x00}), Str("TFORM1"));
    expect = Cat(expect, B({0, 0x30, 0x10, static_cast<int>(bin.size()), 0, 0, 0}));
    EXPECT_EQ(Bytes(res.Bytes().begin(), res.Bytes().begin() + 16), expect);
    EXPECT_EQ(res.Bytes().size(), 16 + bin.size());
    EXPECT_EQ(Bytes(res.Bytes().begin() + 16, res.Bytes().end()), bin);
    EXPECT_EQ(DetectFormStreamFormat(res), ffResource);

    TMemoryStream text;
    res.SetPosition(0);
    ObjectResourceToText(res, text);
    EXPECT_EQ(std::string(text.Bytes().begin(), text.Bytes().end()), "object Form1: TForm1\r\nend\r\n");
}

TEST(FormResource, ClassNameLengthLimit) {
    std::string c69 = "T" + std::string(68, 'x'), c70 = "T" + std::string(69, 'x');
    TMemoryStream ok;
    BinaryToResourceForm(ToBinary("object F: " + c69 + "\nend"), ok);
    EXPECT_EQ(ok.Bytes().size(), 69 + 10 + ToBinary("object F: " + c69 + "\nend").size());
    EXPECT_EQ(ok.Bytes()[3 + 68], 'X');
    TMemoryStream bad;
    try {
        BinaryToResourceForm(ToBinary("object F: " + c70 + "\nend"), bad);
        ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Component name is too long: \"" + c70 + "\"");
    }
    EXPECT_EQ(bad.Size(), 0);
}

TEST(FormResource, PrefixedRootKeepsItsClassName) {
    // A root object with a child position: the position is part of the prefix, not the name.
    TMemoryStream res;
    BinaryToResourceForm(ToBinary("inherited F: TFormX [300]\nend"), res);
    EXPECT_EQ(Bytes(res.Bytes().begin(), res.Bytes().begin() + 9), Cat(B({0xFF, 0x0A, 0}), Str("TFORMX")));
}

TEST(FormResource, BadHeaders) {
    auto toText = [](Bytes b) {
        TMemoryStream in(std::move(b)), out;
        ObjectResourceToText(in, out);
    };
    EXPECT_THROW(toText(B({0xFF, 0x0B, 0x00, 'A', 0, 0x30, 0x10, 0, 0, 0, 0})), EReadError);
    EXPECT_THROW(toText(B({0xFF, 0x0A, 0x00, 'A', 'B'})), EReadError);
    EXPECT_THROW(toText(Cat(B({0xFF, 0x0A, 0x00, 'A', 0, 0x30, 0x10, 100, 0, 0, 0}), Str("TPF0"))), EReadError);
    try {
        toText(B({0xFE}));
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid stream format");
    }
}

TEST(FormStreamFormat, Detect) {
    TMemoryStream a(Str("TPF0xx")), b(B({0xFF, 0x0A, 0x00})), c(Str("object")), d(Str("TP")), e;
    a.SetPosition(2);
    EXPECT_EQ(DetectFormStreamFormat(a), ffBinary);
    EXPECT_EQ(a.Position(), 0);
    EXPECT_EQ(DetectFormStreamFormat(b), ffResource);
    EXPECT_EQ(DetectFormStreamFormat(c), ffText);
    EXPECT_EQ(DetectFormStreamFormat(d), ffText);
    EXPECT_EQ(DetectFormStreamFormat(e), ffText);
}

// Malformed binary forms: a read error naming the problem, never a read outside the data.
TEST(FormBinaryReader, MalformedInput) {
    Bytes good = ToBinary(
        "object Form1: TForm1\n P = (1 'abc' {0102} [a] <item X = 2.5 end>)\n W = #1234#1235\n"
        " object B: TB [1]\n Q = 12.5s\n end\nend");
    ASSERT_NO_THROW(ToText(good));
    // Every proper prefix fails cleanly.
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_THROW(ToText(cut), EReadError) << n;
    }
    // Lengths larger than what is left.
    Bytes head = Cat(Str("TPF0"), B({2, 'T', 'A', 0, 1, 'P'}));
    EXPECT_THROW(ToText(Cat(head, B({12, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}))), EReadError);
    EXPECT_THROW(ToText(Cat(head, B({18, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}))), EReadError);
    EXPECT_THROW(ToText(Cat(head, B({10, 5, 0, 0, 0, 1, 2}))), EReadError);
    EXPECT_THROW(ToText(Cat(head, B({20, 0, 0, 0, 0x80}))), EReadError);
    EXPECT_THROW(ToText(Cat(head, B({6, 9, 'a'}))), EReadError);
    try {
        ToText(Cat(head, B({21, 0, 0})));
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid stream format: unknown value type 21 at offset 10");
    }
    EXPECT_THROW(ToText(Cat(Str("TPF1"), B({0, 0, 0, 0}))), EReadError);
    // A collection item without its list tag.
    EXPECT_THROW(ToText(Cat(head, B({14, 2, 1, 6, 0}))), EReadError);
}

TEST(FormBinaryReader, DeepNestingIsRejected) {
    // Nested lists and nested objects far beyond any real form: an error, not a stack overflow.
    Bytes lists = Cat(Str("TPF0"), B({2, 'T', 'A', 0, 1, 'P'}));
    lists.insert(lists.end(), 200000, vaList);
    try {
        ToText(lists);
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("nested deeper than 256 levels"), std::string::npos) << e.Message();
    }
    Bytes objects = Str("TPF0");
    for (int i = 0; i < 100000; ++i) objects.insert(objects.end(), {1, 'T', 0, 0});
    EXPECT_THROW(ToText(objects), EReadError);
    // Up to the limit is fine.
    Bytes ok = Cat(Str("TPF0"), B({2, 'T', 'A', 0, 1, 'P'}));
    ok.insert(ok.end(), 250, vaList);
    ok.insert(ok.end(), 250, vaNull);
    ok.insert(ok.end(), {0, 0});
    EXPECT_EQ(ToBinary(ToText(ok)), ok);

    std::string deepText = "object A: TA\n P = " + std::string(100000, '(') + "\nend";
    EXPECT_THROW(ToBinary(deepText), EParserError);
    std::string deepObjects;
    for (int i = 0; i < 100000; ++i) deepObjects += "object A: TA\n";
    EXPECT_THROW(ToBinary(deepObjects), EParserError);
}

TEST(FormReader, ValuesForComponentStreaming) {
    Bytes b = ToBinary("object A: TA\n P = 300\n S = 'x'#1234\n B = {0A0B}\n Q = (1 2)\n Z = 1\nend");
    TFormReader r(b);
    r.ReadSignature();
    uint8_t flags;
    int64_t pos;
    r.ReadPrefix(flags, pos);
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(r.ReadStr(), "TA");
    EXPECT_EQ(r.ReadStr(), "A");
    EXPECT_EQ(r.ReadStr(), "P");
    EXPECT_EQ(r.ReadInteger(), 300);
    EXPECT_EQ(r.ReadStr(), "S");
    EXPECT_EQ(r.ReadWideString(), u"x\u04D2");
    EXPECT_EQ(r.ReadStr(), "B");
    EXPECT_EQ(r.ReadBinary(), B({0x0A, 0x0B}));
    EXPECT_EQ(r.ReadStr(), "Q");
    r.SkipValue();
    EXPECT_EQ(r.ReadStr(), "Z");
    EXPECT_THROW(r.ReadAnsiString(), EReadError);
}
