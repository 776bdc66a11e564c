#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/win32/Registry.h"
#include "framework/win32/SysInit.h"
#include "product/NVTools.h"
#include "product/NVVantraOSVersion.h"
#include "product/brmkVTPTools.h"

using namespace product;

namespace {

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// A scratch installation below the temporary folder and the product's registry values;
// both are removed again.
class ProductEnv : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProductCaches();
        base_ = GetTempDir() + "vtp-product-test\\";
        CreateDirectoryA(base_.c_str(), nullptr);
        CreateDirectoryA((base_ + "cfg").c_str(), nullptr);
        SetAppDir(base_.substr(0, base_.size() - 1));  // without the backslash
    }
    void TearDown() override {
        DeleteFileA((base_ + "cfg\\system.cfg").c_str());
        RemoveDirectoryA((base_ + "cfg").c_str());
        RemoveDirectoryA(base_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductRegKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, kProductRegKey);
        ResetProductCaches();
    }
    static void SetValue(HKEY root, const char* name, const std::string& value) {
        fw::TRegistry reg;
        reg.SetRootKey(root);
        ASSERT_TRUE(reg.OpenKey(kProductRegKey, true));
        reg.WriteString(name, value);
    }
    static void SetAppDir(const std::string& value) { SetValue(HKEY_LOCAL_MACHINE, kAppDirValue, value); }
    std::string base_;
};

TEST_F(ProductEnv, BasePathFromTheRegistryWithAndWithoutBackslash) {
    EXPECT_EQ(GetBasePath(), base_);
    ResetProductCaches();
    SetAppDir("D:\\Tools\\Vantra\\");
    EXPECT_EQ(GetBasePath(), "D:\\Tools\\Vantra\\");
    // Cached: a later registry change is not seen.
    SetAppDir("E:\\Other");
    EXPECT_EQ(GetBasePath(), "D:\\Tools\\Vantra\\");
}

TEST_F(ProductEnv, BasePathFallsBackToTheProgramFolder) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductRegKey);
    std::string exe = fw::ModuleFileName(nullptr);
    std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    ASSERT_GT(folder.size(), 5u);
    EXPECT_EQ(GetBasePath(), folder.substr(0, folder.size() - 4));
    ResetProductCaches();
    SetAppDir("");  // an empty value counts as none
    EXPECT_EQ(GetBasePath(), folder.substr(0, folder.size() - 4));
}

TEST_F(ProductEnv, AppDirOfAnotherTypeTravelsToTheCaller) {
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductRegKey, 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    DWORD v = 1;
    RegSetValueExA(k, kAppDirValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(k);
    EXPECT_THROW(GetBasePath(), fw::ERegistryException);
}

TEST_F(ProductEnv, ConfigurationLoadedOnceAndLanguageSettings) {
    WriteText(base_ + "cfg\\system.cfg",
              "check=first\r\nCheck=second\r\nSystem_AppName1=Vantra\r\nSystem_AppName2=Vantra Pro\r\n"
              "Lang-LangFolder=lang\\\r\nLang-RegValueName=UserLang\r\n=odd\r\n");
    EXPECT_EQ(GetSystemCfgValue(cfgCheck), "first");
    EXPECT_EQ(GetSystemCfgValue(150), "odd");
    EXPECT_EQ(ExpandAppNames("$appname2 Starter ($appname1)"), "Vantra Pro Starter (Vantra)");
    WriteText(base_ + "cfg\\system.cfg", "Check=changed\r\n");
    EXPECT_EQ(GetSystemCfgValue(cfgCheck), "first");  // never reloaded

    SetValue(HKEY_CURRENT_USER, "UserLang", "DE");
    EXPECT_EQ(GetLanguageCode(), "");  // not loaded yet
    InitLanguageSettings();
    EXPECT_EQ(GetLanguageCode(), "DE");
    EXPECT_EQ(GetLanguageFolder(), base_ + "lang\\");
    SetValue(HKEY_CURRENT_USER, "UserLang", "FR");
    InitLanguageSettings();
    EXPECT_EQ(GetLanguageCode(), "DE");
}

TEST_F(ProductEnv, MissingConfigurationReadsEmpty) {
    EXPECT_EQ(GetSystemCfgValue(cfgCheck), "");
    EXPECT_EQ(ExpandAppNames("[$appname1]"), "[]");
    // Written afterwards: not seen, the list was loaded (empty) once.
    WriteText(base_ + "cfg\\system.cfg", "Check=x\r\n");
    EXPECT_EQ(GetSystemCfgValue(cfgCheck), "");
}

TEST_F(ProductEnv, AnyFailureToReadTheConfigurationReadsEmpty) {
    // A sparse file of 1 TiB: no memory holds it, and it must not be read whole.
    const std::string cfg = base_ + "cfg\\system.cfg";
    HANDLE h = CreateFileA(cfg.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, "Check=x\r\n", 9, &n, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = int64_t{1} << 40;
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    std::string value = "unset";
    try {
        value = GetSystemCfgValue(cfgCheck);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "reading the configuration ended with: " << e.what();
    }
    EXPECT_EQ(value, "");
    EXPECT_EQ(GetSystemCfgValue(cfgAppName1), "");
}

TEST(SystemTexts, FormatSystemError) {
    std::string none = FormatSystemError(0xFFFFFFFFu);
    EXPECT_EQ(none.substr(none.size() - 16), "(rc: 4294967295)");
    std::string notFound = FormatSystemError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(notFound.find("\r\n"), std::string::npos) << notFound;
    ASSERT_GT(notFound.size(), 9u);
    EXPECT_EQ(notFound.substr(notFound.size() - 8), " (rc: 2)") << notFound;
    SetLastError(ERROR_ACCESS_DENIED);
    std::string last = LastErrorText();
    EXPECT_EQ(last.substr(last.size() - 7), "(rc: 5)");
}

TEST(SystemTexts, TemporaryPathEndsWithBackslash) {
    std::string t = GetTempDir();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.back(), '\\');
}

TEST(OSVersionOnThisSystem, WineAnswersAsAnNTSystem) {
    TVantraOSVersion os;
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(os.PlatformId(), v.dwPlatformId);
    EXPECT_EQ(os.MajorVersion(), v.dwMajorVersion);
    EXPECT_EQ(os.MinorVersion(), v.dwMinorVersion);
    if (v.dwPlatformId == 2 && v.dwMajorVersion > 5) {
        EXPECT_EQ(os.OSNumber(), osWinVista);
    }
    EXPECT_EQ(os.OSNumberText(), std::to_string(os.OSNumber()));
    BOOL wow = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow);
    EXPECT_EQ(os.IsWow64(), wow != FALSE);
#ifdef _WIN64
    EXPECT_FALSE(os.IsWow64());  // a 64-bit process never runs under WOW64
#endif
    EXPECT_FALSE(os.IsWin9x());
}

TEST(LangFileName, RealFiles) {
    std::string dir = GetTempDir();
    std::string de = dir + "vtp-chkfail-DE.txt";
    WriteText(de, "x");
    EXPECT_EQ(FormatLangFileName(dir + "vtp-chkfail-%s.txt", "DE"), de);
    EXPECT_EQ(FormatLangFileName(dir + "vtp-chkfail-%s.txt", "FR"), dir + "vtp-chkfail-EN.txt");
    DeleteFileA(de.c_str());
    EXPECT_EQ(FormatLangFileName(dir + "vtp-chkfail-%s.txt", "DE"), dir + "vtp-chkfail-EN.txt");
}

}  // namespace
