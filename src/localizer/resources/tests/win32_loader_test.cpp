// The Windows loader as the judge of the modules we write and read: it must see every string
// and every RCDATA item, byte for byte.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include "ResTestUtil.h"

using namespace resources;
using namespace restest;

namespace {

struct DataModule {
    HMODULE h;
    explicit DataModule(const std::string& path) : h(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (h) FreeLibrary(h);
    }
};

std::u16string LoadStringOf(HMODULE h, int id) {
    wchar_t buf[4096];
    int n = LoadStringW(h, static_cast<UINT>(id), buf, 4096);
    return std::u16string(reinterpret_cast<const char16_t*>(buf), static_cast<size_t>(n));
}

bool RCDataOf(HMODULE h, const std::string& name, std::string& out) {
    HRSRC info = FindResourceA(h, name.c_str(), MAKEINTRESOURCEA(10));
    if (!info) return false;
    DWORD size = SizeofResource(h, info);
    HGLOBAL g = LoadResource(h, info);
    const char* p = static_cast<const char*>(LockResource(g));
    if (size && !p) return false;
    out.assign(p ? p : "", size);
    return true;
}

void ExpectLoaderSees(HMODULE h, TResProcessor& p) {
    auto* s = static_cast<TResString*>(p.FindBlock(6));
    ASSERT_NE(s, nullptr);
    for (int i = 0; i < s->Count(); ++i)
        EXPECT_EQ(LoadStringOf(h, s->Strings(i)->Id), s->Strings(i)->Text) << "string " << s->Strings(i)->Id;
    auto* r = static_cast<TResRCData*>(p.FindBlock(10));
    ASSERT_NE(r, nullptr);
    for (int i = 0; i < r->Count(); ++i) {
        std::string data;
        ASSERT_TRUE(RCDataOf(h, r->Items(i)->Name, data)) << r->Items(i)->Name;
        EXPECT_EQ(data, DataOf(r->Items(i))) << r->Items(i)->Name;
    }
}

}  // namespace

TEST(WindowsLoader, WrittenModuleLoadsAsDataFile) {
    TResProcessor p;
    FillSample(p);
    // Many strings over many groups, and a large item, to cover more than one staging buffer.
    auto* s = static_cast<TResString*>(p.FindBlock(6));
    for (int id = 200; id < 3000; id += 3) s->AddString(id, u"Text " + std::u16string(id % 50, u'\u00E9'));
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    SetData(static_cast<TResRCData*>(p.FindBlock(10))->Add("BIG"), big);
    std::string path = WriteScratch("loader.dll", Module(p));
    DataModule m(path);
    ASSERT_NE(m.h, nullptr) << GetLastError();
    ExpectLoaderSees(m.h, p);
    EXPECT_EQ(LoadStringOf(m.h, 2), u"");  // an empty slot
    std::string data;
    EXPECT_FALSE(RCDataOf(m.h, "NOT_THERE", data));
}

TEST(WindowsLoader, StringsOnBlockBoundaries) {
    // The last id of a block and the first of the next one, at both ends of the id range.
    const int ids[] = {0, 15, 16, 31, 32, 65519, 65520, 65535};
    TResProcessor p;
    p.FixedTimeStamp = 7;
    auto s = std::make_unique<TResString>();
    for (int id : ids)
        s->AddString(id, u"Id " + std::u16string(static_cast<size_t>(id % 5 + 1), u'\u0416') + u"#" +
                             std::u16string(1, static_cast<char16_t>(u'A' + id % 26)));
    p.AddBlock(std::move(s));
    DataModule m(WriteScratch("boundaries.dll", Module(p)));
    ASSERT_NE(m.h, nullptr) << GetLastError();
    auto* block = static_cast<TResString*>(p.FindBlock(6));
    for (int id : ids) EXPECT_EQ(LoadStringOf(m.h, id), block->FindString(id)->Text) << id;
    // Their neighbours stay empty.
    for (int id : {1, 14, 17, 30, 33, 65518, 65521, 65534}) EXPECT_EQ(LoadStringOf(m.h, id), u"") << id;
}

TEST(WindowsLoader, ReaderAgreesWithLoadStringOnToolchainModules) {
    // The checked-in 32-bit module and the one this build's toolchain made from the same .rc.
    for (std::string path : {SampleDll(), std::string(VTP_RES_SAMPLE_DLL)}) {
        SCOPED_TRACE(path);
        TResProcessor p;
        p.LoadFromFile(path);
        DataModule m(path);
        ASSERT_NE(m.h, nullptr) << GetLastError();
        auto* s = static_cast<TResString*>(p.FindBlock(6));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Count(), 7);
        for (int id = 0; id < 65536; ++id) {
            TResStringItem* item = s->FindString(id);
            std::u16string loaded = LoadStringOf(m.h, id);
            EXPECT_EQ(loaded, item ? item->Text : u"") << id;
        }
        auto* r = static_cast<TResRCData*>(p.FindBlock(10));
        ASSERT_NE(r, nullptr);
        for (const char* name : {"PACKAGEINFO", "QLX_EXESETTINGS_"}) {
            std::string data;
            ASSERT_TRUE(RCDataOf(m.h, name, data));
            EXPECT_EQ(data, DataOf(r->FindByName(name)));
        }
    }
}

TEST(WindowsLoader, LoadFromModule) {
    DataModule m(SampleDll());
    ASSERT_NE(m.h, nullptr);
    TResProcessor fromFile, fromModule;
    fromFile.LoadFromFile(SampleDll());
    fromModule.LoadFromModule(reinterpret_cast<uintptr_t>(m.h));
    auto* a = static_cast<TResString*>(fromFile.FindBlock(6));
    auto* b = static_cast<TResString*>(fromModule.FindBlock(6));
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Count(), a->Count());
    for (int i = 0; i < a->Count(); ++i) {
        EXPECT_EQ(b->Strings(i)->Id, a->Strings(i)->Id);
        EXPECT_EQ(b->Strings(i)->Text, a->Strings(i)->Text);
    }
    auto* r = static_cast<TResRCData*>(fromModule.FindBlock(10));
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->Count(), 4);
    // A numbered item gets its decimal id as its name, as in the file reader.
    ASSERT_NE(r->FindByName("7"), nullptr);
    EXPECT_EQ(DataOf(r->FindByName("7")), "numbered");
    EXPECT_EQ(DataOf(r->FindByName("PACKAGEINFO")), std::string("\x01\x02\x03\x04"
                                                                "AB"));
    // The module's content written again is what the loader sees.
    DataModule again(WriteScratch("again.dll", Module(fromModule)));
    ASSERT_NE(again.h, nullptr);
    ExpectLoaderSees(again.h, fromModule);
}

TEST(WindowsLoader, LoadFromModuleWithoutStringTables) {
    TResProcessor src;
    auto r = std::make_unique<TResRCData>();
    SetData(r->Add("ONLY"), "data");
    src.AddBlock(std::move(r));
    DataModule m(WriteScratch("nostrings.dll", Module(src)));
    ASSERT_NE(m.h, nullptr);
    TResProcessor p;
    FillSample(p);
    p.LoadFromModule(reinterpret_cast<uintptr_t>(m.h));
    EXPECT_EQ(p.FindBlock(6), nullptr);  // no block rather than an empty one
    ASSERT_EQ(p.BlockCount(), 1);
    EXPECT_EQ(DataOf(static_cast<TResRCData*>(p.FindBlock(10))->Items(0)), "data");
}

namespace {
uintptr_t g_served = 0;
uintptr_t ServedBy(uintptr_t) {
    return g_served;
}
}  // namespace

TEST(WindowsLoader, LoadFromModuleFollowsTheResourceModule) {
    // The instance's resources are served by another module: that one is read.
    DataModule sample(SampleDll());
    ASSERT_NE(sample.h, nullptr);
    g_served = reinterpret_cast<uintptr_t>(sample.h);
    SetResourceInstanceResolver(ServedBy);
    TResProcessor p;
    p.LoadFromModule(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
    SetResourceInstanceResolver(nullptr);
    ASSERT_NE(p.FindBlock(6), nullptr);
    EXPECT_EQ(static_cast<TResString*>(p.FindBlock(6))->FindString(17)->Text, u"Seventeen");
}

namespace {

// The bytes the loader finds for (type, name, language); false when it finds none.
// The wide forms of RT_STRING and RT_RCDATA (this build is not a UNICODE one).
const LPCWSTR kString = MAKEINTRESOURCEW(6), kRCData = MAKEINTRESOURCEW(10);

bool ResourceOf(HMODULE h, LPCWSTR type, LPCWSTR name, WORD language, std::vector<uint8_t>& out) {
    HRSRC info = FindResourceExW(h, type, name, language);
    if (!info) return false;
    DWORD size = SizeofResource(h, info);
    const auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(h, info)));
    if (size && !p) return false;
    out.assign(p, p + size);
    return true;
}

}  // namespace

TEST(WindowsLoader, ModuleOfAProgramKeepsEveryLanguageAndNumericIds) {
    // The program and the module written from it: the loader finds the same in both, each
    // language of a block or a name with its own bytes, and the numeric RCDATA ids as ids.
    const std::string src = WriteScratch("twolang_src.exe", TwoLanguageProgram());
    TResProcessor p;
    p.KeepAllResources = true;
    p.LoadFromFile(src);
    p.FixedTimeStamp = 5;
    const std::string mod = WriteScratch("twolang.QPS", Module(p));
    const std::wstring wmod(mod.begin(), mod.end());
    HMODULE h = LoadLibraryExW(wmod.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(h, nullptr) << GetLastError();
    DataModule program(src);
    ASSERT_NE(program.h, nullptr) << GetLastError();
    const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), english = MAKELANGID(LANG_ENGLISH, 0),
               us = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    struct Want {
        LPCWSTR type, name;
        WORD language;
    } const wants[] = {
        {kString, MAKEINTRESOURCEW(4096), neutral},
        {kString, MAKEINTRESOURCEW(4096), english},
        {kString, MAKEINTRESOURCEW(4095), english},
        {kRCData, L"LOGO", neutral},
        {kRCData, L"LOGO", us},
        {kRCData, MAKEINTRESOURCEW(101), neutral},
        {kRCData, MAKEINTRESOURCEW(7), us},
        {kRCData, L"A", neutral},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(testing::Message() << "name " << (IS_INTRESOURCE(w.name) ? reinterpret_cast<uintptr_t>(w.name) : 0)
                                        << " language " << w.language);
        std::vector<uint8_t> inModule, inProgram;
        ASSERT_TRUE(ResourceOf(h, w.type, w.name, w.language, inModule));
        ASSERT_TRUE(ResourceOf(program.h, w.type, w.name, w.language, inProgram));
        EXPECT_EQ(inModule, inProgram);
    }
    std::vector<uint8_t> zero, nine;
    ASSERT_TRUE(ResourceOf(h, kString, MAKEINTRESOURCEW(4096), neutral, zero));
    ASSERT_TRUE(ResourceOf(h, kString, MAKEINTRESOURCEW(4096), english, nine));
    EXPECT_EQ(zero, StringBlockData({{15, u"Invoice"}, {14, u"Open"}, {0, u"12:00"}}));
    EXPECT_EQ(nine, StringBlockData({{15, u"Invoice"}, {14, u"\u00D6ffnen"}, {13, u"Only in nine"}}));
    std::vector<uint8_t> logo;
    ASSERT_TRUE(ResourceOf(h, kRCData, L"LOGO", us, logo));
    EXPECT_EQ(std::string(logo.begin(), logo.end()), "\x89PNG us");
    // Found as the framework's run-time library looks them up: by id, without a language.
    HRSRC numeric = FindResourceW(h, MAKEINTRESOURCEW(101), kRCData);
    ASSERT_NE(numeric, nullptr);
    EXPECT_EQ(SizeofResource(h, numeric), 11u);
    EXPECT_EQ(std::string(static_cast<const char*>(LockResource(LoadResource(h, numeric))), 11), "numeric 101");
    EXPECT_NE(FindResourceW(h, MAKEINTRESOURCEW(7), kRCData), nullptr);
    EXPECT_EQ(FindResourceW(h, L"101", kRCData), nullptr);
    wchar_t buf[64];
    EXPECT_EQ(LoadStringW(h, 65535, buf, 64), 7);
    FreeLibrary(h);
}

#endif
