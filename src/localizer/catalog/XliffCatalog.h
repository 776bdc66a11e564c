// XLIFF 1.2 files (what CAT tools read and write) for language files. One <file> (the program,
// its source and target language as language tags, datatype "winres"), one <trans-unit> per
// item: id and resname the item's path, restype from its component's class, <source> the native
// text, <target> the translation with its state (confirmed: approved="yes", state "final"; not
// confirmed: state "needs-review-translation"; untranslated: state "needs-translation"). The
// unit's extradata and the header's note carry what the language file needs back, the same
// facts as the PO format's comments, so that an import gives back the same file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Exchange.h"
#include "FormLayout.h"

namespace resources {
class TResProcessor;
}

namespace catalog {

// A text's size limit: the room its control has on one line, where the control's width is fixed
// (the room the translation check measures it against), and the control's font.
struct TXliffSize {
    int MaxWidth = 0;  // pixels (maxwidth, size-unit "pixel")
    std::string Font;  // the font attribute: "Tahoma;8", "Arial;10;bold;italic"; "" for none
};

struct TXliffOptions {
    std::string Original;  // the program's name
    // Component classes of the program's forms (TExtractResult::Classes) for restype; without
    // them only what the path tells (forms, string tables, unnamed components) is named.
    std::map<std::string, std::string> Classes;
    // Size limits by the item's path in upper case; items without one get no maxwidth and font.
    std::map<std::string, TXliffSize> Sizes;
};

// The size limits of the texts of the forms whose control has a fixed width (FixedWidth).
std::map<std::string, TXliffSize> XliffSizes(const std::vector<TFormLayout>& forms);
// XLIFF's font attribute, "name;size;weight[;style...]" (size in points, weight "bold" or
// "normal", styles "italic", "underline", "strikeout"); "" for a name it cannot hold.
std::string XliffFont(const measure::TFontDesc& font);
// The classes and size limits of a built program's forms (its 8-bit texts in langId's code
// page); notes name the forms whose layout cannot be read. ECatalogError when a form cannot be
// read at all.
void AddXliffProgram(TXliffOptions& options, const resources::TResProcessor& program, const std::string& programName,
                     uint16_t langId, std::vector<std::string>& notes);

// The XLIFF text of a translation (aligned to the native dictionary as UpdateTranslation does),
// or of the native dictionary itself when translation is null (no targets). ECatalogError for
// an item path that is not text (invalid UTF-8) or is shared by two items.
std::vector<uint8_t> ExportXliff(const TLangFileImage& native, const TLangFileImage* translation,
                                 const TXliffOptions& options);

// The XLIFF restype of a component class ("button", "x-TSpinEdit"); "dialog" for a form itself.
std::string XliffResType(const std::string& className);

// Reads an XLIFF 1.2 file against the native dictionary. What CAT tools add (alt-trans, notes,
// context groups, other namespaces, inline markup in targets) is read past; an edited target,
// approved and state count. XML that is not well formed, a file that is not XLIFF 1.2, a unit
// without <source> or resname, two units for one item, a number that is not one: ECatalogError
// "FILE:LINE: ...". Units for items the native dictionary lacks are counted in Skipped
// (obsolete). langId 0: the language of the file (the header's note, else target-language).
TImportResult ImportXliff(const std::string& xliffFile, const TLangFileImage& native, uint16_t langId);
// The same over bytes already read; fileName only names them in messages.
TImportResult ReadXliff(const std::vector<uint8_t>& bytes, const std::string& fileName, const TLangFileImage& native,
                        uint16_t langId);

}  // namespace catalog
