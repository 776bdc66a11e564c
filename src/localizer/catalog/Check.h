// The translation's quality gate, from the built program: every translated text checked in its
// control's own font and room (fit), for its accelerator, format specifiers, blanks and
// punctuation, and against the other translations of the same native text (consistency).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "localizer/catalog/Catalog.h"
#include "localizer/catalog/FormLayout.h"
#include "localizer/catalog/measure/TextMeasure.h"

namespace catalog {

enum class TCheckKind { Fit, Accelerator, Format, Blanks, Consistency };
// Overflow and error fail a release; crowded and warning are worth a look.
enum class TCheckLevel { Overflow, Crowded, Error, Warning };
const char* CheckKindName(TCheckKind k);
const char* CheckLevelName(TCheckLevel l);
bool IsErrorLevel(TCheckLevel l);

struct TFinding {
    std::string Item;  // "Form.Component.Caption", "Unit.Constant"
    TCheckKind Check = TCheckKind::Fit;
    TCheckLevel Level = TCheckLevel::Warning;
    std::u16string Text;    // the translation exactly as the program holds it ("&" included)
    std::u16string Native;  // the native text
    std::string Message;    // what is wrong, in words
    // Fit findings: the text's pixels against the room it has, and the font measured with.
    int TextPx = -1, AreaPx = -1;
    std::string Font;
    std::string Face;              // the face that draws it, when a substitute does
    bool NativeOverflows = false;  // the native text does not fit either: a fault of the form
    std::string Form;              // the form the control is on ("" for string tables)
    int Box = -1;                  // the control's box in that form's layout
};

struct TCheckOptions {
    measure::ITextMeasure* Measure = nullptr;  // nullptr: the system's
    double CrowdedShare = 0.9;                 // a text over this share of its room is crowded
};

struct TCheckResult {
    std::vector<TFinding> Findings;
    std::vector<TFormLayout> Forms;
    std::vector<std::string> Notes;  // what could not be checked and why
    size_t Texts = 0;                // translated texts checked
    size_t Measured = 0;             // of them measured in their control's font
    size_t Count(TCheckLevel l) const;
    size_t Count(TCheckKind k) const;
};

// Checks a translation of the program. native: its native dictionary (the translation's items
// are found by path, else by id). Untranslated items show the native text and are left out.
TCheckResult CheckTranslation(const resources::TResProcessor& program, const TLangFileImage& native,
                              const TLangFileImage& translation, const TCheckOptions& options = {});

// "APP.exe:Form.Component.Caption: overflow: 'Einstellungen speichern' 142 px in 121 px (Tahoma 8)"
std::string FindingLine(const std::string& programName, const TFinding& f);
// One JSON object (one line): item, check, level, text, native, text_px, area_px, font, ...
std::string FindingJson(const std::string& programName, const TFinding& f);
// "2 overflow, 1 crowded, 3 errors, 0 warnings (fit 3, accelerator 1, ...)".
std::string CheckSummary(const TCheckResult& r);
// A page that draws each form as the boxes of its controls (SVG) with every finding's control
// marked and its text shown, and the findings listed below.
std::string CheckReportHtml(const std::string& programName, const TCheckResult& r);

// Format specifiers of a text ("%s", "%0:d", "%-10.2f", "%*d"; not "%%"), as written.
std::vector<std::u16string> FormatSpecifiers(const std::u16string& text);

}  // namespace catalog
