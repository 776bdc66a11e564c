// vtploc container list|extract|build: the embedded language container "KLL" (RCDATA
// "QLX_LOC_LANGS_"). FILE is a module holding one or a bare container.
//   list FILE                             version, revision and the languages with their blocks
//   extract FILE --lang ID|CODE -o OUT    one language as a plain language file (--stored: the
//                                         block as stored, compressed or not)
//   build [--version N] [--revision R] [--compress] -o OUT FILE.lng...
//                                         a bare container; the first file is the native language
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/kcompress.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/resources/ResProc.h"

namespace vtploc {
namespace {

struct ContainerArgs {
    std::string file, lang, out;
    bool stored = false, compress = false;
    int version = langres::LangContainerMaxVersion;
    uint32_t revision = 0;
    std::vector<std::string> inputs;
};

// The container bytes of FILE: the file itself when it starts with "KLL", else the RCDATA
// resource of the module.
std::vector<uint8_t> ContainerBytes(const std::string& file) {
    std::vector<uint8_t> bytes = ReadInput(file);
    if (langres::IsLangContainer(bytes.data(), bytes.size())) return bytes;
    resources::TResProcessor p;
    p.LoadFromFile(file);
    auto* rc = static_cast<resources::TResRCData*>(p.FindBlock(10));
    auto* item = rc ? rc->FindByName(langres::SEmbeddedLangsName) : nullptr;
    if (!item)
        throw UsageError("\"" + file + "\" has no embedded language container (" + langres::SEmbeddedLangsName + ")");
    fw::TMemoryStream data;
    item->SaveData(data);
    return data.Bytes();
}

langres::TLangContainer ReadContainer(const std::string& file, const std::vector<uint8_t>& bytes) {
    try {
        return langres::ReadLangContainer(bytes.data(), bytes.size());
    } catch (const fw::Exception& e) {
        throw UsageError("\"" + file + "\": " + e.Message());
    }
}

void List(const ContainerArgs& a) {
    std::vector<uint8_t> bytes = ContainerBytes(a.file);
    langres::TLangContainer c = ReadContainer(a.file, bytes);
    std::printf("version %u, revision %u, %zu language(s)\n", c.Version, c.Revision, c.Entries.size());
    for (size_t i = 0; i < c.Entries.size(); ++i) {
        const auto& e = c.Entries[i];
        bool packed = langres::IsCompressedImage(e.Data.data(), e.Data.size());
        std::printf("%zu\t0x%04X\t%s\t%zu bytes%s%s\n", i, e.LangId, e.EnglishName.c_str(), e.Data.size(),
                    packed ? ", LZK" : "", i == 0 ? ", native" : "");
    }
}

uint16_t ParseLang(const std::string& text) {
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (!text.empty() && *end == '\0' && v <= 0xFFFF) return static_cast<uint16_t>(v);
    uint32_t id = kutils::LocaleFromAbbrev(text);
    if (id == 0) throw UsageError("Unknown language \"" + text + "\": give a language id or a locale code");
    return static_cast<uint16_t>(id);
}

void Extract(const ContainerArgs& a) {
    std::vector<uint8_t> bytes = ContainerBytes(a.file);
    uint16_t id = ParseLang(a.lang);
    std::vector<uint8_t> out;
    bool found;
    try {
        found = a.stored ? langres::FindContainerBlock(bytes.data(), bytes.size(), id, out)
                         : langres::ExtractContainerLanguage(bytes.data(), bytes.size(), id, out);
    } catch (const fw::Exception& e) {
        throw UsageError("\"" + a.file + "\": " + e.Message());
    }
    if (!found) throw UsageError(fw::Format("\"%s\" holds no language 0x%x", {a.file, static_cast<unsigned>(id)}));
    WriteOutput(a.out, out);
}

void Build(const ContainerArgs& a) {
    if (a.version < 1 || a.version > langres::LangContainerMaxVersion) throw UsageError("--version must be 1, 2 or 3");
    langres::TLangContainer c;
    c.Version = static_cast<uint16_t>(a.version);
    c.Revision = a.revision;
    for (const auto& file : a.inputs) {
        std::vector<uint8_t> data = ReadInput(file);
        // The header names the language; a file that is no language file is refused here.
        langres::TLangFile lf;
        fw::TMemoryStream s(data);
        try {
            lf.ReadHeader(s, false);
        } catch (const fw::Exception& e) {
            throw UsageError("\"" + file + "\": " + e.Message());
        }
        if (a.compress && !langres::IsCompressedImage(data.data(), data.size())) {
            fw::TBytesStream src(data.data(), static_cast<int64_t>(data.size()));
            fw::TMemoryStream packed;
            kutils::CompressStream(src, packed);
            data = std::move(packed.Bytes());
        }
        c.Entries.push_back({static_cast<uint16_t>(lf.LangId), lf.EnglishLangName, std::move(data)});
    }
    WriteOutput(a.out, langres::WriteLangContainer(c));
}

void Register(CLI::App& app) {
    CLI::App* cont = app.add_subcommand("container", "The embedded language container (QLX_LOC_LANGS_)");
    cont->require_subcommand(1);
    auto args = std::make_shared<ContainerArgs>();

    CLI::App* list = cont->add_subcommand("list", "Print the container's languages");
    list->add_option("file", args->file, "A module or a bare container")->required();
    list->callback([args] { List(*args); });

    CLI::App* extract = cont->add_subcommand("extract", "Write one language as a language file");
    extract->add_option("file", args->file, "A module or a bare container")->required();
    extract->add_option("--lang", args->lang, "Language id (0: the native language) or locale code")->required();
    extract->add_option("-o,--output", args->out, "The file to write")->required();
    extract->add_flag("--stored", args->stored, "Write the block as stored (compressed or not)");
    extract->callback([args] { Extract(*args); });

    CLI::App* build = cont->add_subcommand("build", "Make a container from language files");
    build->add_option("files", args->inputs, "Language files; the first is the native language")->required();
    build->add_option("-o,--output", args->out, "The container to write")->required();
    build->add_option("--version", args->version, "Container version 1 to 3 (default 3)");
    build->add_option("--revision", args->revision, "Dictionary revision stored in the container");
    build->add_flag("--compress", args->compress, "Store plain language files as LZK blocks");
    build->callback([args] { Build(*args); });
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc
