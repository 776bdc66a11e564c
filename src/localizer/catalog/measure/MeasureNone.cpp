// Builds without a font library measure nothing; the fit check then says so.
#include "TextMeasure.h"

namespace catalog::measure {

namespace {
class TNoMeasure final : public ITextMeasure {
public:
    TTextSize Extent(const TFontDesc&, std::u16string_view) override { return {}; }
    std::string FaceName(const TFontDesc& font) override { return font.Name; }
    bool Available() const override { return false; }
};
}  // namespace

ITextMeasure& SystemTextMeasure() {
    static TNoMeasure m;
    return m;
}

}  // namespace catalog::measure
