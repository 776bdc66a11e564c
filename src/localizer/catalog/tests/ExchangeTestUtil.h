// What the PO and XLIFF tests share: a dictionary with a value of every kind and a translation
// that changes each, a record-by-record difference of two images, and the translations among the
// fixtures and fuzz seeds that an exchange file can carry. (No test framework here: the XLIFF
// reader's fuzz target reads against the same dictionary.)
#pragma once

#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CatalogTestUtil.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/LangWriter.h"

namespace cattest {

using catalog::TLangFileImage;

inline langres::TLFRecord Rec(const char* name, uint32_t id, const char16_t* text, int32_t rev,
                              uint32_t kind = langres::vkString) {
    langres::TLFRecord r;
    r.Name = name;
    r.Id = id;
    r.Kind = kind;
    r.Value.Present = kind == langres::vkString || kind == langres::vkStringList || kind <= langres::vkInteger;
    r.Value.Text = text;
    r.Revision = rev;
    return r;
}

inline langres::TLFRecord Int(const char* name, uint32_t id, int32_t v, int32_t rev) {
    auto r = Rec(name, id, u"", rev, langres::vkInteger);
    r.Value.Int = v;
    r.Value.Text = langres::AsciiToWide(std::to_string(v));
    return r;
}

inline langres::TLFRecord Float(const char* name, uint32_t id, uint64_t bits, int32_t rev) {
    auto r = Rec(name, id, u"", rev, langres::vkFloat);
    std::memcpy(&r.Value.Float, &bits, sizeof bits);
    r.Value.Text = langres::AsciiToWide(langres::FloatToText(r.Value.Float));
    return r;
}

inline uint64_t Bits(const langres::TLFRecord& r) {
    uint64_t b;
    std::memcpy(&b, &r.Value.Float, sizeof b);
    return b;
}

// A native dictionary with a value of every kind, and a translation that changes each.
inline TLangFileImage KindsNative() {
    TLangFileImage n;
    n.Header.LangId = 0x0409;
    n.Header.Revision = 4;
    n.Header.IsNative = 1;
    n.Header.EnglishLangName = "English";
    n.Header.NativeLangName = u"English";
    n.Header.LastConstantId = 3;
    n.Header.LastPropertyId = 9;
    n.Units.push_back(
        {"Main",
         1,
         {Rec("SHello", 1, u"Hello", 1), Rec("SEmpty", 2, u"", 1), Rec("SMixed", 3, u"Line1\r\nLine2\nLine3", 2)}});
    langres::TLFForm f{"MainForm", 0, {Rec("Caption", 1, u"Main", 1)}, {}};
    f.Components.push_back(
        {"Ok",
         0,
         {Rec("Caption", 2, u"OK", 1), Int("Width", 3, 75, 1), Float("Ratio", 4, 0x3FF8000000000000, 1),
          Float("Nan", 5, 0x7FF0000000000001, 1), Float("Zero", 6, 0, 1), Rec("Anchors", 7, u"", 1, langres::vkSet),
          Rec("Hint", 8, u"", 1), Rec("Items", 9, u"One\r\nTwo", 3, langres::vkStringList)}});
    n.Forms.push_back(f);
    n.Groups.push_back({"Messages", 0, {Rec("Bye", 1, u"Bye", 1)}});
    return n;
}

inline TLangFileImage KindsTranslation() {
    TLangFileImage t = KindsNative();
    t.Header.LangId = 0x0407;
    t.Header.IsNative = 0;
    t.Header.EnglishLangName = "German";
    t.Header.NativeLangName = u"Deutsch";
    t.Header.Build = 12;
    auto set = [&](const char* path, auto&& change) {
        auto* r = const_cast<langres::TLFRecord*>(Find(t, path));
        if (!r) throw std::logic_error(std::string("no item ") + path);
        change(*r);
    };
    set("Main.SHello", [](auto& r) { r.Value.Text = u"Hallo", r.Flags = langres::vfConfirmed; });
    set("Main.SEmpty", [](auto& r) { r.Value.Text = u"Nicht leer", r.Revision = 1; });
    set("Main.SMixed", [](auto& r) { r.Value.Text = u"Zeile1\r\nZeile2\nZeile3", r.Flags = 0x0108; });
    set("MainForm.Caption", [](auto& r) { r.Value.Text = u"", r.Stamp = 0x1122334455667788; });  // as empty
    set("MainForm.Ok.Caption", [](auto& r) { r.Revision = -1, r.Stamp = 7; });  // untranslated, own stamp
    set("MainForm.Ok.Width", [](auto& r) { r.Value.Int = 90, r.Value.Text = u"90"; });
    set("MainForm.Ok.Ratio", [](auto& r) {
        uint64_t b = 0x4004000000000000;  // 2.5
        std::memcpy(&r.Value.Float, &b, 8);
        r.Value.Text = u"2.5";
    });
    set("MainForm.Ok.Nan", [](auto& r) {
        uint64_t b = 0xFFF4000000000123;  // another NaN: only its bits tell
        std::memcpy(&r.Value.Float, &b, 8);
    });
    set("MainForm.Ok.Zero", [](auto& r) {
        uint64_t b = 0x8000000000000000;  // -0
        std::memcpy(&r.Value.Float, &b, 8);
    });
    set("MainForm.Ok.Anchors", [](auto& r) { r.Revision = 3, r.Flags = langres::vfConfirmed | 0x0004; });
    set("MainForm.Ok.Items", [](auto& r) { r.Value.Text = u"Eins\r\nZwei", r.Flags = langres::vfConfirmed; });
    set("Messages.Bye", [](auto& r) { r.Value.Text = u"Tsch\u00fcss", r.Flags = langres::vfConfirmed; });
    return t;
}

// What differs between two images, record by record ("" when their bytes agree).
inline std::string Diff(TLangFileImage a, TLangFileImage b) {
    if (langres::WriteLangFile(a) == langres::WriteLangFile(b)) return "";
    std::ostringstream out;
    const auto &ha = a.Header, &hb = b.Header;
    if (ha.Version != hb.Version || ha.Revision != hb.Revision || ha.Build != hb.Build || ha.LangId != hb.LangId ||
        ha.Word != hb.Word || ha.EnglishLangName != hb.EnglishLangName || ha.NativeLangName != hb.NativeLangName ||
        ha.Options != hb.Options || ha.IsNative != hb.IsNative)
        out << "header differs; ";
    auto ia = catalog::Items(a), ib = catalog::Items(b);
    if (ia.size() != ib.size()) out << ia.size() << " vs " << ib.size() << " items; ";
    for (size_t i = 0; i < std::min(ia.size(), ib.size()); ++i) {
        const auto &x = *ia[i].Record, &y = *ib[i].Record;
        uint64_t bx, by;
        std::memcpy(&bx, &x.Value.Float, 8);
        std::memcpy(&by, &y.Value.Float, 8);
        if (x.Value.Text != y.Value.Text || x.Revision != y.Revision || x.Flags != y.Flags || x.Stamp != y.Stamp ||
            x.Value.Int != y.Value.Int || bx != by || x.Kind != y.Kind)
            out << ia[i].Path() << " (kind " << x.Kind << "): text '" << fw::Utf16ToUtf8(x.Value.Text) << "' vs '"
                << fw::Utf16ToUtf8(y.Value.Text) << "', revision " << x.Revision << " vs " << y.Revision << ", flags "
                << x.Flags << " vs " << y.Flags << ", stamp " << x.Stamp << " vs " << y.Stamp << ", int " << x.Value.Int
                << " vs " << y.Value.Int << ", bits " << std::hex << bx << " vs " << by << std::dec << "; ";
    }
    std::string d = out.str();
    return d.empty() ? "bytes differ" : d;
}

// A translation any PO file can hold: names of printable ASCII, texts without NUL, lone CR or
// unpaired surrogates, known kinds, revisions of -1 or more, untranslated values unconfirmed.
// An XLIFF file also holds NUL and a lone CR. (Fuzz seeds are made to be anything.)
inline bool Holdable(TLangFileImage& img, bool xliff = false) {
    for (const auto& it : catalog::Items(img)) {
        const auto& r = *it.Record;
        for (char c : it.Path())
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
        if (r.Kind > langres::vkSet || r.Revision < -1) return false;
        if (r.Revision < 0 && (r.Flags & langres::vfConfirmed)) return false;
        const auto& t = r.Value.Text;
        for (size_t i = 0; i < t.size(); ++i) {
            char16_t c = t[i];
            if (!xliff && (c == 0 || (c == u'\r' && (i + 1 == t.size() || t[i + 1] != u'\n')))) return false;
            if (c >= 0xD800 && c <= 0xDBFF && (i + 1 == t.size() || t[i + 1] < 0xDC00 || t[i + 1] > 0xDFFF))
                return false;
            if (c >= 0xDC00 && c <= 0xDFFF && (i == 0 || t[i - 1] < 0xD800 || t[i - 1] > 0xDBFF)) return false;
        }
    }
    return true;
}

inline bool ParsesAsTranslation(const std::vector<uint8_t>& bytes, TLangFileImage& img) {
    try {
        auto plain = langres::DecompressImage(bytes.data(), bytes.size());
        img = langres::ParseLangFileImage(plain.data(), plain.size());
        return !img.Header.IsNative;
    } catch (const fw::Exception&) {
        return false;
    }
}

// A translation and the native dictionary it is read against, with what an import must give.
struct TRoundTripCase {
    std::string Name;  // "FILE against NATIVE"
    TLangFileImage Native, Translation, Expected;
};

// Every translation among the sample's, the demo's and the fuzz seeds that the format can hold:
// against its own native dictionary where there is one (the sample's), and against a native
// dictionary made of itself, so that every field it holds is checked.
inline std::vector<TRoundTripCase> RoundTripCases(bool xliff) {
    const std::string root = VTP_SOURCE_DIR;
    std::vector<std::pair<std::string, std::string>> pairs;  // translation, native
    for (const char* lang : {"de", "fr"})
        pairs.push_back(
            {root + "/fixtures/sampleapp/sampleapp." + lang + ".lng", root + "/fixtures/sampleapp/sampleapp.ntv.lng"});
    pairs.push_back({root + "/fixtures/demo/brmkVTPStart.DEU.lng", ""});
    for (const auto& e : std::filesystem::directory_iterator(root + "/fuzz/seeds/fuzz_langfile/"))
        pairs.push_back({e.path().string(), ""});
    std::vector<TRoundTripCase> cases;
    for (const auto& [file, nativeFile] : pairs) {
        TLangFileImage tr;
        if (!ParsesAsTranslation(fw::ReadFileBytes(file), tr) || !Holdable(tr, xliff)) continue;
        tr.Trailing.clear();  // readers ignore what follows the last section
        std::vector<std::pair<std::string, TLangFileImage>> natives;
        if (!nativeFile.empty()) natives.push_back({nativeFile, langres::ReadLangFileImage(nativeFile)});
        // The translation's own layout as its native dictionary: every field of it is checked.
        TLangFileImage self = tr;
        self.Header.IsNative = 1;
        natives.push_back({"itself", self});
        for (auto& [name, native] : natives) {
            catalog::TUpdateCounts c;
            TLangFileImage expected = catalog::UpdateTranslation(native, tr, c);
            cases.push_back({file + " against " + name, native, tr, expected});
        }
    }
    return cases;
}

}  // namespace cattest
