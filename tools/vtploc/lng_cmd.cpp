// vtploc lng info|dump|build: language files for translators and build engineers.
//   info FILE                 the header and what the file holds
//   dump FILE [-o OUT]        the whole file as JSON (one object per unit, form, group, record)
//   build SOURCE -o FILE      the reverse: a JSON dump back into a language file
// A dump holds every stored field, so building it again gives the same bytes.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangFormat.h"
#include "localizer/langres/LangWriter.h"

namespace vtploc {
namespace {

using langres::TLangFileImage;
using langres::TLFRecord;
using nlohmann::ordered_json;

const char* const KindNames[] = {"float", "integer", "string", "list", "stringList", "binary", "ident", "set"};

// ---------------------------------------------------------------------------------------------
// Text in JSON: UTF-16 as UTF-8 when it is well formed, else as its code units; 8-bit names as
// they are when they are ASCII, else as hex bytes.

bool Utf16ToUtf8(const std::u16string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        fw::AppendUtf8(out, c);
    }
    return true;
}

// nlohmann has already checked that the text is valid UTF-8.
std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        uint8_t b = static_cast<uint8_t>(s[i]);
        uint32_t c;
        int n;
        if (b < 0x80)
            c = b, n = 0;
        else if (b < 0xE0)
            c = b & 0x1F, n = 1;
        else if (b < 0xF0)
            c = b & 0x0F, n = 2;
        else
            c = b & 0x07, n = 3;
        ++i;
        for (int k = 0; k < n && i < s.size(); ++k, ++i) c = (c << 6) | (static_cast<uint8_t>(s[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string Hex(const uint8_t* p, size_t n) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

std::vector<uint8_t> Unhex(const std::string& s, const std::string& what) {
    auto val = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw UsageError(what + ": \"" + s + "\" is not hex bytes");
    };
    if (s.size() % 2) throw UsageError(what + ": \"" + s + "\" is not hex bytes");
    std::vector<uint8_t> out;
    for (size_t i = 0; i < s.size(); i += 2) out.push_back(static_cast<uint8_t>(val(s[i]) * 16 + val(s[i + 1])));
    return out;
}

void Put8(ordered_json& o, const char* key, const std::string& s) {
    bool ascii = true;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (ascii)
        o[key] = s;
    else
        o[std::string(key) + "Hex"] = Hex(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

void Put16(ordered_json& o, const char* key, const std::u16string& s) {
    std::string u8;
    if (Utf16ToUtf8(s, u8)) {
        o[key] = u8;
    } else {
        ordered_json units = ordered_json::array();
        for (char16_t c : s) units.push_back(static_cast<unsigned>(c));
        o[std::string(key) + "Utf16"] = units;
    }
}

// ---------------------------------------------------------------------------------------------
// Reading a dump back: every field is checked for its type and range.

class TDumpReader {
public:
    explicit TDumpReader(std::string source) : source_(std::move(source)) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        throw UsageError(source_ + ": " + where + ": " + what);
    }

    const ordered_json& At(const ordered_json& o, const std::string& where, const char* key) const {
        if (!o.is_object()) Fail(where, "an object was expected");
        auto it = o.find(key);
        if (it == o.end()) Fail(where, std::string("\"") + key + "\" is missing");
        return *it;
    }

    uint64_t Unsigned(const ordered_json& o, const std::string& where, const char* key, uint64_t max,
                      bool optional = false) const {
        if (optional && (!o.is_object() || !o.contains(key))) return 0;
        const ordered_json& v = At(o, where, key);
        if (!v.is_number_unsigned() && !(v.is_number_integer() && v.get<int64_t>() >= 0))
            Fail(where, std::string("\"") + key + "\" must be a whole number from 0 to " + std::to_string(max));
        uint64_t x = v.get<uint64_t>();
        if (x > max)
            Fail(where, std::string("\"") + key + "\" must be a whole number from 0 to " + std::to_string(max));
        return x;
    }

    int64_t Signed(const ordered_json& o, const std::string& where, const char* key) const {
        const ordered_json& v = At(o, where, key);
        if (!v.is_number_integer()) Fail(where, std::string("\"") + key + "\" must be a whole number");
        if (v.is_number_unsigned() && v.get<uint64_t>() > INT32_MAX)
            Fail(where, std::string("\"") + key + "\" is out of range");
        int64_t x = v.get<int64_t>();
        if (x < INT32_MIN || x > INT32_MAX) Fail(where, std::string("\"") + key + "\" is out of range");
        return x;
    }

    std::string Get8(const ordered_json& o, const std::string& where, const char* key) const {
        if (o.is_object() && o.contains(std::string(key) + "Hex")) {
            const ordered_json& v = o.at(std::string(key) + "Hex");
            if (!v.is_string()) Fail(where, std::string("\"") + key + "Hex\" must be a string");
            std::vector<uint8_t> b = Unhex(v.get<std::string>(), source_ + ": " + where);
            return std::string(b.begin(), b.end());
        }
        const ordered_json& v = At(o, where, key);
        if (!v.is_string()) Fail(where, std::string("\"") + key + "\" must be a string");
        return v.get<std::string>();
    }

    std::u16string Get16(const ordered_json& o, const std::string& where, const char* key) const {
        if (o.is_object() && o.contains(std::string(key) + "Utf16")) {
            const ordered_json& v = o.at(std::string(key) + "Utf16");
            if (!v.is_array()) Fail(where, std::string("\"") + key + "Utf16\" must be an array of code units");
            std::u16string s;
            for (const auto& u : v) {
                if (!u.is_number_unsigned() || u.get<uint64_t>() > 0xFFFF)
                    Fail(where, std::string("\"") + key + "Utf16\" must hold code units from 0 to 65535");
                s += static_cast<char16_t>(u.get<uint64_t>());
            }
            return s;
        }
        const ordered_json& v = At(o, where, key);
        if (!v.is_string()) Fail(where, std::string("\"") + key + "\" must be a string");
        return Utf8ToUtf16(v.get<std::string>());
    }

    const ordered_json& Array(const ordered_json& o, const std::string& where, const char* key) const {
        static const ordered_json empty = ordered_json::array();
        if (!o.is_object() || !o.contains(key)) return empty;
        const ordered_json& v = o.at(key);
        if (!v.is_array()) Fail(where, std::string("\"") + key + "\" must be an array");
        return v;
    }

    uint64_t Stamp(const ordered_json& o, const std::string& where) const {
        if (!o.contains("stamp")) return 0;
        const ordered_json& v = o.at("stamp");
        if (!v.is_string()) Fail(where, "\"stamp\" must be 16 hex digits");
        std::vector<uint8_t> b = Unhex(v.get<std::string>(), source_ + ": " + where);
        if (b.size() != 8) Fail(where, "\"stamp\" must be 16 hex digits");
        uint64_t s = 0;
        for (int i = 7; i >= 0; --i) s = (s << 8) | b[static_cast<size_t>(i)];
        return s;
    }

private:
    std::string source_;
};

// ---------------------------------------------------------------------------------------------
// Image <-> JSON

ordered_json RecordJson(const TLFRecord& r, int type /* 0 constant, 1 property, 2 external */) {
    ordered_json o;
    Put8(o, "name", r.Name);
    if (r.Flags) o["flags"] = r.Flags;
    if (type == 0) o["resId"] = r.ResId;
    o["id"] = r.Id;
    if (type == 1) {
        if (r.Kind < 8)
            o["kind"] = KindNames[r.Kind];
        else
            o["kind"] = r.Kind;
        if (r.Value.Present) {
            const uint8_t kind = static_cast<uint8_t>(r.Kind);
            if (kind == 0) {
                if (std::isfinite(r.Value.Float)) {
                    o["float"] = r.Value.Float;
                } else {
                    uint8_t b[8];
                    std::memcpy(b, &r.Value.Float, 8);
                    o["floatBits"] = Hex(b, 8);
                }
            } else if (kind == 1) {
                o["int"] = r.Value.Int;
            } else {
                Put16(o, "text", r.Value.Text);
            }
        }
    } else {
        Put16(o, "text", r.Value.Text);
    }
    o["revision"] = r.Revision;
    if (r.Stamp) {
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(r.Stamp >> (8 * i));
        o["stamp"] = Hex(b, 8);
    }
    return o;
}

ordered_json ImageJson(const TLangFileImage& img, bool compressed) {
    ordered_json j;
    j["compressed"] = compressed;
    ordered_json h;
    const auto& H = img.Header;
    h["version"] = H.Version;
    h["revision"] = H.Revision;
    h["build"] = H.Build;
    h["langId"] = H.LangId;
    h["word"] = H.Word;
    Put8(h, "englishName", H.EnglishLangName);
    Put16(h, "nativeName", H.NativeLangName);
    h["isNative"] = H.IsNative;
    h["options"] = H.Options;
    h["lastConstantId"] = H.LastConstantId;
    h["lastPropertyId"] = H.LastPropertyId;
    h["lastExternalId"] = H.LastExternalId;
    j["header"] = h;
    ordered_json units = ordered_json::array();
    for (const auto& u : img.Units) {
        ordered_json o;
        Put8(o, "name", u.Name);
        o["flags"] = u.Flags;
        ordered_json list = ordered_json::array();
        for (const auto& c : u.Constants) list.push_back(RecordJson(c, 0));
        o["constants"] = list;
        units.push_back(o);
    }
    j["units"] = units;
    ordered_json forms = ordered_json::array();
    for (const auto& f : img.Forms) {
        ordered_json o;
        Put8(o, "name", f.Name);
        o["flags"] = f.Flags;
        ordered_json props = ordered_json::array();
        for (const auto& p : f.Properties) props.push_back(RecordJson(p, 1));
        o["properties"] = props;
        ordered_json comps = ordered_json::array();
        for (const auto& c : f.Components) {
            ordered_json co;
            Put8(co, "name", c.Name);
            co["flags"] = c.Flags;
            ordered_json cp = ordered_json::array();
            for (const auto& p : c.Properties) cp.push_back(RecordJson(p, 1));
            co["properties"] = cp;
            comps.push_back(co);
        }
        o["components"] = comps;
        forms.push_back(o);
    }
    j["forms"] = forms;
    ordered_json groups = ordered_json::array();
    for (const auto& g : img.Groups) {
        ordered_json o;
        Put8(o, "name", g.Name);
        o["flags"] = g.Flags;
        ordered_json list = ordered_json::array();
        for (const auto& e : g.Externals) list.push_back(RecordJson(e, 2));
        o["externals"] = list;
        groups.push_back(o);
    }
    j["groups"] = groups;
    if (!img.Trailing.empty()) j["trailing"] = Hex(img.Trailing.data(), img.Trailing.size());
    return j;
}

TLFRecord RecordFromJson(const TDumpReader& rd, const ordered_json& o, const std::string& where, int type) {
    TLFRecord r;
    r.Name = rd.Get8(o, where, "name");
    const std::string at = where + " \"" + r.Name + "\"";
    r.Flags = static_cast<uint16_t>(rd.Unsigned(o, at, "flags", 0xFFFF, true));
    if (type == 0) r.ResId = static_cast<uint16_t>(rd.Unsigned(o, at, "resId", 0xFFFF));
    r.Id = static_cast<uint32_t>(rd.Unsigned(o, at, "id", 0xFFFFFFFFu));
    r.Kind = langres::vkString;
    r.Value.Present = true;
    if (type == 1) {
        const ordered_json& k = rd.At(o, at, "kind");
        if (k.is_string()) {
            auto name = k.get<std::string>();
            uint32_t kind = 8;
            for (uint32_t i = 0; i < 8; ++i)
                if (name == KindNames[i]) kind = i;
            if (kind == 8) rd.Fail(at, "unknown kind \"" + name + "\"");
            r.Kind = kind;
        } else {
            r.Kind = static_cast<uint32_t>(rd.Unsigned(o, at, "kind", 0xFFFFFFFFu));
        }
        const uint8_t kind = static_cast<uint8_t>(r.Kind);
        r.Value.Present = false;
        if (kind == 0) {
            if (o.contains("floatBits")) {
                std::vector<uint8_t> b = Unhex(rd.At(o, at, "floatBits").get<std::string>(), at);
                if (b.size() != 8) rd.Fail(at, "\"floatBits\" must be 16 hex digits");
                std::memcpy(&r.Value.Float, b.data(), 8);
                r.Value.Present = true;
            } else if (o.contains("float")) {
                const ordered_json& f = o.at("float");
                if (!f.is_number()) rd.Fail(at, "\"float\" must be a number");
                r.Value.Float = f.get<double>();
                r.Value.Present = true;
            }
        } else if (kind == 1) {
            if (o.contains("int")) {
                r.Value.Int = static_cast<int32_t>(rd.Signed(o, at, "int"));
                r.Value.Present = true;
            }
        } else if (kind == 2 || kind == 4) {
            r.Value.Text = rd.Get16(o, at, "text");
            r.Value.Present = true;
        }
    } else {
        r.Value.Text = rd.Get16(o, at, "text");
    }
    r.Revision = static_cast<int32_t>(rd.Signed(o, at, "revision"));
    r.Stamp = rd.Stamp(o, at);
    return r;
}

TLangFileImage ImageFromJson(const ordered_json& j, const std::string& source, bool& compressed) {
    TDumpReader rd(source);
    if (!j.is_object()) rd.Fail("top level", "a JSON object was expected");
    compressed = j.contains("compressed") && j.at("compressed").is_boolean() && j.at("compressed").get<bool>();
    TLangFileImage img;
    const ordered_json& h = rd.At(j, "top level", "header");
    auto& H = img.Header;
    H.Version = static_cast<uint16_t>(rd.Unsigned(h, "header", "version", 0xFFFF));
    H.Revision = static_cast<uint32_t>(rd.Unsigned(h, "header", "revision", 0xFFFFFFFFu));
    H.Build = static_cast<uint32_t>(rd.Unsigned(h, "header", "build", 0xFFFFFFFFu, true));
    H.LangId = static_cast<uint16_t>(rd.Unsigned(h, "header", "langId", 0xFFFF));
    H.Word = static_cast<uint16_t>(rd.Unsigned(h, "header", "word", 0xFFFF, true));
    H.EnglishLangName = rd.Get8(h, "header", "englishName");
    H.NativeLangName = rd.Get16(h, "header", "nativeName");
    H.IsNative = static_cast<uint16_t>(rd.Unsigned(h, "header", "isNative", 0xFFFF));
    H.Options = static_cast<uint16_t>(rd.Unsigned(h, "header", "options", 0xFFFF, true));
    H.LastConstantId = static_cast<uint32_t>(rd.Unsigned(h, "header", "lastConstantId", 0xFFFFFFFFu));
    H.LastPropertyId = static_cast<uint32_t>(rd.Unsigned(h, "header", "lastPropertyId", 0xFFFFFFFFu));
    H.LastExternalId = static_cast<uint32_t>(rd.Unsigned(h, "header", "lastExternalId", 0xFFFFFFFFu, true));
    for (const auto& u : rd.Array(j, "top level", "units")) {
        langres::TLFUnit unit;
        unit.Name = rd.Get8(u, "unit", "name");
        const std::string at = "unit \"" + unit.Name + "\"";
        unit.Flags = static_cast<uint16_t>(rd.Unsigned(u, at, "flags", 0xFFFF, true));
        for (const auto& c : rd.Array(u, at, "constants"))
            unit.Constants.push_back(RecordFromJson(rd, c, at + ", constant", 0));
        img.Units.push_back(std::move(unit));
    }
    for (const auto& f : rd.Array(j, "top level", "forms")) {
        langres::TLFForm form;
        form.Name = rd.Get8(f, "form", "name");
        const std::string at = "form \"" + form.Name + "\"";
        form.Flags = static_cast<uint16_t>(rd.Unsigned(f, at, "flags", 0xFFFF, true));
        for (const auto& p : rd.Array(f, at, "properties"))
            form.Properties.push_back(RecordFromJson(rd, p, at + ", property", 1));
        for (const auto& c : rd.Array(f, at, "components")) {
            langres::TLFComponent comp;
            comp.Name = rd.Get8(c, at + ", component", "name");
            const std::string cat = at + ", component \"" + comp.Name + "\"";
            comp.Flags = static_cast<uint16_t>(rd.Unsigned(c, cat, "flags", 0xFFFF, true));
            for (const auto& p : rd.Array(c, cat, "properties"))
                comp.Properties.push_back(RecordFromJson(rd, p, cat + ", property", 1));
            form.Components.push_back(std::move(comp));
        }
        img.Forms.push_back(std::move(form));
    }
    for (const auto& g : rd.Array(j, "top level", "groups")) {
        langres::TLFGroup group;
        group.Name = rd.Get8(g, "group", "name");
        const std::string at = "group \"" + group.Name + "\"";
        group.Flags = static_cast<uint16_t>(rd.Unsigned(g, at, "flags", 0xFFFF, true));
        for (const auto& e : rd.Array(g, at, "externals"))
            group.Externals.push_back(RecordFromJson(rd, e, at + ", external", 2));
        img.Groups.push_back(std::move(group));
    }
    if (j.contains("trailing")) {
        if (!j.at("trailing").is_string()) rd.Fail("top level", "\"trailing\" must be hex bytes");
        img.Trailing = Unhex(j.at("trailing").get<std::string>(), source + ": trailing");
    }
    return img;
}

// ---------------------------------------------------------------------------------------------
// Commands

TLangFileImage ReadImage(const std::string& file, bool& compressed) {
    std::vector<uint8_t> bytes = ReadInput(file);
    try {
        compressed = langres::IsCompressedImage(bytes.data(), bytes.size());
        std::vector<uint8_t> plain = langres::DecompressImage(bytes.data(), bytes.size());
        return langres::ParseLangFileImage(plain.data(), plain.size());
    } catch (const fw::Exception& e) {
        throw UsageError("Language file \"" + file + "\": " + e.Message());
    }
}

struct LngArgs {
    std::string file, out;
    int version = 0;
    bool compress = false;
};

void Info(const LngArgs& a) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(a.file, ec))
        throw UsageError("Cannot open file \"" + a.file + "\": no such file");
    bool compressed = false;
    TLangFileImage img = ReadImage(a.file, compressed);  // names the file when it is damaged
    std::optional<langres::TLangFile> header;
    try {
        header.emplace(a.file);  // the header as the program reads it
    } catch (const fw::Exception& e) {
        throw UsageError(a.file + ": " + e.Message());
    }
    const langres::TLangFile& lf = *header;
    size_t constants = 0, comps = 0, props = 0, externals = 0;
    for (const auto& u : img.Units) constants += u.Constants.size();
    for (const auto& f : img.Forms) {
        props += f.Properties.size();
        comps += f.Components.size();
        for (const auto& c : f.Components) props += c.Properties.size();
    }
    for (const auto& g : img.Groups) externals += g.Externals.size();
    std::string nativeName;
    if (!Utf16ToUtf8(lf.NativeLangName, nativeName)) nativeName = langres::WideToAscii(lf.NativeLangName);
    std::printf("File:            %s\n", a.file.c_str());
    std::printf("Format:          language file version %u%s\n", lf.Version, compressed ? ", LZK-compressed" : "");
    std::printf("Language:        0x%04X, %s / %s\n", static_cast<unsigned>(lf.LangId), lf.EnglishLangName.c_str(),
                nativeName.c_str());
    std::printf("Native:          %s\n", lf.IsNative ? "yes" : "no");
    std::printf("Revision:        %u\n", static_cast<unsigned>(lf.Revision));
    std::printf("Build:           %u\n", static_cast<unsigned>(lf.Build));
    std::printf("Options:         0x%04X%s\n", lf.Options,
                lf.HasOption(langres::loKeepCharset) ? " (keep charset)" : "");
    std::printf("Last ids:        constants %u, properties %u, externals %u\n",
                static_cast<unsigned>(lf.LastConstantId), static_cast<unsigned>(lf.LastPropertyId),
                static_cast<unsigned>(lf.LastExternalId));
    std::printf("Units:           %zu (%zu constants)\n", img.Units.size(), constants);
    std::printf("Forms:           %zu (%zu components, %zu properties)\n", img.Forms.size(), comps, props);
    std::printf("External groups: %zu (%zu externals)\n", img.Groups.size(), externals);
    if (!img.Trailing.empty()) std::printf("Trailing bytes:  %zu (ignored by readers)\n", img.Trailing.size());
}

void Dump(const LngArgs& a) {
    bool compressed = false;
    TLangFileImage img = ReadImage(a.file, compressed);
    std::string text = ImageJson(img, compressed).dump(2) + "\n";
    if (a.out.empty() || a.out == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else {
        WriteOutput(a.out, std::vector<uint8_t>(text.begin(), text.end()));
    }
}

void Build(const LngArgs& a) {
    std::vector<uint8_t> src = ReadInput(a.file);
    ordered_json j;
    try {
        j = ordered_json::parse(src.begin(), src.end());
    } catch (const nlohmann::json::exception& e) {
        throw UsageError(a.file + ": not a language-file dump: " + e.what());
    }
    bool compressed = false;
    TLangFileImage img = ImageFromJson(j, a.file, compressed);
    uint16_t version = a.version ? static_cast<uint16_t>(a.version) : img.Header.Version;
    if (version < 1 || version > langres::LangFileMaxVersion)
        throw UsageError("language files of version " + std::to_string(version) + " can not be written (1 to 7)");
    if (version < 7 && !img.Groups.empty())
        std::fprintf(stderr, "vtploc: warning: version %u has no external groups; %zu group(s) left out\n", version,
                     img.Groups.size());
    if (version < 4) {
        size_t numbers = 0;
        auto count = [&](const std::vector<TLFRecord>& list) {
            for (const auto& p : list)
                if ((p.Kind & 0xFF) <= 1 && p.Value.Present) ++numbers;
        };
        for (const auto& f : img.Forms) {
            count(f.Properties);
            for (const auto& c : f.Components) count(c.Properties);
        }
        if (numbers)
            std::fprintf(stderr, "vtploc: warning: version %u stores no numbers; %zu number value(s) left out\n",
                         version, numbers);
    }
    img.Header.Version = version;
    std::vector<uint8_t> out;
    try {
        out = langres::WriteLangFile(img, version, a.compress || compressed);
    } catch (const fw::Exception& e) {
        throw UsageError(a.file + ": " + e.Message());
    }
    WriteOutput(a.out, out);
}

void Register(CLI::App& app) {
    CLI::App* lng = Group(app, "lng", "Language files: read, dump, build; extract, update, stats, PO, pseudo");
    lng->require_subcommand(1);
    auto args = std::make_shared<LngArgs>();

    CLI::App* info = lng->add_subcommand("info", "Show the header of a language file and what it holds");
    info->add_option("FILE", args->file, "language file (.lng, plain or LZK-compressed)")->required();
    info->callback([args] { Info(*args); });

    CLI::App* dump = lng->add_subcommand("dump", "Write a language file as JSON");
    dump->add_option("FILE", args->file, "language file (.lng, plain or LZK-compressed)")->required();
    dump->add_option("-o,--output", args->out, "output file (default: standard output)");
    dump->callback([args] { Dump(*args); });

    CLI::App* build = lng->add_subcommand("build", "Build a language file from a JSON dump");
    build->add_option("SOURCE", args->file, "JSON dump (as written by lng dump)")->required();
    build->add_option("-o,--output", args->out, "language file to write")->required();
    build->add_option("--version", args->version, "format version to write, 1 to 7 (default: the dump's)");
    build->add_flag("--compress", args->compress, "store the file as an LZK block (also done when the dump says so)");
    build->callback([args] { Build(*args); });
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc
