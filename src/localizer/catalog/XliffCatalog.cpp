#include "XliffCatalog.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>

#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "framework/Unicode.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LangRes.h"

namespace catalog {

namespace {

const char* const XliffNamespace = "urn:oasis:names:tc:xliff:document:1.2";
const char* const Xliff11Namespace = "urn:oasis:names:tc:xliff:document:1.1";
const char* const ToolId = "vtploc";

// ---- characters

bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The code point at s[i] (strict UTF-8: no overlong forms, no surrogates); i moves past it.
bool NextUtf8(std::string_view s, size_t& i, uint32_t& c) {
    char32_t code = 0;
    size_t length = 0;
    if (!fw::DecodeUtf8(s, i, code, length)) return false;
    c = static_cast<uint32_t>(code);
    i += length;
    return true;
}

bool IsXmlText(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        uint32_t c;
        if (!NextUtf8(s, i, c) || !IsXmlChar(c)) return false;
    }
    return true;
}

const char* const Replacement = "\xEF\xBF\xBD";  // U+FFFD

// A text XML can hold: characters it cannot (control characters, U+FFFE, U+FFFF) become U+FFFD,
// and chars then lists the code point of every U+FFFD of the text, so that they come back.
std::string Holdable(const std::string& text, std::string& chars) {
    chars.clear();
    if (IsXmlText(text)) return text;
    std::string out;
    char hex[12];
    for (size_t i = 0; i < text.size();) {
        uint32_t c;
        size_t at = i;
        if (!NextUtf8(text, i, c)) c = 0xFFFD, i = at + 1;  // not produced from UTF-16: kept as U+FFFD
        if (IsXmlChar(c) && c != 0xFFFD) {
            out.append(text, at, i - at);
            continue;
        }
        std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(c));
        chars += (chars.empty() ? "" : ".") + std::string(hex);
        out += Replacement;
    }
    return out;
}

// The text with each U+FFFD given back its listed character, when the list fits the text.
std::string Restore(const std::string& text, const std::string& chars) {
    if (chars.empty()) return text;
    std::vector<uint32_t> list;
    for (size_t b = 0; b <= chars.size();) {
        size_t e = chars.find('.', b);
        if (e == std::string::npos) e = chars.size();
        std::string hex = chars.substr(b, e - b);
        if (hex.empty() || hex.size() > 6) return text;
        uint32_t c = static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return text;
        list.push_back(c);
        b = e + 1;
    }
    size_t found = 0;
    for (size_t at = 0; (at = text.find(Replacement, at)) != std::string::npos; at += 3) ++found;
    if (found != list.size()) return text;
    std::string out;
    size_t k = 0, at = 0;
    for (size_t next; (next = text.find(Replacement, at)) != std::string::npos; at = next + 3) {
        out.append(text, at, next - at);
        fw::AppendUtf8(out, list[k++]);
    }
    return out + text.substr(at);
}

// Element text: markup escaped, CR as a reference (a parser would read a raw one as LF).
std::string EscapeText(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Attribute values: also quotes, and the blanks a parser would turn into spaces.
std::string EscapeAttr(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '"':
                out += "&quot;";
                break;
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            default:
                out += EscapeText(std::string(1, c));
        }
    }
    return out;
}

// Header names may hold any bytes: "%XX" for those XML cannot hold, "%" and blanks at the ends.
std::string PercentEncode(const std::string& s) {
    std::string out;
    char hex[4];
    for (size_t i = 0; i < s.size();) {
        uint32_t c;
        size_t at = i;
        bool ok =
            NextUtf8(s, i, c) && IsXmlChar(c) && c >= 0x20 && c != '%' && !(c == ' ' && (at == 0 || i == s.size()));
        if (ok) {
            out.append(s, at, i - at);
            continue;
        }
        i = at + 1;
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(s[at]));
        out += hex;
    }
    return out;
}

std::string PercentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::strtoul(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// ---- language tags

// The locale's tag as xsd:language allows it ("de-DE", "sr-Latn-RS"); "" when there is none.
std::string LanguageTag(uint16_t langId) {
    std::string tag;
    try {
        tag = kutils::GetLocaleString(langId, kutils::LOCALE_SNAME_);
    } catch (const fw::Exception&) {
        return {};
    }
    // xsd:language: [a-zA-Z]{1,8}(-[a-zA-Z0-9]{1,8})*; a sort-order suffix ("es-ES_tradnl") is cut.
    std::string out;
    size_t partLen = 0;
    for (char c : tag) {
        bool alpha = std::isalpha(static_cast<unsigned char>(c)) != 0;
        bool digit = std::isdigit(static_cast<unsigned char>(c)) != 0;
        if (c == '-' && partLen > 0) {
            out += c, partLen = 0;
        } else if ((alpha || (digit && out.find('-') != std::string::npos)) && partLen < 8) {
            out += c, ++partLen;
        } else {
            break;
        }
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out;
}

std::string HexId(uint16_t id) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%04x", static_cast<unsigned>(id));
    return b;
}

bool KnownLocale(uint32_t id) {
    try {
        return id && id <= 0xFFFF && !kutils::LocaleEnglishName(id).empty();
    } catch (const fw::Exception&) {
        return false;
    }
}

// ---- restype

std::string ResTypeOf(const TExportEntry& e, const std::map<std::string, std::string>& classes) {
    if (e.Category == icConstant) return "string";
    if (e.Category != icProperty) return {};
    if (e.Component.empty()) return "dialog";
    if (e.Component.back() == ']') return {};  // a collection item: its class is not stored
    auto found = classes.find(fw::UpperCaseAscii(e.Owner + "." + e.Component));
    if (found != classes.end()) return XliffResType(found->second);
    // An unnamed component is keyed by its class and position ("Panel1.TButton2").
    std::string last = e.Component.substr(e.Component.rfind('.') + 1);
    size_t digits = last.find_last_not_of("0123456789");
    if (last.size() > 1 && last[0] == 'T' && digits != std::string::npos && digits + 1 < last.size() &&
        std::isupper(static_cast<unsigned char>(last[1])))
        return XliffResType(last.substr(0, digits + 1));
    return {};
}

}  // namespace

std::string XliffResType(const std::string& className) {
    static const std::pair<const char*, const char*> names[] = {
        {"TButton", "button"},         {"TBitBtn", "button"},       {"TSpeedButton", "button"},
        {"TToolButton", "button"},     {"TCheckBox", "checkbox"},   {"TRadioButton", "radio"},
        {"TLabel", "label"},           {"TStaticText", "label"},    {"TMenuItem", "menuitem"},
        {"TMainMenu", "menubar"},      {"TPopupMenu", "popupmenu"}, {"TGroupBox", "groupbox"},
        {"TRadioGroup", "groupbox"},   {"TEdit", "edit"},           {"TMaskEdit", "edit"},
        {"TLabeledEdit", "edit"},      {"TMemo", "edit"},           {"TRichEdit", "edit"},
        {"TComboBox", "combobox"},     {"TComboBoxEx", "combobox"}, {"TListBox", "listbox"},
        {"TCheckListBox", "listbox"},  {"TForm", "dialog"},         {"TStatusBar", "statusbar"},
        {"TToolBar", "toolbar"},       {"TPanel", "panel"},         {"TPageControl", "tabcontrol"},
        {"TTabControl", "tabcontrol"}, {"TTreeView", "tree"},       {"TFrame", "frame"},
    };
    if (className.empty()) return {};
    for (const auto& [cls, type] : names)
        if (fw::SameTextAscii(className, cls)) return type;
    return "x-" + className;
}

std::string XliffFont(const measure::TFontDesc& font) {
    std::string ignored;
    if (font.Name.empty() || font.Name.find(';') != std::string::npos || Holdable(font.Name, ignored) != font.Name)
        return {};
    std::string s = font.Name + ";" + std::to_string(font.Points()) + ";" + (font.Bold ? "bold" : "normal");
    if (font.Italic) s += ";italic";
    if (font.Underline) s += ";underline";
    if (font.StrikeOut) s += ";strikeout";
    // A regular font is its name and size alone.
    const std::string regular = ";normal";
    if (s.size() >= regular.size() && s.compare(s.size() - regular.size(), regular.size(), regular) == 0)
        s.resize(s.size() - regular.size());
    return s;
}

std::map<std::string, TXliffSize> XliffSizes(const std::vector<TFormLayout>& forms) {
    std::map<std::string, TXliffSize> out;
    for (const auto& form : forms)
        for (const auto& it : form.Items) {
            int width = FixedWidth(it);
            if (width >= 0) out.emplace(fw::UpperCaseAscii(it.Path), TXliffSize{width, XliffFont(it.Font)});
        }
    return out;
}

void AddXliffProgram(TXliffOptions& options, const resources::TResProcessor& program, const std::string& programName,
                     uint16_t langId, std::vector<std::string>& notes) {
    TExtractOptions opt;
    opt.LangId = langId;
    options.Classes = ExtractNative(program, programName, opt).Classes;
    options.Sizes = XliffSizes(ReadFormLayouts(program, langId, notes));
}

std::vector<uint8_t> ExportXliff(const TLangFileImage& native, const TLangFileImage* translation,
                                 const TXliffOptions& options) {
    const TExport entries = ExportEntries(native, translation, "an XLIFF file");
    const TLFHeader& H = entries.Header;
    std::string source = LanguageTag(native.Header.LangId);
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += std::string("<xliff version=\"1.2\" xmlns=\"") + XliffNamespace + "\">\n";
    std::string original = options.Original, ignored;
    x += "  <file original=\"" + EscapeAttr(Holdable(original.empty() ? "program" : original, ignored)) +
         "\" source-language=\"" + (source.empty() ? "und" : source) + "\"";
    if (translation) {
        std::string target = LanguageTag(H.LangId);
        if (!target.empty()) x += " target-language=\"" + target + "\"";
    }
    x += std::string(" datatype=\"winres\" tool-id=\"") + ToolId + "\">\n";
    x += std::string("    <header>\n      <tool tool-id=\"") + ToolId + "\" tool-name=\"" + ToolId + "\"/>\n";
    if (translation)
        x += std::string("      <note from=\"") + ToolId + "\">X-Language-Id: " + HexId(H.LangId) +
             "\nX-Language-Names: " + EscapeText(PercentEncode(H.EnglishLangName)) + " / " +
             EscapeText(PercentEncode(fw::Utf16ToUtf8(H.NativeLangName))) + "\nX-Language-File: " + FileFacts(H) +
             "</note>\n";
    x += "    </header>\n    <body>\n";
    for (const TExportEntry& e : entries.Entries) {
        if (!IsXmlText(e.Path) || e.Path.find_first_of("\t\r\n") != std::string::npos)
            throw ECatalogError("the item path \"" + e.Path + "\" is not text an XLIFF file can hold");
        TEntryFacts facts = e.Facts;
        std::string src = Holdable(e.Source, facts.MsgidChars);
        std::string dst = Holdable(e.Target, facts.MsgstrChars);
        std::string path = EscapeAttr(e.Path);
        x += "      <trans-unit id=\"" + path + "\" resname=\"" + path + "\"";
        std::string restype = ResTypeOf(e, options.Classes);
        if (!restype.empty()) x += " restype=\"" + EscapeAttr(restype) + "\"";
        auto size = options.Sizes.find(fw::UpperCaseAscii(e.Path));
        if (size != options.Sizes.end()) {
            x += " maxwidth=\"" + std::to_string(size->second.MaxWidth) + "\" size-unit=\"pixel\"";
            if (!size->second.Font.empty()) x += " font=\"" + EscapeAttr(size->second.Font) + "\"";
        }
        x += " xml:space=\"preserve\"";
        if (e.Confirmed) x += " approved=\"yes\"";
        x += " extradata=\"" + EscapeAttr(FormatFacts(facts)) + "\">\n";
        x += "        <source>" + EscapeText(src) + "</source>\n";
        if (translation) {
            const char* state = !e.Translated ? "needs-translation"
                                : e.Confirmed ? "final"
                                              : "needs-review-translation";
            x += std::string("        <target state=\"") + state + "\">" + EscapeText(dst) + "</target>\n";
        }
        std::string notes = e.Notes;
        while (!notes.empty() && notes.back() == '\n') notes.pop_back();
        x += std::string("        <note from=\"") + ToolId + "\">" + EscapeText(notes) + "</note>\n";
        x += "      </trans-unit>\n";
    }
    x += "    </body>\n  </file>\n</xliff>\n";
    return std::vector<uint8_t>(x.begin(), x.end());
}

// ---- reading

namespace {

class TXliffReader {
public:
    TXliffReader(const std::string& fileName, const TLangFileImage& native, uint16_t langId)
        : file_(fileName), native_(native), langId_(langId) {}

    TImportResult Read(const std::vector<uint8_t>& bytes) {
        Decode(bytes);
        ScanLexical();
        Parse();
        return Interpret();
    }

private:
    [[noreturn]] void Fail(size_t line, const std::string& what) const {
        throw ECatalogError(Where(line) + ": " + what);
    }
    std::string Where(size_t line) const { return line ? file_ + ":" + std::to_string(line) : file_; }

    size_t LineOf(size_t offset) const {
        return static_cast<size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                                   lineStarts_.begin());
    }
    size_t LineOf(const pugi::xml_node& n) const {
        ptrdiff_t off = n.offset_debug();
        return off < 0 ? 0 : LineOf(static_cast<size_t>(off));
    }

    // The text as UTF-8 with XML's line ends (LF), whatever the file's own encoding form.
    void Decode(const std::vector<uint8_t>& bytes) {
        std::string raw(bytes.begin(), bytes.end());
        if (raw.size() >= 2 && ((raw[0] == '\xFF' && raw[1] == '\xFE') || (raw[0] == '\xFE' && raw[1] == '\xFF'))) {
            const bool le = raw[0] == '\xFF';
            std::string out;
            size_t line = 1;
            for (size_t i = 2; i < raw.size(); i += 2) {
                if (i + 1 >= raw.size()) Fail(line, "the file ends inside a UTF-16 character");
                auto unit = [&](size_t k) {
                    return static_cast<uint32_t>(static_cast<unsigned char>(raw[le ? k : k + 1]) |
                                                 static_cast<unsigned char>(raw[le ? k + 1 : k]) << 8);
                };
                uint32_t c = unit(i);
                if (c >= 0xD800 && c <= 0xDBFF && i + 3 < raw.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF)
                    c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00), i += 2;
                else if (c >= 0xD800 && c <= 0xDFFF)
                    Fail(line, "not UTF-16 text (an unpaired surrogate)");
                if (c == '\n') ++line;
                fw::AppendUtf8(out, c);
            }
            raw = std::move(out);
            utf16_ = true;
        } else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            raw.erase(0, 3);
        }
        // XML's line ends: CR LF and a lone CR are LF (a CR written as &#13; stays one).
        text_.reserve(raw.size());
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\r') {
                text_ += '\n';
                if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            } else {
                text_ += raw[i];
            }
        }
        lineStarts_.push_back(0);
        for (size_t i = 0; i < text_.size(); ++i)
            if (text_[i] == '\n') lineStarts_.push_back(i + 1);
    }

    // What the parser lets through: bytes that are not UTF-8, characters XML does not allow,
    // references that are not XML's own, entity declarations, an encoding other than UTF-8/16.
    void ScanLexical() {
        const std::string_view t = text_;
        if (t.compare(0, 5, "<?xml") == 0) {
            size_t end = t.find("?>");
            std::string decl(t.substr(0, end == std::string_view::npos ? t.size() : end));
            size_t at = decl.find("encoding");
            if (at != std::string::npos) {
                size_t q = decl.find_first_of("\"'", at);
                size_t e = q == std::string::npos ? q : decl.find(decl[q], q + 1);
                if (e != std::string::npos) {
                    std::string enc = fw::UpperCaseAscii(decl.substr(q + 1, e - q - 1));
                    // The bytes were read as UTF-8, or as UTF-16 by their byte-order mark.
                    bool ok = enc == "UTF-8" || enc == "UTF8" || enc == "US-ASCII" || enc == "ASCII" ||
                              (utf16_ && (enc == "UTF-16" || enc == "UTF-16LE" || enc == "UTF-16BE"));
                    if (!ok)
                        Fail(1, "the encoding \"" + decl.substr(q + 1, e - q - 1) +
                                    "\" is not read; save the file as UTF-8");
                }
            }
        }
        size_t line = 1;
        enum { Normal, Tag, Comment, CData, PI, Doctype } state = Normal;
        // Tags are followed so that text outside the root element (which the parser drops
        // without a word) is found.
        size_t depth = 0;
        bool endTag = false, rootSeen = false;
        char quote = 0, prev = 0;
        for (size_t i = 0; i < t.size();) {
            uint32_t c;
            size_t at = i;
            if (!NextUtf8(t, i, c)) Fail(line, "not UTF-8 text (byte 0x" + Hex2(t[at]) + ")");
            if (!IsXmlChar(c)) Fail(line, "a character XML does not allow (U+" + Hex4(c) + ")");
            if (c == '\n') ++line;
            auto starts = [&](const char* s) { return t.compare(at, std::strlen(s), s) == 0; };
            switch (state) {
                case Normal:
                    if (c == '<' && starts("<!--")) {
                        state = Comment, i = at + 4;
                    } else if (c == '<' && starts("<![CDATA[")) {
                        state = CData, i = at + 9;
                    } else if (c == '<' && starts("<?")) {
                        state = PI, i = at + 2;
                    } else if (c == '<' && starts("<!DOCTYPE")) {
                        state = Doctype;
                    } else if (c == '<') {
                        state = Tag, endTag = starts("</"), quote = 0;
                    } else if (depth == 0 && c != ' ' && c != '\t' && c != '\n') {
                        Fail(line, std::string("not well-formed XML: text ") +
                                       (rootSeen ? "after the root element" : "before the root element"));
                    } else if (c == '&') {
                        Reference(t, at, line);
                    }
                    break;
                case Tag:
                    if (quote) {
                        if (c == static_cast<uint32_t>(quote)) quote = 0;
                        if (c == '&') Reference(t, at, line);
                    } else if (c == '"' || c == '\'') {
                        quote = static_cast<char>(c);
                    } else if (c == '>') {
                        state = Normal;
                        if (endTag) {
                            depth -= depth > 0;
                        } else if (prev != '/') {
                            ++depth;
                        }
                        rootSeen = true;
                    }
                    break;
                case Comment:
                    if (starts("-->")) state = Normal, i = at + 3;
                    break;
                case CData:
                    if (starts("]]>")) state = Normal, i = at + 3;
                    break;
                case PI:
                    if (starts("?>")) state = Normal, i = at + 2;
                    break;
                case Doctype:
                    // An internal subset could declare entities: not read, so not allowed.
                    if (c == '[') Fail(line, "a document type with declarations of its own is not read");
                    if (c == '>') state = Normal;
                    break;
            }
            prev = static_cast<char>(c < 0x80 ? c : 0x80);
        }
    }

    static std::string Hex2(char c) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X", static_cast<unsigned char>(c));
        return b;
    }
    static std::string Hex4(uint32_t c) {
        char b[12];
        std::snprintf(b, sizeof b, "%04X", static_cast<unsigned>(c));
        return b;
    }

    // A reference at t[at] ('&'): one of XML's five entities or a character XML allows.
    void Reference(std::string_view t, size_t at, size_t line) const {
        size_t semi = t.find(';', at);
        std::string_view ref = t.substr(at + 1, semi == std::string_view::npos ? 0 : semi - at - 1);
        if (semi == std::string_view::npos || semi - at > 12)
            Fail(line, "a \"&\" that starts no reference (write it as &amp;)");
        if (ref == "amp" || ref == "lt" || ref == "gt" || ref == "quot" || ref == "apos") return;
        if (ref.size() >= 2 && ref[0] == '#') {
            bool hex = ref[1] == 'x';
            std::string_view digits = ref.substr(hex ? 2 : 1);
            uint64_t v = 0;
            bool ok = !digits.empty();
            for (char d : digits) {
                int n = std::isdigit(static_cast<unsigned char>(d)) ? d - '0'
                        : hex && std::isxdigit(static_cast<unsigned char>(d))
                            ? (std::tolower(static_cast<unsigned char>(d)) - 'a' + 10)
                            : -1;
                if (n < 0) ok = false;
                v = v * (hex ? 16 : 10) + static_cast<uint64_t>(n < 0 ? 0 : n);
            }
            if (ok && v <= 0x10FFFF && IsXmlChar(static_cast<uint32_t>(v))) return;
            Fail(line, "the reference &" + std::string(ref) + "; is no character XML allows");
        }
        Fail(line, "the entity &" + std::string(ref) + "; is not declared");
    }

    void Parse() {
        const unsigned flags = pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration;
        pugi::xml_parse_result r = doc_.load_buffer(text_.data(), text_.size(), flags, pugi::encoding_utf8);
        if (!r) {
            size_t line = LineOf(static_cast<size_t>(std::max<ptrdiff_t>(r.offset, 0)));
            Fail(line, std::string("not well-formed XML: ") + ParseError(r.status));
        }
    }

    static const char* ParseError(pugi::xml_parse_status s) {
        switch (s) {
            case pugi::status_no_document_element:
                return "no element";
            case pugi::status_unrecognized_tag:
                return "a tag that is not XML";
            case pugi::status_bad_pi:
                return "a bad processing instruction or declaration";
            case pugi::status_bad_comment:
                return "a bad comment";
            case pugi::status_bad_cdata:
                return "a bad CDATA section";
            case pugi::status_bad_doctype:
                return "a bad document type";
            case pugi::status_bad_pcdata:
                return "bad text";
            case pugi::status_bad_start_element:
                return "a bad start tag";
            case pugi::status_bad_attribute:
                return "a bad attribute";
            case pugi::status_bad_end_element:
                return "a bad end tag";
            case pugi::status_end_element_mismatch:
                return "an end tag that does not match its start tag, or an element not closed";
            case pugi::status_append_invalid_root:
                return "a second root element";
            default:
                return "cannot be read";
        }
    }

    // ---- namespaces and the rules the parser does not check

    using TScope = std::vector<std::pair<std::string, std::string>>;  // prefix -> URI, innermost last

    static std::string_view PrefixOf(std::string_view name) {
        size_t c = name.find(':');
        return c == std::string_view::npos ? std::string_view() : name.substr(0, c);
    }
    static std::string_view LocalOf(std::string_view name) {
        size_t c = name.find(':');
        return c == std::string_view::npos ? name : name.substr(c + 1);
    }

    std::string Resolve(const TScope& scope, std::string_view prefix, const pugi::xml_node& at) const {
        if (prefix == "xml") return "http://www.w3.org/XML/1998/namespace";
        for (auto it = scope.rbegin(); it != scope.rend(); ++it)
            if (it->first == prefix) return it->second;
        if (prefix.empty()) return {};
        Fail(LineOf(at), "the prefix \"" + std::string(prefix) + "\" is bound to no namespace");
    }

    // Checks the element and everything below it; notes each element's namespace.
    void CheckTree(const pugi::xml_node& root) {
        struct TFrame {
            pugi::xml_node Node;
            size_t ScopeSize;
        };
        TScope scope;
        std::vector<TFrame> stack;
        // Depth first without recursion: a file can nest elements as deep as it likes.
        auto enter = [&](const pugi::xml_node& n) {
            size_t before = scope.size();
            std::set<std::string_view> seen;
            for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
                std::string_view name = a.name();
                if (!seen.insert(name).second)
                    Fail(LineOf(n), "the attribute \"" + std::string(name) + "\" is given twice");
                if (name == "xmlns") scope.emplace_back("", a.value());
                if (name.substr(0, 6) == "xmlns:") {
                    if (!*a.value()) Fail(LineOf(n), "the prefix of \"" + std::string(name) + "\" is left unbound");
                    scope.emplace_back(std::string(name.substr(6)), a.value());
                }
            }
            for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
                std::string_view name = a.name();
                if (name != "xmlns" && name.substr(0, 6) != "xmlns:" && !PrefixOf(name).empty())
                    Resolve(scope, PrefixOf(name), n);
            }
            ns_[n.internal_object()] = Resolve(scope, PrefixOf(n.name()), n);
            stack.push_back({n, before});
        };
        enter(root);
        while (!stack.empty()) {
            TFrame& f = stack.back();
            pugi::xml_node next = f.Node.first_child();
            // Walk: first child, else the next sibling of this node or of an ancestor.
            while (next && next.type() != pugi::node_element) next = next.next_sibling();
            if (next) {
                enter(next);
                continue;
            }
            while (!stack.empty()) {
                TFrame top = stack.back();
                stack.pop_back();
                scope.resize(top.ScopeSize);
                if (stack.empty()) break;
                pugi::xml_node sib = top.Node.next_sibling();
                while (sib && sib.type() != pugi::node_element) sib = sib.next_sibling();
                if (sib) {
                    enter(sib);
                    break;
                }
            }
        }
    }

    bool IsXliff(const pugi::xml_node& n, const char* local) const {
        if (n.type() != pugi::node_element || LocalOf(n.name()) != local) return false;
        auto it = ns_.find(n.internal_object());
        return it != ns_.end() && (it->second == XliffNamespace || it->second == Xliff11Namespace);
    }

    pugi::xml_node Child(const pugi::xml_node& n, const char* local) const {
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
            if (IsXliff(c, local)) return c;
        return {};
    }

    // The text of an element: its own and that of its inline XLIFF elements (segments, groups,
    // placeholders); elements of other namespaces are left out.
    std::string TextOf(const pugi::xml_node& n) const {
        std::string out;
        std::vector<pugi::xml_node> stack;
        for (pugi::xml_node c = n.last_child(); c; c = c.previous_sibling()) stack.push_back(c);
        while (!stack.empty()) {
            pugi::xml_node c = stack.back();
            stack.pop_back();
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
                out += c.value();
            } else if (c.type() == pugi::node_element) {
                auto it = ns_.find(c.internal_object());
                if (it == ns_.end() || (it->second != XliffNamespace && it->second != Xliff11Namespace)) continue;
                for (pugi::xml_node k = c.last_child(); k; k = k.previous_sibling()) stack.push_back(k);
            }
        }
        return out;
    }

    // ---- the XLIFF document

    struct THeaderFacts {
        std::string Id, Names, File;
        size_t Line = 0;
    };

    THeaderFacts ReadHeader(const pugi::xml_node& file) const {
        THeaderFacts h;
        pugi::xml_node header = Child(file, "header");
        for (pugi::xml_node n = header.first_child(); n; n = n.next_sibling()) {
            if (!IsXliff(n, "note") || std::strcmp(n.attribute("from").value(), ToolId) != 0) continue;
            std::string text = TextOf(n);
            h.Line = LineOf(n);
            for (size_t b = 0; b < text.size();) {
                size_t e = text.find('\n', b);
                if (e == std::string::npos) e = text.size();
                std::string line = fw::Trim(text.substr(b, e - b));
                b = e + 1;
                auto field = [&](const char* key, std::string& out) {
                    size_t n = std::strlen(key);
                    if (line.compare(0, n, key) == 0) out = fw::Trim(line.substr(n));
                };
                field("X-Language-Id:", h.Id);
                field("X-Language-Names:", h.Names);
                field("X-Language-File:", h.File);
            }
        }
        return h;
    }

    TImportResult Interpret() {
        pugi::xml_node root;
        for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling()) {
            if (n.type() == pugi::node_element) {
                if (root) Fail(LineOf(n), "not well-formed XML: a second root element");
                root = n;
            } else if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
                std::string v = n.value();
                if (v.find_first_not_of(" \t\n") != std::string::npos)
                    Fail(LineOf(n), "not well-formed XML: text outside the root element");
            }
        }
        if (!root) Fail(0, "not well-formed XML: no element");
        CheckTree(root);
        if (!IsXliff(root, "xliff")) {
            std::string ns = ns_[root.internal_object()];
            if (LocalOf(root.name()) == "xliff" && ns.find("xliff:document:2") != std::string::npos)
                Fail(LineOf(root), "XLIFF 2 is not read; export XLIFF 1.2 from the CAT tool");
            Fail(LineOf(root), "not an XLIFF 1.2 file (the root element is <" + std::string(root.name()) +
                                   "> in namespace \"" + ns + "\")");
        }
        pugi::xml_node file;
        for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
            if (!IsXliff(n, "file")) continue;
            if (file)
                Fail(LineOf(n), "a second <file>: one XLIFF file holds the translation of one program (the first: " +
                                    Where(LineOf(file)) + ")");
            file = n;
        }
        if (!file) Fail(LineOf(root), "no <file> element");

        TImportResult result;
        const THeaderFacts hf = ReadHeader(file);
        const std::string targetLanguage = file.attribute("target-language").value();
        uint16_t headerId = 0;
        if (!hf.Id.empty()) {
            char* end = nullptr;
            unsigned long v = std::strtoul(hf.Id.c_str(), &end, 0);
            // A language the locale table lacks is taken only with its names, as export writes it
            // for a file of such a language.
            if (!end || *end || !v || v > 0xFFFF ||
                (!KnownLocale(static_cast<uint32_t>(v)) && hf.Names.find(" / ") == std::string::npos))
                Fail(hf.Line, "\"X-Language-Id: " + hf.Id + "\" is no language this tool knows");
            headerId = static_cast<uint16_t>(v);
        }
        if (!headerId && !targetLanguage.empty()) {
            bool regionFound = true;
            headerId = LangIdFromIso(targetLanguage, &regionFound);
            if (headerId && !regionFound && (!langId_ || langId_ == headerId))
                result.Notes.push_back(Where(LineOf(file)) + ": target-language \"" + targetLanguage +
                                       "\": no such locale here; taken as " + kutils::LocaleEnglishName(headerId));
        }
        const bool sameLanguage = !langId_ || langId_ == headerId;
        uint16_t langId = langId_ ? langId_ : headerId;
        if (!langId)
            Fail(LineOf(file), "the file names no language this tool knows (target-language \"" + targetLanguage +
                                   "\"); give it with --lang");

        TEntryImport entries(native_, langId);
        auto& H = entries.Header();
        size_t slash = hf.Names.find(" / ");
        if (sameLanguage && slash != std::string::npos) {
            H.EnglishLangName = PercentDecode(hf.Names.substr(0, slash));
            H.NativeLangName = fw::Utf8ToUtf16(PercentDecode(hf.Names.substr(slash + 3)));
        } else {
            H.EnglishLangName = kutils::LocaleEnglishName(langId);
            H.NativeLangName = fw::Utf8ToUtf16(H.EnglishLangName);
        }
        if (sameLanguage) ParseFileFacts(hf.File, H);

        pugi::xml_node body = Child(file, "body");
        if (!body) Fail(LineOf(file), "the <file> has no <body>");
        std::map<std::string, size_t> seen;  // resname -> line
        std::vector<pugi::xml_node> stack{body};
        std::vector<pugi::xml_node> units;
        while (!stack.empty()) {  // units in document order, groups opened
            pugi::xml_node n = stack.back();
            stack.pop_back();
            for (pugi::xml_node c = n.last_child(); c; c = c.previous_sibling()) {
                if (IsXliff(c, "group")) stack.push_back(c);
                if (IsXliff(c, "trans-unit")) stack.push_back(c);
            }
            if (IsXliff(n, "trans-unit")) units.push_back(n);
        }
        for (const pugi::xml_node& unit : units) {
            const size_t line = LineOf(unit);
            pugi::xml_attribute resname = unit.attribute("resname");
            const std::string id = unit.attribute("id").value();
            if (!resname)
                Fail(line,
                     "trans-unit \"" + id + "\" has no resname (the item's path); a unit cannot be matched without");
            const std::string path = resname.value();
            pugi::xml_node source = Child(unit, "source");
            if (!source) Fail(line, "trans-unit \"" + path + "\" has no <source>");
            auto [prev, first] = seen.emplace(path, line);
            if (!first) Fail(line, "a second unit for \"" + path + "\"; the first: " + Where(prev->second));
            ++result.Entries;
            const size_t item = entries.Find(path);
            if (item == TEntryImport::npos) {
                result.Skipped.push_back(Where(line) + ": unit \"" + path +
                                         "\": no such item in the native dictionary; obsolete, skipped");
                continue;
            }
            TImportEntry e;
            e.Where = Where(line);
            e.Name = "unit \"" + path + "\"";
            e.Facts = ParseFacts(unit.attribute("extradata").value());
            e.Source = Restore(TextOf(source), e.Facts.MsgidChars);
            pugi::xml_node target = Child(unit, "target");
            e.Target = target ? Restore(TextOf(target), e.Facts.MsgstrChars) : std::string();
            const std::string state = target.attribute("state").value();
            const pugi::xml_attribute approved = unit.attribute("approved");
            const bool untranslatedState = state == "new" || state == "needs-translation";
            const bool open = untranslatedState || state.compare(0, 6, "needs-") == 0;
            const bool done = state == "translated" || state == "final" || state == "signed-off";
            const bool approvedYes = std::strcmp(approved.value(), "yes") == 0;
            // A target is a translation when it has text (a translator who typed one and left
            // the state as it was loses nothing); an empty one only where marked so.
            e.Translated =
                !target.empty() &&
                (!e.Target.empty() || (!untranslatedState && (e.Facts.EmptyTranslation || done || approvedYes)));
            e.Confirmed = !approved.empty() ? approvedYes && !open : done;
            entries.Apply(item, e);
        }
        result.Translated = entries.Translated();
        result.Fuzzy = entries.Fuzzy();
        result.Image = entries.Take();
        return result;
    }

    std::string file_;
    const TLangFileImage& native_;
    uint16_t langId_;
    std::string text_;
    bool utf16_ = false;
    std::vector<size_t> lineStarts_;
    pugi::xml_document doc_;
    std::map<const void*, std::string> ns_;  // element -> namespace
};

}  // namespace

TImportResult ReadXliff(const std::vector<uint8_t>& bytes, const std::string& fileName, const TLangFileImage& native,
                        uint16_t langId) {
    TXliffReader reader(fileName, native, langId);
    return reader.Read(bytes);
}

TImportResult ImportXliff(const std::string& xliffFile, const TLangFileImage& native, uint16_t langId) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(xliffFile, ec)) throw ECatalogError(xliffFile + ": no such file");
    std::vector<uint8_t> bytes;
    try {
        bytes = fw::ReadFileBytes(xliffFile);
    } catch (const fw::Exception& e) {
        throw ECatalogError(xliffFile + ": " + e.Message());
    }
    return ReadXliff(bytes, xliffFile, native, langId);
}

}  // namespace catalog
