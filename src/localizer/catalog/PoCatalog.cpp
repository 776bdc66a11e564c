#include "PoCatalog.h"

#include <gettext-po.h>
#include <unistd.h>

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

void OnError2(int severity, po_message_t m1, const char* f1, size_t l1, size_t c1, int ml1, const char* t1,
              po_message_t, const char*, size_t, size_t, int, const char*) {
    OnError(severity, m1, f1, l1, c1, ml1, t1);
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
};

TState ParseState(const char* comments) {
    TState st;
    if (!comments) return st;
    const char* p = std::strstr(comments, StateTag);
    if (!p) return st;
    long rev = 0;
    unsigned flags = 0;
    unsigned long long stamp = 0;
    if (std::sscanf(p + std::strlen(StateTag), "revision %ld, flags 0x%x, stamp %llx", &rev, &flags, &stamp) >= 2) {
        st.Present = true;
        st.Revision = static_cast<int32_t>(rev);
        st.Flags = static_cast<uint16_t>(flags);
        st.Stamp = stamp;
    }
    return st;
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
        if (n.Kind != langres::vkString && n.Kind != langres::vkStringList) continue;
        if (n.Value.Text.empty()) continue;  // nothing to translate; an empty msgid is the header
        std::string path = items[i].Path();
        if (!seen.emplace(fw::UpperCaseAscii(path), i).second)
            throw ECatalogError("two items have the path " + path + "; a PO file cannot tell them apart");
        po_message_t m = po_message_create();
        po_message_set_msgctxt(m, path.c_str());
        po_message_set_msgid(m, Replace(Utf8(n.Value.Text), "\r\n", "\n").c_str());
        const TLFRecord& t = translation ? *trans[i].Record : n;
        bool translated = translation && t.Revision >= 0;
        po_message_set_msgstr(m, translated ? Replace(Utf8(t.Value.Text), "\r\n", "\n").c_str() : "");
        if (translated && !(t.Flags & langres::vfConfirmed)) po_message_set_fuzzy(m, 1);
        std::string comment = std::string("kind: ") + KindName(n.Kind);
        if (items[i].Category == icConstant) comment += ", string-table id " + std::to_string(n.ResId);
        comment += "\n";
        if (n.Kind == langres::vkStringList) comment += "one line per list item\n";
        comment += std::string(StateTag) + "revision " + std::to_string(t.Revision) + ", flags 0x" +
                   HexWord(t.Flags, 4) + ", stamp " + HexWord(t.Stamp, 16) + "\n";
        po_message_set_extracted_comments(m, comment.c_str());
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
    TPoErrors errors;
    po_file_t file = ReadPoFile(poFile.c_str(), errors);
    if (!file || !errors.First.empty()) {
        if (file) po_file_free(file);
        throw ECatalogError(errors.First.empty() ? poFile + ": not a valid PO file" : errors.First);
    }
    TImportResult result;
    try {
        const char* header = po_file_domain_header(file, nullptr);
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

        // Start from "nothing translated" in the native layout.
        TLangFileImage empty = native;
        empty.Units.clear(), empty.Forms.clear(), empty.Groups.clear();
        empty.Header.LangId = langId;
        TUpdateCounts counts;
        result.Image = UpdateTranslation(native, empty, counts);
        auto& H = result.Image.Header;
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

        po_message_iterator_t it = po_message_iterator(file, nullptr);
        for (po_message_t m; (m = po_next_message(it)) != nullptr;) {
            const char* msgid = po_message_msgid(m);
            if (po_message_is_obsolete(m) || !msgid || !*msgid) continue;
            ++result.Entries;
            const char* ctx = po_message_msgctxt(m);
            auto found = ctx ? byPath.find(ctx) : byPath.end();
            if (found == byPath.end()) {
                result.Skipped.push_back(poFile + ": entry \"" + (ctx ? ctx : std::string("(no context)")) +
                                         "\": no such item in the native dictionary; skipped");
                continue;
            }
            TLFRecord& rec = *items[found->second].Record;
            const TLFRecord& nat = *nativeItems[found->second].Record;
            const char* msgstr = po_message_msgstr(m);
            TState st = ParseState(po_message_extracted_comments(m));
            bool fuzzy = po_message_is_fuzzy(m);
            bool sameSource = Replace(Utf8(nat.Value.Text), "\r\n", "\n") == msgid;
            if (st.Present) {
                rec.Flags = st.Flags;
                rec.Stamp = st.Stamp;
            }
            if (!msgstr || !*msgstr) {
                rec.Revision = -1;
                rec.Flags = static_cast<uint16_t>(rec.Flags & ~langres::vfConfirmed);
                continue;
            }
            std::string text = msgstr;
            bool crlf = nat.Kind == langres::vkStringList || nat.Value.Text.find(u"\r\n") != std::u16string::npos;
            if (crlf) text = Replace(text, "\n", "\r\n");
            rec.Value.Text = fw::Utf8ToUtf16(text);
            rec.Value.Present = true;
            // A translation made for an older native text is kept but not confirmed.
            bool confirmed = !fuzzy && sameSource;
            rec.Revision = st.Present ? st.Revision : nat.Revision;
            if (confirmed && rec.Revision < nat.Revision) rec.Revision = nat.Revision;
            if (!sameSource && rec.Revision >= nat.Revision) rec.Revision = nat.Revision - 1;
            rec.Flags =
                static_cast<uint16_t>(confirmed ? rec.Flags | langres::vfConfirmed : rec.Flags & ~langres::vfConfirmed);
            ++result.Translated;
            if (!confirmed) ++result.Fuzzy;
        }
        po_message_iterator_free(it);
    } catch (...) {
        po_file_free(file);
        throw;
    }
    po_file_free(file);
    return result;
}

}  // namespace catalog
