// Small localizable applications for the localizer's tests: language files, settings records,
// embedded containers and resource-only application modules made with the library's writers.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define ONFLY_TEST_PID _getpid()
#else
#include <unistd.h>
#define ONFLY_TEST_PID getpid()
#endif

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "localizer/kutils/kcompress.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/LangWriter.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/ResProc.h"

namespace onflytest {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kEnglish = 9;
constexpr uint16_t kGerman = 0x0407;
constexpr uint16_t kFrench = 0x040C;
constexpr uint16_t kRussian = 0x0419;
constexpr uint16_t kCzech = 0x0405;

struct LangContent {
    uint16_t LangId = kEnglish;
    std::string English = "English";
    std::u16string Native = u"English";
    std::u16string Hello = u"Hello";  // constant with resource id kHelloId
    uint32_t Build = 0;
    uint32_t Revision = 18;
    bool IsNative = false;
    uint16_t Options = 0;
    bool Compress = false;
};

constexpr uint16_t kHelloId = 64990;
constexpr uint16_t kOnlyId = 64991;

inline Bytes LangFile(const LangContent& s) {
    langres::TLangFileImage img;
    img.Header.LangId = s.LangId;
    img.Header.Revision = s.Revision;
    img.Header.Build = s.Build;
    img.Header.EnglishLangName = s.English;
    img.Header.NativeLangName = s.Native;
    img.Header.IsNative = s.IsNative ? 1 : 0;
    img.Header.Options = s.Options;
    langres::TLFUnit unit;
    unit.Name = "AppStrings";
    langres::TLFRecord r;
    r.Name = "SHello";
    r.Id = 1;
    r.ResId = kHelloId;
    r.Value.Present = true;
    r.Value.Text = s.Hello;
    unit.Constants.push_back(r);
    img.Units.push_back(unit);
    return langres::WriteLangFile(img, 7, s.Compress);
}

inline LangContent Native() {
    LangContent s;
    s.IsNative = true;
    return s;
}

inline LangContent German(uint32_t build = 1) {
    LangContent s;
    s.LangId = kGerman;
    s.English = "German";
    s.Native = u"Deutsch";
    s.Hello = u"Hallo";
    s.Build = build;
    return s;
}

inline LangContent French() {
    LangContent s;
    s.LangId = kFrench;
    s.English = "French";
    s.Native = u"Fran\u00E7ais";
    s.Hello = u"Bonjour";
    s.Build = 5;
    return s;
}

inline LangContent Russian() {
    LangContent s;
    s.LangId = kRussian;
    s.English = "Russian";
    s.Native = u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439";
    s.Hello = u"\u041F\u0440\u0438\u0432\u0435\u0442";
    s.Build = 2;
    return s;
}

inline Bytes Record(const char* sig, uint32_t revision, uint16_t langId = kEnglish) {
    langres::TSettingsRecord rec;
    rec.Signature = sig;
    rec.Revision = revision;
    rec.LangId = langId;
    rec.EnglishLangName = "English";
    rec.NativeLangName = u"English";
    return langres::WriteSettingsRecordData(rec);
}

inline void AddRC(resources::TResRCData* rc, const std::string& name, const Bytes& data) {
    fw::TBytesStream s(data.data(), static_cast<int64_t>(data.size()));
    rc->Add(name)->LoadData(s);
}

struct AppLayout {
    uint32_t Revision = 18;
    bool ExeRecord = true;
    bool LibRecord = true;
    // Languages of the embedded container; none: no container.
    std::vector<LangContent> Embedded;
};

inline Bytes Container(const std::vector<LangContent>& langs, uint16_t version = 3) {
    langres::TLangContainer c;
    c.Version = version;
    c.Revision = 18;
    for (const auto& l : langs) {
        LangContent plain = l;
        plain.Compress = false;
        Bytes data = LangFile(plain);
        if (l.Compress) data = kutils::LzkCompress(data);
        c.Entries.push_back({l.LangId, l.English, data});
    }
    return langres::WriteLangContainer(c);
}

// A resource-only module standing for the application.
// A translated module left by another program: one string and a library record.
inline Bytes StaleModule(uint32_t revision, uint16_t langId, uint32_t build, int stringId, const std::u16string& text) {
    resources::TResProcessor p;
    auto* st = static_cast<resources::TResString*>(p.AddBlock(std::make_unique<resources::TResString>()));
    st->AddString(stringId, text);
    auto* rc = static_cast<resources::TResRCData*>(p.AddBlock(std::make_unique<resources::TResRCData>()));
    langres::TSettingsRecord r;
    r.Revision = revision;
    r.LangId = langId;
    r.Build = build;
    AddRC(rc, langres::SLibSettingsName, langres::WriteSettingsRecordData(r));
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

inline Bytes App(const AppLayout& layout) {
    resources::TResProcessor p;
    auto* strings = static_cast<resources::TResString*>(p.AddBlock(std::make_unique<resources::TResString>()));
    strings->AddString(kHelloId, u"Hello");
    strings->AddString(kOnlyId, u"Only in the program");
    auto* rc = static_cast<resources::TResRCData*>(p.AddBlock(std::make_unique<resources::TResRCData>()));
    if (layout.ExeRecord) AddRC(rc, langres::SExeSettingsName, Record(langres::SExeSignature, layout.Revision));
    if (layout.LibRecord) AddRC(rc, langres::SLibSettingsName, Record(langres::SLibSignature, layout.Revision));
    if (!layout.Embedded.empty()) AddRC(rc, langres::SEmbeddedLangsName, Container(layout.Embedded));
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

// The strings and library record of a module file.
inline std::u16string ModuleString(const std::string& file, int id) {
    resources::TResProcessor p;
    p.LoadFromFile(file);
    auto* st = static_cast<resources::TResString*>(p.FindBlock(6));
    auto* s = st ? st->FindString(id) : nullptr;
    return s ? s->Text : u"<none>";
}

inline langres::TSettingsRecord ModuleRecord(const std::string& file) {
    resources::TResProcessor p;
    p.LoadFromFile(file);
    langres::TSettingsRecord rec;
    auto* rc = static_cast<resources::TResRCData*>(p.FindBlock(10));
    auto* item = rc ? rc->FindByName(langres::SLibSettingsName) : nullptr;
    if (item) {
        Bytes b = item->Data.Bytes();
        langres::ReadSettingsRecordData(b.data(), b.size(), rec);
    }
    return rec;
}

// A scratch folder name of its own for the running test (builds in other trees run the same
// tests at the same time).
inline std::string ScratchName(const std::string& prefix) {
    return prefix + std::to_string(ONFLY_TEST_PID) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

inline void WriteFile(const std::string& name, const Bytes& data) {
    fw::WriteFileAtomically(name, data.data(), data.size());
}

}  // namespace onflytest
