// Form resources of a program as the generation rule and module verify scan them: binary forms
// and resource forms; bad input ends in a read error, never outside the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "framework/Classes.h"
#include "localizer/resources/Generation.h"
#include "localizer/resources/ResProc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        resources::TFormScan scan = resources::ScanForm(data, size);
        for (const auto& v : scan.Strings)
            if (v.Tag != fw::vaString && v.Tag != fw::vaLString && v.Tag != fw::vaWString && v.Tag != fw::vaUTF8String)
                std::abort();
    } catch (const fw::Exception&) {
    }
    // The same bytes as a program's only form: the rule reads it or leaves it out.
    resources::TResProcessor p;
    auto* rc = static_cast<resources::TResRCData*>(p.AddBlock(std::make_unique<resources::TResRCData>()));
    fw::TBytesStream s(data, static_cast<int64_t>(size));
    rc->Add("TFORM1")->LoadData(s);
    resources::TFormReaderKinds k = resources::ProgramFormReader(p);
    if (k.Utf8 && !k.Wide) std::abort();
    return 0;
}
