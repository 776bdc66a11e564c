// Form resources as the translation check reads them: the tree reader must reject bad input with
// a read error, and a program whose forms are anything at all is laid out and checked without a
// crash, a read outside its bytes or an endless walk.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "localizer/catalog/Check.h"
#include "localizer/catalog/FormTree.h"
#include "localizer/resources/ResProc.h"

namespace {
class TFlatMeasure : public catalog::measure::ITextMeasure {
public:
    catalog::measure::TTextSize Extent(const catalog::measure::TFontDesc&, std::u16string_view line) override {
        return {static_cast<int>(line.size()) * 6, 13};
    }
    std::string FaceName(const catalog::measure::TFontDesc& f) override { return f.Name; }
    bool Available() const override { return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    try {
        std::vector<uint8_t> binary;
        if (catalog::FormResourceBinary(bytes, binary)) catalog::ReadFormTree(binary, 0x0409);
    } catch (const fw::Exception&) {
    }
    // The same bytes as two form resources of a program (the second an inline frame's own form).
    resources::TResProcessor program;
    auto rc = std::make_unique<resources::TResRCData>();
    for (const char* name : {"TFORM1", "TFRAME1"}) {
        fw::TMemoryStream m(bytes);
        rc->Add(name)->LoadData(m);
    }
    program.AddBlock(std::move(rc));
    catalog::TLangFileImage native, translation;
    TFlatMeasure measure;
    catalog::TCheckOptions o;
    o.Measure = &measure;
    try {
        catalog::CheckTranslation(program, native, translation, o);
    } catch (const fw::Exception&) {
    }
    return 0;
}
