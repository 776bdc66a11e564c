// lng check through the tool: findings as lines or JSON Lines, the exit status by --fail-on, the
// HTML report, and bad input (one line, exit status 1, no report written).
#include <gtest/gtest.h>

#include "ToolTest.h"
#include "localizer/catalog/tests/CatalogTestUtil.h"
#include "localizer/langres/LangFormat.h"
#include "localizer/langres/LangWriter.h"

namespace {

using tooltest::Q;
using tooltest::Vtploc;

class LngCheck : public tooltest::ToolTest {
protected:
    // A program with one button and one string; its native dictionary and a translation with a
    // lost accelerator and a trailing blank gone.
    void SetUp() override {
        ToolTest::SetUp();
        cattest::Program p;
        p.Strings = {{100, u"Saved: "}};
        p.RCData = {{"TMAINFORM", cattest::FormBinary("object MainForm: TMainForm\n  Font.Name = 'Tahoma'\n"
                                                      "  object Ok: TButton\n    Width = 60\n    Caption = '&Save'\n"
                                                      "  end\nend\n")}};
        app = Path("app.exe");
        tooltest::WriteBytes(app, p.Module());
        ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " -o " + Q(Path("app.ntv.lng"))).status, 0);
        Translate("Sichern", u"Gespeichert: ");
    }
    void Translate(const std::u16string& button, const std::u16string& saved) {
        auto b = tooltest::ReadBytes(Path("app.ntv.lng"));
        auto img = langres::ParseLangFileImage(b.data(), b.size());
        img.Header.IsNative = 0;
        img.Header.LangId = 0x0407;
        const_cast<langres::TLFRecord*>(cattest::Find(img, "MainForm.Ok.Caption"))->Value.Text = button;
        const_cast<langres::TLFRecord*>(cattest::Find(img, "Strings.S100"))->Value.Text = saved;
        tooltest::WriteBytes(Path("app.de.lng"), langres::WriteLangFile(img, false));
    }
    void Translate(const char* button, const std::u16string& saved) {
        std::string s = button;
        Translate(std::u16string(s.begin(), s.end()), saved);
    }
    std::string Args() const { return "lng check --app " + Q(app) + " --lang " + Q(Path("app.de.lng")); }
    std::string app;
};

}  // namespace

TEST_F(LngCheck, LinesCountsAndExitStatus) {
    auto r = Vtploc(Args() + " --native " + Q(Path("app.ntv.lng")));
    EXPECT_EQ(r.status, 1) << r.err;  // an accelerator error fails by default
    EXPECT_NE(r.out.find(Path("app.exe") + ":MainForm.Ok.Caption: error: accelerator: 'Sichern': no accelerator"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("0 overflow, 0 crowded, 1 errors, 0 warnings"), std::string::npos) << r.out;
    EXPECT_EQ(Vtploc(Args() + " --fail-on never").status, 0);  // the program's own texts as native

    Translate("&Sichern", u"Gespeichert:");  // a warning only: trailing blank lost
    r = Vtploc(Args());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Strings.S100: warning: blanks:"), std::string::npos) << r.out;
    EXPECT_EQ(Vtploc(Args() + " --fail-on warning").status, 1);
}

TEST_F(LngCheck, JsonLinesAndReport) {
#ifndef VTP_HAVE_FREETYPE
    GTEST_SKIP() << "this build has no font library: texts are not measured";
#endif
    Translate("&Einstellungen speichern", u"Gespeichert: ");
    auto r = Vtploc(Args() + " --json --html " + Q(Path("report.html")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(tooltest::Lines(r.out), 1) << r.out;
    EXPECT_NE(r.out.find("\"check\":\"fit\",\"level\":\"overflow\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"font\":\"Tahoma 8\""), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("1 overflow"), std::string::npos) << r.err;
    std::string html = tooltest::ReadText(Path("report.html"));
    EXPECT_NE(html.find("<svg"), std::string::npos);
    EXPECT_NE(html.find("Einstellungen speichern"), std::string::npos);
}

TEST_F(LngCheck, BadInput) {
    auto r = Vtploc(Args() + " --native " + Q(Path("app.de.lng")) + " --html " + Q(Path("r.html")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vtploc: " + Path("app.de.lng") + ": not a native dictionary\n");
    EXPECT_FALSE(std::filesystem::exists(Path("r.html")));
    r = Vtploc("lng check --app " + Q(Path("none.exe")) + " --lang " + Q(Path("app.de.lng")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vtploc: " + Path("none.exe") + ": no such file\n");
    r = Vtploc("lng check --app " + Q(app) + " --lang " + Q(Path("app.ntv.lng")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a native dictionary, not a translation"), std::string::npos);
    EXPECT_EQ(Vtploc(Args() + " --fail-on sometimes").status, 1);
}
