// The item model of the translators' exchange files (PO, XLIFF): one entry per item of the
// native dictionary, with the native text as source, the translation as target, whether it is
// confirmed, and the facts a language file needs back (kind, revision, flags, stamp, a float's
// bits, where CR LF stood). Each format's reader and writer map entries to its own syntax, so
// whatever one format carries the other carries too.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "Catalog.h"

namespace catalog {

using langres::TLFHeader;

// How an item travels.
enum TEntryKind {
    ekText,       // a string or string list with a native text: the source is that text
    ekEmptyText,  // a string whose native text is empty: the source is a placeholder
    ekNumber,     // an integer or float with a stored value: source and target are the numbers
    ekNoValue,    // a kind without a stored value: a placeholder source, the state only
};

// What an entry carries besides its texts, as one line "vtploc: revision R, flags 0xF, stamp S
// [, value bits 0x..][, msgid eol 0101][, msgstr eol ..][, msgid chars ..][, msgstr chars ..]
// [, empty translation][, item PATH]" (PO: an extracted comment, and the translator's comment for
// the translation's own; XLIFF: the unit's extradata).
struct TEntryFacts {
    bool Present = false;
    int32_t Revision = 0;
    uint16_t Flags = 0;
    uint64_t Stamp = 0;
    bool HasBits = false;
    uint64_t Bits = 0;      // a float value's bits, exactly
    std::string MsgidEol;   // one digit per line break of the source: 1 CR LF, 0 LF
    std::string MsgstrEol;  // the same for the target
    bool HasMsgidEol = false, HasMsgstrEol = false;
    // Characters a format cannot hold, each written as U+FFFD: the code points of every U+FFFD
    // of the text in order, 4 to 6 hex digits joined by ".".
    std::string MsgidChars, MsgstrChars;
    bool EmptyTranslation = false;  // translated, as an empty text
    // The item the facts are of, where they say (last on the line: a path is taken whole). A
    // merge may carry one item's translation, comments and all, to another item.
    std::string Item;
};

extern const char* const FactsTag;  // "vtploc: "
std::string FormatFacts(const TEntryFacts& f);
// The facts of the line that follows FactsTag in text; Present false without one.
TEntryFacts ParseFacts(const std::string& text);

// One entry of an export.
struct TExportEntry {
    std::string Path;  // the item's path ("Form.Component.Property"): msgctxt, resname
    TItemCategory Category = icConstant;
    std::string Owner, Component;
    uint32_t Kind = 0;   // the native record's kind
    uint16_t ResId = 0;  // string-table id of a constant
    TEntryKind EntryKind = ekText;
    std::string Source;  // UTF-8, line breaks as "\n"
    std::string Target;  // the same; "" when untranslated
    bool Translated = false, Confirmed = false;
    std::string Notes;  // for the translator, one line each, "\n" after each
    // The translation's facts (a template's: the native item's), with where the source's CR LF
    // stood; where the target's stood only when import would not give them back by default.
    TEntryFacts Facts;
    // The native item's own: revision, flags, stamp, a float's bits, where the source's CR LF
    // stood (what a merge takes from a newer template).
    TEntryFacts NativeFacts;
};

struct TExport {
    TLFHeader Header;  // the translation's (aligned to the native dictionary) or the native's
    bool Template = true;
    std::vector<TExportEntry> Entries;
};

// The entries of a translation aligned to the native dictionary (UpdateTranslation), or of the
// native dictionary itself when translation is null. An empty native text, or a kind without a
// stored value, offers nothing to translate: in a translation such an entry is there only to
// carry its own state; a template has every entry, so that a merge finds each translation's
// entry in it. ECatalogError when two items share a path ("FORMAT cannot tell them
// apart", format like "a PO file").
TExport ExportEntries(const TLangFileImage& native, const TLangFileImage* translation, const std::string& format);

// "version V, revision R, build B, options 0xO, word 0xW" of a header, and back (build, options
// and word set; false when the text is not one).
std::string FileFacts(const TLFHeader& h);
bool ParseFileFacts(const std::string& text, TLFHeader& h);

// One entry as a reader found it, converted to UTF-8 with "\n" line breaks.
struct TImportEntry {
    std::string Where;  // "FILE:LINE" (or "FILE")
    std::string Name;   // how messages name it: "entry \"Main.SHello\""
    std::string Source, Target;
    bool Translated = false;  // the target is a translation (an empty one only where so marked)
    bool Confirmed = false;   // the translator confirmed it (PO: not fuzzy)
    TEntryFacts Facts;
};

struct TImportResult {
    TLangFileImage Image;
    size_t Entries = 0, Translated = 0, Fuzzy = 0;
    std::vector<std::string> Skipped;  // entries for items the native dictionary lacks
    std::vector<std::string> Notes;    // the header's language taken otherwise than written
};

// Entries applied to a translation that starts with nothing translated, in the native layout.
class TEntryImport {
public:
    TEntryImport(const TLangFileImage& native, uint16_t langId);
    TEntryImport(const TEntryImport&) = delete;
    TEntryImport& operator=(const TEntryImport&) = delete;

    static constexpr size_t npos = static_cast<size_t>(-1);
    // The item of a path, or npos when the native dictionary has none.
    size_t Find(const std::string& path) const;
    // The item's record from the entry: its facts, its text or number, confirmed only where the
    // source is still the native text (else outdated: not confirmed, an older revision).
    // ECatalogError "WHERE: NAME: "x" is not an integer" for a number that is not one.
    void Apply(size_t item, const TImportEntry& e);
    // The same; false, the item as it was, for a number that is not one.
    bool TryApply(size_t item, const TImportEntry& e);
    // Whether an entry gave the item a translation.
    bool IsTranslated(size_t item) const;

    TLFHeader& Header() { return image_.Header; }
    size_t Translated() const { return translated_; }
    size_t Fuzzy() const { return fuzzy_; }
    TLangFileImage Take() { return std::move(image_); }

private:
    TLangFileImage native_, image_;
    std::vector<TItemRef> items_, nativeItems_;
    std::map<std::string, size_t> byPath_;
    size_t translated_ = 0, fuzzy_ = 0;
};

// The "Language" header's name of a language id ("de", "pt_PT", "sr_RS@latin"; "" when
// unknown), and back: a region the locale table lacks gives the language's primary locale and
// regionFound false; 0 when the language is unknown.
std::string IsoLanguage(uint16_t langId);
uint16_t LangIdFromIso(const std::string& code, bool* regionFound = nullptr);

// A header's "X-Language-Id" ("0x0407", "1031"): a locale of the table, or any other id when the
// file names the language too (export writes such a file so); false for anything else ("0x9999"
// unnamed, "-1", "0x10407", "German"). BadLanguageId: the message for such a value.
bool LanguageIdOf(const std::string& text, bool named, uint16_t& id);
std::string BadLanguageId(const std::string& text);

}  // namespace catalog
