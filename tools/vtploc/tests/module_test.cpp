// vtploc module and container: the real tool run as a child process on modules and language
// files made here.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ToolTest.h"
#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/LangWriter.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/Generation.h"
#include "localizer/resources/ResProc.h"
#include "localizer/resources/tests/FormText.h"
#include "localizer/resources/tests/StringBlock.h"

using namespace langres;
using resources::TResProcessor;
using resources::TResRCData;
using resources::TResString;
namespace fs = std::filesystem;

namespace {

using tooltest::Bytes;
using tooltest::Q;
using tooltest::Result;
using tooltest::Vtploc;

// A module image with a fixed time stamp.
Bytes Saved(TResProcessor& p) {
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

class VtplocModule : public tooltest::ToolTest {
protected:
    // The module with every resource it has and `change` made, written under `name`.
    std::string Rewritten(const std::string& module, const char* name,
                          const std::function<void(TResProcessor&)>& change) {
        TResProcessor m;
        m.KeepAllResources = true;
        m.LoadFromFile(module);
        change(m);
        return Put(name, Saved(m));
    }
};

Bytes LangFile(uint16_t langId, const char* name, std::u16string hello, uint32_t build, uint32_t revision = 18) {
    TLangFileImage img;
    img.Header.LangId = langId;
    img.Header.Revision = revision;
    img.Header.Build = build;
    img.Header.EnglishLangName = name;
    img.Header.NativeLangName = langId == 0x0407 ? u"Deutsch" : u"English";
    img.Header.IsNative = langId == 9;
    TLFUnit unit;
    unit.Name = "SampleStrings";
    TLFRecord r;
    r.Name = "SHello";
    r.Id = 1;
    r.ResId = 100;
    r.Value.Present = true;
    r.Value.Text = std::move(hello);
    unit.Constants.push_back(r);
    img.Units.push_back(unit);
    return WriteLangFile(img, 7, false);
}

Bytes Record(const char* sig, uint32_t revision) {
    TSettingsRecord rec;
    rec.Signature = sig;
    rec.Revision = revision;
    rec.LangId = 9;
    rec.EnglishLangName = "English";
    rec.NativeLangName = u"English";
    return WriteSettingsRecordData(rec);
}

void AddRC(TResRCData* rc, const char* name, const Bytes& data) {
    fw::TBytesStream s(data.data(), static_cast<int64_t>(data.size()));
    rc->Add(name)->LoadData(s);
}

// An application with strings 100 and 101, a form, both records and (optionally) an embedded
// native language.
Bytes App(uint32_t revision, bool embedded, bool libRecord = true) {
    TResProcessor p;
    auto* strings = static_cast<TResString*>(p.AddBlock(std::make_unique<TResString>()));
    strings->AddString(100, u"Hello");
    strings->AddString(101, u"Only in the program");
    auto* rc = static_cast<TResRCData*>(p.AddBlock(std::make_unique<TResRCData>()));
    AddRC(rc, "TMAINFORM", Bytes{'T', 'P', 'F', '0', 9});
    AddRC(rc, SExeSettingsName, Record(SExeSignature, revision));
    if (libRecord) AddRC(rc, SLibSettingsName, Record(SLibSignature, revision));
    if (embedded) {
        TLangContainer c;
        c.Revision = revision;
        c.Entries.push_back({9, "English", LangFile(9, "English", u"Hello", 0)});
        AddRC(rc, SEmbeddedLangsName, WriteLangContainer(c));
    }
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

}  // namespace

TEST_F(VtplocModule, BuildThenVerify) {
    std::string app = Put("app.exe", App(18, true));
    std::string de = Put("app.de.lng", LangFile(0x0407, "German", u"Hallo", 31));
    std::string out = (dir_ / "app.de.dll").string();
    Result r = Vtploc("module build --app " + Q(app) + " --lang " + Q(de) + " -o " + Q(out));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    TResProcessor m;
    m.LoadFromFile(out);
    EXPECT_EQ(static_cast<TResString*>(m.FindBlock(6))->FindString(100)->Text, u"Hallo");

    r = Vtploc("module verify --app " + Q(app) + " " + Q(out));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("language: 0x0407 German (Deutsch)\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("build: 31\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("revision: 18 (program: 18)\n"), std::string::npos) << r.out << r.err;
    // 101 has no translation; the form came through unchanged.
    EXPECT_NE(r.out.find("strings: 0 missing, 1 the same as the program's\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("not translated: TMAINFORM\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("accepted\n"), std::string::npos) << r.out << r.err;

    // The same program at another revision refuses the module.
    std::string newer = Put("newer.exe", App(19, true));
    r = Vtploc("module verify --app " + Q(newer) + " " + Q(out));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("made for revision 18, the program has 19"), std::string::npos) << r.err;
    // A module without a library settings record is refused.
    std::string bare = Put("bare.dll", App(18, false, false));
    r = Vtploc("module verify --app " + Q(app) + " " + Q(bare));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("not a translated resource module"), std::string::npos) << r.err;
}

TEST_F(VtplocModule, BuildHonoursSourceDateEpoch) {
    std::string app = Put("epoch.exe", App(18, true));
    std::string de = Put("epoch.de.lng", LangFile(0x0407, "German", u"Hallo", 4));
    std::string a = (dir_ / "epoch-a.dll").string(), b = (dir_ / "epoch-b.dll").string();
    const std::string args = "module build --app " + Q(app) + " --lang " + Q(de) + " -o ";
    ASSERT_EQ(Vtploc(args + Q(a), "SOURCE_DATE_EPOCH=1234567890").status, 0);
    ASSERT_EQ(Vtploc(args + Q(b), "SOURCE_DATE_EPOCH=1234567890").status, 0);
    EXPECT_EQ(fw::ReadFileBytes(a), fw::ReadFileBytes(b));
    EXPECT_EQ(tooltest::ResourceStamp(a), 1234567890u);
    Result bad = Vtploc(args + Q(b), "SOURCE_DATE_EPOCH=-5");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("SOURCE_DATE_EPOCH must be a number"), std::string::npos) << bad.err;
}

TEST_F(VtplocModule, NativeFromTheCommandLine) {
    std::string app = Put("plain.exe", App(18, false));
    std::string de = Put("plain.de.lng", LangFile(0x0407, "German", u"Hallo", 2));
    std::string out = (dir_ / "plain.de.dll").string();
    Result r = Vtploc("module build --app " + Q(app) + " --lang " + Q(de) + " -o " + Q(out));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("has no embedded native language"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    std::string ntv = Put("plain.ntv.lng", LangFile(9, "English", u"Hello", 0));
    r = Vtploc("module build --app " + Q(app) + " --lang " + Q(de) + " --native " + Q(ntv) + " -o " + Q(out));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    TResProcessor m;
    m.LoadFromFile(out);
    EXPECT_EQ(static_cast<TResString*>(m.FindBlock(6))->FindString(100)->Text, u"Hallo");
}

TEST_F(VtplocModule, FailuresLeaveNoOutput) {
    std::string noLib = Put("nolib.exe", App(18, true, false));
    std::string de = Put("x.de.lng", LangFile(0x0407, "German", u"Hallo", 2));
    std::string out = (dir_ / "fail.dll").string();
    Result r = Vtploc("module build --app " + Q(noLib) + " --lang " + Q(de) + " -o " + Q(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vtploc: Can't create DLL. The native DLL is invalid\n");
    EXPECT_FALSE(fs::exists(out));

    std::string app = Put("ok.exe", App(18, true));
    Bytes broken = LangFile(0x0407, "German", u"Hallo", 2);
    broken.resize(broken.size() - 3);
    std::string bad = Put("bad.de.lng", broken);
    r = Vtploc("module build --app " + Q(app) + " --lang " + Q(bad) + " -o " + Q(out));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_FALSE(fs::exists(out));
    for (auto& e : fs::directory_iterator(dir_))
        EXPECT_EQ(e.path().filename().string().find("fail.dll"), std::string::npos) << e.path();

    r = Vtploc("module build --app " + Q(app) + " --lang " + Q((dir_ / "none.lng").string()) + " -o " + Q(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("none.lng\" is not found"), std::string::npos) << r.err;
}

TEST_F(VtplocModule, BuildListExtract) {
    std::string en = Put("c.en.lng", LangFile(9, "English", u"Hello hello hello hello hello", 0));
    std::string de = Put("c.de.lng", LangFile(0x0407, "German", u"Hallo", 5));
    std::string kll = (dir_ / "langs.kll").string();
    Result r = Vtploc("container build --revision 18 --compress -o " + Q(kll) + " " + Q(en) + " " + Q(de));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = Vtploc("container list " + Q(kll));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("version 3, revision 18, 2 language(s)\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("0\t0x0009\tEnglish\t"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find(", LZK, native\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("1\t0x0407\tGerman\t"), std::string::npos) << r.out << r.err;

    std::string back = (dir_ / "back.lng").string();
    r = Vtploc("container extract " + Q(kll) + " --lang 0x407 -o " + Q(back));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(fw::ReadFileBytes(back), fw::ReadFileBytes(de));
    r = Vtploc("container extract " + Q(kll) + " --lang 0 -o " + Q(back));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(fw::ReadFileBytes(back), fw::ReadFileBytes(en));

    // From the module that embeds it.
    std::string app = Put("embed.exe", App(18, true));
    r = Vtploc("container list " + Q(app));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("1 language(s)"), std::string::npos) << r.out << r.err;

    r = Vtploc("container extract " + Q(kll) + " --lang 0x40c -o " + Q(back));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds no language 0x40c"), std::string::npos) << r.err;

    Bytes cut = fw::ReadFileBytes(kll);
    cut.resize(cut.size() - 1);
    std::string cutFile = Put("cut.kll", cut);
    std::string none = (dir_ / "none.lng").string();
    r = Vtploc("container extract " + Q(cutFile) + " --lang 0x407 -o " + Q(none));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Invalid KLANGS resource"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(none));
}

namespace {

// Runs vtploc with its files limited to `limit` bytes and the signal of an oversized write
// ignored, so that writing past the limit fails with an error (as on a full disk). Modules get a
// fixed time stamp.
Result VtplocWithFileLimit(const std::string& args, uint64_t limit) {
    const fs::path base = fs::temp_directory_path() / ("vtploc_limit_" + std::to_string(::getpid()));
    const std::string out = base.string() + ".out", err = base.string() + ".err";
    std::string cmd = "trap '' XFSZ; SOURCE_DATE_EPOCH=1 exec prlimit --fsize=" + std::to_string(limit) + " " +
                      Q(VTPLOC_EXE) + " " + args + " >" + Q(out) + " 2>" + Q(err);
    int st = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = tooltest::ReadText(out);
    r.err = tooltest::ReadText(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

bool NoTemporaryIn(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(".tmp") != std::string::npos) return false;
    return true;
}

}  // namespace

// A write that the file system cuts short (here a file size limit; a full disk alike) fails
// with the file's name, leaves the file that was there untouched and no temporary file behind.
// The outputs are small enough to sit in the writer's buffer: the error shows only when it is
// written out at the close.
TEST_F(VtplocModule, WritesCutShortLeaveTheTargetUntouched) {
    // Through the module builder: a limit one byte below the module's size.
    std::string app = Put("full.exe", App(18, true));
    std::string de = Put("full.de.lng", LangFile(0x0407, "German", u"Hallo", 31));
    std::string probe = Path("probe.dll");
    ASSERT_EQ(
        Vtploc("module build --app " + Q(app) + " --lang " + Q(de) + " -o " + Q(probe), "SOURCE_DATE_EPOCH=1").status,
        0);
    const uint64_t moduleSize = fs::file_size(probe);
    std::string out = Put("full.de.dll", std::string("previous module"));
    Result r =
        VtplocWithFileLimit("module build --app " + Q(app) + " --lang " + Q(de) + " -o " + Q(out), moduleSize - 1);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("\"" + out + "\""), std::string::npos) << r.err;
    EXPECT_EQ(tooltest::ReadText(out), "previous module");
    EXPECT_TRUE(NoTemporaryIn(dir_));
    // With room enough the same command replaces it.
    r = VtplocWithFileLimit("module build --app " + Q(app) + " --lang " + Q(de) + " -o " + Q(out), moduleSize);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(fw::ReadFileBytes(out), fw::ReadFileBytes(probe));

    // Through any other output of the tool: an LZK block.
    Bytes plain(3000);
    uint32_t x = 12345;  // noise: the block is about as long as its input
    for (auto& b : plain) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    std::string in = Put("plain.bin", plain);
    std::string lzk = Put("plain.lzk", std::string("previous block"));
    r = VtplocWithFileLimit("lzk compress " + Q(in) + " " + Q(lzk), 1000);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("\"" + lzk + "\""), std::string::npos) << r.err;
    EXPECT_EQ(tooltest::ReadText(lzk), "previous block");
    EXPECT_TRUE(NoTemporaryIn(dir_));
}

namespace {

// A program built with the framework's own tools: no settings records, a binary form, the
// run-time library's RCDATA (PLATFORMTARGETS: of the Unicode era), an image in language 0x0409,
// strings in languages 0 and 9, an icon, a bitmap and version information.
Bytes ForeignApp() {
    TResProcessor p;
    auto* strings = static_cast<TResString*>(p.AddBlock(std::make_unique<TResString>()));
    strings->AddString(65535, u"Invoice");
    strings->AddString(65500, u"Access violation");
    strings->SetGroupLanguage(65500 / 16 + 1, 9);
    auto* rc = static_cast<TResRCData*>(p.AddBlock(std::make_unique<TResRCData>()));
    // HelpKeyword is not translated; its 8-bit text is read in the code page of English.
    const std::string text =
        "object MainForm: TMainForm\r\n  Caption = 'Main window'\r\n  HelpKeyword = '\xDC"
        "bersicht'\r\nend\r\n";
    AddRC(rc, "TMAINFORM", restest::FormFromText(text, 0x0409));
    AddRC(rc, "DVCLAL", Bytes(16, 0xA2));
    AddRC(rc, "PLATFORMTARGETS", Bytes{1, 0, 0, 0});
    AddRC(rc, "LOGO_PNG", Bytes{0x89, 'P', 'N', 'G', 1, 2, 3});
    rc->FindByName("LOGO_PNG")->Language = 0x0409;
    // Icon 1, bitmap TOOLBAR in language 0x0409, version information 1.
    for (auto [type, bytes] : {std::pair<uint16_t, Bytes>{3, Bytes{1, 2, 3, 4, 5}},
                               {2, Bytes{'B', 'M', 6, 7}},
                               {16, Bytes{0x5C, 0, 0x34, 0, 'V', 'S'}}}) {
        resources::TResId id;
        id.Id = type;
        auto* raw = static_cast<resources::TResRawBlock*>(p.AddBlock(std::make_unique<resources::TResRawBlock>(id)));
        resources::TResRawEntry e;
        if (type == 2) {
            e.Name.IsName = true;
            e.Name.Name = u"TOOLBAR";
            e.Language = 0x0409;
        } else {
            e.Name.Id = 1;
        }
        e.Data = bytes;
        raw->Entries.push_back(e);
    }
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

}  // namespace

TEST_F(VtplocModule, ProgramWithoutSettingsRecords) {
    std::string app = Put("inv.exe", ForeignApp());
    std::string ntv = (dir_ / "inv.ntv.lng").string(), qps = (dir_ / "inv.qps.lng").string();
    Result r = Vtploc("lng extract --app " + Q(app) + " --lang ENU -o " + Q(ntv));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = Vtploc("lng pseudo " + Q(ntv) + " -o " + Q(qps));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = Vtploc("module build --app " + Q(app) + " --lang " + Q(qps) + " --native " + Q(ntv) + " --out-dir " +
               Q(dir_.string()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string mod = (dir_ / "inv.QPS").string();
    ASSERT_TRUE(fs::exists(mod)) << r.out;
    EXPECT_NE(r.out.find("2 strings, 1 forms, 6 other resources"), std::string::npos) << r.out;

    TResProcessor m, a;
    m.KeepAllResources = a.KeepAllResources = true;
    m.LoadFromFile(mod);
    a.LoadFromFile(app);
    auto* ms = static_cast<TResString*>(m.FindBlock(6));
    ASSERT_TRUE(ms && ms->FindString(65535) && ms->FindString(65500));
    EXPECT_NE(ms->FindString(65535)->Text, u"Invoice");
    EXPECT_EQ(ms->Groups(0)->Language, 9);  // block of 65500 kept its language
    auto* mrc = static_cast<TResRCData*>(m.FindBlock(10));
    auto* arc = static_cast<TResRCData*>(a.FindBlock(10));
    for (const char* name : {"DVCLAL", "LOGO_PNG"}) {
        ASSERT_NE(mrc->FindByName(name), nullptr) << name;
        EXPECT_EQ(mrc->FindByName(name)->Data.Bytes(), arc->FindByName(name)->Data.Bytes()) << name;
    }
    EXPECT_EQ(mrc->FindByName("LOGO_PNG")->Language, 0x0409);
    EXPECT_NE(mrc->FindByName("TMAINFORM")->Data.Bytes(), arc->FindByName("TMAINFORM")->Data.Bytes());
    // The program's form reader takes 8-bit strings in the code page of the system it runs on:
    // every text that is not ASCII is wide or UTF-8, the pseudo caption (which Western code pages
    // hold) and the untranslated keyword too.
    {
        const Bytes data = mrc->FindByName("TMAINFORM")->Data.Bytes();
        fw::TFormReader fr(data);
        fr.ReadSignature();
        uint8_t flags = 0;
        int64_t pos = -1;
        fr.ReadPrefix(flags, pos);
        fr.ReadStr();
        fr.ReadStr();
        int seen = 0;
        while (!fr.EndOfList()) {
            std::string prop = fr.ReadStr();
            fw::TValueType tag = fr.NextValue();
            if (prop == "Caption" || prop == "HelpKeyword") {
                ++seen;
                const bool wide = tag == fw::vaWString || tag == fw::vaUTF8String;
                EXPECT_TRUE(wide) << prop << " tag " << int(tag);
                std::u16string value = wide ? fr.ReadWideString() : fw::Utf8ToUtf16(fr.ReadAnsiString());
                if (prop == "HelpKeyword")
                    EXPECT_EQ(value,
                              u"\u00DC"
                              "bersicht");
                if (prop == "Caption") EXPECT_NE(value, u"Main window");
            } else {
                fr.SkipValue();
            }
        }
        EXPECT_EQ(seen, 2);
    }
    auto* icon = dynamic_cast<resources::TResRawBlock*>(m.FindBlock(3));
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->Entries.size(), 1u);
    EXPECT_EQ(icon->Entries[0].Data, (Bytes{1, 2, 3, 4, 5}));

    r = Vtploc("module verify --app " + Q(app) + " " + Q(mod));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("program: no settings records"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("form reader: Unicode era (it carries PLATFORMTARGETS): every kind of value\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("forms: 0 missing, 0 unreadable, 0 not translated\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("other resources: 0 missing, 0 changed\n"), std::string::npos) << r.out;
    // The program checked as a module of itself: complete, but its form is not translated.
    r = Vtploc("module verify --app " + Q(app) + " " + Q(app));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("not translated: TMAINFORM\n"), std::string::npos) << r.out;
}

// Images and the run-time library's RCDATA are not forms: they are not counted as untranslated.
TEST_F(VtplocModule, VerifyCountsOnlyForms) {
    TResProcessor p;
    p.LoadFromFile(Put("base.exe", App(18, true)));
    AddRC(static_cast<TResRCData*>(p.FindBlock(10)), "DVCLAL", Bytes(16, 0xA2));
    fw::TMemoryStream s;
    p.SaveToStream(s);
    std::string app = Put("withlal.exe", s.Bytes());
    std::string de = Put("withlal.de.lng", LangFile(0x0407, "German", u"Hallo", 3));
    std::string out = (dir_ / "withlal.de.dll").string();
    ASSERT_EQ(Vtploc("module build --app " + Q(app) + " --lang " + Q(de) + " -o " + Q(out)).status, 0);
    Result r = Vtploc("module verify --app " + Q(app) + " " + Q(out));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("forms: 0 missing, 1 not translated\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("DVCLAL"), std::string::npos) << r.out;
}

namespace {

// A program without settings records whose block 4096 and RCDATA LOGO are in two languages.
Bytes TwoLanguageApp() {
    using resources::TResId;
    using resources::TResRawBlock;
    TResProcessor p;
    TResId strings, rcdata, block, logo, numeric;
    strings.Id = 6;
    rcdata.Id = 10;
    block.Id = 4096;
    logo.IsName = true;
    logo.Name = u"LOGO";
    numeric.Id = 101;
    auto* st = static_cast<TResRawBlock*>(p.AddBlock(std::make_unique<TResRawBlock>(strings)));
    st->Entries.push_back({block, 0, restest::StringBlockData({{15, u"Invoice"}, {14, u"Open"}})});
    st->Entries.push_back({block, 9, restest::StringBlockData({{15, u"Invoice"}, {13, u"Only in nine"}})});
    auto* rc = static_cast<TResRawBlock*>(p.AddBlock(std::make_unique<TResRawBlock>(rcdata)));
    rc->Entries.push_back({logo, 0, Bytes{1, 2}});
    rc->Entries.push_back({logo, 0x0409, Bytes{3, 4}});
    rc->Entries.push_back({numeric, 0, Bytes{5}});
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

}  // namespace

// Verify checks every language of the program: a module without the second language of a block
// or of an RCDATA name, or with a numeric id written as a name, is incomplete.
TEST_F(VtplocModule, VerifyChecksEveryLanguage) {
    std::string app = Put("two.exe", TwoLanguageApp());
    std::string ntv = (dir_ / "two.ntv.lng").string(), qps = (dir_ / "two.qps.lng").string();
    ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " --lang ENU -o " + Q(ntv)).status, 0);
    ASSERT_EQ(Vtploc("lng pseudo " + Q(ntv) + " -o " + Q(qps)).status, 0);
    Result r = Vtploc("module build --app " + Q(app) + " --lang " + Q(qps) + " --native " + Q(ntv) + " --out-dir " +
                      Q(dir_.string()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("4 strings, 0 forms, 3 other resources"), std::string::npos) << r.out;
    const std::string mod = (dir_ / "two.QPS").string();
    r = Vtploc("module verify --app " + Q(app) + " " + Q(mod));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("strings: 0 missing, 1 the same as the program's\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("other resources: 0 missing, 0 changed\n"), std::string::npos) << r.out;

    // The module as our own programs get it: first languages only, the id as a name.
    TResProcessor firsts;
    firsts.LoadFromFile(app);
    firsts.FixedTimeStamp = 1;
    fw::TMemoryStream s;
    firsts.SaveToStream(s);
    const std::string partial = Put("two.partial", s.Bytes());
    r = Vtploc("module verify --app " + Q(app) + " " + Q(partial));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("missing string: 65533 (language 0x0009)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing string: 65535 (language 0x0009)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing resource: LOGO (language 0x0409)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing resource: 101\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("strings: 2 missing"), std::string::npos) << r.out;
}

// A module for a program without settings records stands in for all its resources: one whose
// icon, bitmap, version information or other RCDATA differs from the program's, lacks one or
// has one the program has not (the program would find that one too), is incomplete.
TEST_F(VtplocModule, VerifyComparesEveryOtherResource) {
    std::string app = Put("res.exe", ForeignApp());
    std::string ntv = (dir_ / "res.ntv.lng").string(), qps = (dir_ / "res.qps.lng").string();
    ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " --lang ENU -o " + Q(ntv)).status, 0);
    ASSERT_EQ(Vtploc("lng pseudo " + Q(ntv) + " -o " + Q(qps)).status, 0);
    ASSERT_EQ(Vtploc("module build --app " + Q(app) + " --lang " + Q(qps) + " --native " + Q(ntv) + " -o " +
                     Q(Path("res.QPS")))
                  .status,
              0);
    Result r = Vtploc("module verify --app " + Q(app) + " " + Q(Path("res.QPS")));
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    auto raw = [](TResProcessor& m, uint32_t type) {
        auto* b = dynamic_cast<resources::TResRawBlock*>(m.FindBlock(type));
        EXPECT_NE(b, nullptr) << type;
        return b;
    };
    const struct {
        const char* file;
        std::function<void(TResProcessor&)> change;
        const char* line;
    } cases[] = {
        {"icon.QPS", [&](TResProcessor& m) { raw(m, 3)->Entries[0].Data[2] ^= 1; },
         "changed resource: type 3 1 language 0x0000\n"},
        {"bitmap.QPS", [&](TResProcessor& m) { raw(m, 2)->Entries[0].Data.push_back(0); },
         "changed resource: type 2 TOOLBAR language 0x0409\n"},
        {"version.QPS", [&](TResProcessor& m) { raw(m, 16)->Entries[0].Data.back() = 'X'; },
         "changed resource: type 16 1 language 0x0000\n"},
        {"noversion.QPS", [&](TResProcessor& m) { raw(m, 16)->Entries.clear(); },
         "missing resource: type 16 1 language 0x0000\n"},
        {"extraicon.QPS",
         [&](TResProcessor& m) {
             resources::TResRawEntry e = raw(m, 3)->Entries[0];
             e.Language = 0x0419;
             raw(m, 3)->Entries.push_back(e);
         },
         "extra resource: type 3 1 language 0x0419\n"},
        {"extraversion.QPS",
         [&](TResProcessor& m) {
             raw(m, 16)->Entries.push_back({raw(m, 16)->Entries[0].Name, 0x0407, Bytes{1}});
         },
         "extra resource: type 16 1 language 0x0407\n"},
        {"extrarc.QPS", [&](TResProcessor& m) { AddRC(static_cast<TResRCData*>(m.FindBlock(10)), "EXTRA", Bytes{1}); },
         "extra resource: EXTRA\n"},
        {"logo.QPS",
         [&](TResProcessor& m) {
             Bytes other{0x89, 'P', 'N', 'G', 9};
             fw::TMemoryStream s(other);
             static_cast<TResRCData*>(m.FindBlock(10))->FindByName("LOGO_PNG")->LoadData(s);
         },
         "changed resource: LOGO_PNG (language 0x0409)\n"},
    };
    for (const auto& c : cases) {
        r = Vtploc("module verify --app " + Q(app) + " " + Q(Rewritten(Path("res.QPS"), c.file, c.change)));
        EXPECT_EQ(r.status, 1) << c.file << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.line), std::string::npos) << c.file << "\n" << r.out;
        EXPECT_NE(r.err.find("is incomplete"), std::string::npos) << c.file << "\n" << r.err;
    }
}

namespace {

// A program in the manner of the late-1990s compilers: German texts as 8-bit strings (code page
// 1252), no wide or UTF-8 value, no PLATFORMTARGETS; with `wideCaption` one caption stored wide,
// as the later 8-bit-era compilers did.
Bytes EightBitApp(bool wideCaption) {
    TResProcessor p;
    auto* rc = static_cast<TResRCData*>(p.AddBlock(std::make_unique<TResRCData>()));
    const std::string text = std::string(
                                 "object MainForm: TMainForm\r\n  Caption = '\xDC"
                                 "bersicht'\r\n") +
                             "  object CloseButton: TButton\r\n    Caption = 'Schlie\xDF"
                             "en'\r\n  end\r\n" +
                             "  object NameLabel: TLabel\r\n    Caption = " +
                             (wideCaption ? "#1053#1072#1079#1074#1072#1085#1080#1077" : "'Name'") +
                             "\r\n  end\r\nend\r\n";
    AddRC(rc, "TMAINFORM", restest::FormFromText(text, 0x0407));
    AddRC(rc, "DVCLAL", Bytes(16, 0xA2));
    return Saved(p);
}

// Tag of each string value of a module's TMAINFORM, by item.
std::map<std::string, int> FormTags(const std::string& module) {
    TResProcessor m;
    m.LoadFromFile(module);
    const Bytes& data = static_cast<TResRCData*>(m.FindBlock(10))->FindByName("TMAINFORM")->Data.Bytes();
    std::map<std::string, int> tags;
    for (const auto& v : resources::ScanForm(data.data(), data.size()).Strings) tags[v.Item] = v.Tag;
    return tags;
}

}  // namespace

// The late-1990s form reader takes 8-bit strings only. What the module language's code page holds
// is built 8-bit; what it cannot hold is refused, every such item named, nothing written; verify
// names every value of a module the reader would not take.
TEST_F(VtplocModule, EightBitEraProgram) {
    std::string app = Put("old.exe", EightBitApp(false));
    std::string ntv = Path("old.ntv.lng"), qps = Path("old.qps.lng"), rus = Path("old.rus.lng");
    ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " --lang DEU -o " + Q(ntv)).status, 0);
    ASSERT_EQ(Vtploc("lng pseudo " + Q(ntv) + " -o " + Q(qps)).status, 0);
    Result r = Vtploc("module build --app " + Q(app) + " --lang " + Q(qps) + " --native " + Q(ntv) + " --out-dir " +
                      Q(dir_.string()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string mod = Path("old.QPS");
    EXPECT_EQ(FormTags(mod), (std::map<std::string, int>{{"MainForm.Caption", fw::vaString},
                                                         {"MainForm.CloseButton.Caption", fw::vaString},
                                                         {"MainForm.NameLabel.Caption", fw::vaString}}));
    r = Vtploc("module verify --app " + Q(app) + " " + Q(mod));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("form reader: 8-bit era (no mark of the Unicode era): 8-bit strings only (its forms carry "
                         "no wide or UTF-8 string)\n"),
              std::string::npos)
        << r.out;

    // The same module with a wide caption and a UTF-8 one: the program would not start.
    const std::string wide = Rewritten(mod, "wide.QPS", [](TResProcessor& m) {
        const std::string text =
            "object MainForm: TMainForm\r\n  Caption = #1054#1073#1079#1086#1088\r\n"
            "  object CloseButton: TButton\r\n    Caption = #1047'akry'\r\n  end\r\nend\r\n";
        fw::TMemoryStream form(restest::FormFromText(text, 0x0407));
        static_cast<TResRCData*>(m.FindBlock(10))->FindByName("TMAINFORM")->LoadData(form);
    });
    r = Vtploc("module verify --app " + Q(app) + " " + Q(wide));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("unreadable form: TMAINFORM: MainForm.Caption: a wide string, which this program's form "
                         "reader does not take\n"
                         "unreadable form: TMAINFORM: MainForm.CloseButton.Caption: a UTF-8 string, which this "
                         "program's form reader does not take\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("forms: 0 missing, 1 unreadable, 0 not translated\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("\"" + wide + "\" does not suit the program: 1 of its forms would not read"),
              std::string::npos)
        << r.err;

    // Russian: the pseudo texts take look-alikes code page 1251 holds, but the German letters
    // they keep of the native texts (Ü, ß) it does not hold; "Name" goes through.
    ASSERT_EQ(Vtploc("lng pseudo --lang RUS " + Q(ntv) + " -o " + Q(rus)).status, 0);
    const std::string out = Put("kept.dll", std::string("previous module"));
    for (const std::string& target : {"--out-dir " + Q(dir_.string()), "-o " + Q(out)}) {
        r = Vtploc("module build --app " + Q(app) + " --lang " + Q(rus) + " --native " + Q(ntv) + " " + target);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        const std::string tail = ": cannot be written in code page 1251 for this program's form reader\n";
        EXPECT_EQ(r.err, "vtploc: MainForm.Caption" + tail + "MainForm.CloseButton.Caption" + tail +
                             "2 texts cannot be written for this program's form reader, 8-bit era (no mark of the "
                             "Unicode era): 8-bit strings only (its forms carry no wide or UTF-8 string); nothing "
                             "written\n");
    }
    EXPECT_FALSE(fs::exists(Path("old.RUS")));
    EXPECT_EQ(tooltest::ReadText(out), "previous module");
    EXPECT_TRUE(NoTemporaryIn(dir_));
}

// A later 8-bit-era program whose forms carry a wide string: its reader takes that kind, so what
// code page 1251 cannot hold is written wide (tag 18, never the UTF-8 kind it was not seen to
// take), and so is the text the program itself stored wide.
TEST_F(VtplocModule, EightBitEraProgramWithWideStrings) {
    std::string app = Put("later.exe", EightBitApp(true));
    std::string ntv = Path("later.ntv.lng"), rus = Path("later.rus.lng");
    ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " --lang DEU -o " + Q(ntv)).status, 0);
    ASSERT_EQ(Vtploc("lng pseudo --lang RUS " + Q(ntv) + " -o " + Q(rus)).status, 0);
    Result r = Vtploc("module build --app " + Q(app) + " --lang " + Q(rus) + " --native " + Q(ntv) + " --out-dir " +
                      Q(dir_.string()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(FormTags(Path("later.RUS")), (std::map<std::string, int>{{"MainForm.Caption", fw::vaWString},
                                                                       {"MainForm.CloseButton.Caption", fw::vaWString},
                                                                       {"MainForm.NameLabel.Caption", fw::vaWString}}));
    r = Vtploc("module verify --app " + Q(app) + " " + Q(Path("later.RUS")));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("form reader: 8-bit era (no mark of the Unicode era): 8-bit and wide strings (its forms "
                         "carry wide strings: MainForm.NameLabel.Caption)\n"),
              std::string::npos)
        << r.out;
}
