// The sample application's checked-in binaries still agree with the sources beside them.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/SettingsRecord.h"

namespace fs = std::filesystem;

namespace {

const std::string kDir = std::string(VTP_SOURCE_DIR) + "/fixtures/sampleapp/";

int RunTool(const std::string& args) {
    std::string cmd = "'" + std::string(VTPLOC_EXE) + "' " + args + " >/dev/null 2>&1";
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string Out(const char* name) {
    static auto dir = [] {
        auto d = fs::temp_directory_path() / ("vtploc_sampleapp_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return (dir / name).string();
}

}  // namespace

TEST(SampleAppFixture, FormsAreTheirTexts) {
    for (const char* form : {"baseform", "mainform", "addressframe", "aboutform", "sampledata"}) {
        std::string out = Out(form);
        ASSERT_EQ(RunTool("form tobinary '" + kDir + form + ".dfm' '" + out + "'"), 0) << form;
        EXPECT_EQ(fw::ReadFileBytes(out), fw::ReadFileBytes(kDir + form + ".bin")) << form;
    }
}

TEST(SampleAppFixture, LanguageFilesAreTheirSources) {
    for (const char* lang : {"sampleapp.ntv", "sampleapp.de"}) {
        std::string out = Out(lang);
        ASSERT_EQ(RunTool("lng build '" + kDir + lang + ".json' -o '" + out + "'"), 0) << lang;
        EXPECT_EQ(fw::ReadFileBytes(out), fw::ReadFileBytes(kDir + lang + ".lng")) << lang;
    }
    std::string native = Out("native.lng");
    ASSERT_EQ(RunTool("container extract '" + kDir + "langs.kll' --lang 0 -o '" + native + "'"), 0);
    EXPECT_EQ(fw::ReadFileBytes(native), fw::ReadFileBytes(kDir + "sampleapp.ntv.lng"));
}

TEST(SampleAppFixture, SettingsRecordsMatchTheDictionary) {
    langres::TLangFile native(kDir + "sampleapp.ntv.lng");
    langres::TLangFile german(kDir + "sampleapp.de.lng");
    EXPECT_EQ(german.Revision, native.Revision);
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
