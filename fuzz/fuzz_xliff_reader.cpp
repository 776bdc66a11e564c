// XLIFF files come from translators' tools and agencies: arbitrary bytes go through the reader
// against a native dictionary with an item of every kind (the seeds are its export, files as CAT
// tools leave them, and malformed ones).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "localizer/catalog/XliffCatalog.h"
#include "localizer/catalog/tests/ExchangeTestUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const catalog::TLangFileImage native = cattest::KindsNative();
    try {
        catalog::TImportResult r = catalog::ReadXliff(std::vector<uint8_t>(data, data + size), "fuzz.xlf", native, 0);
        // What was read must be writable as a language file.
        langres::WriteLangFile(r.Image);
    } catch (const fw::Exception&) {
    }
    return 0;
}
