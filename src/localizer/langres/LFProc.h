// TLangFile: the program's handle on one language file. Opening reads the header only; loading
// fills a TLangResource, either as the native language (items are created) or into one further
// language index (the file's items are matched to the existing ones by id).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LangFormat.h"
#include "LangRes.h"
#include "framework/Classes.h"

namespace resources {
class TResProcessor;
struct TFormReaderKinds;
}  // namespace resources

namespace langres {

constexpr uint16_t loKeepCharset = 0x0001;

class TLangFile {
public:
    // Opens a file: when it exists its header is read (errors propagate); a missing file leaves
    // the defaults.
    explicit TLangFile(const std::string& fileName);
    // An object fed from a stream.
    TLangFile();
    static TLangFile CreateEmpty() { return TLangFile(); }

    uint16_t Version = 7;
    uint32_t LangId = 0;
    uint32_t Revision = 0;
    std::string EnglishLangName;
    std::u16string NativeLangName;
    bool IsNative = false;
    std::string FileName;
    uint32_t LastConstantId = 0;
    uint32_t LastPropertyId = 0;
    uint32_t LastExternalId = 0;
    uint16_t Options = 0;
    uint16_t Word = 0;  // header word kept from the file, not used
    uint32_t Build = 0;
    int32_t DllLangIndex = 0;  // language whose values go into a built resource module
    // Time stamp for the headers of a built module instead of the clock (reproducible builds).
    std::optional<uint32_t> ModuleTimeStamp;

    // Reads and checks the header from position 0 of the stream (a compressed block is
    // decompressed first). keep = true only validates. Returns the position after the header
    // in the plain image.
    int64_t ReadHeader(fw::TStream& stream, bool keep);
    // index -1: the native language (the model's items are replaced); else a language index of
    // the model whose values are filled.
    void LoadFromStream(fw::TStream& stream, TLangResource* model, int index);
    void LoadFromFile(TLangResource* model, int index);
    int PrepareLoad(TLangResource* model, int index);
    bool HasOption(uint16_t mask) const { return (Options & mask) != 0; }

    void SetLastConstantId(uint32_t v) { LastConstantId = v; }
    void SetLastPropertyId(uint32_t v) { LastPropertyId = v; }
    void SetLastExternalId(uint32_t v) { LastExternalId = v; }
    void SetLangId(uint32_t v) { LangId = v; }

    // A translated resource module: the string tables and RCDATA of the running module
    // `module` (an HINSTANCE; Windows only) or, when it is 0, of the untranslated module file
    // `nativeFileName`, with the values of DllLangIndex put in, the embedded language data
    // removed and the library settings record naming this file's language.
    // A program file that carries no settings record at all (one built with the framework's own
    // tools) gets a module that stands in for all its resources: strings and forms translated,
    // every other resource copied as it is, with its name and language.
    void BuildResourceModule(uintptr_t module, fw::TStream& output, TLangResource* model,
                             const std::string& nativeFileName);
    // The same into a file, written under a temporary name and renamed when complete.
    void SaveResourceModule(uintptr_t module, const std::string& outputFileName, TLangResource* model,
                            const std::string& nativeFileName);
    // Whether the source has a valid "LDLL" record; carried receives its carried word (6 when
    // the record has none).
    bool ReadSettingsRecord(resources::TResProcessor& processor, uint16_t& carried);
    // Whether the resources hold a program or library settings record (valid or not).
    static bool HasSettingsRecords(const resources::TResProcessor& processor);
    // programReader: the form reader of a program without settings records (one built with the
    // framework's own tools); form values are written in the kinds it takes. ELFProcError naming
    // every text that cannot be written so, one line each, when there is any.
    void TranslateResources(resources::TResProcessor& processor, TLangResource* model,
                            const resources::TFormReaderKinds* programReader = nullptr);
    void RemoveEmbeddedResources(resources::TResProcessor& processor);
    void WriteSettingsRecord(resources::TResProcessor& processor, uint16_t carried);

    // The header fields as the file format holds them.
    TLFHeader Header() const;

private:
    void StoreHeader(const TLFHeader& h);
    // Reads a header from a (possibly compressed) byte image; returns the position after it.
    size_t ReadHeaderFrom(const uint8_t* data, size_t size, bool keep);
    void LoadImage(const uint8_t* data, size_t size, TLangResource* model, bool keep, int index);
    void LoadPlain(const uint8_t* data, size_t size, TLangResource* model, bool keep, int index);
    void ReadHeaderOfFile();
    // Runs f; damaged-data errors get the file's name in front of their message.
    template <class F>
    auto Named(F f) -> decltype(f());
};

}  // namespace langres
