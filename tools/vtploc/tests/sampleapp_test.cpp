// The sample application's checked-in binaries still agree with the sources beside them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ToolTest.h"
#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/SettingsRecord.h"

namespace fs = std::filesystem;

namespace {

const std::string kDir = std::string(VTP_SOURCE_DIR) + "/fixtures/sampleapp/";

class SampleAppFixture : public tooltest::ToolTest {
protected:
    static int RunTool(const std::string& args) { return tooltest::Vtploc(args).status; }
    std::string Out(const char* name) const { return Path(name); }
};

}  // namespace

TEST_F(SampleAppFixture, FormsAreTheirTexts) {
    for (const char* form : {"baseform", "mainform", "addressframe", "aboutform", "sampledata"}) {
        std::string out = Out(form);
        ASSERT_EQ(RunTool("form tobinary '" + kDir + form + ".txt' '" + out + "'"), 0) << form;
        EXPECT_EQ(fw::ReadFileBytes(out), fw::ReadFileBytes(kDir + form + ".bin")) << form;
    }
}

// The native dictionary is extracted from the program in the Windows build (following
// sampleapp.ntv.lng, the previous one); the translations are written from their dumps.
TEST_F(SampleAppFixture, LanguageFilesAreTheirSources) {
    for (const char* lang : {"sampleapp.de", "sampleapp.fr"}) {
        std::string out = Out(lang);
        ASSERT_EQ(RunTool("lng build '" + kDir + lang + ".json' -o '" + out + "'"), 0) << lang;
        EXPECT_EQ(fw::ReadFileBytes(out), fw::ReadFileBytes(kDir + lang + ".lng")) << lang;
    }
    std::string native = Out("native.lng");
    ASSERT_EQ(RunTool("container extract '" + kDir + "langs.kll' --lang 0 -o '" + native + "'"), 0);
    EXPECT_EQ(fw::ReadFileBytes(native), fw::ReadFileBytes(kDir + "sampleapp.ntv.lng"));
}

TEST_F(SampleAppFixture, SettingsRecordsMatchTheDictionary) {
    langres::TLangFile native(kDir + "sampleapp.ntv.lng");
    langres::TLangFile german(kDir + "sampleapp.de.lng");
    langres::TLangFile french(kDir + "sampleapp.fr.lng");
    EXPECT_EQ(german.Revision, native.Revision);
    EXPECT_EQ(french.Revision, native.Revision);
    // The switching test finds the files under these languages' codes.
    EXPECT_EQ(german.LangId, 0x0407u);
    EXPECT_EQ(french.LangId, 0x040Cu);
    for (auto [file, sig] :
         {std::pair{"kexe.bin", langres::SExeSignature}, std::pair{"ldll.bin", langres::SLibSignature}}) {
        auto bytes = fw::ReadFileBytes(kDir + file);
        langres::TSettingsRecord r;
        ASSERT_TRUE(langres::ReadSettingsRecordData(bytes.data(), bytes.size(), r, sig)) << file;
        EXPECT_EQ(r.Revision, native.Revision) << file;
        EXPECT_EQ(r.LangId, native.LangId) << file;
        EXPECT_EQ(bytes.size(), 44u) << file;
    }
}
