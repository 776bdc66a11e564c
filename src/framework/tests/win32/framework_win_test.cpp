#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "framework/win32/ComObj.h"
#include "framework/win32/Forms.h"
#include "framework/win32/Packages.h"
#include "framework/win32/Registry.h"
#include "framework/win32/SysInit.h"

namespace {

const char* kTestKey = "Software\\VtpFrameworkTest";

void DeleteTestKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kTestKey) + "\\Sub").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteTestKey();
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        const char sz[] = "C:\\Vantra";
        RegSetValueExA(k, "Plain", 0, REG_SZ, reinterpret_cast<const BYTE*>(sz), sizeof sz);
        const char ex[] = "%TEMP%\\x";
        RegSetValueExA(k, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(ex), sizeof ex);
        DWORD d = 7;
        RegSetValueExA(k, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
        // Stored without its terminating zero, as some installers write it.
        RegSetValueExA(k, "NoZero", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
        RegCloseKey(k);
    }
    void TearDown() override { DeleteTestKey(); }
};

TEST_F(RegistryTest, ReadsStringsUnexpandedAndRefusesOtherTypes) {
    fw::TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_ALL_ACCESS));
    ASSERT_TRUE(reg.OpenKey(kTestKey, false));
    EXPECT_EQ(reg.ReadString("Plain"), "C:\\Vantra");
    EXPECT_EQ(reg.ReadString("Expand"), "%TEMP%\\x");
    EXPECT_EQ(reg.ReadString("NoZero"), "abc");
    EXPECT_EQ(reg.ReadString("Missing"), "");
    try {
        reg.ReadString("Number");
        FAIL() << "a DWORD value must not read as a string";
    } catch (const fw::ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Number'");
    }
}

TEST_F(RegistryTest, OpenWithoutCreateLeavesMissingKeysAlone) {
    fw::TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(std::string(kTestKey) + "\\Sub", false));
    HKEY k;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kTestKey) + "\\Sub").c_str(), 0, KEY_READ, &k),
              ERROR_SUCCESS);
    EXPECT_TRUE(reg.OpenKey(std::string(kTestKey) + "\\Sub", true));
    reg.WriteString("v", "w");
    reg.CloseKey();
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.OpenKey(std::string(kTestKey) + "\\Sub", false));
    reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(std::string(kTestKey) + "\\Sub", false));
    EXPECT_EQ(reg.ReadString("v"), "w");
}

TEST(ModuleList, ResourceStringsFollowTheResourceModule) {
    fw::InitModuleList();
    HMODULE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(fw::MainInstance(), self);
    EXPECT_EQ(fw::FindResourceHInstance(self), self);
    // The test program has no string table: the English text stands.
    EXPECT_EQ(fw::LoadResString(4242, "english"), "english");

    // Any module with a string table will do as a stand-in for a translated resource module.
    HMODULE data = LoadLibraryExA("user32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    int id = 0;
    wchar_t buf[512];
    for (int i = 1; i < 5000 && !id; ++i)
        if (LoadStringW(data, static_cast<UINT>(i), buf, 512) > 0) id = i;
    ASSERT_NE(id, 0);
    char expected[1024];
    WideCharToMultiByte(CP_ACP, 0, buf, -1, expected, sizeof expected, nullptr, nullptr);

    ASSERT_TRUE(fw::SetResourceHInstance(self, data));
    EXPECT_EQ(fw::FindResourceHInstance(self), data);
    EXPECT_EQ(fw::LoadResString(id, "english"), expected);
    ASSERT_TRUE(fw::SetResourceHInstance(self, nullptr));  // back to the module itself
    EXPECT_EQ(fw::LoadResString(id, "english"), "english");
    EXPECT_FALSE(fw::SetResourceHInstance(reinterpret_cast<HMODULE>(0x1000), data));
    FreeLibrary(data);
}

TEST(ModuleList, PackageInformationIsBoundsChecked) {
    const unsigned char good[] = {0, 0, 0, 0, 1, 0, 0, 0, 'r', 't', 'l', 0, 2, 0, 0, 0, 1, 'A', 0, 0, 'B', 'c', 0};
    auto units = fw::ParsePackageInfo(good, sizeof good, "p.bpl");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0], "A");
    EXPECT_EQ(units[1], "Bc");
    // Every truncation is refused with the module's name, never read past the end.
    for (size_t n = 0; n < sizeof good; ++n) {
        try {
            fw::ParsePackageInfo(good, n, "p.bpl");
            ADD_FAILURE() << "accepted " << n << " bytes";
        } catch (const fw::EPackageError& e) {
            EXPECT_STREQ(e.what(), "Invalid package information in 'p.bpl'");
        }
    }
    const unsigned char huge[] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1};
    EXPECT_THROW(fw::ParsePackageInfo(huge, sizeof huge, "h"), fw::EPackageError);
}

TEST(Packages, MissingLibraryNamesPackageAndSystemMessage) {
    try {
        fw::LoadPackage("C:\\nowhere\\missing.bpl");
        FAIL();
    } catch (const fw::EPackageError& e) {
        std::string m = e.what();
        EXPECT_EQ(m.rfind("Can't load package C:\\nowhere\\missing.bpl.\r\n", 0), 0u) << m;
        EXPECT_GT(m.size(), std::strlen("Can't load package C:\\nowhere\\missing.bpl.\r\n"))
            << "system message missing";
    }
    // A library without "Initialize" is no package; it is unloaded again.
    try {
        fw::LoadPackage("version.dll");
        FAIL();
    } catch (const fw::EPackageError& e) {
        std::string m = e.what();
        EXPECT_EQ(m.rfind("Invalid package file '", 0), 0u) << m;
        EXPECT_NE(m.find("version.dll'"), std::string::npos) << m;
    }
}

TEST(Application, HiddenWindowAndApartment) {
    fw::TApplication& app = fw::Application();
    ASSERT_NE(app.Handle(), nullptr);
    EXPECT_FALSE(IsWindowVisible(app.Handle()));
    char cls[64] = {};
    GetClassNameA(app.Handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TApplication");
    EXPECT_NE(GetWindowLongA(app.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    app.Initialize();
    EXPECT_TRUE(app.ComInitialized());
    // The apartment is single-threaded: a second CoInitialize says so with S_FALSE.
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
}

TEST(ComErrors, MessageRules) {
    fw::Application().Initialize();
    // 1. The server's own description.
    ICreateErrorInfo* cei = nullptr;
    ASSERT_EQ(CreateErrorInfo(&cei), S_OK);
    cei->SetDescription(const_cast<LPOLESTR>(L"The server says no"));
    IErrorInfo* ei = nullptr;
    cei->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&ei));
    SetErrorInfo(0, ei);
    ei->Release();
    cei->Release();
    EXPECT_EQ(fw::OleErrorMessage(E_FAIL), "The server says no");
    // The error information is taken once.
    std::string sys = fw::OleErrorMessage(E_OUTOFMEMORY);
    EXPECT_NE(sys, "The server says no");
    EXPECT_FALSE(sys.empty());
    EXPECT_EQ(sys.rfind("OLE error", 0), std::string::npos) << sys;
    // 3. Nothing known about the code.
    EXPECT_EQ(fw::OleErrorMessage(static_cast<HRESULT>(0x8FFE1234)), "OLE error 8ffe1234");
    try {
        fw::OleCheck(static_cast<HRESULT>(0x8FFE1234));
        FAIL();
    } catch (const fw::EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<HRESULT>(0x8FFE1234));
    }
    EXPECT_NO_THROW(fw::OleCheck(S_FALSE));
}

TEST(ComErrors, UnregisteredClassAndMissingInterface) {
    fw::Application().Initialize();
    CLSID none = fw::StringToGUID("{00000000-1111-2222-3333-444444444444}");
    EXPECT_THROW(fw::CreateComObject(none), fw::EOleSysError);
    // The standard global interface table object offers no IDispatch.
    auto git = fw::CreateComObject(CLSID_StdGlobalInterfaceTable);
    void* p = nullptr;
    try {
        fw::QueryInterfaceChecked(git.Get(), IID_IDispatch, &p);
        FAIL();
    } catch (const fw::EIntfCastError& e) {
        EXPECT_STREQ(e.what(), "Interface not supported");
    }
}

}  // namespace
