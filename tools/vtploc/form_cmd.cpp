// vtploc form totext|tobinary|toresource: the form-stream conversions for people who edit forms
// as text. Any of the three encodings is accepted as input.
#include <string>

#include "Command.h"
#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "localizer/resources/FormConvert.h"

namespace vtploc {
namespace {

struct FormArgs {
    std::string in, out;
    bool utf8 = false;
    std::string lang;
};

// The form as text, whatever encoding the file holds; isText tells whether it already was.
std::string FormText(const std::string& fileName, bool& isText) {
    fw::TMemoryStream in(ReadInput(fileName));
    fw::TMemoryStream text;
    isText = false;
    switch (resources::DetectFormFormat(in)) {
        case fw::ffResource:
            resources::FormResourceToText(in, text);
            break;
        case fw::ffBinary:
            resources::FormBinaryToText(in, text);
            break;
        default:
            isText = true;
            text.CopyFrom(in, 0);
    }
    return std::string(text.Bytes().begin(), text.Bytes().end());
}

uint32_t LangIdOf(const FormArgs& a) {
    if (a.lang.empty()) {
        if (a.utf8) throw UsageError("--utf8 needs --lang ID (the language whose ANSI code page the text uses)");
        return 0;
    }
    int32_t id = 0;
    if (!fw::TryStrToInt(a.lang, id) || id < 0 || id > 0xFFFF)
        throw UsageError("--lang: '" + a.lang + "' is not a language id (for example 1049 or 0x0419)");
    return static_cast<uint32_t>(id);
}

enum class Target { Text, Binary, Resource };

// The converted bytes; errors in the form name the input file.
std::vector<uint8_t> Converted(const FormArgs& a, Target target, uint32_t langId) {
    try {
        bool isText = false;
        std::string text = FormText(a.in, isText);
        if (target == Target::Text && !isText) return std::vector<uint8_t>(text.begin(), text.end());
        fw::TMemoryStream src(std::vector<uint8_t>(text.begin(), text.end()));
        fw::TMemoryStream dst;
        if (target == Target::Resource)
            resources::FormTextToResource(src, dst, a.utf8, langId);
        else
            resources::FormTextToBinary(src, dst, a.utf8, langId);
        if (target != Target::Text) return dst.Bytes();
        // A text input goes through the binary form: checked and given the standard layout.
        fw::TMemoryStream out;
        dst.SetPosition(0);
        resources::FormBinaryToText(dst, out);
        return out.Bytes();
    } catch (const fw::EStreamError& e) {
        if (dynamic_cast<const fw::EFOpenError*>(&e)) throw;  // already names the file
        throw UsageError(a.in + ": " + e.Message());
    } catch (const fw::Exception& e) {
        throw UsageError(a.in + ": " + e.Message());
    }
}

void Convert(const FormArgs& a, Target target) {
    uint32_t langId = LangIdOf(a);
    WriteOutput(a.out, Converted(a, target, langId));
}

void Register(CLI::App& app) {
    auto* form = app.add_subcommand("form", "Convert form streams between text, binary and resource form");
    form->require_subcommand(1);
    auto args = std::make_shared<FormArgs>();
    auto common = [&](CLI::App* c, bool withUtf8) {
        c->add_option("IN", args->in, "Form file: text, binary (TPF0) or resource form")->required();
        c->add_option("OUT", args->out, "File to write")->required();
        if (withUtf8) {
            c->add_flag("--utf8", args->utf8, "Store strings that are not plain ASCII as UTF-8");
            c->add_option("--lang", args->lang, "Language id whose ANSI code page the text uses");
        }
    };
    auto* totext = form->add_subcommand("totext", "Convert a form to its text form");
    common(totext, false);
    totext->callback([args] { Convert(*args, Target::Text); });
    auto* tobinary = form->add_subcommand("tobinary", "Convert a form to a binary form");
    common(tobinary, true);
    tobinary->callback([args] { Convert(*args, Target::Binary); });
    auto* toresource = form->add_subcommand("toresource", "Convert a form to a resource form");
    common(toresource, true);
    toresource->callback([args] { Convert(*args, Target::Resource); });
}

CommandGroup group(Register);

}  // namespace
}  // namespace vtploc
