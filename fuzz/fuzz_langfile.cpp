// Language files are untrusted: arbitrary bytes go in as a native file, as a translation into a
// model built from a valid native file, and through the plain parser and the writer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangWriter.h"

using namespace langres;

namespace {

TLFRecord Rec(const char* name, uint32_t id, const char16_t* text, int32_t rev, uint32_t kind = vkString) {
    TLFRecord r;
    r.Name = name;
    r.Id = id;
    r.Kind = kind;
    r.Value.Present = true;
    r.Value.Text = text;
    r.Revision = rev;
    return r;
}

const std::vector<uint8_t>& NativeFile() {
    static const std::vector<uint8_t> file = [] {
        TLangFileImage img;
        img.Header.LangId = 0x0409;
        img.Header.Revision = 5;
        img.Header.IsNative = 1;
        img.Header.EnglishLangName = "English";
        img.Header.NativeLangName = u"English";
        img.Units.push_back(
            {"Main", 1, {Rec("SHello", 1, u"Hello", 1), Rec("STitle", 2, u"Title", -1), Rec("SNew", 0, u"New", 2)}});
        TLFRecord w = Rec("Width", 3, u"", 1, vkInteger);
        w.Value.Int = 75;
        TLFRecord f = Rec("Ratio", 4, u"", 1, vkFloat);
        f.Value.Float = 1.5;
        img.Forms.push_back(
            {"MainForm", 0, {Rec("Caption", 1, u"Main", 1)}, {{"Ok", 0, {Rec("Caption", 2, u"OK", 1), w, f}}}});
        img.Groups.push_back({"Messages", 0, {Rec("Bye", 1, u"Bye", 1), Rec("Hi", 0, u"Hi", -1)}});
        return WriteLangFile(img, 7, false);
    }();
    return file;
}

// Every item of the model has one value per language, and every list is walkable.
void CheckModel(TLangResource& m) {
    TLinearPropertyList p;
    TLinearConstantList c;
    TLinearExternalList e;
    m.Forms->CollectProperties(p, true);
    m.Units->CollectConstants(c, true);
    m.ExtGroups->CollectExternals(e, true);
    auto check = [&](TLResItem* item) {
        if (item->Values->Count() != m.LanguageCount()) __builtin_trap();
        item->GetPath('.');
        for (int i = 0; i < item->Values->Count(); ++i) item->Values->Values(i)->GetAnsiText();
    };
    for (auto* x : p.List) check(x);
    for (auto* x : c.List) check(x);
    for (auto* x : e.List) check(x);
    m.Forms->Pack();
    m.Units->Pack();
    m.ExtGroups->Pack();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);

    {
        TLangResource m;
        TLangFile lf;
        fw::TMemoryStream s(bytes);
        try {
            lf.LoadFromStream(s, &m, -1);
        } catch (const fw::Exception&) {
        }
        CheckModel(m);
    }
    {
        TLangResource m;
        TLangFile nf;
        fw::TMemoryStream ns(NativeFile());
        nf.LoadFromStream(ns, &m, -1);
        int index = m.AddLanguage(0, 0x0407);
        TLangFile lf;
        fw::TMemoryStream s(bytes);
        try {
            lf.LoadFromStream(s, &m, index);
        } catch (const fw::Exception&) {
        }
        CheckModel(m);
    }
    {
        TLangFile lf;
        fw::TMemoryStream s(bytes);
        try {
            lf.ReadHeader(s, false);
        } catch (const fw::Exception&) {
        }
    }
    // A plain image that parses is written back in the same layout (counters in their shortest
    // form, so writing what was written gives the same bytes).
    if (!IsCompressedImage(data, size)) {
        bool parsed = false;
        TLangFileImage img;
        try {
            img = ParseLangFileImage(data, size);
            parsed = true;
        } catch (const fw::Exception&) {
        }
        if (parsed) {
            std::vector<uint8_t> once = WriteLangFile(img, img.Header.Version, false);
            if (once.size() > bytes.size()) __builtin_trap();
            TLangFileImage back = ParseLangFileImage(once.data(), once.size());
            if (WriteLangFile(back, back.Header.Version, false) != once) __builtin_trap();
        }
    }
    return 0;
}
