// Helpers shared by the resource tests: scratch files and small modules built in memory.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "framework/Classes.h"
#include "localizer/resources/ResProc.h"
#include "localizer/resources/tests/StringBlock.h"

#ifdef _WIN32
#include <process.h>
#define VTP_GETPID _getpid
#else
#include <unistd.h>
#define VTP_GETPID getpid
#endif

namespace restest {

inline std::filesystem::path ScratchDir() {
    static std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("vtp_resources_" + std::to_string(VTP_GETPID()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

inline std::string WriteScratch(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (ScratchDir() / name).string();
    fw::WriteFileAtomically(path, bytes.data(), bytes.size());
    return path;
}

inline std::string SampleDll() {
    return std::string(VTP_RES_TESTDATA) + "/sample.dll";
}

inline std::vector<uint8_t> Module(resources::TResProcessor& p) {
    fw::TMemoryStream m;
    p.SaveToStream(m);
    return m.Bytes();
}

inline void SetData(resources::TResRCDataItem* item, const std::string& bytes) {
    fw::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    item->LoadData(m);
}

inline std::string DataOf(resources::TResRCDataItem* item) {
    const auto& b = item->Data.Bytes();
    return std::string(b.begin(), b.end());
}

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A processor with a few strings (two groups, one far away) and RCDATA items, stamp fixed.
inline void FillSample(resources::TResProcessor& p) {
    p.FixedTimeStamp = 0x5F5E1000u;
    auto s = std::make_unique<resources::TResString>();
    s->AddString(0, u"Zero");
    s->AddString(1, u"One");
    s->AddString(17, u"Seventeen");
    s->AddString(65200, u"Vantra Pro \u03A9");
    s->AddString(65535, u"Last");
    p.AddBlock(std::move(s));
    auto r = std::make_unique<resources::TResRCData>();
    SetData(r->Add("QLX_LIBSETTINGS_"), "LDLL-settings");
    SetData(r->Add("TFORM1"), std::string("TPF0\x00\x01\x02", 7));
    SetData(r->Add("EMPTY"), "");
    SetData(r->Add("ODD"), "abc");
    p.AddBlock(std::move(r));
}

inline resources::TResId ResName(const std::u16string& name) {
    resources::TResId id;
    id.IsName = true;
    id.Name = name;
    return id;
}
inline resources::TResId ResNumber(uint16_t number) {
    resources::TResId id;
    id.Id = number;
    return id;
}

// A program as the framework's own tools leave it (no settings records), written entry by entry:
// string block 4096 in languages 0 and 9, each with texts of its own (65535 the same in both);
// block 4095 in language 9 only; RCDATA "LOGO" in languages 0 and 0x0409, "A", and the numeric
// ids 101 and 7.
inline std::vector<uint8_t> TwoLanguageProgram() {
    resources::TResProcessor p;
    p.FixedTimeStamp = 11;
    auto* st =
        static_cast<resources::TResRawBlock*>(p.AddBlock(std::make_unique<resources::TResRawBlock>(ResNumber(6))));
    st->Entries.push_back({ResNumber(4096), 0, StringBlockData({{15, u"Invoice"}, {14, u"Open"}, {0, u"12:00"}})});
    st->Entries.push_back(
        {ResNumber(4096), 9, StringBlockData({{15, u"Invoice"}, {14, u"\u00D6ffnen"}, {13, u"Only in nine"}})});
    st->Entries.push_back({ResNumber(4095), 9, StringBlockData({{15, u"Access violation"}})});
    auto* rc =
        static_cast<resources::TResRawBlock*>(p.AddBlock(std::make_unique<resources::TResRawBlock>(ResNumber(10))));
    auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    rc->Entries.push_back({ResNumber(101), 0, bytes("numeric 101")});
    rc->Entries.push_back({ResName(u"LOGO"), 0x0409, bytes("\x89PNG us")});
    rc->Entries.push_back({ResName(u"LOGO"), 0, bytes("\x89PNG neutral")});
    rc->Entries.push_back({ResNumber(7), 0x0409, bytes("seven")});
    rc->Entries.push_back({ResName(u"A"), 0, bytes("a")});
    fw::TMemoryStream m;
    p.SaveToStream(m);
    return m.Bytes();
}

// Every resource of a module file: (type, name, language) -> bytes; names as "#id" or the text.
using TResourceMap = std::map<std::tuple<std::string, std::string, uint16_t>, std::vector<uint8_t>>;
inline TResourceMap ResourcesOf(const std::string& path) {
    resources::TPEReader reader(path);
    TResourceMap out;
    auto key = [](resources::TPEResourceItem& item) {
        return (item.NameField() & 0x80000000u) ? fw::Utf16ToUtf8(item.WideName()) : "#" + item.Name();
    };
    for (auto& type : reader.ResourceList()->GetItems())
        for (auto& name : type->GetList()->GetItems())
            for (const auto& lang : name->Languages())
                out[{type->Name(), key(*name), lang.Language}] = std::vector<uint8_t>(lang.Data, lang.Data + lang.Size);
    return out;
}

}  // namespace restest
