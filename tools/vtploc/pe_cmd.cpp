// vtploc pe list|extract|strings|rebuild: the resources of Windows modules (plain or LZK).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "framework/Unicode.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/resources/PEReader.h"
#include "localizer/resources/ResProc.h"

namespace vtploc {
namespace {

using resources::TPEReader;
using resources::TPEResourceItem;
using resources::TResProcessor;
using resources::TResString;

struct PeArgs {
    std::string file, type, name, out;
};

// One line of text: UTF-8, with line breaks, tabs and backslashes escaped.
std::string Printable(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                } else {
                    fw::AppendUtf8(out, c);
                }
        }
    }
    return out;
}

// Resource names are ANSI text in the system code page.
std::string PrintableAnsi(const std::string& name) {
    return Printable(kutils::AnsiToWideCP(name, kutils::Nls().GetACP()));
}

// A name as the module holds it (UTF-16, so names in any script show as they are); an id or a
// type by its display name.
std::string DisplayName(TPEResourceItem* item) {
    if (item->NameField() & 0x80000000u) return Printable(item->WideName());
    return PrintableAnsi(item->Name());
}

void List(const PeArgs& a) {
    TPEReader reader(a.file);
    auto* root = reader.ResourceList();
    for (int t = 0; t < root->Count(); ++t) {
        TPEResourceItem* type = root->Items(t);
        std::printf("%s\n", DisplayName(type).c_str());
        if (!type->IsList()) continue;
        auto* names = type->GetList();
        for (int n = 0; n < names->Count(); ++n) {
            TPEResourceItem* item = names->Items(n);
            std::printf("  %s\t%d\n", DisplayName(item).c_str(), item->DataSize());
        }
    }
}

// A type is given by its display name ("String", "RCData", "MYTYPE") or its number; a name by
// its display name. Letters match without regard to case.
bool TypeMatches(TPEResourceItem* item, const std::string& wanted) {
    if (fw::SameTextAscii(item->Name(), wanted)) return true;
    int32_t id;
    return !(item->NameField() & 0x80000000u) && fw::TryStrToInt(wanted, id) && id >= 0 &&
           static_cast<uint32_t>(id) == (item->NameField() & 0xFFFF);
}

void Extract(const PeArgs& a) {
    TPEReader reader(a.file);
    auto* root = reader.ResourceList();
    for (int t = 0; t < root->Count(); ++t) {
        TPEResourceItem* type = root->Items(t);
        if (!TypeMatches(type, a.type) || !type->IsList()) continue;
        auto* names = type->GetList();
        for (int n = 0; n < names->Count(); ++n) {
            TPEResourceItem* item = names->Items(n);
            // A name in letters the code page lacks is given in UTF-8.
            const bool wide =
                (item->NameField() & 0x80000000u) && fw::SameTextWide(item->WideName(), fw::Utf8ToUtf16(a.name));
            if (!wide && !fw::SameTextAscii(item->Name(), a.name)) continue;
            const uint8_t* data = item->Data();
            WriteOutput(a.out, std::vector<uint8_t>(data, data + item->DataSize()));
            return;
        }
    }
    throw UsageError("\"" + a.file + "\" has no resource " + a.type + "/" + a.name);
}

void Strings(const PeArgs& a) {
    TResProcessor p;
    p.LoadFromFile(a.file);
    auto* s = static_cast<TResString*>(p.FindBlock(6));
    if (!s) return;
    for (int i = 0; i < s->Count(); ++i)
        std::printf("%d\t%s\n", s->Strings(i)->Id, Printable(s->Strings(i)->Text).c_str());
}

void Rebuild(const PeArgs& a) {
    TResProcessor p;
    p.LoadFromFile(a.file);
    p.FixedTimeStamp = SourceDateEpoch();
    fw::TMemoryStream m;
    p.SaveToStream(m);
    WriteOutput(a.out, m.Bytes());
}

void Register(CLI::App& app) {
    CLI::App* pe = app.add_subcommand("pe", "Resources of Windows modules (plain or LZK-compressed)");
    pe->require_subcommand(1);
    auto args = std::make_shared<PeArgs>();

    CLI::App* list = pe->add_subcommand("list", "Print the resource tree: types, names and data sizes");
    list->add_option("FILE", args->file, "module file")->required();
    list->callback([args] { List(*args); });

    CLI::App* extract = pe->add_subcommand("extract", "Write the data of one resource (its first language)");
    extract->add_option("FILE", args->file, "module file")->required();
    extract->add_option("TYPE", args->type, "type: String, RCData, a number or a type name")->required();
    extract->add_option("NAME", args->name, "resource name or number")->required();
    extract->add_option("-o,--output", args->out, "output file")->required();
    extract->callback([args] { Extract(*args); });

    CLI::App* strings = pe->add_subcommand("strings", "Print the string-table entries: id, tab, text");
    strings->add_option("FILE", args->file, "module file")->required();
    strings->callback([args] { Strings(*args); });

    CLI::App* rebuild =
        pe->add_subcommand("rebuild",
                           "Write a resource-only module with the string tables and RCDATA of FILE (time stamp from "
                           "SOURCE_DATE_EPOCH when set)");
    rebuild->add_option("FILE", args->file, "module file")->required();
    rebuild->add_option("-o,--output", args->out, "output file")->required();
    rebuild->callback([args] { Rebuild(*args); });
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc
