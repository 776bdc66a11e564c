// How wide a text is in a given font, as a window draws it: one small interface with a backend
// per platform (GDI on Windows, FreeType with the fonts Wine draws with elsewhere).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace catalog::measure {

// A font as a window asks for it.
struct TFontDesc {
    std::string Name = "MS Sans Serif";
    // Pixels: negative for the em height, positive for the cell height (ascent + descent).
    int32_t Height = -11;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    uint8_t Charset = 1;
    // "Tahoma 8", "Arial 10 bold": the size in points at 96 pixels per inch.
    std::string Describe() const;
    int Points() const;
    bool operator==(const TFontDesc&) const = default;
};

struct TTextSize {
    int Width = 0;   // pixels of one line, from the first glyph's origin to the last advance
    int Height = 0;  // the font's line height (ascent + descent)
};

class ITextMeasure {
public:
    virtual ~ITextMeasure() = default;
    // One line as drawn: no accelerator processing, no line breaks.
    virtual TTextSize Extent(const TFontDesc& font, std::u16string_view line) = 0;
    // The face that really draws the font ("Tahoma"; a substitute's own name).
    virtual std::string FaceName(const TFontDesc& font) = 0;
    // False when this system has no fonts to measure with (nothing is then measured).
    virtual bool Available() const = 0;
};

// The backend of this platform; lives as long as the process.
ITextMeasure& SystemTextMeasure();

// A family that no installed font carries is drawn in its substitute's; "" when it has none.
// The table that the host backend uses, named in reports.
std::string SubstituteFamily(const std::string& family);

}  // namespace catalog::measure
