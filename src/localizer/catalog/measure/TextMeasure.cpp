#include "TextMeasure.h"

#include <cctype>
#include <cstdlib>

namespace catalog::measure {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

int TFontDesc::Points() const {
    // 96 pixels per inch: a point is 4/3 pixel; the cell height is about 1.2 em.
    // 64 bits: a form may store any height.
    long long em = Height < 0 ? -static_cast<long long>(Height) : static_cast<long long>(Height) * 5 / 6;
    return static_cast<int>((em * 72 + 48) / 96);
}

std::string TFontDesc::Describe() const {
    std::string s = Name + " " + std::to_string(Points());
    if (Bold) s += " bold";
    if (Italic) s += " italic";
    return s;
}

std::string SubstituteFamily(const std::string& family) {
    // Families of other systems that this one draws in a face of its own.
    // Windows' own substitutes (the registry's FontSubstitutes, as Wine fills them); any other
    // family without a font is drawn in the sans serif default, Arial.
    static const std::pair<const char*, const char*> kTable[] = {
        {"MS Shell Dlg", "Tahoma"}, {"MS Shell Dlg 2", "Tahoma"}, {"Helv", "MS Sans Serif"},
        {"Helvetica", "Arial"},     {"Times", "Times New Roman"}, {"Tms Rmn", "Times New Roman"},
    };
    for (const auto& [from, to] : kTable)
        if (SameName(family, from)) return to;
    return "";
}

}  // namespace catalog::measure
