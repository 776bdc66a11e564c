#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "framework/win32/Forms.h"
#include "framework/win32/Packages.h"
#include "framework/win32/Registry.h"
#include "framework/win32/SysInit.h"
#include "launcher/Launcher.h"
#include "product/NVTools.h"
#include "product/brmkVTPTools.h"

using namespace launcher;

namespace {

std::string ReadAll(const std::string& path) {
    std::string s;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::string FixtureBin() {
    std::string dir = "Z:" VTP_BINARY_DIR "/fixtures/bin/";
    for (char& c : dir)
        if (c == '/') c = '\\';
    return dir;
}

class MsDosSys : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = product::GetTempDir() + "vtp-msdos.sys";
        backup_ = file_ + ".FIXED";
        Remove();
    }
    void TearDown() override { Remove(); }
    void Remove() {
        SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file_.c_str());
        DeleteFileA(backup_.c_str());
    }
    std::string file_, backup_;
};

TEST_F(MsDosSys, ThirtyBlankLinesBeforeTheFirstRemarkAfterTheHeading) {
    const std::string old = ";top remark\r\n[OPTIONS]\r\nBootGUI=1\r\n\r\n   ;abc\r\n;def\r\n";
    WriteText(file_, old);
    EXPECT_TRUE(RepairMsDosSys(file_, backup_));
    std::string expected = ";top remark\r\n[OPTIONS]\r\nBootGUI=1\r\n\r\n";
    for (int i = 0; i < 30; ++i) expected += " \r\n";
    expected += "   ;abc\r\n;def\r\n";
    EXPECT_EQ(ReadAll(file_), expected);
    EXPECT_EQ(ReadAll(backup_), old);
    EXPECT_EQ(GetFileAttributesA(file_.c_str()), 0x27u);
    // The backup marks the repair as done: nothing more happens.
    EXPECT_FALSE(RepairMsDosSys(file_, backup_));
    EXPECT_EQ(ReadAll(file_), expected);
}

TEST_F(MsDosSys, WithoutHeadingOrRemarkTheFileStaysButTheBackupIsMade) {
    WriteText(file_, "[Paths]\nWinDir=C:\\WINDOWS\n;x\n");
    EXPECT_FALSE(RepairMsDosSys(file_, backup_));
    EXPECT_EQ(ReadAll(file_), "[Paths]\nWinDir=C:\\WINDOWS\n;x\n");
    EXPECT_EQ(ReadAll(backup_), "[Paths]\nWinDir=C:\\WINDOWS\n;x\n");
    Remove();
    WriteText(file_, "[Options]\r\nBootGUI=1\r\n");
    EXPECT_FALSE(RepairMsDosSys(file_, backup_));
    EXPECT_EQ(ReadAll(file_), "[Options]\r\nBootGUI=1\r\n");
    // The heading is the whole line: " [Options]" is not it.
    Remove();
    WriteText(file_, " [Options]\r\n;x\r\n");
    EXPECT_FALSE(RepairMsDosSys(file_, backup_));
    EXPECT_EQ(ReadAll(file_), " [Options]\r\n;x\r\n");
}

TEST_F(MsDosSys, NoRewriteWithoutABackup) {
    const std::string old = "[Options]\r\nBootGUI=1\r\n;abc\r\n";
    WriteText(file_, old);
    // The backup cannot be written: its folder does not exist.
    const std::string noBackup = product::GetTempDir() + "vtp-no-such-folder\\MSDOS.SYS.FIXED";
    EXPECT_FALSE(RepairMsDosSys(file_, noBackup));
    EXPECT_EQ(ReadAll(file_), old);
}

TEST_F(MsDosSys, AFailedWriteLeavesTheOriginalAndSaysNotRewritten) {
    const std::string old = "[Options]\r\nBootGUI=1\r\n;abc\r\n";
    WriteText(file_, old);
    // Another program reads the file and denies writers.
    HANDLE reader = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    bool rewritten = true;
    EXPECT_NO_THROW(rewritten = RepairMsDosSys(file_, backup_));
    CloseHandle(reader);
    EXPECT_FALSE(rewritten);
    EXPECT_EQ(ReadAll(file_), old);
    EXPECT_EQ(ReadAll(backup_), old);
}

TEST_F(MsDosSys, NoFileNothingToDo) {
    EXPECT_FALSE(RepairMsDosSys(file_, backup_));
    EXPECT_EQ(GetFileAttributesA(backup_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Packages, LoadInitialiseFinalizeAndRefuse) {
    const std::string bin = FixtureBin();
    using Count = LONG(WINAPI*)();
    HMODULE p1 = fw::LoadPackage(bin + "vtpvcl1.bpl");
    auto count = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(p1, "PackageInitCount")));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);
    try {
        fw::LoadPackage(bin + "vtpdupvcl1.bpl");
        FAIL() << "a unit present twice must be refused";
    } catch (const fw::EPackageError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot load package 'vtpdupvcl1.'  It contains unit 'VtpGraphics,'which is also contained in "
                     "package 'vtpvcl1'");
    }
    EXPECT_EQ(GetModuleHandleA((bin + "vtpdupvcl1.bpl").c_str()), nullptr) << "refused package left loaded";
    fw::UnloadPackage(p1);
    EXPECT_EQ(GetModuleHandleA((bin + "vtpvcl1.bpl").c_str()), nullptr);
    // With vtpvcl1 gone the other one loads.
    EXPECT_NO_THROW(CheckPackage(bin + "vtpdupvcl1.bpl"));
    EXPECT_NO_THROW(CheckPackage(bin + "vtpvcl2.bpl"));
}

TEST(Packages, FaultyPackagesFailTheirStep) {
    const std::string bin = FixtureBin();
    try {
        CheckPackage(bin + "vtpnoinit.bpl");
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid package file '" + bin + "vtpnoinit.bpl'");
    }
    EXPECT_EQ(GetModuleHandleA((bin + "vtpnoinit.bpl").c_str()), nullptr);
    try {
        CheckPackage(bin + "vtpfailinit.bpl");
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_STREQ(e.what(),
                     "Package vtpfailinit: its class registration failed (a required class is already registered)");
    }
    EXPECT_EQ(GetModuleHandleA((bin + "vtpfailinit.bpl").c_str()), nullptr);
    try {
        CheckPackage(bin + "vtpnofinal.bpl");
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid package handle");
    }
    try {
        CheckPackage(bin + "nothere.bpl");
        FAIL();
    } catch (const fw::Exception& e) {
        std::string m = e.what();
        EXPECT_EQ(m.rfind("Can't load package " + bin + "nothere.bpl.\r\n", 0), 0u) << m;
    }
}

// "Access violation at address <hex> in module '<module>'. <Read|Write> of address <hex>".
void ExpectAccessViolation(const std::string& message, const std::string& module, const char* op) {
    const std::string head = "Access violation at address ";
    ASSERT_EQ(message.rfind(head, 0), 0u) << message;
    size_t p = head.size();
    size_t hex = 2 * sizeof(void*);
    EXPECT_EQ(message.find_first_not_of("0123456789ABCDEF", p), p + hex) << message;
    EXPECT_EQ(message.substr(p + hex), " in module '" + module + "'. " + op + " of address " + std::string(hex, '0'));
}

TEST(Packages, HardwareFaultsInInitializeOrFinalizeFailTheStep) {
    const std::string bin = FixtureBin();
    try {
        CheckPackage(bin + "vtpfaultinit.bpl");
        ADD_FAILURE() << "a faulting Initialize passed";
    } catch (const fw::Exception& e) {
        ExpectAccessViolation(e.Message(), "vtpfaultinit.bpl", "Write");
    }
    EXPECT_EQ(GetModuleHandleA((bin + "vtpfaultinit.bpl").c_str()), nullptr) << "faulty package left loaded";
    for (const auto& m : fw::LibModuleList()) EXPECT_NE(m.Name, "vtpfaultinit");
    try {
        CheckPackage(bin + "vtpfaultfinal.bpl");
        ADD_FAILURE() << "a faulting Finalize passed";
    } catch (const fw::Exception& e) {
        ExpectAccessViolation(e.Message(), "vtpfaultfinal.bpl", "Write");
    }
    // The guard is gone after the fault: a later one is not caught by it, and sound packages
    // still load.
    EXPECT_NO_THROW(CheckPackage(bin + "vtpvcl2.bpl"));
}

// The floating-point state of this thread: x87 control and status word, MXCSR.
unsigned short X87Control() {
    unsigned short cw;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}
unsigned short X87Status() {
    unsigned short sw;
    asm volatile("fnstsw %0" : "=m"(sw));
    return sw;
}
bool HasSse() {
    return IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
}
unsigned Mxcsr() {
    unsigned csr = 0;
    if (HasSse()) asm volatile("stmxcsr %0" : "=m"(csr));
    return csr;
}
void SetFloatState(unsigned short cw, unsigned csr) {
    asm volatile("fninit\n\tfldcw %0" : : "m"(cw));
    if (HasSse()) asm volatile("ldmxcsr %0" : : "m"(csr));
}

TEST(Packages, AFloatFaultInInitializeLeavesOurFloatStateAsItWas) {
    const std::string bin = FixtureBin();
    const unsigned short ourControl = X87Control();
    const unsigned ourCsr = Mxcsr();
    // The usual state, and one of less precision with the precision fault reported, to tell
    // "as it was" from "as after a reset".
    const std::pair<unsigned short, unsigned> states[] = {{0x37F, 0x1F80}, {0x27F, 0x1F40}};
    for (auto [cw, csr] : states) {
        SetFloatState(cw, csr);
        try {
            CheckPackage(bin + "vtpfpuinit.bpl");
            ADD_FAILURE() << "a faulting Initialize passed";
        } catch (const fw::Exception& e) {
            const std::string m = e.Message();
            EXPECT_EQ(m.rfind("Floating point division by zero at address ", 0), 0u) << m;
            EXPECT_NE(m.find(" in module 'vtpfpuinit.bpl'"), std::string::npos) << m;
        }
        const unsigned short control = X87Control(), status = X87Status();
        const unsigned mxcsr = Mxcsr();
        EXPECT_EQ(control, cw) << std::hex << control;
        EXPECT_EQ(status, 0) << std::hex << status;  // nothing pending, nothing left on the stack
        EXPECT_EQ(mxcsr, HasSse() ? csr : 0u) << std::hex << mxcsr;
        // A pending fault would end the test program at our next float instruction.
        if (control != cw || status != 0 || mxcsr != (HasSse() ? csr : 0u)) SetFloatState(cw, csr);
        volatile double zero = 0.0, three = 3.0;
        volatile double inf = 1.0 / zero, third = 1.0 / three;
        EXPECT_GT(inf, 1e308);
        EXPECT_GT(third, 0.33);
    }
    SetFloatState(ourControl, ourCsr);
    EXPECT_NO_THROW(CheckPackage(bin + "vtpvcl2.bpl"));
}

// A package whose Initialize unmasks the float faults, leaves a division by zero pending and a
// value on the x87 stack, and returns normally: it loads, and our own float code after it
// computes as before (a division by zero is infinity, not the end of the process).
TEST(Packages, AnInitializeThatReturnsNormallyLeavesOurFloatStateAsItWas) {
    const std::string bin = FixtureBin();
    const unsigned short ourControl = X87Control();
    const unsigned ourCsr = Mxcsr();
    const std::pair<unsigned short, unsigned> states[] = {{0x37F, 0x1F80}, {0x27F, 0x1F40}};
    for (auto [cw, csr] : states) {
        SetFloatState(cw, csr);
        EXPECT_NO_THROW(CheckPackage(bin + "vtpfpuleave.bpl"));
        const unsigned short control = X87Control(), status = X87Status();
        const unsigned mxcsr = Mxcsr();
        EXPECT_EQ(control, cw) << std::hex << control;
        EXPECT_EQ(status, 0) << std::hex << status;  // nothing pending, nothing left on the stack
        EXPECT_EQ(mxcsr, HasSse() ? csr : 0u) << std::hex << mxcsr;
        // Put right before the division, so that a failure here does not end the test program.
        if (control != cw || status != 0 || mxcsr != (HasSse() ? csr : 0u)) SetFloatState(cw, csr);
        volatile double zero = 0.0, three = 3.0;
        volatile double inf = 1.0 / zero, third = 1.0 / three;
        EXPECT_GT(inf, 1e308);
        EXPECT_GT(third, 0.33);
    }
    SetFloatState(ourControl, ourCsr);
}

// A COM object whose every method after IUnknown faults, and one that throws nothing but
// answers: the slot call turns the first into the framework's error.
struct FaultyObject {
    void** vtbl;
};
int* volatile g_null = nullptr;
HRESULT STDMETHODCALLTYPE FaultingSlot(FaultyObject*, BSTR*) {
    return static_cast<HRESULT>(*g_null);
}
HRESULT STDMETHODCALLTYPE AnsweringSlot(FaultyObject*, BSTR* r) {
    *r = SysAllocString(L"fine");
    return S_OK;
}

TEST(ComSlots, AHardwareFaultInAServerIsTheComLayersError) {
    void* table[60];
    for (auto& e : table) e = reinterpret_cast<void*>(&FaultingSlot);
    table[7] = reinterpret_cast<void*>(&AnsweringSlot);
    FaultyObject obj{table};
    auto* unk = reinterpret_cast<IUnknown*>(&obj);
    EXPECT_EQ(fw::CallBstrSlot(unk, 7), "fine");
    try {
        fw::CallBstrSlot(unk, 42);
        ADD_FAILURE() << "a faulting slot passed";
    } catch (const fw::Exception& e) {
        std::string exe = fw::ModuleFileName(nullptr);
        ExpectAccessViolation(e.Message(), exe.substr(exe.find_last_of('\\') + 1), "Read");
    }
    EXPECT_EQ(fw::CallBstrSlot(unk, 7), "fine");
}

TEST(Packages, ALoadedModuleNamedAsPackageKeepsItsRecord) {
    fw::InitModuleList();
    HMODULE exe = GetModuleHandleA(nullptr);
    // The program's texts come from another module (as after a language switch).
    const std::string other = FixtureBin() + "vtpvcl3.bpl";
    HMODULE res = LoadLibraryExA(other.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(res, nullptr);
    ASSERT_TRUE(fw::SetResourceHInstance(exe, res));
    // The launcher itself named as a package: it has no "Initialize".
    EXPECT_THROW(CheckPackage(fw::ModuleFileName(exe)), fw::EPackageError);
    EXPECT_EQ(fw::FindResourceHInstance(exe), res) << "the program's module record was removed";
    bool listed = false;
    for (const auto& m : fw::LibModuleList()) listed = listed || m.Instance == exe;
    EXPECT_TRUE(listed);
    fw::SetResourceHInstance(exe, nullptr);
    FreeLibrary(res);
}

TEST(Library, LoadsFromTheSearchPathOrFails) {
    EXPECT_NO_THROW(CheckLibrary("riched20.dll"));
    try {
        CheckLibrary("no-such-library-xyz.dll");
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_STREQ(e.what(), "DLL not found!");
    }
}

TEST(ScriptControl, WinesControlAndItsVBScriptEngine) {
    fw::Application().Initialize();
    EXPECT_NO_THROW(CheckScriptControl());
    EXPECT_NO_THROW(CheckVBScript());
}

TEST(Report, TextAndArguments) {
    EXPECT_EQ(
        BuildReportText("A1 - Checking x", "boom"),
        "We are sorry, but your computer failed to meet the requirements to run Vantra Pro. The check failed on "
        "step:\r\n\r\nA1 - Checking x (boom)\r\n\r\n- click \"OK\" to view see problem (and the possible "
        "solution). The file that is displayed contains for each \"Step\" an detailed description what you can "
        "do.\r\n\r\n- click \"Ignore\" to ignore this error and continue which is NOT RECOMMENDED!\r\n\r\n- click "
        "\"Abort\" to exit now.");
    EXPECT_EQ(JoinArguments({"/a", "b c"}), "/a b c");
    EXPECT_EQ(JoinArguments({}), "");
    EXPECT_EQ(JoinArguments({"", "x", ""}), "x");
    EXPECT_EQ(JoinArguments({"\ty "}), "y");
}

TEST(Report, FallbackTextLayout) {
    const std::string t = FallbackText();
    const std::string en =
        "Vantra Pro can not be started since some components are missing. By default, the text file CHKFAIL.TXT would "
        "be displayed that contains information how to fix the missing components. However, Vantra Pro was not able "
        "to find this file which means that your installation of Vantra Pro is properly damaged. This can be fixed by "
        "reinstalling Vantra Pro. If you can not find the installation files, you may download the current version "
        "from the URL at the end of this message.";
    ASSERT_EQ(t.compare(0, en.size() + 4, en + "\r\n\r\n"), 0);
    // English, French, Spanish, German, then the address after four line ends.
    size_t p1 = t.find("\r\n\r\n"), p2 = t.find("\r\n\r\n", p1 + 4), p3 = t.find("\r\n\r\n", p2 + 4),
           p4 = t.find("\r\n\r\n\r\n\r\n", p3 + 4);
    ASSERT_NE(p4, std::string::npos);
    EXPECT_EQ(t.substr(p1 + 4, 10), "Vantra Pro");
    EXPECT_EQ(t[p2 - 1], ' ');
    EXPECT_EQ(t[p3 - 1], ' ');
    EXPECT_EQ(t[p4 - 1], ' ');
    EXPECT_NE(t.substr(p1, p2 - p1).find("d\xE9marr\xE9"), std::string::npos);  // French
    EXPECT_NE(t.substr(p2, p3 - p2)
                  .find("mostrar\xED"
                        "a"),
              std::string::npos);                                          // Spanish
    EXPECT_NE(t.substr(p3, p4 - p3).find("w\xFCrde"), std::string::npos);  // German
    std::string url = t.substr(p4 + 8);
    EXPECT_EQ(url.rfind("http://", 0), 0u);
    EXPECT_EQ(url.find_first_of(" \r\n"), std::string::npos);
    for (unsigned char c : t) EXPECT_NE(c, 0xC3) << "UTF-8 in a Windows-1252 text";
}

// The temporary language folder against a scratch configuration.
class TempLangFolder : public ::testing::Test {
protected:
    void SetUp() override {
        product::ResetProductCaches();
        temp_ = product::GetTempDir();
        base_ = temp_ + "vtp-launcher-test\\";
        CreateDirectoryA(base_.c_str(), nullptr);
        CreateDirectoryA((base_ + "cfg").c_str(), nullptr);
        fw::TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(product::kProductRegKey, true));
        reg.WriteString(product::kAppDirValue, base_);
    }
    void TearDown() override {
        DeleteFileA((base_ + "cfg\\system.cfg").c_str());
        RemoveDirectoryA((base_ + "cfg").c_str());
        RemoveDirectoryA(base_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::kProductRegKey);
        product::ResetProductCaches();
    }
    void Config(const std::string& folderName) {
        WriteText(base_ + "cfg\\system.cfg", "Lang-TempFolderName=" + folderName + "\r\n");
    }
    std::string temp_, base_;
};

TEST_F(TempLangFolder, CreatedThenEmptiedSubFoldersStay) {
    const std::string folder = temp_ + "vtp-lang-a\\deeper\\";
    Config("vtp-lang-a\\deeper\\");
    PrepareTempLangFolder(true);
    ASSERT_TRUE(product::DirectoryExists(folder));
    WriteText(folder + "old.dll", "x");
    CreateDirectoryA((folder + "sub").c_str(), nullptr);
    PrepareTempLangFolder(true);
    EXPECT_FALSE(product::FileExists(folder + "old.dll"));
    EXPECT_TRUE(product::DirectoryExists(folder + "sub"));
    RemoveDirectoryA((folder + "sub").c_str());
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA((temp_ + "vtp-lang-a").c_str());
}

TEST_F(TempLangFolder, UncreatableFolderFailsOnlyWhenStrict) {
    WriteText(temp_ + "vtp-blocker", "file, not folder");
    Config("vtp-blocker\\sub\\");
    EXPECT_NO_THROW(PrepareTempLangFolder(false));
    try {
        PrepareTempLangFolder(true);
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to create directory " + temp_ + "vtp-blocker\\sub\\");
    }
    DeleteFileA((temp_ + "vtp-blocker").c_str());
}

TEST_F(TempLangFolder, AFileWhereTheFolderShouldBeIsNoFolder) {
    WriteText(temp_ + "vtp-plainfile", "file, not folder");
    Config("vtp-plainfile\\");
    EXPECT_NO_THROW(PrepareTempLangFolder(false));
    try {
        PrepareTempLangFolder(true);
        ADD_FAILURE() << "G1 passed with a file in place of the folder";
    } catch (const fw::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to create directory " + temp_ + "vtp-plainfile\\");
    }
    EXPECT_EQ(ReadAll(temp_ + "vtp-plainfile"), "file, not folder");
    EXPECT_FALSE(ForceDirectories(temp_ + "vtp-plainfile\\"));
    EXPECT_FALSE(ForceDirectories(temp_ + "vtp-plainfile"));
    DeleteFileA((temp_ + "vtp-plainfile").c_str());
}

TEST_F(TempLangFolder, OnlyAFolderInsideTheTemporaryFolderIsEmptied) {
    const std::string own = temp_ + "vtp-users-own.txt";
    // The parent of the temporary folder (the user's profile, say).
    char parentBuf[MAX_PATH];
    char* namePart = nullptr;
    GetFullPathNameA((temp_ + "..\\").c_str(), MAX_PATH, parentBuf, &namePart);
    const std::string parentOwn = std::string(parentBuf) + "vtp-users-own-above.txt";
    for (const char* value : {".\\", "..\\", "vtp-lang-x\\..\\", "vtp-lang-x\\..\\..\\", "\\"}) {
        SCOPED_TRACE(value);
        product::ResetProductCaches();
        Config(value);
        WriteText(own, "keep me");
        WriteText(parentOwn, "keep me too");
        EXPECT_NO_THROW(PrepareTempLangFolder(false));
        EXPECT_TRUE(product::FileExists(own));
        EXPECT_TRUE(product::FileExists(parentOwn));
        try {
            PrepareTempLangFolder(true);
            ADD_FAILURE() << "G1 passed";
        } catch (const fw::Exception& e) {
            EXPECT_EQ(std::string(e.what()), std::string("The temporary language folder ") + temp_ + value +
                                                 " does not lie inside the temporary folder " + temp_ +
                                                 ": key "
                                                 "\"Lang-TempFolderName\" in " +
                                                 base_ + "cfg\\system.cfg");
        }
        EXPECT_TRUE(product::FileExists(own));
        EXPECT_TRUE(product::FileExists(parentOwn));
    }
    DeleteFileA(own.c_str());
    DeleteFileA(parentOwn.c_str());
    // A folder below it is fine, however it is written.
    product::ResetProductCaches();
    Config("vtp-lang-y\\..\\vtp-lang-z\\");
    EXPECT_NO_THROW(PrepareTempLangFolder(true));
    EXPECT_TRUE(product::DirectoryExists(temp_ + "vtp-lang-z"));
    RemoveDirectoryA((temp_ + "vtp-lang-z").c_str());
}

TEST_F(TempLangFolder, NoFolderNameNeverEmptiesTheUsersTemporaryFolder) {
    Config("");
    const std::string own = temp_ + "vtp-users-own.txt";
    WriteText(own, "keep me");
    EXPECT_NO_THROW(PrepareTempLangFolder(false));
    EXPECT_TRUE(product::FileExists(own));
    try {
        PrepareTempLangFolder(true);
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "No temporary language folder is configured: key \"Lang-TempFolderName\" is "
                  "empty in " +
                      base_ + "cfg\\system.cfg");
    }
    EXPECT_TRUE(product::FileExists(own));
    DeleteFileA(own.c_str());
}

TEST_F(TempLangFolder, BaseAndCheckValue) {
    WriteText(base_ + "cfg\\system.cfg", "Check={5A1C93E2-7D44-4b0e-9F21-6C0B8E3D4A57}\r\n");
    EXPECT_NO_THROW(CheckBasePath());
    EXPECT_NO_THROW(CheckSystemCfg());
    product::ResetProductCaches();
    WriteText(base_ + "cfg\\system.cfg", "Check ={5A1C93E2-7D44-4b0e-9F21-6C0B8E3D4A57}\r\n");
    try {
        CheckSystemCfg();
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_STREQ(e.what(), "Check Value inside SYSTEM.CFG is incorrect");
    }
    product::ResetProductCaches();
    fw::TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(product::kProductRegKey, false));
    reg.WriteString(product::kAppDirValue, base_ + "missing");
    try {
        CheckBasePath();
        FAIL();
    } catch (const fw::Exception& e) {
        EXPECT_STREQ(e.what(), "GetBasePath() directory is not valid!");
    }
}

}  // namespace
