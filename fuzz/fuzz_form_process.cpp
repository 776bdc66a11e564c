// Form translation over form resources from module files, with a small model: any input ends
// in a clear error or a form in the input's own encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/langres/LangRes.h"
#include "localizer/resources/PrjProcs.h"

namespace {

langres::TLangResource* Model() {
    static langres::TLangResource* model = [] {
        auto* m = new langres::TLangResource;
        m->SetNativeLangId(0x0409);
        m->AddLanguage(0, 0x0419);
        langres::TLResFormItem* f = m->Forms->Ensure("Form1");
        uint32_t id = 0;
        auto prop = [&](const char* component, const char* name, langres::TLResValueKind kind, const char16_t* text,
                        uint16_t flags) {
            std::string c = component;
            auto* p = f->EnsureProperty(++id, c.empty() ? nullptr : &c, name, kind);
            p->Values->Values(1)->SetText(text);
            if (flags) p->SetFlags(flags, true);
        };
        prop("", "Caption", langres::vkString, u"\u0413\u043B\u0430\u0432\u043D\u043E\u0435", 0);
        prop("", "Left", langres::vkInteger, u"20", 0);
        prop("", "Hint", langres::vkString, u"", 0);
        prop("ListBox1", "Items.Strings", langres::vkStringList, u"a\r\nb'c", 0);
        prop("ListBox1", "Hint", langres::vkString, u"added", langres::vfAdded);
        prop("Button1", "Caption", langres::vkString, u"x\u0416", langres::vfWide);
        prop(".TBevel2", "Shape", langres::vkIdent, u"bsBox", 0);
        prop("ListView1.Columns[0]", "Caption", langres::vkString, u"Nom", 0);
        prop("TopFrame.NameEdit", "Text", langres::vkString, u"inner", 0);
        prop("NameEdit", "Text", langres::vkString, u"outer", langres::vfDoNotTranslate);
        return m;
    }();
    return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resources::TFormProcessor proc;
    proc.LangResource = Model();
    proc.LangIndex = 1;
    proc.LangId = 0x0419;
    proc.UTF8Strings = size > 0 && (data[size - 1] & 1);
    fw::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    int format = fw::DetectFormStreamFormat(stream);
    try {
        proc.ProcessStream(stream);
    } catch (const fw::Exception&) {
        return 0;
    }
    // A binary or resource form comes back in its encoding, readable.
    if (format != fw::ffText) {
        if (fw::DetectFormStreamFormat(stream) != format) std::abort();
        fw::TMemoryStream text;
        stream.SetPosition(0);
        if (format == fw::ffBinary)
            fw::ObjectBinaryToText(stream, text);
        else
            fw::ObjectResourceToText(stream, text);
    }
    return 0;
}
