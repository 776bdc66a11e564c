// A program of the Unicode era whose components, classes and forms are named in Chinese and
// Cyrillic letters: its forms through the text form and back, its dictionary, its module.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ToolTest.h"
#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/ResProc.h"

using resources::TResId;
using resources::TResProcessor;
using resources::TResRawBlock;
using resources::TResRCData;
namespace fs = std::filesystem;

namespace {

using tooltest::Bytes;
using tooltest::Q;
using tooltest::Result;
using tooltest::Vtploc;

class VtplocNames : public tooltest::ToolTest {};

const char* const kMainForm = R"(object MainForm: TMainForm
  Caption = 'Journal'
  ActiveControl = 日志记录
  OnShow = MainFormShow
  object 日志记录: TLabel
    Caption = 'Log entries'
    FocusControl = Поле_ввода
  end
  object Поле_ввода: TEdit
    Hint = 'Enter a name'
    Text = '1'
  end
  object 状态栏: TStatusBar
    Panels = <
      item
        Text = 'Ready'
      end>
  end
end
)";

const char* const kSettingsForm = R"(object ГлавнаяФорма: TГлавнаяФорма
  Caption = 'Settings'
  object Кнопка1: TButton
    Caption = 'Apply'
    OnClick = Кнопка1Click
  end
end
)";

const char* const kLogForm = R"(object 日志窗体: T日志窗体
  Caption = 'Log window'
end
)";

Bytes Binary(const std::string& text) {
    fw::TMemoryStream in(std::vector<uint8_t>(text.begin(), text.end())), out;
    resources::FormTextToBinary(in, out, false, 0);
    return out.Bytes();
}

TResId Name(const std::u16string& n) {
    TResId id;
    id.IsName = true;
    id.Name = n;
    return id;
}

// The forms under the names the compiler gives their resources: the class name in upper case.
Bytes UnicodeEraApp() {
    TResProcessor p;
    TResId rcdata;
    rcdata.Id = 10;
    auto* rc = static_cast<TResRawBlock*>(p.AddBlock(std::make_unique<TResRawBlock>(rcdata)));
    rc->Entries.push_back({Name(u"TMAINFORM"), 0, Binary(kMainForm)});
    rc->Entries.push_back({Name(u"TГЛАВНАЯФОРМА"), 0, Binary(kSettingsForm)});
    rc->Entries.push_back({Name(u"T日志窗体"), 0, Binary(kLogForm)});
    rc->Entries.push_back({Name(u"DVCLAL"), 0, Bytes(16, 0xA2)});
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

std::string Text(const Bytes& binary) {
    return fw::ObjectBinaryToText(binary.data(), binary.size());
}

}  // namespace

TEST_F(VtplocNames, FormsGoThroughTheTextFormUnchanged) {
    for (const char* text : {kMainForm, kSettingsForm, kLogForm}) {
        const Bytes binary = Binary(text);
        const std::string bin = Put("form.bin", binary), txt = Path("form.txt"), back = Path("back.bin");
        Result r = Vtploc("form totext " + Q(bin) + " " + Q(txt));
        ASSERT_EQ(r.status, 0) << r.err;
        // Names as the IDE writes them: the letters themselves, in UTF-8.
        const std::string written = tooltest::ReadText(txt);
        EXPECT_TRUE(written.find("object 日志记录: TLabel") != std::string::npos ||
                    written.find("object ГлавнаяФорма: TГлавнаяФорма") != std::string::npos ||
                    written.find("object 日志窗体: T日志窗体") != std::string::npos)
            << written;
        r = Vtploc("form tobinary " + Q(txt) + " " + Q(back));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(tooltest::ReadBytes(back), binary) << text;
    }
}

TEST_F(VtplocNames, DictionaryModuleAndVerify) {
    const std::string app = Put("uni.exe", UnicodeEraApp());
    const std::string ntv = Path("uni.ntv.lng"), qps = Path("uni.qps.lng"), xlf = Path("uni.xlf");
    Result r = Vtploc("lng extract --app " + Q(app) + " --lang ENU -o " + Q(ntv));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("3 forms, 7 properties"), std::string::npos) << r.out;
    // Every form is found under its own name: no note about a resource the program would not find.
    EXPECT_EQ(r.out.find("looks it up"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("looks it up"), std::string::npos) << r.err;

    // The items' paths carry the names as they are (XLIFF: every build has it).
    r = Vtploc("lng export --xliff " + Q(ntv) + " -o " + Q(xlf));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string x = tooltest::ReadText(xlf);
    for (const char* path :
         {"MainForm.Caption", "MainForm.日志记录.Caption", "MainForm.Поле_ввода.Hint", "MainForm.状态栏.Panels[0].Text",
          "ГлавнаяФорма.Caption", "ГлавнаяФорма.Кнопка1.Caption", "日志窗体.Caption"})
        EXPECT_NE(x.find(" resname=\"" + std::string(path) + "\" "), std::string::npos) << path << "\n" << x;

    r = Vtploc("lng pseudo " + Q(ntv) + " -o " + Q(qps));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = Vtploc("module build --app " + Q(app) + " --lang " + Q(qps) + " --native " + Q(ntv) + " --out-dir " +
               Q(dir_.string()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("3 forms"), std::string::npos) << r.out;
    const std::string mod = Path("uni.QPS");
    r = Vtploc("module verify --app " + Q(app) + " " + Q(mod));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("forms: 0 missing, 0 unreadable, 0 not translated\n"), std::string::npos) << r.out;

    // The module's forms: under the program's resource names, names inside kept, texts translated.
    TResProcessor m;
    m.KeepAllResources = true;
    m.LoadFromFile(mod);
    auto* rc = static_cast<TResRCData*>(m.FindBlock(10));
    ASSERT_NE(rc, nullptr);
    std::vector<std::u16string> names;
    for (int i = 0; i < rc->Count(); ++i) names.push_back(rc->Items(i)->WideName());
    for (const std::u16string n : {u"TMAINFORM", u"TГЛАВНАЯФОРМА", u"T日志窗体", u"DVCLAL"})
        EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << fw::Utf16ToUtf8(n);
    const std::string main = Text(rc->FindByUtf8Name("TMAINFORM")->Data.Bytes());
    EXPECT_NE(main.find("object 日志记录: TLabel"), std::string::npos) << main;
    EXPECT_NE(main.find("FocusControl = Поле_ввода"), std::string::npos) << main;
    EXPECT_NE(main.find("ActiveControl = 日志记录"), std::string::npos) << main;
    EXPECT_EQ(main.find("'Log entries'"), std::string::npos) << main;
    EXPECT_NE(main.find("Text = '1'"), std::string::npos) << main;  // no letters: stays
    const std::string settings = Text(rc->FindByUtf8Name("TГлавнаяФорма")->Data.Bytes());
    EXPECT_NE(settings.find("object Кнопка1: TButton"), std::string::npos) << settings;
    EXPECT_NE(settings.find("OnClick = Кнопка1Click"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("'Apply'"), std::string::npos) << settings;
    const std::string log = Text(rc->FindByUtf8Name("T日志窗体")->Data.Bytes());
    EXPECT_EQ(log.find("'Log window'"), std::string::npos) << log;

    // The resources listed and found under those names.
    r = Vtploc("pe list " + Q(mod));
    EXPECT_NE(r.out.find("  T日志窗体\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  TГЛАВНАЯФОРМА\t"), std::string::npos) << r.out;
    r = Vtploc("pe extract " + Q(app) + " RCData TГлавнаяФорма -o " + Q(Path("settings.bin")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(tooltest::ReadBytes(Path("settings.bin")), Binary(kSettingsForm));

    // A module that lacks one of them, or has it untranslated: the form named as the program
    // names it.
    for (const char* name : {"T日志窗体", "TГЛАВНАЯФОРМА"}) {
        TResProcessor partial;
        partial.KeepAllResources = true;
        partial.FixedTimeStamp = 1;
        partial.LoadFromFile(mod);
        auto* prc = static_cast<TResRCData*>(partial.FindBlock(10));
        TResProcessor program;
        program.KeepAllResources = true;
        program.LoadFromFile(app);
        const bool drop = std::string(name) == "T日志窗体";
        if (drop) {
            prc->Delete(prc->IndexOfName(prc->FindByUtf8Name(name)->Name));
        } else {
            fw::TMemoryStream own(static_cast<TResRCData*>(program.FindBlock(10))->FindByUtf8Name(name)->Data.Bytes());
            prc->FindByUtf8Name(name)->LoadData(own);
        }
        fw::TMemoryStream s;
        partial.SaveToStream(s);
        const std::string bad = Put("uni.partial", s.Bytes());
        r = Vtploc("module verify --app " + Q(app) + " " + Q(bad));
        EXPECT_EQ(r.status, drop ? 1 : 0) << r.out << r.err;
        EXPECT_NE(r.out.find(std::string(drop ? "missing form: " : "not translated: ") + name + "\n"),
                  std::string::npos)
            << r.out;
    }
}
