#include "SettingsRecord.h"

#include "framework/ByteReader.h"

namespace langres {

bool ReadSettingsRecordData(const uint8_t* data, size_t size, TSettingsRecord& rec, const std::string& signature) {
    fw::TByteReader r(data, size);
    if (r.Left() < 4) return false;
    std::string sig = r.Str(4);
    if (!signature.empty() && sig != signature) return false;
    TSettingsRecord out;
    out.Signature = sig;
    try {
        out.Revision = r.U32();
        out.LangId = r.U16();
        out.EnglishLangName = r.Str(r.U16());
        out.NativeLangName = r.WStr(r.U16());
    } catch (const fw::EEndOfData&) {
        return false;
    }
    if (r.Left() >= 2) {
        out.HasCarriedWord = true;
        out.CarriedWord = r.U16();
        if (r.Left() >= 2) {
            out.HasReservedWord = true;
            out.ReservedWord = r.U16();
            if (r.Left() >= 4) {
                out.HasBuild = true;
                out.Build = r.U32();
            }
        }
    }
    rec = std::move(out);
    return true;
}

size_t SettingsRecordFieldsSize(const TSettingsRecord& rec) {
    return 4 + 4 + 2 + 2 + rec.EnglishLangName.size() + 2 + 2 * rec.NativeLangName.size() + 2 + 2 + 4;
}

std::vector<uint8_t> WriteSettingsRecordData(const TSettingsRecord& rec) {
    if (rec.Signature.size() != 4) throw ELFProcError("A settings record signature has 4 characters");
    if (rec.EnglishLangName.size() > 0xFFFF || rec.NativeLangName.size() > 0xFFFF)
        throw ELFProcError("A language name is too long for a settings record");
    std::vector<uint8_t> out;
    out.reserve(SettingsRecordFieldsSize(rec) + 1);
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.insert(out.end(), rec.Signature.begin(), rec.Signature.end());
    u32(rec.Revision);
    u16(rec.LangId);
    u16(static_cast<uint32_t>(rec.EnglishLangName.size()));
    out.insert(out.end(), rec.EnglishLangName.begin(), rec.EnglishLangName.end());
    u16(static_cast<uint32_t>(rec.NativeLangName.size()));
    for (char16_t c : rec.NativeLangName) u16(c);
    u16(rec.CarriedWord);
    u16(rec.ReservedWord);
    u32(rec.Build);
    out.push_back(0);
    return out;
}

}  // namespace langres
