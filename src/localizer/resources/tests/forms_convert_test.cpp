#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Classes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/resources/FormConvert.h"

using namespace resources;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRussian = 0x0419;
constexpr uint32_t kEnglishUS = 0x0409;

Bytes TextToBinary(const std::string& text, bool utf8, uint32_t langId) {
    fw::TMemoryStream in(Bytes(text.begin(), text.end())), out;
    FormTextToBinary(in, out, utf8, langId);
    return out.Bytes();
}

std::string BinaryToText(const Bytes& b) {
    fw::TMemoryStream in(b), out;
    FormBinaryToText(in, out);
    return std::string(out.Bytes().begin(), out.Bytes().end());
}

// The value bytes of the one property of "object A: TA / P = value / end".
Bytes ValueBytes(const std::string& value, bool utf8, uint32_t langId) {
    Bytes b = TextToBinary("object A: TA\r\n  P = " + value + "\r\nend\r\n", utf8, langId);
    return Bytes(b.begin() + 11, b.end() - 2);
}

Bytes B(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

}  // namespace

// "Файл" in the Cyrillic ANSI code page (1251) and in UTF-8.
const std::string kFileCp1251 = "\xD4\xE0\xE9\xEB";
const Bytes kFileUtf8 = B({0xD0, 0xA4, 0xD0, 0xB0, 0xD0, 0xB9, 0xD0, 0xBB});

TEST(FormsConvert, Utf8StringsWithTheLanguageCodePage) {
    Bytes v = ValueBytes("'" + kFileCp1251 + "'", true, kRussian);
    Bytes expect = B({20, 8, 0, 0, 0});
    expect.insert(expect.end(), kFileUtf8.begin(), kFileUtf8.end());
    EXPECT_EQ(v, expect);
    // Plain ASCII stays an 8-bit string; so does anything without UTF8Strings.
    EXPECT_EQ(ValueBytes("'File'", true, kRussian), B({6, 4, 'F', 'i', 'l', 'e'}));
    EXPECT_EQ(ValueBytes("'" + kFileCp1251 + "'", false, kRussian), B({6, 4, 0xD4, 0xE0, 0xE9, 0xEB}));
    // The same bytes read in the Western code page are other characters.
    EXPECT_EQ(ValueBytes("'\xE9'", true, kEnglishUS), B({20, 2, 0, 0, 0, 0xC3, 0xA9}));
    // Zero characters inside the text survive the code-page conversion.
    EXPECT_EQ(ValueBytes("'a'#0'\xC0'", true, kRussian), B({20, 4, 0, 0, 0, 'a', 0, 0xD0, 0x90}));
    // A long 8-bit string is measured in UTF-8 bytes once converted.
    std::string cyr(200, '\xC0');
    Bytes longV = ValueBytes("'" + cyr + "'", true, kRussian);
    EXPECT_EQ(Bytes(longV.begin(), longV.begin() + 5), B({20, 0x90, 0x01, 0, 0}));
}

TEST(FormsConvert, AnsiPartsJoinWideTextInTheSystemCodePage) {
    // 8-bit parts before and after a wide part are read in the system's ANSI code page
    // (Western on the machines the tests run on).
    ASSERT_EQ(kutils::Nls().GetACP(), 1252u);
    EXPECT_EQ(ValueBytes("'\x80' + #1234", false, kRussian), B({18, 2, 0, 0, 0, 0xAC, 0x20, 0xD2, 0x04}));
    EXPECT_EQ(ValueBytes("#1234 + 'a\x80'", false, kRussian), B({18, 3, 0, 0, 0, 0xD2, 0x04, 'a', 0, 0xAC, 0x20}));
}

TEST(FormsConvert, TextBinaryTextIsStable) {
    std::string text =
        "object Form1: TForm1\r\n"
        "  Caption = 'x'#1234\r\n"
        "  Hint = #1060#1072#1081#1083\r\n"
        "  Items.Strings = (\r\n"
        "    'a'\r\n"
        "    'b')\r\n"
        "  Ratio = 12.500000000000000000\r\n"
        "  Small = 12.5s\r\n"
        "  Money = 12345c\r\n"
        "end\r\n";
    for (bool utf8 : {false, true}) {
        Bytes b = TextToBinary(text, utf8, kRussian);
        EXPECT_EQ(BinaryToText(b), text);
        EXPECT_EQ(TextToBinary(BinaryToText(b), utf8, kRussian), b);
    }
    // A UTF-8 string reads back as the wide text it holds.
    Bytes u = TextToBinary("object A: TA\r\n  P = '" + kFileCp1251 + "'\r\nend\r\n", true, kRussian);
    EXPECT_EQ(BinaryToText(u), "object A: TA\r\n  P = #1060#1072#1081#1083\r\nend\r\n");
}

TEST(FormsConvert, ResourceForm) {
    std::string text = "object Dlg: TAboutBox\r\n  Caption = 'About'\r\nend\r\n";
    fw::TMemoryStream in(Bytes(text.begin(), text.end())), res;
    FormTextToResource(in, res, false, 0);
    Bytes bin = TextToBinary(text, false, 0);
    Bytes head = B({0xFF, 0x0A, 0x00, 'T', 'A', 'B', 'O', 'U', 'T', 'B', 'O', 'X', 0, 0x30, 0x10,
                    static_cast<int>(bin.size()), 0, 0, 0});
    ASSERT_EQ(res.Bytes().size(), head.size() + bin.size());
    EXPECT_EQ(Bytes(res.Bytes().begin(), res.Bytes().begin() + static_cast<long>(head.size())), head);
    EXPECT_EQ(DetectFormFormat(res), 0);
    fw::TMemoryStream back;
    FormResourceToText(res, back);
    EXPECT_EQ(std::string(back.Bytes().begin(), back.Bytes().end()), text);

    std::string c70 = "T" + std::string(69, 'n');
    std::string bad = "object X: " + c70 + "\r\nend\r\n";
    fw::TMemoryStream in70(Bytes(bad.begin(), bad.end())), out70;
    try {
        FormTextToResource(in70, out70, false, 0);
        ADD_FAILURE() << "no error";
    } catch (const fw::EParserError& e) {
        EXPECT_EQ(e.Message(), "Component name is too long: \"" + c70 + "\"");
    }
    EXPECT_EQ(out70.Size(), 0);
}

TEST(FormsConvert, ErrorsCarryTheLine) {
    try {
        TextToBinary("object A: TA\r\n  P = 1\r\n  Q = )\r\nend\r\n", true, kRussian);
        ADD_FAILURE() << "no error";
    } catch (const fw::EParserError& e) {
        EXPECT_EQ(e.Message(), "Invalid property value on line 3");
    }
}
