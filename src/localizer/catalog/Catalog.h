// The translators' loop over language files: the native dictionary of a built program
// (extract), carrying translations to a new dictionary (update), statistics and
// pseudo-translation. Works on language-file images (langres::TLangFileImage) as stored, so
// every field a file carries survives.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/SysUtils.h"
#include "localizer/langres/LangFormat.h"

namespace resources {
class TResProcessor;
}

namespace catalog {

// A failure of the input: the message names the file (and line) and what is wrong.
FW_DECLARE_EXCEPTION(ECatalogError, fw::Exception);

using langres::TLangFileImage;
using langres::TLFRecord;

// ---- items of an image, flat

enum TItemCategory { icConstant = 0, icProperty = 1, icExternal = 2 };

// One record of an image with its path: "Unit.Constant", "Form.Property",
// "Form.Component.Property" or "Group.External".
struct TItemRef {
    TItemCategory Category;
    std::string Owner;      // unit, form or group
    std::string Component;  // properties of components; empty for the form's own
    TLFRecord* Record;
    std::string Path() const;
};

std::vector<TItemRef> Items(TLangFileImage& image);

// ---- resource headers

// "#define NAME NUMBER" lines (decimal, 0x hex or 0 octal with u/L suffixes, optionally in
// parentheses; comments read as the preprocessor does; other defines skipped)
// as id -> name. Where several names share an id an "IDS_" name wins, else the first.
// ECatalogError "FILE:LINE: ..." for a define whose number is out of the 16-bit range.
std::map<uint16_t, std::string> ParseResourceHeader(const std::string& text, const std::string& fileName);

// ---- extract

struct TExtractOptions {
    std::map<uint16_t, std::string> Names;     // string-table names (ParseResourceHeader)
    std::string UnitName = "Strings";          // the unit that holds the string-table entries
    uint16_t LangId = 0;                       // 0: from the program's settings records
    const TLangFileImage* Previous = nullptr;  // --update: the dictionary this one follows
};

struct TExtractCounts {
    size_t Forms = 0, Properties = 0, Constants = 0;
    size_t Unchanged = 0, Added = 0, Changed = 0, Removed = 0;
};

struct TExtractResult {
    TLangFileImage Image;
    TExtractCounts Counts;
    std::vector<std::string> Notes;  // what the program lacks (no forms, no string table, ...)
    // The class of every component of the program's forms, as its form resource names it, by
    // the component's path in upper case ("FORM.COMPONENT", "FORM.PANEL1.TBUTTON2").
    std::map<std::string, std::string> Classes;
};

// Default name of a string-table entry without a name in the header.
std::string DefaultConstantName(uint16_t id);

// The native dictionary of a program from its resources alone. Without Previous: revision 1,
// ids 1, 2, ... in name order. With Previous: unchanged items keep id and revision, changed
// texts and new items get the next revision (Previous.Revision + 1 when anything changed),
// new items new ids; removed items go. Form streams that cannot be read raise ECatalogError
// naming the form.
TExtractResult ExtractNative(const resources::TResProcessor& program, const std::string& programName,
                             const TExtractOptions& options);

// ---- update a translation to a new native dictionary

struct TUpdateCounts {
    size_t Translated = 0, Unconfirmed = 0, Untranslated = 0, Obsolete = 0;
};

// The translation laid out like the native dictionary: each native item takes the translation's
// record found by path, else by id (same category and kind). A translation whose native text
// changed since (native revision above the translation's) keeps its text and loses
// vfConfirmed; items without a translation are untranslated (revision -1, the native text).
// Header: the translation's language, names, build and options; the native's revision, version
// and last ids.
TLangFileImage UpdateTranslation(const TLangFileImage& native, const TLangFileImage& old, TUpdateCounts& counts);

// ---- statistics

struct TStatsLine {
    std::string Section;  // "form", "unit", "group"
    std::string Name;
    size_t Total = 0, Translated = 0, Confirmed = 0, Outdated = 0;
};
struct TStats {
    std::vector<TStatsLine> Lines;
    TStatsLine All;
    double Percent() const { return All.Total ? 100.0 * All.Translated / All.Total : 100.0; }
};
// Without native: the file's own records (translated: revision >= 0). With native: every
// native item, its translation looked up by id as the reader does (outdated: translated at a
// lower revision than the native text's).
TStats Statistics(TLangFileImage& file, TLangFileImage* native);

// ---- pseudo-translation

// Windows' pseudo-locale, which the localizer can switch to like any other language (code QPS).
constexpr uint16_t PseudoLangId = 0x0501;

// The accented, lengthened, bracketed look-alike of a text: format specifiers ("%s", "%d",
// "%0:s", "%-10.2f", "%%"), accelerators ("&"), line breaks and leading and trailing blanks
// are kept; letters are replaced by accented ones; about expandPercent of the text's length is
// added as "·" before the closing bracket. A text without a letter ("1", "0.00", "%d") is
// returned as it is. In a file filter ("Text files|*.txt") each
// description is treated so on its own and the masks are kept as they are.
// The look-alikes are those the code page of langId holds, so that a program that shows 8-bit
// text on a system of that code page shows all of it: in 1252 (and the pseudo-locale) accented
// Latin-1 letters and "·"; elsewhere accented Latin, fullwidth, Greek or Cyrillic letters as
// the code page has them, a letter without one staying as it is.
std::u16string PseudoText(const std::u16string& text, int expandPercent, uint16_t langId = PseudoLangId);

// A translation in which every text of the native dictionary is pseudo-translated.
TLangFileImage PseudoTranslation(const TLangFileImage& native, uint16_t langId, int expandPercent);

}  // namespace catalog
