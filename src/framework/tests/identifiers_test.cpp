// Names in any script: component, class and property names and identifier values of a form
// stored as UTF-8, as the compilers of the Unicode era write them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/FormParser.h"
#include "framework/FormStream.h"
#include "framework/Unicode.h"

using namespace fw;

namespace {

using Bytes = std::vector<uint8_t>;

// A binary form put together byte by byte, the way the compiler lays it out.
struct Raw {
    Bytes b{'T', 'P', 'F', '0'};
    Raw& Short(const std::string& s) {
        b.push_back(static_cast<uint8_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Raw& Tag(uint8_t t) {
        b.push_back(t);
        return *this;
    }
    // A wide string (tag 18): text values other than ASCII come back from the text form so (a
    // UTF-8 value, tag 20, comes back equal in value as a wide one).
    Raw& Wide(const std::u16string& s) {
        Tag(18);
        uint32_t n = static_cast<uint32_t>(s.size());
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(n >> (8 * i)));
        for (char16_t c : s) {
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
        }
        return *this;
    }
};

Bytes ToBinary(const std::string& text) {
    TMemoryStream out;
    TWriter w(out);
    ObjectTextToBinary(std::string_view(text), w);
    return out.Bytes();
}

std::string ParserErrorOf(const std::string& text) {
    try {
        ToBinary(text);
    } catch (const EParserError& e) {
        return e.Message();
    }
    return "(no error)";
}

// A form of the Unicode era: a form class, a label and a frame named in Chinese and Cyrillic
// letters, identifier values that name them (a focus control, an event handler, a dotted
// data source), a collection and a child of a class named in another script.
Bytes UnicodeEraForm() {
    Raw r;
    r.Short("TГлавнаяФорма").Short("ГлавнаяФорма");
    r.Short("Caption").Wide(u"Журнал");
    r.Short("ActiveControl").Tag(7).Short("日志记录");
    r.Short("OnShow").Tag(7).Short("ГлавнаяФормаShow");
    r.Tag(0);
    {
        r.Short("TLabel").Short("日志记录");
        r.Short("Caption").Wide(u"日志");
        r.Short("FocusControl").Tag(7).Short("Поле_ввода2");
        r.Short("Font.Style").Tag(11).Short("fsBold").Short("");
        r.Tag(0).Tag(0);
    }
    {
        r.Short("TEdit").Short("Поле_ввода2");
        r.Short("DataSource").Tag(7).Short("模块.数据源");
        r.Tag(0).Tag(0);
    }
    {
        r.Short("T状态栏").Short("状态栏١");  // an Arabic-Indic digit after the letters
        r.Short("Panels").Tag(14).Tag(1).Short("Text").Wide(u"就绪").Tag(0).Tag(0);
        r.Tag(0).Tag(0);
    }
    r.Tag(0);
    return r.b;
}

}  // namespace

TEST(Identifiers, LettersDigitsAndMarksOfAnyScript) {
    auto len = [](const std::string& s) { return IdentifierLength(s, 0); };
    EXPECT_EQ(len("Button1 "), 7u);
    EXPECT_EQ(len("_x9"), 3u);
    EXPECT_EQ(len("日志记录: TLabel"), std::string("日志记录").size());
    EXPECT_EQ(len("Кнопка_ОК1.Caption"), std::string("Кнопка_ОК1").size());
    EXPECT_EQ(len("状态栏١٢"), std::string("状态栏١٢").size());  // Arabic-Indic digits
    EXPECT_EQ(len("Cafe\xCC\x81"), 6u);                          // "e" + combining acute
    EXPECT_EQ(len("ｆｕｌｌ"), std::string("ｆｕｌｌ").size());  // fullwidth letters
    EXPECT_EQ(len("𠀀x"), 5u);                                   // a letter beyond the BMP
    // No identifier starts with a digit, a mark or a sign, in any script.
    EXPECT_EQ(len("1abc"), 0u);
    EXPECT_EQ(len("١abc"), 0u);
    EXPECT_EQ(len("\xCC\x81"
                  "abc"),
              0u);
    EXPECT_EQ(len("€uro"), 0u);
    EXPECT_EQ(len("«x»"), 0u);
    EXPECT_EQ(len("。x"), 0u);
    EXPECT_EQ(len("ab€"), 2u);  // ends at the sign
    // Bytes that are no UTF-8 end it: an 8-bit text is not taken for letters.
    EXPECT_EQ(len("ab\xE9t"), 2u);
    EXPECT_EQ(len("\xD0"), 0u);              // cut short
    EXPECT_EQ(len("\xC0\x80"), 0u);          // overlong
    EXPECT_EQ(len("\xED\xA0\x80"), 0u);      // a surrogate
    EXPECT_EQ(len("\xF4\x90\x80\x80"), 0u);  // beyond U+10FFFF
    EXPECT_TRUE(IsValidIdent("日志记录"));
    EXPECT_FALSE(IsValidIdent("日志 记录"));
    EXPECT_FALSE(IsValidIdent(""));
}

TEST(Identifiers, FirstCharacterAndCaseOfNames) {
    EXPECT_EQ(FirstCharLength("TForm"), 1u);
    EXPECT_EQ(FirstCharLength("Форма"), 2u);
    EXPECT_EQ(FirstCharLength("日志"), 3u);
    EXPECT_EQ(FirstCharLength("\xE9t"), 1u);
    EXPECT_EQ(FirstCharLength(""), 0u);
    EXPECT_TRUE(SameTextWide(u"TГлавнаяФорма", u"TГЛАВНАЯФОРМА"));
    EXPECT_TRUE(SameTextWide(u"tÄöüéřžłęąσς", u"TÄÖÜÉŘŽŁĘĄΣΣ"));
    EXPECT_TRUE(SameTextWide(u"T日志窗体", u"t日志窗体"));
    EXPECT_TRUE(SameTextWide(u"ёїґ", u"ЁЇҐ"));
    EXPECT_FALSE(SameTextWide(u"TФорма", u"TФормы"));
    EXPECT_FALSE(SameTextWide(u"TForm", u"TForm1"));
    EXPECT_EQ(UpperCaseCodePoint(U'ÿ'), U'Ÿ');
    EXPECT_EQ(UpperCaseCodePoint(U'ı'), U'I');
    EXPECT_EQ(UpperCaseCodePoint(U'Ω'), U'Ω');
    EXPECT_EQ(UpperCaseCodePoint(U'ա'), U'Ա');
    EXPECT_EQ(UpperCaseCodePoint(U'日'), U'日');
}

TEST(Identifiers, TokensInAnyScript) {
    TParser p("object 日志记录: TLabel\n  FocusControl = Форма.Поле_ввода2\nend");
    p.NextToken();
    EXPECT_EQ(p.Token(), toSymbol);
    EXPECT_EQ(p.TokenString(), "日志记录");
    EXPECT_EQ(p.NextToken(), ':');
    p.NextToken();
    EXPECT_EQ(p.TokenString(), "TLabel");
    p.NextToken();
    EXPECT_EQ(p.TokenString(), "FocusControl");
    p.NextToken();
    p.NextToken();
    EXPECT_EQ(p.TokenComponentIdent(), "Форма.Поле_ввода2");
    EXPECT_EQ(p.NextToken(), toSymbol);
    EXPECT_TRUE(p.TokenSymbolIs("end"));
}

// The text form writes names as they are (UTF-8) and reads them back: the same bytes.
TEST(Identifiers, BinaryTextBinaryKeepsEveryByte) {
    const Bytes form = UnicodeEraForm();
    const std::string text = ObjectBinaryToText(form.data(), form.size());
    EXPECT_NE(text.find("object ГлавнаяФорма: TГлавнаяФорма\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  ActiveControl = 日志记录\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  object 日志记录: TLabel\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    FocusControl = Поле_ввода2\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    DataSource = 模块.数据源\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  object 状态栏١: T状态栏\r\n"), std::string::npos) << text;
    EXPECT_EQ(ToBinary(text), form);

    // The resource form too, whose header carries the class name.
    TMemoryStream res;
    BinaryToResourceForm(form, res);
    TMemoryStream back;
    res.SetPosition(0);
    ObjectResourceToText(res, back);
    EXPECT_EQ(std::string(back.Bytes().begin(), back.Bytes().end()), text);
}

TEST(Identifiers, WhatIsNoIdentifierIsRefusedWithItsLine) {
    EXPECT_EQ(ParserErrorOf("object Form1: TForm1\r\n  object €uro: TLabel\r\n  end\r\nend\r\n"),
              "Identifier expected on line 2");
    EXPECT_EQ(ParserErrorOf("object Form1: TForm1\r\n  Caption = 'x'\r\n  ١abc = 1\r\nend\r\n"),
              "Identifier expected on line 3");
    // An 8-bit name (not UTF-8) is not taken for an identifier.
    EXPECT_EQ(ParserErrorOf("object Form1: TForm1\r\n  object \xCF\xF0\xE8: TLabel\r\n  end\r\nend\r\n"),
              "Identifier expected on line 2");
    EXPECT_EQ(ParserErrorOf("object Form1: TForm1\r\n  P = Form.\xE9t\r\nend\r\n"), "Identifier expected on line 2");
}
