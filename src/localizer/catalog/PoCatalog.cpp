#include "PoCatalog.h"

#include <gettext-po.h>
#include <iconv.h>
#include <unistd.h>
#ifdef _WIN32
#include <fcntl.h>
#endif

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

// The library opens PO files with fopen(name, "r"), which on Windows is text mode: CR LF read
// as LF and a Ctrl-Z ending the file. The Windows build reads the bytes as Linux does.
struct TBinaryReads {
#ifdef _WIN32
    int Old = _fmode;
    TBinaryReads() {
        _fmode = _O_BINARY;
    }
    ~TBinaryReads() {
        _fmode = Old;
    }
#else
    TBinaryReads() {}  // fopen reads bytes as they are
#endif
};

std::string HeaderField(const char* header, const char* field) {
    if (!header) return {};
    char* v = po_header_field(header, field);
    std::string s = v ? v : "";
    std::free(v);
    return s;
}

// ---- where the entries stand in the file (the library gives no line of a message)

struct TEntryPos {
    size_t Line = 0;
    bool HasContext = false;
    std::string Context;  // as in the file, unescaped
    std::string Msgid;
};

struct TPoLayout {
    std::vector<TEntryPos> Entries;  // in file order, the header included, obsolete ones not
    size_t CharsetLine = 0;
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
        if (starts("msgctxt")) {
            layout.Entries.push_back({lineNo, true, Unquote(t), {}});
            state = InContext;
        } else if (starts("msgid_plural")) {
            state = Other;
        } else if (starts("msgid")) {
            if (state != InContext) layout.Entries.push_back({lineNo, false, {}, {}});
            state = InMsgid;
            layout.Entries.back().Msgid = Unquote(t);
        } else if (starts("msgstr")) {
            state = Other;
            if (layout.Entries.size() == 1 && t.find("charset=") != std::string::npos) layout.CharsetLine = lineNo;
        } else if (t[0] == '"') {
            if (state == InContext && !layout.Entries.empty()) layout.Entries.back().Context += Unquote(t);
            if (state == InMsgid && !layout.Entries.empty()) layout.Entries.back().Msgid += Unquote(t);
            if (layout.Entries.size() == 1 && !layout.CharsetLine && t.find("charset=") != std::string::npos)
                layout.CharsetLine = lineNo;
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

}  // namespace

std::vector<uint8_t> ExportPo(const TLangFileImage& native, const TLangFileImage* translation,
                              const std::string& project) {
    const TExport entries = ExportEntries(native, translation, "a PO file");
    const auto& H = entries.Header;

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
    if (translation) {
        char id[8];
        std::snprintf(id, sizeof id, "%04x", static_cast<unsigned>(H.LangId));
        header += std::string("X-Language-Id: 0x") + id + "\nX-Language-Names: " + H.EnglishLangName + " / " +
                  Utf8(H.NativeLangName) + "\nX-Language-File: " + FileFacts(H) + "\n";
    }
    po_message_t head = po_message_create();
    po_message_set_msgid(head, "");
    po_message_set_msgstr(head, header.c_str());
    po_message_insert(it, head);

    for (const TExportEntry& e : entries.Entries) {
        po_message_t m = po_message_create();
        po_message_set_msgctxt(m, e.Path.c_str());
        po_message_set_msgid(m, e.Source.c_str());
        po_message_set_msgstr(m, e.Target.c_str());
        if (e.Translated && !e.Confirmed) po_message_set_fuzzy(m, 1);
        po_message_set_extracted_comments(m, (e.Notes + FormatFacts(e.Facts) + "\n").c_str());
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

TImportResult ImportPo(const std::string& poFile, const TLangFileImage& native, uint16_t langId) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(poFile, ec)) throw ECatalogError(poFile + ": no such file");
    // Two entries for one item (msgcat leaves them so when their msgids differ): which one
    // holds is not for this tool to guess. Found in the text, so that both lines are named.
    TPoLayout layout = ScanLayout(fw::ReadFileBytes(poFile));
    auto where = [&](size_t line) { return line ? poFile + ":" + std::to_string(line) : poFile; };
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
    po_file_t file;
    {
        TBinaryReads binary;
        file = ReadPoFile(poFile.c_str(), errors);
    }
    if (!file || !errors.First.empty()) {
        if (file) po_file_free(file);
        throw ECatalogError(errors.First.empty() ? poFile + ": not a valid PO file" : errors.First);
    }
    TImportResult result;
    try {
        // The library hands texts back in the file's own charset.
        const char* rawHeader = po_file_domain_header(file, nullptr);
        TCharset charset(CharsetOf(rawHeader));
        if (!charset.Known())
            throw ECatalogError(where(layout.CharsetLine) + ": the charset \"" + charset.Name() +
                                "\" cannot be converted (unknown to this system)");
        std::string headerText;
        if (!charset.ToUtf8(rawHeader, headerText))
            throw ECatalogError(where(layout.CharsetLine) + ": the header is not valid " + charset.Name() + " text");
        const char* header = rawHeader ? headerText.c_str() : nullptr;
        uint16_t headerId = 0;
        std::string id = HeaderField(header, "X-Language-Id");
        if (!id.empty()) headerId = static_cast<uint16_t>(std::strtoul(id.c_str(), nullptr, 0));
        const std::string language = HeaderField(header, "Language");
        if (!headerId) {
            bool regionFound = true;
            headerId = LangIdFromIso(language, &regionFound);
            if (headerId && !regionFound)
                result.Notes.push_back(poFile + ": \"Language: " + language + "\": no such locale here; taken as " +
                                       kutils::LocaleEnglishName(headerId));
        }
        // Names and build of the header belong to its language; another one starts afresh.
        const bool sameLanguage = !langId || langId == headerId;
        if (!langId) langId = headerId;
        if (!langId)
            throw ECatalogError(poFile + ": the header names no language this tool knows (\"Language: " + language +
                                "\"); give it with --lang");

        TEntryImport entries(native, langId);
        auto& H = entries.Header();
        std::string names = sameLanguage ? HeaderField(header, "X-Language-Names") : std::string();
        size_t slash = names.find(" / ");
        // Without names of its own the PO's language is named as the locale table names it.
        if (!sameLanguage || (slash == std::string::npos && HeaderField(header, "Language-Team").empty())) {
            H.EnglishLangName = kutils::LocaleEnglishName(langId);
            H.NativeLangName = fw::Utf8ToUtf16(H.EnglishLangName);
        } else if (slash != std::string::npos) {
            H.EnglishLangName = names.substr(0, slash);
            H.NativeLangName = FromUtf8(names.c_str() + slash + 3);
        } else {
            H.EnglishLangName = HeaderField(header, "Language-Team");
            H.NativeLangName = fw::Utf8ToUtf16(H.EnglishLangName);
        }
        if (sameLanguage) ParseFileFacts(HeaderField(header, "X-Language-File"), H);

        // The library keeps the file's order: its messages and the entries found in the text
        // pair up one by one, which gives every message its line.
        std::vector<po_message_t> messages;
        {
            po_message_iterator_t all = po_message_iterator(file, nullptr);
            for (po_message_t m; (m = po_next_message(all)) != nullptr;)
                if (!po_message_is_obsolete(m)) messages.push_back(m);
            po_message_iterator_free(all);
        }
        bool lined = messages.size() == layout.Entries.size();
        for (size_t j = 0; lined && j < messages.size(); ++j) {
            const char* c = po_message_msgctxt(messages[j]);
            lined = (c != nullptr) == layout.Entries[j].HasContext && (!c || layout.Entries[j].Context == c);
        }
        struct TSeen {
            size_t Line;
            std::string Msgid;
        };
        std::map<size_t, TSeen> seenItem;
        for (size_t j = 0; j < messages.size(); ++j) {
            po_message_t m = messages[j];
            const size_t line = lined ? layout.Entries[j].Line : 0;
            const char* rawId = po_message_msgid(m);
            const char* rawCtx = po_message_msgctxt(m);
            if (!rawId || (!*rawId && !rawCtx)) continue;  // the header
            std::string ctx, msgid, msgstr, comments;
            if (!charset.ToUtf8(rawCtx, ctx) || !charset.ToUtf8(rawId, msgid) ||
                !charset.ToUtf8(po_message_msgstr(m), msgstr) ||
                !charset.ToUtf8(po_message_extracted_comments(m), comments))
                throw ECatalogError(where(line) + ": the entry is not valid " + charset.Name() + " text");
            const std::string name = rawCtx ? "\"" + ctx + "\"" : std::string("(no context)");
            if (po_message_msgid_plural(m))
                throw ECatalogError(where(line) + ": entry " + name +
                                    " has plural forms; a language file holds one text per item");
            ++result.Entries;
            const size_t item = rawCtx ? entries.Find(ctx) : TEntryImport::npos;
            if (item == TEntryImport::npos) {
                result.Skipped.push_back(poFile + ": entry " + name +
                                         ": no such item in the native dictionary; skipped");
                continue;
            }
            // Two entries for one item (msgcat leaves them so): which one holds is not for this
            // tool to guess.
            auto [prev, first] = seenItem.emplace(item, TSeen{line, msgid});
            if (!first && prev->second.Msgid != msgid)
                throw ECatalogError(where(line) + ": a second entry for " + name +
                                    " with another msgid; the first: " + where(prev->second.Line));
            TImportEntry e;
            e.Where = where(line);
            e.Name = "entry " + name;
            e.Facts = ParseFacts(comments);
            // An empty msgstr is untranslated to gettext's tools, which drop its fuzzy mark: a
            // translation to an empty text keeps its confirmation in the comment.
            bool fuzzy = po_message_is_fuzzy(m) ||
                         (msgstr.empty() && e.Facts.EmptyTranslation && !(e.Facts.Flags & langres::vfConfirmed));
            e.Translated = !msgstr.empty() || e.Facts.EmptyTranslation;
            e.Confirmed = !fuzzy;
            e.Source = std::move(msgid);
            e.Target = std::move(msgstr);
            entries.Apply(item, e);
        }
        result.Translated = entries.Translated();
        result.Fuzzy = entries.Fuzzy();
        result.Image = entries.Take();
    } catch (...) {
        po_file_free(file);
        throw;
    }
    po_file_free(file);
    return result;
}

}  // namespace catalog
