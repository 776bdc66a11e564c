#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <map>
#include <set>

#include "product/NVTools.h"
#include "product/NVVantraOSVersion.h"
#include "product/brmkVTPTools.h"

using namespace product;

TEST(KeyTable, NamesByIndexAndGaps) {
    EXPECT_EQ(SystemCfgKeyName(0), "Tools-Section");
    EXPECT_EQ(SystemCfgKeyName(3), "Check");
    EXPECT_EQ(SystemCfgKeyName(14), "Lang-LangFolder");
    EXPECT_EQ(SystemCfgKeyName(15), "Lang-RegValueName");
    EXPECT_EQ(SystemCfgKeyName(17), "System_AppName1");
    EXPECT_EQ(SystemCfgKeyName(29), "DefaultFolder-ItemsDir");
    EXPECT_EQ(SystemCfgKeyName(30), "SysFile_BPL_VCL1");
    EXPECT_EQ(SystemCfgKeyName(34), "SysFile_BPL_VCL5");
    EXPECT_EQ(SystemCfgKeyName(36), "SysFile_DLL_RichEdit");
    EXPECT_EQ(SystemCfgKeyName(46), "EXEFile_Exec");
    EXPECT_EQ(SystemCfgKeyName(53), "EXEFile_ReadMe");
    EXPECT_EQ(SystemCfgKeyName(54), "");  // not in the table
    EXPECT_EQ(SystemCfgKeyName(55), "EXEFile_Partnersite1");
    EXPECT_EQ(SystemCfgKeyName(90), "EXEFile_RestoreLogPlayer");
    for (int i = 91; i < 98; ++i) EXPECT_EQ(SystemCfgKeyName(static_cast<uint8_t>(i)), "") << i;
    EXPECT_EQ(SystemCfgKeyName(98), "DefaultFolder-ItemsTranslationDir");
    EXPECT_EQ(SystemCfgKeyName(99), "Lang-TempFolderName");
    EXPECT_EQ(SystemCfgKeyName(150), "");
    EXPECT_EQ(SystemCfgKeyName(255), "");
    // Every listed index has its own name.
    std::set<std::string> seen;
    int listed = 0;
    for (int i = 0; i < 256; ++i) {
        auto n = SystemCfgKeyName(static_cast<uint8_t>(i));
        if (n.empty()) continue;
        ++listed;
        EXPECT_TRUE(seen.insert(n).second) << n;
    }
    EXPECT_EQ(listed, 54 + 36 + 2);
}

TEST(SystemCfg, FirstMatchIgnoringCaseNothingTrimmed) {
    TSystemCfgList cfg;
    cfg.SetText("[Main]\r\ncheck=abc\nCheck=def\rCheck = spaced\r\nName= value \r\n\r\nnoequals\r\nEq=a=b\r\n");
    EXPECT_EQ(cfg.Value("Check"), "abc");
    EXPECT_EQ(cfg.Value("CHECK"), "abc");
    EXPECT_EQ(cfg.Value("Name"), " value ");
    EXPECT_EQ(cfg.Value("Check "), " spaced");
    EXPECT_EQ(cfg.Value("Eq"), "a=b");
    EXPECT_EQ(cfg.Value("noequals"), "");
    EXPECT_EQ(cfg.Value(""), "");  // the empty name matches only a line starting with "="
    cfg.SetText("x=1\n=rest of line\n");
    EXPECT_EQ(cfg.Value(SystemCfgKeyName(150)), "rest of line");
    EXPECT_EQ(cfg.Lines().size(), 2u);
    cfg.SetText("a=1\r\n\r\nb=2");
    EXPECT_EQ(cfg.Lines().size(), 3u);
    EXPECT_EQ(cfg.Value("b"), "2");
}

TEST(SystemCfg, MissingFileRaisesForTheCallerToSwallow) {
    TSystemCfgList cfg;
    EXPECT_THROW(cfg.LoadFromFile("/nonexistent/cfg/system.cfg"), fw::Exception);
    EXPECT_TRUE(cfg.Lines().empty());
}

#ifndef _WIN32
TEST(SystemCfg, OversizedFileIsRefusedWithoutReadingIt) {
    // Sparse: takes no room, but reading it whole would need 1 TiB of memory.
    char name[] = "/tmp/vtp-huge-cfg-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, int64_t{1} << 40), 0);
    close(fd);
    TSystemCfgList cfg;
    try {
        cfg.LoadFromFile(name);
        ADD_FAILURE() << "a 1 TiB configuration file was accepted";
    } catch (const fw::Exception& e) {
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not the framework's error: " << e.what();
    }
    EXPECT_TRUE(cfg.Lines().empty());
    // Just under the limit is still read.
    fd = open(name, O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "Check=1\r\n", 9), 9);
    ASSERT_EQ(ftruncate(fd, int64_t{16} << 20), 0);  // 16 MiB
    close(fd);
    cfg.LoadFromFile(name);
    EXPECT_EQ(cfg.Value("Check"), "1");
    unlink(name);
}
#endif

TEST(SystemCfg, CheckValueIsExact) {
    EXPECT_TRUE(IsCheckValueValid("{5A1C93E2-7D44-4b0e-9F21-6C0B8E3D4A57}"));
    EXPECT_FALSE(IsCheckValueValid("{5A1C93E2-7D44-4B0E-9F21-6C0B8E3D4A57}"));
    EXPECT_FALSE(IsCheckValueValid("{5A1C93E2-7D44-4b0e-9F21-6C0B8E3D4A57} "));
    EXPECT_FALSE(IsCheckValueValid(""));
}

TEST(BasePath, RegistryValueOrExecutableFolder) {
    EXPECT_EQ(BasePathFrom("D:\\Tools\\Vantra", "X:\\whatever\\bin\\a.exe"), "D:\\Tools\\Vantra\\");
    EXPECT_EQ(BasePathFrom("D:\\Tools\\Vantra\\", ""), "D:\\Tools\\Vantra\\");
    EXPECT_EQ(BasePathFrom("", "C:\\Programs\\Vantra\\bin\\start.exe"), "C:\\Programs\\Vantra\\");
    EXPECT_EQ(BasePathFrom("", "C:\\ab\\x.exe"), "C:");  // folder of 6 characters
    EXPECT_EQ(BasePathFrom("", "C:\\a\\x.exe"), "");     // folder of 5 characters
    EXPECT_EQ(BasePathFrom("", ""), "");
}

TEST(Texts, ReplaceAllLeftToRightWithoutRescan) {
    EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
    EXPECT_EQ(ReplaceAll("xAx", "x", "xx"), "xxAxx");
    EXPECT_EQ(ReplaceAll("abc", "B", "z"), "abc");  // case-sensitive
    EXPECT_EQ(ReplaceAll("", "a", "b"), "");
    EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");
}

TEST(Texts, ExpandAppNames) {
    std::map<uint8_t, std::string> values{{cfgAppName1, "Vantra"}, {cfgAppName2, "Vantra Pro"}};
    int lookups = 0;
    auto cfg = [&](uint8_t i) {
        ++lookups;
        return values[i];
    };
    EXPECT_EQ(ExpandAppNamesWith("$appname2 / $appname2 / $appname2", cfg), "Vantra Pro / Vantra Pro / Vantra Pro");
    EXPECT_EQ(lookups, 1);  // no "$appname1": key 17 is not read
    EXPECT_EQ(ExpandAppNamesWith("$appname1 Starter", cfg), "Vantra Starter");
    EXPECT_EQ(ExpandAppNamesWith("$APPNAME1", cfg), "$APPNAME1");
    values.clear();
    EXPECT_EQ(ExpandAppNamesWith("[$appname1|$appname2]", cfg), "[|]");
}

TEST(Texts, SystemErrorAndShellMessages) {
    EXPECT_EQ(FormatSystemErrorText(2, "The system cannot find the file specified.\r\n"),
              "The system cannot find the file specified. (rc: 2)");
    EXPECT_EQ(FormatSystemErrorText(5, "Short.\r\n"), "Short.\r\n(rc: 5)");  // 8 characters: kept
    EXPECT_EQ(FormatSystemErrorText(7, "No line end at all"), "No line end at all(rc: 7)");
    EXPECT_EQ(FormatSystemErrorText(0xFFFFFFFFu, ""), "(rc: 4294967295)");
    EXPECT_EQ(ShellOpenErrorText("C:\\x.exe", "", "E"), "C:\\x.exe: E");
    EXPECT_EQ(ShellOpenErrorText("C:\\x.exe", "/a b", "E"), "C:\\x.exe (/a b): E");
}

TEST(Texts, LangFileNameFallsBackToEnglish) {
    std::set<std::string> files{"C:\\V\\lang\\chkfail-DE.txt"};
    auto exists = [&](const std::string& f) { return files.count(f) > 0; };
    const std::string pattern = "C:\\V\\lang\\chkfail-%s.txt";
    EXPECT_EQ(FormatLangFileNameWith(pattern, "DE", exists), "C:\\V\\lang\\chkfail-DE.txt");
    EXPECT_EQ(FormatLangFileNameWith(pattern, "FR", exists), "C:\\V\\lang\\chkfail-EN.txt");
    EXPECT_EQ(FormatLangFileNameWith(pattern, "", exists), "C:\\V\\lang\\chkfail-EN.txt");
    // A "%" in the folder is text, not a placeholder.
    EXPECT_EQ(FormatLangFileNameWith("C:\\100%d\\chkfail-%s.txt", "", exists), "C:\\100%d\\chkfail-EN.txt");
    // Only the file name is a pattern: a "%s" in the installation folder stays as it is.
    files.insert("D:\\50%sale\\lang\\chkfail-DE.txt");
    const std::string sale = "D:\\50%sale\\lang\\chkfail-%s.txt";
    EXPECT_EQ(FormatLangFileNameWith(sale, "DE", exists), "D:\\50%sale\\lang\\chkfail-DE.txt");
    EXPECT_EQ(FormatLangFileNameWith(sale, "FR", exists), "D:\\50%sale\\lang\\chkfail-EN.txt");
    EXPECT_EQ(FormatLangFileNameWith("D:\\%s\\lang\\chkfail.txt", "DE", exists), "D:\\%s\\lang\\chkfail.txt");
}

TEST(Tools, DebugLineFramingAndLeftStr) {
    EXPECT_EQ(DebugLogLine("x"), "{Norv ODS} x {END}");
    EXPECT_EQ(LeftStr("abcdef", 3), "abc");
    EXPECT_EQ(LeftStr("ab", 3), "ab");
    EXPECT_EQ(LeftStr("ab", 0), "");
    EXPECT_EQ(LeftStr("ab", -1), "");
}

namespace {

struct FakeSource : IOSVersionSource {
    bool extOk = true, basicOk = true;
    TOSVersionRecord rec;
    Wow64 wow = Wow64::No;
    int basicCalls = 0;
    bool GetVersionExtended(TOSVersionRecord& r) override {
        if (!extOk) return false;
        r = rec;
        return true;
    }
    bool GetVersionBasic(TOSVersionRecord& r) override {
        ++basicCalls;
        if (!basicOk) return false;
        r = rec;
        r.ProductType = 0;
        return true;
    }
    Wow64 QueryWow64() override { return wow; }
};

int Classify(uint32_t platform, uint32_t major, uint32_t minor) {
    FakeSource s;
    s.rec = {platform, major, minor, 1};
    return TVantraOSVersion(s).OSNumber();
}

}  // namespace

TEST(OSVersion, EveryRowOfTheTable) {
    EXPECT_EQ(Classify(1, 4, 0), osWin95);
    EXPECT_EQ(Classify(1, 4, 10), osWin98);  // 98 SE too
    EXPECT_EQ(Classify(1, 4, 3), osWin98);
    EXPECT_EQ(Classify(1, 4, 90), osWinME);
    EXPECT_EQ(Classify(2, 3, 51), osWinNT4);
    EXPECT_EQ(Classify(2, 4, 0), osWinNT4);
    EXPECT_EQ(Classify(2, 5, 0), osWin2000);
    EXPECT_EQ(Classify(2, 5, 1), osWinXP);
    EXPECT_EQ(Classify(2, 5, 2), osWin2003);
    EXPECT_EQ(Classify(2, 6, 0), osWinVista);
    EXPECT_EQ(Classify(2, 6, 1), osWinVista);  // Windows 7
    EXPECT_EQ(Classify(2, 10, 0), osWinVista);
    try {
        Classify(0, 3, 1);  // Win32s
        FAIL();
    } catch (const EVantraOSVersionError& e) {
        EXPECT_STREQ(e.what(), "VantraOSVersion: Not supported (unknown) OS Version detected - unable to continue!");
    }
}

TEST(OSVersion, RecordsServerWow64AndFallbacks) {
    FakeSource s;
    s.rec = {2, 5, 2, 3};
    s.wow = IOSVersionSource::Wow64::Yes;
    TVantraOSVersion srv(s);
    EXPECT_TRUE(srv.IsServer());
    EXPECT_FALSE(srv.IsWorkstation());
    EXPECT_TRUE(srv.IsWow64());
    EXPECT_EQ(srv.OSNumberText(), "7");
    EXPECT_EQ(srv.PlatformId(), 2u);
    EXPECT_EQ(srv.MajorVersion(), 5u);
    EXPECT_EQ(srv.MinorVersion(), 2u);
    EXPECT_EQ(s.basicCalls, 0);

    // NT 4 before SP6: only the basic record; a workstation whatever else is known.
    s.extOk = false;
    s.rec = {2, 4, 0, 2};
    s.wow = IOSVersionSource::Wow64::Absent;
    TVantraOSVersion nt4(s);
    EXPECT_EQ(s.basicCalls, 1);
    EXPECT_EQ(nt4.OSNumber(), osWinNT4);
    EXPECT_FALSE(nt4.IsServer());
    EXPECT_TRUE(nt4.IsWorkstation());
    EXPECT_FALSE(nt4.IsWow64());

    s.basicOk = false;
    EXPECT_THROW(TVantraOSVersion{s}, EVantraOSVersionError);
    s.basicOk = true;
    s.wow = IOSVersionSource::Wow64::Failed;
    try {
        TVantraOSVersion v(s);
        FAIL();
    } catch (const EVantraOSVersionError& e) {
        EXPECT_STREQ(e.what(),
                     "The proc address of function IsWow64() in kernel32 was found, but calling resulted in an error!");
    }
}

TEST(OSVersion, CompatibilityMask) {
    FakeSource s;
    s.rec = {1, 4, 0, 0};
    TVantraOSVersion w95(s);
    s.rec = {1, 4, 10, 0};
    TVantraOSVersion w98(s);
    s.rec = {2, 6, 1, 1};
    TVantraOSVersion w7(s);
    s.rec = {2, 5, 0, 1};
    TVantraOSVersion w2k(s);
    for (auto* v : {&w95, &w98, &w7, &w2k}) EXPECT_TRUE(v->OSVersionCompatibleWithRunningOS(""));
    EXPECT_TRUE(w95.OSVersionCompatibleWithRunningOS("10100"));
    EXPECT_TRUE(w98.OSVersionCompatibleWithRunningOS("10100"));
    EXPECT_FALSE(w2k.OSVersionCompatibleWithRunningOS("10100"));
    EXPECT_FALSE(w7.OSVersionCompatibleWithRunningOS("10100"));  // no eighth character
    EXPECT_TRUE(w7.OSVersionCompatibleWithRunningOS("00000001"));
    EXPECT_FALSE(w7.OSVersionCompatibleWithRunningOS("0000000x"));
    EXPECT_TRUE(w95.IsWin9x());
    EXPECT_FALSE(w7.IsWin9x());
}
