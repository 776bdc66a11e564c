#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/nls/NlsBackend.h"
#include "localizer/langres/LangRes.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/PrjProcs.h"
#include "localizer/resources/ResProc.h"

using namespace resources;
using langres::TLangResource;
using langres::TLResPropertyItem;

namespace {

using Bytes = std::vector<uint8_t>;

// A model with the native language English (US) and Russian as language 1.
class FormProcessor : public ::testing::Test {
protected:
    void SetUp() override {
        model_.SetNativeLangId(0x0409);
        model_.AddLanguage(0, 0x0419);
        proc_.LangResource = &model_;
        proc_.LangIndex = 1;
        proc_.LangId = 0x0419;
    }

    // A property of the form "Form1" (component "" is the form itself) with its Russian text.
    TLResPropertyItem* Prop(const std::string& component, const std::string& name, langres::TLResValueKind kind,
                            const std::u16string& text, uint16_t flags = 0) {
        langres::TLResFormItem* form = model_.Forms->Ensure("Form1");
        TLResPropertyItem* p = form->EnsureProperty(++id_, component.empty() ? nullptr : &component, name, kind);
        p->Values->Values(1)->SetText(text);
        if (flags) p->SetFlags(flags, true);
        return p;
    }

    std::string ProcessText(const std::string& text) {
        fw::TMemoryStream s(Bytes(text.begin(), text.end()));
        proc_.ProcessStream(s);
        return std::string(s.Bytes().begin(), s.Bytes().end());
    }

    static Bytes ToBinary(const std::string& text) {
        fw::TMemoryStream in(Bytes(text.begin(), text.end())), out;
        FormTextToBinary(in, out, false, 0);
        return out.Bytes();
    }
    static std::string ToText(const Bytes& b) {
        fw::TMemoryStream in(b), out;
        FormBinaryToText(in, out);
        return std::string(out.Bytes().begin(), out.Bytes().end());
    }

    std::string ErrorOf(const std::string& text) {
        try {
            ProcessText(text);
        } catch (const EPrjProcsError& e) {
            return e.Message();
        }
        return "(no error)";
    }

    TLangResource model_;
    TFormProcessor proc_;
    uint32_t id_ = 0;
};

const std::string kForm =
    "object Form1: TForm1\r\n"
    "  Left = 10\r\n"
    "  Caption = 'Main window'\r\n"
    "  Font.Charset = DEFAULT_CHARSET\r\n"
    "  Hint = \r\n"
    "    'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' +\r\n"
    "    'bbbb'\r\n"
    "  object ListBox1: TListBox\r\n"
    "    Items.Strings = (\r\n"
    "      'one'\r\n"
    "      'two')\r\n"
    "    TabOrder = 0\r\n"
    "  end\r\n"
    "  object TBevel\r\n"
    "    Shape = bsFrame\r\n"
    "  end\r\n"
    "  object ListView1: TListView\r\n"
    "    Columns = <\r\n"
    "      item\r\n"
    "        Caption = 'Name'\r\n"
    "      end\r\n"
    "      item [5]\r\n"
    "        Caption = 'Size'\r\n"
    "      end>\r\n"
    "  end\r\n"
    "  inline TopFrame: TFrame1\r\n"
    "    Hint = 'frame'\r\n"
    "    object NameEdit: TEdit\r\n"
    "      Text = 'name'\r\n"
    "    end\r\n"
    "  end\r\n"
    "  object NameEdit: TEdit\r\n"
    "    Text = 'outer'\r\n"
    "  end\r\n"
    "end\r\n";

}  // namespace

TEST_F(FormProcessor, FormWithoutModelEntryKeepsItsValues) {
    // Every encoding comes back in its own encoding with its values.
    EXPECT_EQ(ProcessText(kForm), kForm);
    Bytes bin = ToBinary(kForm);
    fw::TMemoryStream b(bin);
    proc_.ProcessStream(b);
    EXPECT_EQ(b.Bytes(), bin);
    fw::TMemoryStream res;
    BinaryToResourceForm(bin, res);
    Bytes resBytes = res.Bytes();
    proc_.ProcessStream(res);
    EXPECT_EQ(res.Bytes(), resBytes);
    EXPECT_EQ(proc_.FormName, "Form1");
    EXPECT_EQ(proc_.FormItem, nullptr);
}

TEST_F(FormProcessor, PropertiesReplacedWhole) {
    Prop("", "Caption", langres::vkString, u"\u0413\u043B\u0430\u0432\u043D\u043E\u0435 It's");
    Prop("", "Hint", langres::vkString, u"short");
    Prop("", "Left", langres::vkInteger, u"20");
    Prop("ListBox1", "Items.Strings", langres::vkStringList, u"\u043E\u0434\u0438\u043D\r\ntwo\r\n\u0442\u0440\u0438");
    Prop("TopFrame.NameEdit", "Text", langres::vkString, u"inner");
    Prop("NameEdit", "Text", langres::vkString, u"");  // empty: the line goes
    std::string out = ProcessText(kForm);
    std::string expect = kForm;
    auto replace = [&](const std::string& from, const std::string& to) {
        size_t at = expect.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expect.replace(at, from.size(), to);
    };
    replace("  Left = 10\r\n", "  Left = 20\r\n");
    replace("  Font.Charset = DEFAULT_CHARSET\r\n", "          Font.Charset = RUSSIAN_CHARSET\r\n");
    replace("  Caption = 'Main window'\r\n", "  Caption = '\xC3\xEB\xE0\xE2\xED\xEE\xE5 It''s'\r\n");
    replace("  Hint = \r\n    'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' +\r\n    'bbbb'\r\n",
            "  Hint = 'short'\r\n");
    replace("    Items.Strings = (\r\n      'one'\r\n      'two')\r\n",
            "    Items.Strings = (\r\n      '\xEE\xE4\xE8\xED'\r\n      'two'\r\n      '\xF2\xF0\xE8')\r\n");
    replace("      Text = 'name'\r\n", "      Text = 'inner'\r\n");
    replace("    Text = 'outer'\r\n", "");
    EXPECT_EQ(out, expect);
    // The result is still a valid form.
    EXPECT_NO_THROW(ToBinary(out));
}

TEST_F(FormProcessor, FontCharsetFollowsTheLanguage) {
    Prop("", "Caption", langres::vkString, u"x");  // the form is in the model
    std::string out = ProcessText(kForm);
    EXPECT_NE(out.find("\r\n          Font.Charset = RUSSIAN_CHARSET\r\n"), std::string::npos) << out;
    proc_.ReplaceCharset = false;
    EXPECT_NE(ProcessText(kForm).find("\r\n  Font.Charset = DEFAULT_CHARSET\r\n"), std::string::npos);
    // A language whose character set has no identifier leaves the line alone.
    proc_.ReplaceCharset = true;
    model_.AddLanguage(0, 0x042A);  // Vietnamese
    proc_.LangIndex = 2;
    EXPECT_NE(ProcessText(kForm).find("\r\n  Font.Charset = DEFAULT_CHARSET\r\n"), std::string::npos);
}

TEST_F(FormProcessor, UnnamedChildrenAndCollectionItems) {
    Prop(".TBevel2", "Shape", langres::vkIdent, u"bsBox");
    Prop("ListView1.Columns[0]", "Caption", langres::vkString, u"Nom");
    Prop("ListView1.Columns[1]", "Caption", langres::vkString, u"Taille");
    std::string out = ProcessText(kForm);
    EXPECT_NE(out.find("    Shape = bsBox\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("      item\r\n        Caption = 'Nom'\r\n      end\r\n      item [5]\r\n"
                       "        Caption = 'Taille'\r\n      end>\r\n"),
              std::string::npos)
        << out;
}

// An embedded frame's own property has one key, the frame's path on the form: the key the live
// translator resolves to the frame object.
TEST_F(FormProcessor, InlineFramesOwnPropertyByItsPath) {
    Prop("TopFrame.TopFrame", "Hint", langres::vkString, u"twice");
    EXPECT_NE(ProcessText(kForm).find("    Hint = 'frame'\r\n"), std::string::npos);
    Prop("TopFrame", "Hint", langres::vkString, u"cadre");
    Prop("TopFrame.NameEdit", "Text", langres::vkString, u"nom");
    std::string out = ProcessText(kForm);
    EXPECT_NE(out.find("  inline TopFrame: TFrame1\r\n    Hint = 'cadre'\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("      Text = 'nom'\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("    Text = 'outer'\r\n"), std::string::npos) << out;  // the form's own NameEdit
}

TEST_F(FormProcessor, AddedUntranslatedAndWideProperties) {
    Prop("ListBox1", "Hint", langres::vkString, u"added", langres::vfAdded);
    Prop("ListBox1", "TabOrder", langres::vkInteger, u"5", langres::vfDoNotTranslate);
    Prop("", "Caption", langres::vkString, u"Don't \u0416", langres::vfWide);
    std::string out = ProcessText(kForm);
    EXPECT_NE(out.find("    TabOrder = 0\r\nHint = 'added'\r\n  end\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Caption = 'Don'#39't '#1046\r\n"), std::string::npos) << out;
    // With UTF8Strings every translated string is written in the wide form.
    proc_.UTF8Strings = true;
    Prop("", "Hint", langres::vkString, u"\u0416x");
    out = ProcessText(kForm);
    EXPECT_NE(out.find("  Hint = #1046'x'\r\n"), std::string::npos) << out;
    // The binary form stores it as UTF-8.
    Bytes bin = ToBinary(kForm);
    fw::TMemoryStream b(bin);
    proc_.ProcessStream(b);
    std::string s(b.Bytes().begin(), b.Bytes().end());
    EXPECT_NE(s.find(std::string("Hint\x14\x03\x00\x00\x00\xD0\x96"
                                 "x",
                                 12)),
              std::string::npos);
}

TEST_F(FormProcessor, WideQuoting) {
    EXPECT_EQ(WideQuoteString(u""), "''");
    EXPECT_EQ(WideQuoteString(u"Don't"), "'Don'#39't'");
    EXPECT_EQ(WideQuoteString(u"\r\n\u00E9x\u007F"), "#13#10#233'x\x7F'");
    EXPECT_EQ(CharsetIdent(204), "RUSSIAN_CHARSET");
    EXPECT_EQ(CharsetIdent(163), "");
}

TEST_F(FormProcessor, Errors) {
    EXPECT_EQ(ErrorOf("object Form1: TForm1\r\n  Left 10\r\nend\r\n"), "Wrong DFM Format\r\nLine#: 2\r\nForm: Form1");
    // No header read yet: the message names the previous form.
    EXPECT_EQ(ErrorOf("'x'"), "Wrong DFM Format\r\nLine#: 1\r\nForm: Form1");
    EXPECT_EQ(ErrorOf("object Form1: TForm1\r\n  C = <\r\n    thing\r\n  end>\r\nend\r\n"),
              "Wrong DFM Format\r\nLine#: 3\r\nForm: Form1");
    EXPECT_EQ(ErrorOf("object Form1: TForm1 [1\r\nend\r\n"), "Wrong DFM Format\r\nLine#: 2\r\nForm: Form1");
    // A translated value the converter cannot read back.
    Prop("", "Left", langres::vkInteger, u"12 34");
    Bytes bin = ToBinary(kForm);
    fw::TMemoryStream b(bin);
    try {
        proc_.ProcessStream(b);
        ADD_FAILURE() << "no error";
    } catch (const EPrjProcsError& e) {
        EXPECT_EQ(e.Message(), "Error while processing form \"Form1\"\r\nIdentifier expected on line 2");
    }
    EXPECT_EQ(b.Bytes(), bin);  // untouched
    // A broken value of a translated property drops it; the rest goes on.
    Prop("", "Caption", langres::vkString, u"ok");
    std::string broken = "object Form1: TForm1\r\n  Hint = 'open\r\n  Caption = 'x'\r\nend\r\n";
    model_.Forms->Ensure("Form1")->EnsureProperty(++id_, nullptr, "Hint", langres::vkString);
    EXPECT_EQ(ProcessText(broken), "object Form1: TForm1\r\n  Caption = 'ok'\r\nend\r\n");
    // Deeply nested objects end in an error, not a stack overflow.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "object A: TA\r\n";
    EXPECT_THROW(ProcessText(deep), fw::Exception);
}

TEST_F(FormProcessor, FormsOfAModule) {
    Prop("", "Caption", langres::vkString, u"Translated");
    TResProcessor none;
    proc_.FormNames = {"Form1"};
    try {
        proc_.ProcessForms(none);
        ADD_FAILURE() << "no error";
    } catch (const EPrjProcsError& e) {
        EXPECT_EQ(e.Message(), "Can't find RCDATA block");
    }

    TResProcessor rp;
    auto* rc = static_cast<TResRCData*>(rp.AddBlock(std::make_unique<TResRCData>()));
    fw::TMemoryStream res;
    BinaryToResourceForm(ToBinary(kForm), res);
    res.SetPosition(0);
    rc->Add("TFORM1")->LoadData(res);
    fw::TMemoryStream other(Bytes{1, 2, 3});
    rc->Add("OTHER")->LoadData(other);
    proc_.FormNames = {"Missing", "form1"};
    proc_.ProcessForms(rp);
    fw::TMemoryStream data;
    rc->FindByName("TFORM1")->SaveData(data);
    ASSERT_EQ(DetectFormFormat(data), 0);
    fw::TMemoryStream text;
    FormResourceToText(data, text);
    std::string t(text.Bytes().begin(), text.Bytes().end());
    EXPECT_NE(t.find("  Caption = 'Translated'\r\n"), std::string::npos) << t;
    EXPECT_EQ(rc->FindByName("OTHER")->DataSize(), 3);
}

// Keeping the charset, a module for another language stores the translated texts as UTF-8 and
// keeps the untranslated 8-bit texts in the characters they had in the native program: a German
// "Größe" in the Russian module of a German program stays "Größe", read in the native language's
// code page and not in the target's.
TEST_F(FormProcessor, UntranslatedEightBitTextsKeepTheirCharacters) {
    TLangResource model;
    model.SetNativeLangId(0x0407);
    model.AddLanguage(0, 0x0419);
    proc_.LangResource = &model;
    langres::TLResFormItem* form = model.Forms->Ensure("Form1");
    std::string list = "ListBox1";
    TLResPropertyItem* caption = form->EnsureProperty(1, nullptr, "Caption", langres::vkString);
    caption->Values->Values(1)->SetText(u"\u0420\u0430\u0437\u043C\u0435\u0440");
    TLResPropertyItem* items = form->EnsureProperty(2, &list, "Items.Strings", langres::vkStringList);
    items->Values->Values(1)->SetText(u"\u043E\u0434\u0438\u043D\r\n\u0434\u0432\u0430");
    proc_.UTF8Strings = true;
    proc_.ReplaceCharset = false;
    const std::string text =
        "object Form1: TForm1\r\n"
        "  Caption = 'Gr\xF6\xDF"
        "e'\r\n"
        "  Hint = 'Gr\xF6\xDF"
        "e der Datei'\r\n"
        "  object ListBox1: TListBox\r\n"
        "    Items.Strings = (\r\n"
        "      'eins'\r\n"
        "      'zw\xF6lf')\r\n"
        "  end\r\n"
        "  object Label1: TLabel\r\n"
        "    Caption = '\xC4nderung'\r\n"
        "  end\r\n"
        "end\r\n";
    Bytes bin = ToBinary(text);
    fw::TMemoryStream b(bin);
    proc_.ProcessStream(b);
    std::string out = ToText(b.Bytes());
    // Translated: the Russian texts; untranslated: the German ones, whatever their encoding.
    EXPECT_NE(out.find("  Caption = #1056#1072#1079#1084#1077#1088\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Hint = 'Gr'#246#223'e der Datei'\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("      #1086#1076#1080#1085\r\n      #1076#1074#1072)\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("    Caption = #196'nderung'\r\n"), std::string::npos) << out;
}

namespace {

// A text of a binary form as the program's reader gets it, with the tag it was stored under:
// 8-bit text is read in the code page of the system the program runs on.
struct TFormText {
    uint8_t Tag;
    std::u16string Text;
};
using TFormTexts = std::map<std::string, TFormText>;

void ReadTexts(fw::TFormReader& r, const std::string& path, TFormTexts& out);

void ReadValueText(fw::TFormReader& r, const std::string& key, TFormTexts& out) {
    fw::TValueType t = r.NextValue();
    if (t == fw::vaString || t == fw::vaLString) {
        out[key] = {t, kutils::AnsiToWideCP(r.ReadAnsiString(), 0)};
    } else if (t == fw::vaWString || t == fw::vaUTF8String) {
        out[key] = {t, r.ReadWideString()};
    } else if (t == fw::vaList) {
        r.ReadValue();
        for (int i = 0; !r.EndOfList(); ++i) ReadValueText(r, key + "[" + std::to_string(i) + "]", out);
        r.ReadListEnd();
    } else if (t == fw::vaCollection) {
        r.ReadValue();
        for (int i = 0; !r.EndOfList(); ++i) {
            if (r.NextValue() != fw::vaList) r.ReadInteger();
            r.ReadValue();
            while (!r.EndOfList()) {
                std::string prop = r.ReadStr();
                ReadValueText(r, key + "[" + std::to_string(i) + "]." + prop, out);
            }
            r.ReadListEnd();
        }
        r.ReadListEnd();
    } else {
        r.SkipValue();
    }
}

void ReadTexts(fw::TFormReader& r, const std::string& path, TFormTexts& out) {
    uint8_t flags;
    int64_t pos;
    r.ReadPrefix(flags, pos);
    r.ReadStr();
    std::string name = r.ReadStr();
    std::string key = path.empty() ? name : path + "." + name;
    while (!r.EndOfList()) {
        std::string prop = r.ReadStr();
        ReadValueText(r, key + "." + prop, out);
    }
    r.ReadListEnd();
    while (!r.EndOfList()) ReadTexts(r, key, out);
    r.ReadListEnd();
}

TFormTexts TextsOf(const Bytes& binary) {
    fw::TFormReader r(binary);
    r.ReadSignature();
    TFormTexts out;
    ReadTexts(r, "", out);
    return out;
}

// The host's code-page tables with another system code page, as on a system set up for
// another language.
class TOtherAcpNls : public kutils::INls {
public:
    explicit TOtherAcpNls(uint32_t acp) : base_(kutils::nls::DefaultNls()), acp_(acp) {}
    int GetLocaleInfo(kutils::LCID lcid, uint32_t type, char* buffer, int size) override {
        return base_.GetLocaleInfo(lcid, type, buffer, size);
    }
    std::vector<std::string> EnumSystemLocales() override { return base_.EnumSystemLocales(); }
    bool IsValidCodePage(uint32_t cp) override { return base_.IsValidCodePage(cp); }
    uint32_t GetACP() override { return acp_; }
    bool CodePageCharset(uint32_t cp, uint8_t& charset) override { return base_.CodePageCharset(Cp(cp), charset); }
    bool MultiByteToWide(uint32_t cp, const std::string& text, std::u16string& out) override {
        return base_.MultiByteToWide(Cp(cp), text, out);
    }
    bool WideToMultiByte(uint32_t cp, const std::u16string& text, std::string& out) override {
        return base_.WideToMultiByte(Cp(cp), text, out);
    }

private:
    uint32_t Cp(uint32_t cp) const { return cp <= 3 ? acp_ : cp; }
    kutils::INls& base_;
    uint32_t acp_;
};

struct ScopedNls {
    explicit ScopedNls(kutils::INls* n) { kutils::SetNls(n); }
    ~ScopedNls() { kutils::SetNls(nullptr); }
};

const std::string kMixedForm =
    "object Form1: TForm1\r\n"
    "  Caption = 'File'\r\n"
    "  Hint = 'Open'\r\n"
    "  object Combo: TComboBox\r\n"
    "    Items.Strings = (\r\n"
    "      'Russian'\r\n"
    "      'Auto'\r\n"
    "      'Summer')\r\n"
    "  end\r\n"
    "  object Edit: TEdit\r\n"
    "    Text = 'Edit'\r\n"
    "  end\r\n"
    "  object RuLabel: TLabel\r\n"
    "    Caption = #1060#1072#1081#1083\r\n"
    "  end\r\n"
    "  object ZhLabel: TLabel\r\n"
    "    Caption = #25991#20214\r\n"
    "  end\r\n"
    "  object Box: TCheckBox\r\n"
    "    Caption = 'AVX512'\r\n"
    "  end\r\n"
    "  object View: TListView\r\n"
    "    Columns = <\r\n"
    "      item\r\n"
    "        Caption = #21517#31216\r\n"
    "      end\r\n"
    "      item\r\n"
    "        Caption = 'Size'\r\n"
    "      end>\r\n"
    "  end\r\n"
    "end\r\n";

// A French module (code page 1252) of a program whose texts are partly Russian and Chinese.
class WesternModule : public FormProcessor {
protected:
    void SetUp() override {
        FormProcessor::SetUp();
        model_fr_.SetNativeLangId(0x0419);
        proc_.LangResource = &model_fr_;
        proc_.LangIndex = 1;
        proc_.LangId = 0x040C;
        proc_.ReplaceCharset = false;
        form_ = model_fr_.Forms->Ensure("Form1");
        // The dictionary of the program, then French added: each French value follows its
        // native text until it is translated.
        Native("", "Caption", langres::vkString, u"File");
        Native("", "Hint", langres::vkString, u"Open");
        Native("Combo", "Items.Strings", langres::vkStringList, u"Russian\r\nAuto\r\nSummer");
        Native("Edit", "Text", langres::vkString, u"Edit");
        Native("RuLabel", "Caption", langres::vkString, u"\u0424\u0430\u0439\u043B");
        Native("ZhLabel", "Caption", langres::vkString, u"\u6587\u4EF6");
        Native("Box", "Caption", langres::vkString, u"AVX512");
        Native("View.Columns[0]", "Caption", langres::vkString, u"\u540D\u79F0");
        Native("View.Columns[1]", "Caption", langres::vkString, u"Size");
        model_fr_.AddLanguage(0, 0x040C);
    }

    TLResPropertyItem* Native(const std::string& component, const std::string& name, langres::TLResValueKind kind,
                              const std::u16string& text) {
        TLResPropertyItem* p = form_->EnsureProperty(++id_, component.empty() ? nullptr : &component, name, kind);
        p->NativeValue()->SetText(text);
        return p;
    }
    void Translate(const std::string& component, const std::string& name, const std::u16string& text) {
        auto* c = component.empty() ? form_->FindComponent(nullptr) : form_->FindComponent(&component);
        ASSERT_NE(c, nullptr) << component;
        auto* p = static_cast<TLResPropertyItem*>(c->Properties->ItemByName(name));
        ASSERT_NE(p, nullptr) << name;
        p->Values->Values(1)->SetText(text);
        p->Values->Values(1)->SetRevision(1);
    }

    // The form translated in a module written and read back, as the program's reader sees it
    // on this system, or on one with the NLS readWith.
    TFormTexts ModuleTexts(kutils::INls* readWith = nullptr) {
        TResProcessor rp;
        rp.FixedTimeStamp = 7;
        auto* rc = static_cast<TResRCData*>(rp.AddBlock(std::make_unique<TResRCData>()));
        fw::TMemoryStream res;
        BinaryToResourceForm(ToBinary(kMixedForm), res);
        res.SetPosition(0);
        rc->Add("TFORM1")->LoadData(res);
        proc_.FormNames = {"Form1"};
        proc_.ProcessForms(rp);
        fw::TMemoryStream module;
        rp.SaveToStream(module);
        std::string path = (std::filesystem::temp_directory_path() /
                            ("vtp_forms_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".dll"))
                               .string();
        fw::WriteFileAtomically(path, module.Memory(), static_cast<size_t>(module.Size()));
        TResProcessor back;
        back.LoadFromFile(path);
        std::filesystem::remove(path);
        fw::TMemoryStream data;
        static_cast<TResRCData*>(back.FindBlock(10))->FindByName("TFORM1")->SaveData(data);
        const Bytes& b = data.Bytes();
        size_t header = 3;
        while (header < b.size() && b[header]) ++header;
        Bytes binary(b.begin() + static_cast<std::ptrdiff_t>(header + 7), b.end());
        if (!readWith) return TextsOf(binary);
        ScopedNls scoped(readWith);
        return TextsOf(binary);
    }

    TLangResource model_fr_;
    langres::TLResFormItem* form_ = nullptr;
};

void ExpectText(const TFormTexts& t, const std::string& key, const std::u16string& text, uint8_t tag) {
    auto it = t.find(key);
    ASSERT_NE(it, t.end()) << key;
    EXPECT_EQ(it->second.Text, text) << key;
    EXPECT_EQ(static_cast<int>(it->second.Tag), static_cast<int>(tag)) << key;
}
bool Wide(uint8_t tag) {
    return tag == fw::vaWString || tag == fw::vaUTF8String;
}

}  // namespace

// Nothing becomes "?" nor is left to a code page that does not hold it: untranslated Cyrillic
// and Chinese texts, a translation mixing scripts, a Russian list in a Western module.
TEST_F(WesternModule, TextsTheCodePageCannotHoldGoWide) {
    Translate("", "Caption", u"Fichier \u6587\u4EF6 \u0160koda");
    Translate("", "Hint", u"Ouvrir");
    Translate("Combo", "Items.Strings",
              u"[\u0420\u0443\u0441\u0441\u043A\u0438\u0439\u00B7\u00B7]\r\nAuto\r\n\u00C9t\u00E9");
    Translate("Edit", "Text", u"\u00C9diter");
    TFormTexts t = ModuleTexts();
    ASSERT_TRUE(Wide(t["Form1.Caption"].Tag));
    EXPECT_EQ(t["Form1.Caption"].Text, u"Fichier \u6587\u4EF6 \u0160koda");
    ASSERT_TRUE(Wide(t["Form1.Combo.Items.Strings[0]"].Tag));
    EXPECT_EQ(t["Form1.Combo.Items.Strings[0]"].Text, u"[\u0420\u0443\u0441\u0441\u043A\u0438\u0439\u00B7\u00B7]");
    // Untranslated: the native texts exactly, not their 8-bit form read in 1252.
    ASSERT_TRUE(Wide(t["Form1.RuLabel.Caption"].Tag));
    EXPECT_EQ(t["Form1.RuLabel.Caption"].Text, u"\u0424\u0430\u0439\u043B");
    ASSERT_TRUE(Wide(t["Form1.ZhLabel.Caption"].Tag));
    EXPECT_EQ(t["Form1.ZhLabel.Caption"].Text, u"\u6587\u4EF6");
    ASSERT_TRUE(Wide(t["Form1.View.Columns[0].Caption"].Tag));
    EXPECT_EQ(t["Form1.View.Columns[0].Caption"].Text, u"\u540D\u79F0");
    // What 1252 holds keeps the 8-bit form: ASCII and accented Latin alike.
    ExpectText(t, "Form1.Hint", u"Ouvrir", fw::vaString);
    ExpectText(t, "Form1.Combo.Items.Strings[1]", u"Auto", fw::vaString);
    ExpectText(t, "Form1.Combo.Items.Strings[2]", u"\u00C9t\u00E9", fw::vaString);
    ExpectText(t, "Form1.Edit.Text", u"\u00C9diter", fw::vaString);
    ExpectText(t, "Form1.View.Columns[1].Caption", u"Size", fw::vaString);
}

// A system whose code page is 1251 reads the same module: the texts written wide are exact.
// With 8-bit strings for ASCII only, so is every other text, "Ünïcode" included.
TEST_F(WesternModule, ReadOnASystemOfAnotherCodePage) {
    Translate("", "Caption", u"Fichier \u6587\u4EF6 \u0160koda");
    Translate("Combo", "Items.Strings", u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439\r\nAuto\r\n\u00C9t\u00E9");
    Translate("Box", "Caption", u"\u00DCAVX512\u00DF");
    TOtherAcpNls cyrillic(1251);
    {
        TFormTexts t = ModuleTexts(&cyrillic);
        EXPECT_EQ(t["Form1.Caption"].Text, u"Fichier \u6587\u4EF6 \u0160koda");
        EXPECT_EQ(t["Form1.Combo.Items.Strings[0]"].Text, u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
        EXPECT_EQ(t["Form1.RuLabel.Caption"].Text, u"\u0424\u0430\u0439\u043B");
        EXPECT_EQ(t["Form1.ZhLabel.Caption"].Text, u"\u6587\u4EF6");
        // 8-bit text of the module's language is the system's to read: 1251 shows other letters.
        ExpectText(t, "Form1.Box.Caption", u"\u042CAVX512\u042F", fw::vaString);
    }
    proc_.ProgramReader = resources::TFormReaderKinds{};  // a Unicode-era reader
    TFormTexts t = ModuleTexts(&cyrillic);
    for (const auto& [key, text] : t) {
        bool ascii = std::all_of(text.Text.begin(), text.Text.end(), [](char16_t c) { return c < 128; });
        EXPECT_EQ(Wide(text.Tag), !ascii) << key;
    }
    EXPECT_EQ(t["Form1.Box.Caption"].Text, u"\u00DCAVX512\u00DF");
    EXPECT_EQ(t["Form1.Combo.Items.Strings[2]"].Text, u"\u00C9t\u00E9");
    EXPECT_EQ(t["Form1.Caption"].Text, u"Fichier \u6587\u4EF6 \u0160koda");
    EXPECT_EQ(t["Form1.ZhLabel.Caption"].Text, u"\u6587\u4EF6");
    ExpectText(t, "Form1.Combo.Items.Strings[1]", u"Auto", fw::vaString);
    ExpectText(t, "Form1.Hint", u"Open", fw::vaString);
}

// An 8-bit-era reader that takes wide strings but not UTF-8 ones: what 1252 holds is 8-bit,
// everything else tag 18 (never 20, even where UTF-8 would be shorter), untranslated wide texts
// of the program included.
TEST_F(WesternModule, EightBitEraReaderWithWideStrings) {
    resources::TFormReaderKinds reader;
    reader.Generation = resources::TGeneration::Ansi;
    reader.Utf8 = false;
    proc_.ProgramReader = reader;
    Translate("", "Caption", u"Fichier \u6587\u4EF6 \u0160koda");
    Translate("", "Hint", u"Ouvrir");
    Translate("Edit", "Text", u"\u00C9diter");
    TFormTexts t = ModuleTexts();
    EXPECT_TRUE(proc_.Unwritable.empty());
    ExpectText(t, "Form1.Caption", u"Fichier \u6587\u4EF6 \u0160koda", fw::vaWString);
    ExpectText(t, "Form1.RuLabel.Caption", u"\u0424\u0430\u0439\u043B", fw::vaWString);
    ExpectText(t, "Form1.View.Columns[0].Caption", u"\u540D\u79F0", fw::vaWString);
    ExpectText(t, "Form1.Hint", u"Ouvrir", fw::vaString);
    ExpectText(t, "Form1.Edit.Text", u"\u00C9diter", fw::vaString);
    for (const auto& [key, text] : t) EXPECT_NE(static_cast<int>(text.Tag), fw::vaUTF8String) << key;
}

// A reader that takes 8-bit strings only: every text the language's code page cannot hold is
// named with the code page, translated or not, once each in the order met; what it holds is
// written 8-bit.
TEST_F(WesternModule, EightBitOnlyReaderNamesWhatCannotBeWritten) {
    resources::TFormReaderKinds reader;
    reader.Generation = resources::TGeneration::Ansi;
    reader.Wide = reader.Utf8 = false;
    proc_.ProgramReader = reader;
    Translate("", "Caption", u"Fichier \u6587\u4EF6");
    Translate("", "Hint", u"Ouvrir");
    Translate("Combo", "Items.Strings", u"\u0420\u0443\u0441\r\n\u0420\u0443\r\n\u00C9t\u00E9");
    Translate("Box", "Caption", u"\u00DCAVX512\u00DF");
    TFormTexts t = ModuleTexts();
    const std::string tail = ": cannot be written in code page 1252 for this program's form reader";
    EXPECT_EQ(proc_.Unwritable,
              (std::vector<std::string>{"Form1.Caption" + tail, "Form1.Combo.Items.Strings" + tail,
                                        "Form1.RuLabel.Caption" + tail, "Form1.ZhLabel.Caption" + tail,
                                        "Form1.View.Columns[0].Caption" + tail}));
    ExpectText(t, "Form1.Hint", u"Ouvrir", fw::vaString);
    ExpectText(t, "Form1.Box.Caption", u"\u00DCAVX512\u00DF", fw::vaString);
    ExpectText(t, "Form1.Combo.Items.Strings[2]", u"\u00C9t\u00E9", fw::vaString);
}
