// Settings records: "LDLL" in RCDATA "QLX_LIBSETTINGS_" (the resources of a module: in the
// application and in every translated resource module) and "KEXE" in RCDATA "QLX_EXESETTINGS_"
// (the application itself). They tie a translated module to the program's dictionary revision.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LangFormat.h"

namespace langres {

const char* const SLibSettingsName = "QLX_LIBSETTINGS_";
const char* const SExeSettingsName = "QLX_EXESETTINGS_";
const char* const SLibSignature = "LDLL";
const char* const SExeSignature = "KEXE";

constexpr uint16_t DefaultCarriedWord = 6;

struct TSettingsRecord {
    std::string Signature = SLibSignature;  // 4 characters
    uint32_t Revision = 0;
    uint16_t LangId = 0;
    std::string EnglishLangName;
    std::u16string NativeLangName;
    // The fields after the names are optional in stored records.
    bool HasCarriedWord = false;
    uint16_t CarriedWord = DefaultCarriedWord;
    bool HasReservedWord = false;
    uint16_t ReservedWord = 0;
    bool HasBuild = false;
    uint32_t Build = 0;
};

// Reads a record: signature, revision, language and both names must be there; each later field
// is taken only when all its bytes remain. False when the record is cut short before the end of
// the second name or its signature is not `signature` (any signature when empty).
bool ReadSettingsRecordData(const uint8_t* data, size_t size, TSettingsRecord& rec, const std::string& signature = {});

// The record with every field and one pad byte (0). ELFProcError for a name longer than a u16
// count allows or a signature that is not 4 characters.
std::vector<uint8_t> WriteSettingsRecordData(const TSettingsRecord& rec);

// Bytes of the fields of a complete record, without the pad byte.
size_t SettingsRecordFieldsSize(const TSettingsRecord& rec);

}  // namespace langres
