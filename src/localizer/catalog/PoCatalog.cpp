#include "PoCatalog.h"

#include <gettext-po.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LangRes.h"

namespace catalog {

namespace {

std::string Utf8(const std::u16string& s) {
    return fw::Utf16ToUtf8(s);
}

std::u16string FromUtf8(const char* s) {
    return fw::Utf8ToUtf16(s ? s : "");
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

const char* KindName(uint32_t kind) {
    static const char* names[] = {"float", "integer", "string", "list", "string list", "binary", "ident", "set"};
    return kind < 8 ? names[kind] : "unknown";
}

char Hex(unsigned v) {
    return "0123456789abcdef"[v & 15];
}

std::string HexWord(uint64_t v, int digits) {
    std::string s;
    for (int i = digits - 1; i >= 0; --i) s += Hex(static_cast<unsigned>(v >> (4 * i)));
    return s;
}

const char* const StateTag = "vtploc: ";

// ---- the reader's error channel

struct TPoErrors {
    std::string First;
    std::jmp_buf Fatal;
};
TPoErrors* g_errors = nullptr;  // one read at a time (the library's handler has no context)

std::string Where(const char* filename, size_t lineno) {
    std::string w = filename ? filename : "";
    if (filename && lineno != static_cast<size_t>(-1)) w += ":" + std::to_string(lineno);
    return w;
}

void OnError(int severity, po_message_t, const char* filename, size_t lineno, size_t, int, const char* text) {
    if (severity == PO_SEVERITY_WARNING) return;
    if (g_errors->First.empty()) {
        std::string t = text ? text : "invalid PO file";
        while (!t.empty() && t.back() == '\n') t.pop_back();
        g_errors->First = filename ? Where(filename, lineno) + ": " + t : t;
    }
    if (severity == PO_SEVERITY_FATAL_ERROR) std::longjmp(g_errors->Fatal, 1);
}

// Two places (a duplicate and its first definition): both named.
void OnError2(int severity, po_message_t m1, const char* f1, size_t l1, size_t c1, int ml1, const char* t1,
              po_message_t, const char* f2, size_t l2, size_t, int, const char* t2) {
    static std::string text;  // outlives a fatal error's longjmp
    {
        std::string first = t1 ? t1 : "", second = t2 ? t2 : "";
        while (!first.empty() && first.back() == '\n') first.pop_back();
        while (!second.empty() && second.back() == '\n') second.pop_back();
        text = first + (f2 ? " (" + Where(f2, l2) + ": " + second + ")" : "");
    }
    OnError(severity, m1, f1, l1, c1, ml1, text.c_str());
}

const po_xerror_handler Handler = {OnError, OnError2};

// No C++ object lives across the library's calls here, so leaving them by longjmp is safe.
po_file_t ReadPoFile(const char* name, TPoErrors& errors) {
    g_errors = &errors;
    if (setjmp(errors.Fatal)) return nullptr;
    return po_file_read(name, &Handler);
}

po_file_t WritePoFile(po_file_t file, const char* name, TPoErrors& errors) {
    g_errors = &errors;
    if (setjmp(errors.Fatal)) return nullptr;
    return po_file_write(file, name, &Handler);
}

std::string HeaderField(const char* header, const char* field) {
    if (!header) return {};
    char* v = po_header_field(header, field);
    std::string s = v ? v : "";
    std::free(v);
    return s;
}

struct TState {
    bool Present = false;
    int32_t Revision = 0;
    uint16_t Flags = 0;
    uint64_t Stamp = 0;
    // Added later; older files have none of them.
    bool HasBits = false;
    uint64_t Bits = 0;      // a float value's bits, exactly
    std::string MsgidEol;   // one digit per line break of msgid: 1 CR LF, 0 LF
    std::string MsgstrEol;  // the same for msgstr
    bool HasMsgidEol = false, HasMsgstrEol = false;
    bool EmptyTranslation = false;  // translated, as an empty text
    std::string Item;               // the path of the item the state is of, where it says
};

// The value of ", NAME VALUE" in the state line, when there.
bool StateField(const std::string& line, const char* name, std::string& value) {
    std::string key = std::string(", ") + name + " ";
    size_t at = line.find(key);
    if (at == std::string::npos) return false;
    size_t b = at + key.size(), e = line.find(',', b);
    value = line.substr(b, e == std::string::npos ? std::string::npos : e - b);
    return true;
}

TState ParseState(const std::string& comments) {
    TState st;
    size_t at = comments.find(StateTag);
    if (at == std::string::npos) return st;
    std::string line = comments.substr(at + std::strlen(StateTag));
    line = line.substr(0, line.find('\n'));
    long rev = 0;
    unsigned flags = 0;
    unsigned long long stamp = 0;
    if (std::sscanf(line.c_str(), "revision %ld, flags 0x%x, stamp %llx", &rev, &flags, &stamp) >= 2) {
        st.Present = true;
        st.Revision = static_cast<int32_t>(rev);
        st.Flags = static_cast<uint16_t>(flags);
        st.Stamp = stamp;
    }
    std::string v;
    if (StateField(line, "value bits", v)) {
        char* end = nullptr;
        st.Bits = std::strtoull(v.c_str(), &end, 16);
        st.HasBits = end && *end == '\0' && v.size() > 2;
    }
    auto eol = [](const std::string& s) { return s.find_first_not_of("01") == std::string::npos; };
    st.HasMsgidEol = StateField(line, "msgid eol", st.MsgidEol) && eol(st.MsgidEol);
    st.HasMsgstrEol = StateField(line, "msgstr eol", st.MsgstrEol) && eol(st.MsgstrEol);
    st.EmptyTranslation = line.find(", empty translation") != std::string::npos;
    size_t item = line.find(", item ");
    if (item != std::string::npos) st.Item = fw::Trim(line.substr(item + 7));  // last: a path may hold anything
    return st;
}

// ---- line ends: PO texts break lines with "\n" alone; the state line keeps where CR LF stood

std::string EolPattern(const std::u16string& text) {
    std::string p;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'\n') p += i > 0 && text[i - 1] == u'\r' ? '1' : '0';
    return p;
}

std::string ToPoText(const std::u16string& text) {
    return Replace(Utf8(text), "\r\n", "\n");
}

// A PO text with its line ends as the pattern says; without a pattern that fits, as the native
// text has them (CR LF when it has any, or is a string list).
std::string FromPoText(const std::string& text, const std::string* pattern, bool crlf) {
    size_t breaks = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!pattern || pattern->size() != breaks) return crlf ? Replace(text, "\n", "\r\n") : text;
    std::string out;
    size_t k = 0;
    for (char c : text) {
        if (c == '\n' && (*pattern)[k++] == '1') out += '\r';
        out += c;
    }
    return out;
}

// ---- where the entries stand in the file (the library gives no line of a message)

struct TEntryPos {
    size_t Line = 0;
    bool HasContext = false;
    std::string Context;  // as in the file, unescaped
    std::string Msgid;
    std::string Domain = "messages";  // the domain the entry is in
    size_t DomainLine = 0;            // the "domain" line that put it there (0: none)
};

struct TPoLayout {
    std::vector<TEntryPos> Entries;  // in file order, the header included, obsolete ones not
    size_t CharsetLine = 0;
    std::map<std::string, size_t> HeaderFieldLines;  // "X-Language-Id" -> its line
};

// The bytes of a C string literal of a PO line ("..."), unescaped; nothing when it is not one.
std::string Unquote(const std::string& s) {
    std::string out;
    size_t i = s.find('"');
    if (i == std::string::npos) return out;
    for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        switch (c) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                if (c >= '0' && c <= '7') {
                    int v = 0;
                    for (int n = 0; n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n)
                        v = v * 8 + (s[i++] - '0');
                    --i;
                    out += static_cast<char>(v);
                } else if (c == 'x') {
                    int v = 0;
                    while (i + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])))
                        v = v * 16 + std::stoi(std::string(1, s[++i]), nullptr, 16);
                    out += static_cast<char>(v);
                } else {
                    out += c;
                }
        }
    }
    return out;
}

TPoLayout ScanLayout(const std::vector<uint8_t>& bytes) {
    TPoLayout layout;
    enum { None, InContext, InMsgid, Other } state = None;
    size_t lineNo = 0;
    std::string domain = "messages";
    size_t domainLine = 0;
    // The header's fields, one a string line as every tool writes them.
    auto headerLine = [&](const std::string& t) {
        if (layout.Entries.size() != 1 || !layout.Entries[0].Msgid.empty() || layout.Entries[0].HasContext) return;
        std::string text = Unquote(t);
        size_t colon = text.find(':');
        if (colon != std::string::npos && colon > 0 && text.find(' ') > colon)
            layout.HeaderFieldLines.emplace(text.substr(0, colon), lineNo);
    };
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != '\n') ++end;
        std::string line(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(end));
        ++lineNo;
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line[b] == '#') {
            if (b != std::string::npos) state = None;
            continue;
        }
        std::string t = line.substr(b);
        auto starts = [&](const char* k) { return t.compare(0, std::strlen(k), k) == 0; };
        if (starts("domain")) {
            domain = Unquote(t);
            domainLine = lineNo;
            state = None;
        } else if (starts("msgctxt")) {
            layout.Entries.push_back({lineNo, true, Unquote(t), {}, domain, domainLine});
            state = InContext;
        } else if (starts("msgid_plural")) {
            state = Other;
        } else if (starts("msgid")) {
            if (state != InContext) layout.Entries.push_back({lineNo, false, {}, {}, domain, domainLine});
            state = InMsgid;
            layout.Entries.back().Msgid = Unquote(t);
        } else if (starts("msgstr")) {
            state = Other;
            if (layout.Entries.size() == 1 && t.find("charset=") != std::string::npos) layout.CharsetLine = lineNo;
            headerLine(t);
        } else if (t[0] == '"') {
            if (state == InContext && !layout.Entries.empty()) layout.Entries.back().Context += Unquote(t);
            if (state == InMsgid && !layout.Entries.empty()) layout.Entries.back().Msgid += Unquote(t);
            if (layout.Entries.size() == 1 && !layout.CharsetLine && t.find("charset=") != std::string::npos)
                layout.CharsetLine = lineNo;
            if (state == Other) headerLine(t);
        }
        if (end >= bytes.size()) break;
    }
    return layout;
}

// ---- the file's charset

class TCharset {
public:
    // An empty name, "CHARSET" (a template's placeholder) and UTF-8 need no conversion.
    explicit TCharset(const std::string& name) : name_(name) {
        std::string u = fw::UpperCaseAscii(name);
        declared_ = !u.empty() && u != "CHARSET";
        if (!declared_) name_ = "UTF-8";
        if (u.empty() || u == "CHARSET" || u == "UTF-8" || u == "UTF8") u = "UTF-8";
        cd_ = iconv_open("UTF-8", u == "UTF-8" ? "UTF-8" : name.c_str());
    }
    ~TCharset() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    TCharset(const TCharset&) = delete;
    TCharset& operator=(const TCharset&) = delete;
    bool Known() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    const std::string& Name() const { return name_; }
    // "is not valid UTF-8 text", saying so where the charset was taken for want of one.
    std::string NotValid() const {
        return "is not valid " + name_ + " text" + (declared_ ? "" : " (the header declares no charset)");
    }
    // The text in UTF-8; false when its bytes are not text of this charset.
    bool ToUtf8(const char* text, std::string& out) {
        out.clear();
        if (!text) return true;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        size_t left = std::strlen(text);
        char* in = const_cast<char*>(text);
        char buf[1024];
        while (left) {
            char* o = buf;
            size_t room = sizeof buf;
            size_t r = iconv(cd_, &in, &left, &o, &room);
            out.append(buf, static_cast<size_t>(o - buf));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) return false;
        }
        char* o = buf;
        size_t room = sizeof buf;
        if (iconv(cd_, nullptr, nullptr, &o, &room) == static_cast<size_t>(-1)) return false;
        out.append(buf, static_cast<size_t>(o - buf));
        return true;
    }

private:
    std::string name_;
    bool declared_ = false;
    iconv_t cd_;
};

std::string CharsetOf(const char* header) {
    std::string ct = HeaderField(header, "Content-Type");
    size_t at = ct.find("charset=");
    if (at == std::string::npos) return {};
    std::string cs = ct.substr(at + 8);
    size_t e = cs.find_first_of("; \t");
    return fw::Trim(cs.substr(0, e));
}

// Kinds whose values the file stores and a translator can edit.
bool IsText(uint32_t kind) {
    return kind == langres::vkString || kind == langres::vkStringList;
}
bool IsNumber(uint32_t kind) {
    return kind == langres::vkInteger || kind == langres::vkFloat;
}

// How an item travels in a PO file.
enum TEntryKind {
    ekText,       // a string or string list with a native text: msgid the native text
    ekEmptyText,  // a string whose native text is empty: msgid a placeholder
    ekNumber,     // an integer or float with a stored value: msgid and msgstr the numbers
    ekNoValue,    // a kind without a stored value: msgid a placeholder, the state only
};

const char* const EmptyPlaceholder = "<empty>";  // no brackets: checkers count those

std::string ValuePlaceholder(uint32_t kind) {
    return std::string("<") + KindName(kind) + ">";
}

TEntryKind EntryKindOf(const TLFRecord& n) {
    if (IsText(n.Kind)) return n.Value.Text.empty() ? ekEmptyText : ekText;
    if (IsNumber(n.Kind) && n.Value.Present) return ekNumber;
    return ekNoValue;
}

// A float value's bits, copied, never loaded as a number (x87 would change a NaN's).
uint64_t FloatBits(const langres::TLFValue& v) {
    uint64_t bits;
    std::memcpy(&bits, &v.Float, sizeof bits);
    return bits;
}

std::string NumberText(const TLFRecord& r) {
    if (r.Kind == langres::vkInteger) return std::to_string(r.Value.Int);
    return langres::FloatToText(r.Value.Float);
}

// "vtploc: revision R, flags 0xF, stamp S" of a record.
std::string StateLine(const TLFRecord& r) {
    return std::string(StateTag) + "revision " + std::to_string(r.Revision) + ", flags 0x" + HexWord(r.Flags, 4) +
           ", stamp " + HexWord(r.Stamp, 16);
}

// Whether import gives a text of this native item CR LF line ends when no pattern says where
// they stand: string lists and texts whose native text has them.
bool DefaultCrLf(const TLFRecord& native) {
    return native.Kind == langres::vkStringList || native.Value.Text.find(u"\r\n") != std::u16string::npos;
}

// The line-end pattern of text as import would give it back by default.
std::string DefaultEolPattern(const std::u16string& text, const TLFRecord& native) {
    size_t breaks = static_cast<size_t>(std::count(text.begin(), text.end(), u'\n'));
    return std::string(breaks, DefaultCrLf(native) ? '1' : '0');
}

// A number the translator gave: the float's own bits while its text is unchanged.
bool SetNumber(TLFRecord& rec, const std::string& text, const TState& st) {
    if (rec.Kind == langres::vkInteger) {
        std::string t = fw::Trim(text);
        int32_t v = 0;
        const char* b = t.data() + (!t.empty() && t[0] == '+');
        auto r = std::from_chars(b, t.data() + t.size(), v);
        if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
        rec.Value.Int = v;
        rec.Value.Text = langres::AsciiToWide(std::to_string(v));
    } else {
        uint64_t bits = st.Bits;
        langres::TLFValue carried;
        std::memcpy(&carried.Float, &bits, sizeof bits);
        if (!st.HasBits || langres::FloatToText(carried.Float) != text) {
            double d = 0;
            if (!langres::TextToFloat(text, d)) return false;
            std::memcpy(&bits, &d, sizeof bits);
        }
        std::memcpy(&rec.Value.Float, &bits, sizeof bits);
        rec.Value.Text = langres::AsciiToWide(langres::FloatToText(rec.Value.Float));
    }
    rec.Value.Present = true;
    return true;
}

}  // namespace

std::string IsoLanguage(uint16_t langId) {
    return kutils::LocaleName(langId);
}

uint16_t LangIdFromIso(const std::string& code, bool* regionFound) {
    return static_cast<uint16_t>(kutils::LocaleFromName(code, regionFound));
}

std::vector<uint8_t> ExportPo(const TLangFileImage& nativeIn, const TLangFileImage* translation,
                              const std::string& project) {
    TLangFileImage native = nativeIn;
    TLangFileImage aligned;
    TUpdateCounts counts;
    if (translation) aligned = UpdateTranslation(nativeIn, *translation, counts);
    std::vector<TItemRef> items = Items(native);
    std::vector<TItemRef> trans = translation ? Items(aligned) : std::vector<TItemRef>{};
    const auto& H = translation ? aligned.Header : native.Header;

    po_file_t file = po_file_create();
    po_message_iterator_t it = po_message_iterator(file, nullptr);
    // A template (the native dictionary) names no language: the translator's editor sets it.
    std::string header = "Project-Id-Version: " + project +
                         "\nReport-Msgid-Bugs-To: \nPO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\nLast-Translator: \n"
                         "Language-Team: " +
                         (translation ? H.EnglishLangName : std::string()) +
                         "\nLanguage: " + (translation ? IsoLanguage(H.LangId) : std::string()) +
                         "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                         "Content-Transfer-Encoding: 8bit\n";
    if (translation)
        header += "X-Language-Id: 0x" + HexWord(H.LangId, 4) + "\nX-Language-Names: " + H.EnglishLangName + " / " +
                  Utf8(H.NativeLangName) + "\nX-Language-File: version " + std::to_string(H.Version) + ", revision " +
                  std::to_string(H.Revision) + ", build " + std::to_string(H.Build) + ", options 0x" +
                  HexWord(H.Options, 4) + ", word 0x" + HexWord(H.Word, 4) + "\n";
    po_message_t head = po_message_create();
    po_message_set_msgid(head, "");
    po_message_set_msgstr(head, header.c_str());
    po_message_insert(it, head);

    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < items.size(); ++i) {
        const TLFRecord& n = *items[i].Record;
        const TLFRecord& t = translation ? *trans[i].Record : n;
        const bool translated = translation && t.Revision >= 0;
        const TEntryKind kind = EntryKindOf(n);
        // A native text that is empty, or a kind without a stored value, offers nothing to
        // translate: in a translation such an entry is written only to carry its own state; a
        // template has every entry, so that a merge finds each translation's entry in it.
        if (translation && kind != ekText && kind != ekNumber && !translated && t.Stamp == n.Stamp) continue;
        std::string path = items[i].Path();
        if (!seen.emplace(fw::UpperCaseAscii(path), i).second)
            throw ECatalogError("two items have the path " + path + "; a PO file cannot tell them apart");
        po_message_t m = po_message_create();
        po_message_set_msgctxt(m, path.c_str());
        std::string comment = std::string("kind: ") + KindName(n.Kind);
        if (items[i].Category == icConstant) comment += ", string-table id " + std::to_string(n.ResId);
        comment += "\n";
        if (n.Kind == langres::vkStringList) comment += "one line per list item\n";
        // The native item's state goes with the extracted comments, which a merge takes from the
        // template; the translation's with the translator's comments, which it takes from the
        // translation.
        std::string state = StateLine(n);
        std::string own = translation ? StateLine(t) : std::string();
        std::string msgstr;
        switch (kind) {
            case ekText:
            case ekEmptyText: {
                po_message_set_msgid(m, kind == ekText ? ToPoText(n.Value.Text).c_str() : EmptyPlaceholder);
                if (kind == ekEmptyText) comment += "the native text is empty\n";
                std::string srcEol = EolPattern(n.Value.Text), dstEol = EolPattern(t.Value.Text);
                if (srcEol.find('1') != std::string::npos) state += ", msgid eol " + srcEol;
                // Where the default of import would not give them back.
                if (translation && dstEol != DefaultEolPattern(t.Value.Text, n)) own += ", msgstr eol " + dstEol;
                if (translated) msgstr = ToPoText(t.Value.Text);
                if (translated && msgstr.empty()) own += ", empty translation";
                break;
            }
            case ekNumber:
                po_message_set_msgid(m, NumberText(n).c_str());
                comment += "a number: keep it one\n";
                if (n.Kind == langres::vkFloat) {
                    state += ", value bits 0x" + HexWord(FloatBits(n.Value), 16);
                    if (translation) own += ", value bits 0x" + HexWord(FloatBits(t.Value), 16);
                }
                if (translated) msgstr = NumberText(t);
                break;
            case ekNoValue:
                po_message_set_msgid(m, ValuePlaceholder(n.Kind).c_str());
                comment += "no value is stored for this kind: the entry carries the translation's state\n";
                if (translated) msgstr = ValuePlaceholder(n.Kind);
                break;
        }
        po_message_set_msgstr(m, msgstr.c_str());
        if (translated && !(t.Flags & langres::vfConfirmed)) po_message_set_fuzzy(m, 1);
        po_message_set_extracted_comments(m, (comment + state + "\n").c_str());
        // With the item's path: a merge may offer one item's translation, with its comments, for
        // another item's new text.
        if (translation) po_message_set_comments(m, (own + ", item " + path + "\n").c_str());
        po_message_insert(it, m);
    }
    po_message_iterator_free(it);

    namespace fs = std::filesystem;
    fs::path temp = fs::temp_directory_path() / ("vtploc-po-" + std::to_string(::getpid()) + "-" +
                                                 std::to_string(reinterpret_cast<uintptr_t>(file)) + ".po");
    TPoErrors errors;
    po_file_t written = WritePoFile(file, temp.string().c_str(), errors);
    po_file_free(file);
    std::vector<uint8_t> bytes;
    if (written) {
        try {
            bytes = fw::ReadFileBytes(temp.string());
        } catch (...) {
            written = nullptr;
        }
    }
    std::error_code ec;
    fs::remove(temp, ec);
    if (!written) throw ECatalogError("the PO text could not be written: " + errors.First);
    return bytes;
}

namespace {

// The X-Language-Id header value as a locale of the table; false when it is none ("0x9999",
// "-1", "0x10407").
bool ParseLanguageId(const std::string& text, uint16_t& id) {
    std::string t = fw::Trim(text);
    int base = 10;
    size_t start = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) base = 16, start = 2;
    uint32_t v = 0;
    auto r = std::from_chars(t.data() + start, t.data() + t.size(), v, base);
    if (start >= t.size() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
    if (!kutils::LocaleKnown(v)) return false;
    id = static_cast<uint16_t>(v);
    return true;
}

}  // namespace

TImportResult ImportPo(const std::string& poFile, const TLangFileImage& native, uint16_t langId) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(poFile, ec)) throw ECatalogError(poFile + ": no such file");
    TPoLayout layout = ScanLayout(fw::ReadFileBytes(poFile));
    auto where = [&](size_t line) { return line ? poFile + ":" + std::to_string(line) : poFile; };
    auto isHeader = [](const TEntryPos& e) { return !e.HasContext && e.Msgid.empty(); };
    // A language file is one catalogue: entries of a second domain are refused, not dropped.
    std::string domain;
    for (const TEntryPos& e : layout.Entries) {
        if (isHeader(e)) continue;
        if (domain.empty()) domain = e.Domain;
        if (e.Domain != domain)
            throw ECatalogError(where(e.DomainLine ? e.DomainLine : e.Line) + ": domain \"" + e.Domain +
                                "\": the file's entries are in more than one domain (\"" + domain +
                                "\" before); a language file takes one");
    }
    if (domain.empty()) domain = layout.Entries.empty() ? "messages" : layout.Entries[0].Domain;
    // Two entries for one item (msgcat leaves them so when their msgids differ): which one
    // holds is not for this tool to guess. Found in the text, so that both lines are named.
    {
        std::map<std::string, const TEntryPos*> byContext;
        for (const TEntryPos& e : layout.Entries) {
            if (!e.HasContext) continue;
            auto [prev, first] = byContext.emplace(e.Context, &e);
            if (!first)
                throw ECatalogError(where(e.Line) + ": a second entry for \"" + e.Context + "\"" +
                                    (prev->second->Msgid == e.Msgid ? "" : " with another msgid") +
                                    "; the first: " + where(prev->second->Line));
        }
    }
    TPoErrors errors;
    po_file_t file = ReadPoFile(poFile.c_str(), errors);
    if (!file || !errors.First.empty()) {
        if (file) po_file_free(file);
        throw ECatalogError(errors.First.empty() ? poFile + ": not a valid PO file" : errors.First);
    }
    TImportResult result;
    try {
        // The library hands texts back in the file's own charset. The header of the entries'
        // domain, else the file's first one.
        const char* rawHeader = po_file_domain_header(file, domain.c_str());
        for (const char* const* d = po_file_domains(file); !rawHeader && d && *d; ++d)
            rawHeader = po_file_domain_header(file, *d);
        TCharset charset(CharsetOf(rawHeader));
        if (!charset.Known())
            throw ECatalogError(where(layout.CharsetLine) + ": the charset \"" + charset.Name() +
                                "\" cannot be converted (unknown to this system)");
        std::string headerText;
        if (!charset.ToUtf8(rawHeader, headerText))
            throw ECatalogError(where(layout.CharsetLine) + ": the header " + charset.NotValid());
        const char* header = rawHeader ? headerText.c_str() : nullptr;
        auto fieldLine = [&](const char* field) {
            auto f = layout.HeaderFieldLines.find(field);
            return where(f == layout.HeaderFieldLines.end() ? 0 : f->second);
        };
        uint16_t headerId = 0;
        std::string id = HeaderField(header, "X-Language-Id");
        if (!id.empty() && !ParseLanguageId(id, headerId))
            throw ECatalogError(fieldLine("X-Language-Id") + ": X-Language-Id \"" + id +
                                "\" is not a locale this system knows");
        const std::string language = HeaderField(header, "Language");
        bool regionFound = true;
        if (!headerId) headerId = LangIdFromIso(language, &regionFound);
        // Only where the header's language is the one taken does its reading matter.
        if (!langId && headerId && !regionFound)
            result.Notes.push_back(poFile + ": \"Language: " + language + "\": no such locale here; taken as " +
                                   kutils::LocaleEnglishName(headerId));
        // Names and build of the header belong to its language; another one starts afresh.
        const bool sameLanguage = !langId || langId == headerId;
        if (!langId) langId = headerId;
        if (!langId)
            throw ECatalogError(poFile + ": the header names no language this tool knows (\"Language: " + language +
                                "\"); give it with --lang");

        // Start from "nothing translated" in the native layout.
        TLangFileImage empty = native;
        empty.Units.clear(), empty.Forms.clear(), empty.Groups.clear();
        empty.Header.LangId = langId;
        TUpdateCounts counts;
        result.Image = UpdateTranslation(native, empty, counts);
        auto& H = result.Image.Header;
        // The language's names are the locale table's unless the file names them itself (the
        // team of gettext's and editors' headers is no language name).
        std::string names = sameLanguage ? HeaderField(header, "X-Language-Names") : std::string();
        size_t slash = names.find(" / ");
        if (slash != std::string::npos) {
            H.EnglishLangName = names.substr(0, slash);
            H.NativeLangName = FromUtf8(names.c_str() + slash + 3);
        } else {
            H.EnglishLangName = kutils::LocaleEnglishName(langId);
            H.NativeLangName = fw::Utf8ToUtf16(H.EnglishLangName);
        }
        unsigned version = 0, options = 0, word = 0;
        unsigned long revision = 0, build = 0;
        std::string lf = HeaderField(header, "X-Language-File");
        if (sameLanguage && std::sscanf(lf.c_str(), "version %u, revision %lu, build %lu, options 0x%x, word 0x%x",
                                        &version, &revision, &build, &options, &word) == 5) {
            H.Build = static_cast<uint32_t>(build);
            H.Options = static_cast<uint16_t>(options);
            H.Word = static_cast<uint16_t>(word);
        }

        std::vector<TItemRef> items = Items(result.Image);
        std::map<std::string, size_t> byPath;
        TLangFileImage nativeCopy = native;
        std::vector<TItemRef> nativeItems = Items(nativeCopy);
        for (size_t i = 0; i < items.size(); ++i) byPath.emplace(items[i].Path(), i);

        // The library keeps the file's order: its messages and the entries found in the text
        // pair up one by one, which gives every message its line. Obsolete entries (a merge
        // leaves translations it found no entry for so) are kept apart.
        std::vector<po_message_t> messages, obsolete;
        {
            po_message_iterator_t all = po_message_iterator(file, domain.c_str());
            for (po_message_t m; (m = po_next_message(all)) != nullptr;)
                (po_message_is_obsolete(m) ? obsolete : messages).push_back(m);
            po_message_iterator_free(all);
        }
        std::vector<const TEntryPos*> positions;
        for (const TEntryPos& e : layout.Entries)
            if (e.Domain == domain) positions.push_back(&e);
        bool lined = messages.size() == positions.size();
        for (size_t j = 0; lined && j < messages.size(); ++j) {
            const char* c = po_message_msgctxt(messages[j]);
            lined = (c != nullptr) == positions[j]->HasContext && (!c || positions[j]->Context == c);
        }

        struct TText {
            std::string Ctx, Msgid, Msgstr;
            TState State;
            bool Foreign = false;  // the translation's state is another item's
        };
        // The texts of a message in UTF-8 and its state: the translation's own (the
        // translator's comment), else what the extracted comment says (files of earlier
        // versions, and templates); where the native text's line ends stood only the latter.
        auto read = [&](po_message_t m, TText& t) {
            std::string comments, own;
            if (!charset.ToUtf8(po_message_msgctxt(m), t.Ctx) || !charset.ToUtf8(po_message_msgid(m), t.Msgid) ||
                !charset.ToUtf8(po_message_msgstr(m), t.Msgstr) ||
                !charset.ToUtf8(po_message_extracted_comments(m), comments) ||
                !charset.ToUtf8(po_message_comments(m), own))
                return false;
            TState extracted = ParseState(comments);
            TState translation = ParseState(own);
            t.Foreign = translation.Present && !translation.Item.empty() && translation.Item != t.Ctx;
            t.State = translation.Present && !t.Foreign ? translation : extracted;
            t.State.HasMsgidEol = extracted.HasMsgidEol;
            t.State.MsgidEol = extracted.MsgidEol;
            return true;
        };
        // Puts one entry's translation into its record; false when its number is none.
        auto take = [&](const TText& t, bool isFuzzy, size_t index) {
            TLFRecord& rec = *items[index].Record;
            const TLFRecord& nat = *nativeItems[index].Record;
            const TEntryKind kind = EntryKindOf(nat);
            const TState& st = t.State;
            // An empty msgstr is untranslated to gettext's tools, which drop its fuzzy mark: a
            // translation to an empty text keeps its confirmation in the comment.
            bool fuzzy = isFuzzy || (t.Msgstr.empty() && st.EmptyTranslation && !(st.Flags & langres::vfConfirmed));
            bool sameSource = false;
            switch (kind) {
                case ekText:
                    sameSource = ToPoText(nat.Value.Text) == t.Msgid &&
                                 (!st.HasMsgidEol || st.MsgidEol == EolPattern(nat.Value.Text));
                    break;
                case ekEmptyText:
                    sameSource = t.Msgid == EmptyPlaceholder;
                    break;
                case ekNumber:
                    sameSource = t.Msgid == NumberText(nat);
                    break;
                case ekNoValue:
                    sameSource = t.Msgid == ValuePlaceholder(nat.Kind);
                    break;
            }
            TLFRecord was = rec;
            if (st.Present) {
                rec.Flags = st.Flags;
                rec.Stamp = st.Stamp;
            }
            if (t.Msgstr.empty() && !st.EmptyTranslation) {
                rec.Revision = -1;
                rec.Flags = static_cast<uint16_t>(rec.Flags & ~langres::vfConfirmed);
                return true;
            }
            if (kind == ekText || kind == ekEmptyText) {
                rec.Value.Text =
                    fw::Utf8ToUtf16(FromPoText(t.Msgstr, st.HasMsgstrEol ? &st.MsgstrEol : nullptr, DefaultCrLf(nat)));
                rec.Value.Present = true;
            } else if (kind == ekNumber && !SetNumber(rec, t.Msgstr, st)) {
                rec = was;
                return false;
            }
            // A translation made for another native text is kept but outdated, whatever revision
            // its comment gives.
            const int32_t natRev = nat.Revision >= 0 ? nat.Revision : static_cast<int32_t>(native.Header.Revision);
            bool confirmed = !fuzzy && sameSource;
            rec.Revision = st.Present ? st.Revision : natRev;
            if (rec.Revision < 0 || (confirmed && rec.Revision < natRev)) rec.Revision = natRev;
            if (!sameSource && rec.Revision >= natRev) rec.Revision = std::max(natRev - 1, 0);
            rec.Flags =
                static_cast<uint16_t>(confirmed ? rec.Flags | langres::vfConfirmed : rec.Flags & ~langres::vfConfirmed);
            ++result.Translated;
            if (!confirmed) ++result.Fuzzy;
            return true;
        };

        struct TSeen {
            size_t Line;
            std::string Msgid;
        };
        std::map<size_t, TSeen> seenItem;
        for (size_t j = 0; j < messages.size(); ++j) {
            po_message_t m = messages[j];
            const size_t line = lined ? positions[j]->Line : 0;
            const char* rawId = po_message_msgid(m);
            const char* rawCtx = po_message_msgctxt(m);
            if (!rawId || (!*rawId && !rawCtx)) continue;  // the header
            TText t;
            if (!read(m, t)) throw ECatalogError(where(line) + ": the entry " + charset.NotValid());
            const std::string name = rawCtx ? "\"" + t.Ctx + "\"" : std::string("(no context)");
            if (po_message_msgid_plural(m))
                throw ECatalogError(where(line) + ": entry " + name +
                                    " has plural forms; a language file holds one text per item");
            ++result.Entries;
            auto found = rawCtx ? byPath.find(t.Ctx) : byPath.end();
            if (found == byPath.end()) {
                result.Skipped.push_back(poFile + ": entry " + name +
                                         ": no such item in the native dictionary; skipped");
                continue;
            }
            // Two entries for one item (msgcat leaves them so): which one holds is not for this
            // tool to guess.
            auto [prev, first] = seenItem.emplace(found->second, TSeen{line, t.Msgid});
            if (!first && prev->second.Msgid != t.Msgid)
                throw ECatalogError(where(line) + ": a second entry for " + name +
                                    " with another msgid; the first: " + where(prev->second.Line));
            // A merge's guess from another item's translation (a number "0" for a width, say)
            // counts once a translator confirmed it, as gettext uses no fuzzy entry; till then
            // the item is untranslated and its own obsolete translation, if any, is taken.
            if (t.Foreign && po_message_is_fuzzy(m)) continue;
            if (!take(t, po_message_is_fuzzy(m), found->second))
                throw ECatalogError(
                    where(line) + ": entry " + name + ": \"" + t.Msgstr + "\" is not " +
                    (nativeItems[found->second].Record->Kind == langres::vkInteger ? "an integer" : "a number"));
        }
        // What a merge with a newer template left obsolete (the native text or number changed
        // beyond its matching, or the template had no entry for the item): the translation of
        // an item the file leaves untranslated, outdated where its msgid is no longer the native
        // one, as carrying the translation to the new dictionary keeps it.
        std::map<size_t, bool> takenObsolete;
        for (po_message_t m : obsolete) {
            const char* rawCtx = po_message_msgctxt(m);
            TText t;
            if (!rawCtx || !read(m, t) || po_message_msgid_plural(m)) continue;
            auto found = byPath.find(t.Ctx);
            if (found == byPath.end() || takenObsolete.count(found->second)) continue;
            if (items[found->second].Record->Revision >= 0) continue;  // translated by its own entry
            if (t.Msgstr.empty() && !t.State.EmptyTranslation) continue;
            takenObsolete[found->second] = true;
            if (!seenItem.count(found->second)) ++result.Entries;
            if (!take(t, po_message_is_fuzzy(m), found->second))
                result.Skipped.push_back(poFile + ": obsolete entry \"" + t.Ctx + "\": \"" + t.Msgstr +
                                         "\" is not a number; not taken");
        }

    } catch (...) {
        po_file_free(file);
        throw;
    }
    po_file_free(file);
    return result;
}

}  // namespace catalog
