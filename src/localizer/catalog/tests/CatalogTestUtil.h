// Programs built in memory for the catalog tests: string tables, form resources and settings
// records, as a build would leave them in a module.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "localizer/catalog/Catalog.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/ResProc.h"

namespace cattest {

inline std::vector<uint8_t> FormBinary(const std::string& text) {
    fw::TMemoryStream in(std::vector<uint8_t>(text.begin(), text.end())), out;
    resources::FormTextToBinary(in, out, false, 0);
    return out.Bytes();
}

inline std::vector<uint8_t> FormResource(const std::string& text) {
    fw::TMemoryStream in(std::vector<uint8_t>(text.begin(), text.end())), out;
    resources::FormTextToResource(in, out, false, 0);
    return out.Bytes();
}

inline std::string FormText(const std::vector<uint8_t>& bytes) {
    fw::TMemoryStream in(bytes), out;
    if (bytes.size() && bytes[0] == 0xFF)
        resources::FormResourceToText(in, out);
    else
        resources::FormBinaryToText(in, out);
    return std::string(out.Bytes().begin(), out.Bytes().end());
}

inline void SetData(resources::TResRCDataItem* item, const std::vector<uint8_t>& bytes) {
    fw::TMemoryStream m(bytes);
    item->LoadData(m);
}

struct Program {
    std::vector<std::pair<uint16_t, std::u16string>> Strings;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> RCData;  // name, bytes
    uint16_t LangId = 0x0409;                                          // 0: no settings record

    void Fill(resources::TResProcessor& p) const {
        if (!Strings.empty()) {
            auto s = std::make_unique<resources::TResString>();
            for (const auto& [id, text] : Strings) s->AddString(id, text);
            p.AddBlock(std::move(s));
        }
        auto r = std::make_unique<resources::TResRCData>();
        for (const auto& [name, bytes] : RCData) SetData(r->Add(name), bytes);
        if (LangId) {
            langres::TSettingsRecord rec;
            rec.Signature = langres::SExeSignature;
            rec.Revision = 5;
            rec.LangId = LangId;
            rec.EnglishLangName = "English";
            rec.NativeLangName = u"English";
            SetData(r->Add(langres::SExeSettingsName), langres::WriteSettingsRecordData(rec));
            rec.Signature = langres::SLibSignature;
            SetData(r->Add(langres::SLibSettingsName), langres::WriteSettingsRecordData(rec));
        }
        if (r->Count()) p.AddBlock(std::move(r));
    }
    std::vector<uint8_t> Module() const {
        resources::TResProcessor p;
        p.FixedTimeStamp = 0x5F5E1000u;
        Fill(p);
        fw::TMemoryStream m;
        p.SaveToStream(m);
        return m.Bytes();
    }
};

#ifdef VTP_SOURCE_DIR
// The sample application's string table and form resources as its build links them
// (fixtures/sampleapp/sampleapp.rc), for tests of what is read from its forms.
inline Program SampleProgram() {
    const std::string dir = std::string(VTP_SOURCE_DIR) + "/fixtures/sampleapp/";
    Program p;
    p.Strings = {{100, u"Hello"}, {101, u"Goodbye"}, {102, u"Open a file"}, {103, u"Not in the dictionary"}};
    for (const char* name : {"baseform", "mainform", "addressframe", "aboutform", "sampledata"})
        p.RCData.emplace_back("T" + fw::UpperCaseAscii(name), fw::ReadFileBytes(dir + name + ".bin"));
    return p;
}
#endif

// The record at a path ("Form.Component.Property", "Unit.Constant"), or null.
inline const langres::TLFRecord* Find(catalog::TLangFileImage& img, const std::string& path) {
    for (const auto& it : catalog::Items(img))
        if (it.Path() == path) return it.Record;
    return nullptr;
}

inline std::vector<std::string> Paths(catalog::TLangFileImage& img) {
    std::vector<std::string> v;
    for (const auto& it : catalog::Items(img)) v.push_back(it.Path());
    return v;
}

}  // namespace cattest
