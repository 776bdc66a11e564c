// Runs the real vtploc binary: vtploc lng info|dump|build.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "ToolTest.h"
#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangWriter.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using namespace langres;

namespace {

TLFRecord Rec(std::string name, uint32_t id, std::u16string text, int32_t rev, uint32_t kind = vkString) {
    TLFRecord r;
    r.Name = std::move(name);
    r.Id = id;
    r.Kind = kind;
    r.Value.Present = true;
    r.Value.Text = std::move(text);
    r.Revision = rev;
    return r;
}

// Every kind of field a file can hold, with the awkward values a dump must carry exactly.
TLangFileImage AwkwardImage() {
    TLangFileImage img;
    img.Header.Version = 7;
    img.Header.Revision = 18;
    img.Header.Build = 4711;
    img.Header.LangId = 0x0407;
    img.Header.Word = 0xBEEF;
    img.Header.EnglishLangName = "German";
    img.Header.NativeLangName = u"Deutsch \u00c4\u00d6\u00dc \U0001F600";
    img.Header.IsNative = 0;
    img.Header.Options = 1;
    img.Header.LastConstantId = 100;
    img.Header.LastPropertyId = 200;
    img.Header.LastExternalId = 300;
    TLFRecord c1 = Rec("S_AppTitle", 436, u"$appname2 Starter", 14);
    c1.ResId = 65229;
    c1.Flags = 0x0128;
    c1.Stamp = 0x0102030405060708ull;
    TLFRecord c2 = Rec("S_Lone\xE9", 437,
                       std::u16string(u"a\xD800"
                                      u"b"),
                       -1);  // a lone surrogate, a non-ASCII name
    c2.ResId = 1;
    TLFRecord c3 = Rec("S_Long", 438, std::u16string(20000, u'z'), 3);
    img.Units.push_back({"brmkVTPStart", 1, {c1, c2, c3}});
    img.Units.push_back({"Empty", 0, {}});
    TLFForm form{"MainForm", 0x10, {Rec("Caption", 1, u"Hauptfenster", 2)}, {}};
    TLFRecord f = Rec("Ratio", 2, u"", 2, vkFloat);
    f.Value.Float = 0.1;
    TLFRecord nan = Rec("Nan", 3, u"", 2, vkFloat);
    nan.Value.Float = std::numeric_limits<double>::quiet_NaN();
    TLFRecord i = Rec("Width", 4, u"", 2, vkInteger);
    i.Value.Int = -75;
    TLFRecord set = Rec("Anchors", 5, u"", 2, vkSet);
    set.Value.Present = false;
    TLFRecord odd = Rec("Odd", 6, u"", 2, 0x1207);  // only the low byte counts: a set
    odd.Value.Present = false;
    TLFRecord lines = Rec("Lines", 7, u"one\r\ntwo", 2, vkStringList);
    form.Components.push_back({"Panel1", 3, {f, nan, i, set, odd, lines}});
    img.Forms.push_back(form);
    img.Groups.push_back({"Messages", 9, {Rec("Bye", 1, u"Tsch\u00fcss", -1)}});
    img.Trailing = {0xDE, 0xAD};
    return img;
}

class LngTool : public tooltest::ToolTest {
protected:
    static void WriteFile(const std::string& p, const Bytes& b) { tooltest::WriteBytes(p, b); }
    static Bytes ReadFile(const std::string& p) { return tooltest::ReadBytes(p); }
    static std::string ReadText(const std::string& p) { return tooltest::ReadText(p); }
    // Runs vtploc; returns the exit status, standard output and error into out and err.
    static int Run(const std::string& args, std::string& out, std::string& err) {
        tooltest::Result r = tooltest::Vtploc(args);
        out = r.out;
        err = r.err;
        return r.status;
    }
    static std::string Q(const std::string& p) { return tooltest::Q(p); }
};

}  // namespace

TEST_F(LngTool, DumpThenBuildGivesTheSameBytes) {
    std::string out, err;
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress);
        Bytes file = WriteLangFile(AwkwardImage(), 7, compress);
        WriteFile(Path("in.lng"), file);
        ASSERT_EQ(Run("lng dump " + Q(Path("in.lng")) + " -o " + Q(Path("in.json")), out, err), 0) << err;
        ASSERT_EQ(Run("lng build " + Q(Path("in.json")) + " -o " + Q(Path("out.lng")), out, err), 0) << err;
        EXPECT_EQ(ReadFile(Path("out.lng")), file);
        // The dump goes to standard output when no file is named, and is readable text.
        ASSERT_EQ(Run("lng dump " + Q(Path("in.lng")), out, err), 0) << err;
        EXPECT_EQ(out, ReadText(Path("in.json")));
        EXPECT_NE(out.find("\"$appname2 Starter\""), std::string::npos);
        EXPECT_NE(out.find("Tsch\xC3\xBC"
                           "ss"),
                  std::string::npos);  // UTF-8
        EXPECT_NE(out.find("\"kind\": \"stringList\""), std::string::npos);
        EXPECT_NE(out.find(compress ? "\"compressed\": true" : "\"compressed\": false"), std::string::npos);
    }

    // Older versions go through the same way.
    for (uint16_t v : {uint16_t{1}, uint16_t{3}, uint16_t{5}, uint16_t{6}}) {
        SCOPED_TRACE(v);
        Bytes file = WriteLangFile(AwkwardImage(), v, false);
        WriteFile(Path("old.lng"), file);
        ASSERT_EQ(Run("lng dump " + Q(Path("old.lng")) + " -o " + Q(Path("old.json")), out, err), 0) << err;
        ASSERT_EQ(Run("lng build " + Q(Path("old.json")) + " -o " + Q(Path("old2.lng")), out, err), 0) << err;
        EXPECT_EQ(ReadFile(Path("old2.lng")), file);
    }
}

TEST_F(LngTool, BuildConvertsVersionsAndCompresses) {
    std::string out, err;
    WriteFile(Path("in.lng"), WriteLangFile(AwkwardImage(), 7, false));
    ASSERT_EQ(Run("lng dump " + Q(Path("in.lng")) + " -o " + Q(Path("in.json")), out, err), 0) << err;

    ASSERT_EQ(Run("lng build " + Q(Path("in.json")) + " -o " + Q(Path("v5.lng")) + " --version 5 --compress", out, err),
              0)
        << err;
    EXPECT_NE(err.find("version 5 has no external groups"), std::string::npos) << err;
    Bytes v5 = ReadFile(Path("v5.lng"));
    ASSERT_GE(v5.size(), 5u);
    EXPECT_EQ(std::string(v5.begin(), v5.begin() + 5), "LZK00");
    TLangFile lf(Path("v5.lng"));
    EXPECT_EQ(lf.Version, 5);
    EXPECT_EQ(lf.Build, 4711u);
    EXPECT_EQ(lf.LastExternalId, 0u);
    TLangResource m;
    lf.LoadFromFile(&m, -1);
    EXPECT_EQ(m.ExtGroups->Count(), 0);
    EXPECT_EQ(m.Units->Count(), 2);
    std::string panel = "Panel1";
    EXPECT_EQ(m.Forms->Items(0)->FindProperty(&panel, "Width")->NativeValue()->Text, u"-75");

    ASSERT_EQ(Run("lng build " + Q(Path("in.json")) + " -o " + Q(Path("v3.lng")) + " --version 3", out, err), 0) << err;
    EXPECT_NE(err.find("version 3 stores no numbers"), std::string::npos) << err;

    EXPECT_EQ(Run("lng build " + Q(Path("in.json")) + " -o " + Q(Path("v8.lng")) + " --version 8", out, err), 1);
    EXPECT_NE(err.find("version 8"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(Path("v8.lng")));
}

TEST_F(LngTool, InfoShowsTheHeader) {
    std::string out, err;
    WriteFile(Path("de.lng"), WriteLangFile(AwkwardImage(), 7, true));
    ASSERT_EQ(Run("lng info " + Q(Path("de.lng")), out, err), 0) << err;
    EXPECT_NE(out.find("version 7, LZK-compressed"), std::string::npos) << out;
    EXPECT_NE(out.find("0x0407, German / Deutsch \xC3\x84"), std::string::npos) << out;
    EXPECT_NE(out.find("Native:          no"), std::string::npos) << out;
    EXPECT_NE(out.find("Build:           4711"), std::string::npos) << out;
    EXPECT_NE(out.find("(keep charset)"), std::string::npos) << out;
    EXPECT_NE(out.find("constants 100, properties 200, externals 300"), std::string::npos) << out;
    EXPECT_NE(out.find("Units:           2 (3 constants)"), std::string::npos) << out;
    EXPECT_NE(out.find("Forms:           1 (1 components, 7 properties)"), std::string::npos) << out;
    EXPECT_NE(out.find("External groups: 1 (1 externals)"), std::string::npos) << out;
}

TEST_F(LngTool, BadInputIsReportedWithTheFileName) {
    std::string out, err;
    Bytes file = WriteLangFile(AwkwardImage(), 7, false);
    WriteFile(Path("cut.lng"), Bytes(file.begin(), file.begin() + 200));
    for (const char* cmd : {"info", "dump"}) {
        EXPECT_EQ(Run(std::string("lng ") + cmd + " " + Q(Path("cut.lng")), out, err), 1) << cmd;
        EXPECT_NE(err.find("cut.lng"), std::string::npos) << err;
        EXPECT_NE(err.find("unexpected end of data at offset"), std::string::npos) << err;
    }
    Bytes v8 = file;
    v8[2] = 8;
    WriteFile(Path("v8.lng"), v8);
    EXPECT_EQ(Run("lng dump " + Q(Path("v8.lng")), out, err), 1);
    EXPECT_NE(err.find("You need to download the latest Ravirive Zovivuz"), std::string::npos) << err;
    EXPECT_EQ(Run("lng info " + Q(Path("none.lng")), out, err), 1);
    EXPECT_NE(err.find("none.lng"), std::string::npos) << err;

    WriteFile(Path("bad.json"), Bytes{'{', '"', 'x'});
    EXPECT_EQ(Run("lng build " + Q(Path("bad.json")) + " -o " + Q(Path("o.lng")), out, err), 1);
    EXPECT_NE(err.find("not a language-file dump"), std::string::npos) << err;
    std::string j = R"({"header": {"version": 7, "revision": 1, "langId": 9, "englishName": "E", "nativeName": "E",
                        "isNative": 1, "lastConstantId": 0, "lastPropertyId": 0},
                        "units": [{"name": "U", "constants": [{"name": "C", "resId": 70000, "id": 1, "text": "", "revision": 0}]}]})";
    WriteFile(Path("range.json"), Bytes(j.begin(), j.end()));
    EXPECT_EQ(Run("lng build " + Q(Path("range.json")) + " -o " + Q(Path("o.lng")), out, err), 1);
    EXPECT_NE(err.find("\"resId\" must be a whole number from 0 to 65535"), std::string::npos) << err;
    EXPECT_NE(err.find("unit \"U\", constant \"C\""), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(Path("o.lng")));
}

// Every failure exits 1 with one line that names the file and what is wrong.
TEST_F(LngTool, DamagedFilesAreNamedAndExitOne) {
    std::string out, err;
    WriteFile(Path("bad.lng"), Bytes{'g', 'a', 'r', 'b', 'a', 'g', 'e'});
    EXPECT_EQ(Run("lng info " + Q(Path("bad.lng")), out, err), 1);
    EXPECT_NE(err.find(Path("bad.lng") + "\": Invalid file format"), std::string::npos) << err;
    EXPECT_EQ(Run("lng info " + Q(Path("missing.lng")), out, err), 1);
    EXPECT_NE(err.find(Path("missing.lng")), std::string::npos) << err;
    EXPECT_EQ(Run("lng dump " + Q(Path("bad.lng")), out, err), 1);
    EXPECT_NE(err.find(Path("bad.lng")), std::string::npos) << err;
    // A command line the tool cannot read follows the same rule.
    EXPECT_EQ(Run("lng info", out, err), 1);
    EXPECT_EQ(Run("lng no-such-command", out, err), 1);
}
