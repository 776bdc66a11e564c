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
        // The native item's facts go with the extracted comments, which a merge takes from the
        // template; the translation's with the translator's comments, which it takes from the
        // translation, with the item's path: a merge may offer one item's translation, comments
        // and all, for another item's new text.
        po_message_set_extracted_comments(m, (e.Notes + FormatFacts(e.NativeFacts) + "\n").c_str());
        if (!entries.Template) {
            TEntryFacts own = e.Facts;
            own.HasMsgidEol = false;
            own.Item = e.Path;
            po_message_set_comments(m, (FormatFacts(own) + "\n").c_str());
        }
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
        const std::string headerNames = HeaderField(header, "X-Language-Names");
        uint16_t headerId = 0;
        std::string id = HeaderField(header, "X-Language-Id");
        if (!id.empty() && !LanguageIdOf(id, headerNames.find(" / ") != std::string::npos, headerId))
            throw ECatalogError(fieldLine("X-Language-Id") + ": " + BadLanguageId(id));
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

        TEntryImport entries(native, langId);
        auto& H = entries.Header();
        // The language's names are the locale table's unless the file names them itself (the
        // team of gettext's and editors' headers is no language name).
        std::string names = sameLanguage ? headerNames : std::string();
        size_t slash = names.find(" / ");
        if (slash != std::string::npos) {
            H.EnglishLangName = names.substr(0, slash);
            H.NativeLangName = FromUtf8(names.c_str() + slash + 3);
        } else {
            H.EnglishLangName = kutils::LocaleEnglishName(langId);
            H.NativeLangName = fw::Utf8ToUtf16(H.EnglishLangName);
        }
        if (sameLanguage) ParseFileFacts(HeaderField(header, "X-Language-File"), H);

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

        // A message as an entry, its texts in UTF-8, its facts the translation's own (the
        // translator's comment), else what the extracted comment says (files of earlier
        // versions, and templates); where the native text's line ends stood only the latter.
        // Foreign: the translation's facts are another item's. False when a text is not text of
        // the charset.
        auto read = [&](po_message_t m, TImportEntry& e, std::string& ctx, bool& foreign) {
            std::string comments, own;
            if (!charset.ToUtf8(po_message_msgctxt(m), ctx) || !charset.ToUtf8(po_message_msgid(m), e.Source) ||
                !charset.ToUtf8(po_message_msgstr(m), e.Target) ||
                !charset.ToUtf8(po_message_extracted_comments(m), comments) ||
                !charset.ToUtf8(po_message_comments(m), own))
                return false;
            const TEntryFacts extracted = ParseFacts(comments);
            const TEntryFacts translation = ParseFacts(own);
            foreign = translation.Present && !translation.Item.empty() && translation.Item != ctx;
            e.Facts = translation.Present && !foreign ? translation : extracted;
            e.Facts.HasMsgidEol = extracted.HasMsgidEol;
            e.Facts.MsgidEol = extracted.MsgidEol;
            // An empty msgstr is untranslated to gettext's tools, which drop its fuzzy mark: a
            // translation to an empty text keeps its confirmation in the comment.
            bool fuzzy = po_message_is_fuzzy(m) ||
                         (e.Target.empty() && e.Facts.EmptyTranslation && !(e.Facts.Flags & langres::vfConfirmed));
            e.Translated = !e.Target.empty() || e.Facts.EmptyTranslation;
            e.Confirmed = !fuzzy;
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
            TImportEntry e;
            std::string ctx;
            bool foreign = false;
            if (!read(m, e, ctx, foreign)) throw ECatalogError(where(line) + ": the entry " + charset.NotValid());
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
            auto [prev, first] = seenItem.emplace(item, TSeen{line, e.Source});
            if (!first && prev->second.Msgid != e.Source)
                throw ECatalogError(where(line) + ": a second entry for " + name +
                                    " with another msgid; the first: " + where(prev->second.Line));
            // A merge's guess from another item's translation (a number "0" for a width, say)
            // counts once a translator confirmed it, as gettext uses no fuzzy entry; till then
            // the item is untranslated and its own obsolete translation, if any, is taken.
            if (foreign && po_message_is_fuzzy(m)) continue;
            e.Where = where(line);
            e.Name = "entry " + name;
            entries.Apply(item, e);
        }
        // What a merge with a newer template left obsolete (the native text or number changed
        // beyond its matching, or the template had no entry for the item): the translation of
        // an item the file leaves untranslated, outdated where its msgid is no longer the native
        // one, as carrying the translation to the new dictionary keeps it.
        std::map<size_t, bool> takenObsolete;
        for (po_message_t m : obsolete) {
            TImportEntry e;
            std::string ctx;
            bool foreign = false;
            if (!po_message_msgctxt(m) || po_message_msgid_plural(m) || !read(m, e, ctx, foreign)) continue;
            const size_t item = entries.Find(ctx);
            if (item == TEntryImport::npos || takenObsolete.count(item)) continue;
            if (entries.IsTranslated(item) || !e.Translated) continue;
            takenObsolete[item] = true;
            if (!seenItem.count(item)) ++result.Entries;
            e.Where = poFile;
            e.Name = "obsolete entry \"" + ctx + "\"";
            if (!entries.TryApply(item, e))
                result.Skipped.push_back(poFile + ": obsolete entry \"" + ctx + "\": \"" + e.Target +
                                         "\" is not a number; not taken");
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
