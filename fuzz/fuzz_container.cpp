// Embedded language containers and settings records come from module resources: arbitrary bytes
// go through the container reader, the extraction of each language, and the settings-record
// reader; what reads back is written again and must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "localizer/langres/LangContainer.h"
#include "localizer/langres/SettingsRecord.h"

using namespace langres;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Settings records, either signature.
    TSettingsRecord rec;
    if (ReadSettingsRecordData(data, size, rec)) {
        std::vector<uint8_t> out = WriteSettingsRecordData(rec);
        if (out.size() != SettingsRecordFieldsSize(rec) + 1) std::abort();
        TSettingsRecord again;
        if (!ReadSettingsRecordData(out.data(), out.size(), again, rec.Signature)) std::abort();
        if (again.Revision != rec.Revision || again.LangId != rec.LangId ||
            again.EnglishLangName != rec.EnglishLangName || again.NativeLangName != rec.NativeLangName ||
            again.CarriedWord != rec.CarriedWord || again.Build != rec.Build || !again.HasBuild)
            std::abort();
    }

    // Containers: the directory, every language by id, and a round trip of what was read.
    try {
        TLangContainer c = ReadLangContainer(data, size);
        std::vector<uint8_t> out = WriteLangContainer(c);
        TLangContainer again = ReadLangContainer(out.data(), out.size());
        if (again.Entries.size() != c.Entries.size()) std::abort();
        for (size_t i = 0; i < c.Entries.size(); ++i)
            if (again.Entries[i].Data != c.Entries[i].Data || again.Entries[i].LangId != c.Entries[i].LangId)
                std::abort();
    } catch (const fw::Exception&) {
    }
    try {
        TLangContainer dir = ReadLangContainer(data, size, false);
        std::vector<uint8_t> block;
        FindContainerBlock(data, size, 0, block);
        for (size_t i = 0; i < dir.Entries.size() && i < 8; ++i) {
            std::vector<uint8_t> image;
            try {
                ExtractContainerLanguage(data, size, dir.Entries[i].LangId, image);
            } catch (const fw::Exception&) {
            }
        }
    } catch (const fw::Exception&) {
    }
    return 0;
}
