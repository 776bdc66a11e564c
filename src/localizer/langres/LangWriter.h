// Writing language files: any version 1 to 7 with the body-string counters of that version,
// optionally as an "LZK00" block. Tools and tests make files for the program with it.
#pragma once

#include <cstdint>
#include <vector>

#include "LangFormat.h"
#include "LangRes.h"

namespace langres {

// The image as a file of the given version. Fields the version does not have are left out
// (external groups below version 7, float and integer values below version 4); a count or a
// length that does not fit the version raises ELFProcError.
std::vector<uint8_t> WriteLangFile(const TLangFileImage& image, uint16_t version, bool compress);
inline std::vector<uint8_t> WriteLangFile(const TLangFileImage& image, bool compress = false) {
    return WriteLangFile(image, image.Header.Version, compress);
}

// One language of a model as a file image, in the model's list (name) order; the header comes
// from the caller. The values written are those at langIndex.
TLangFileImage ImageFromModel(const TLangResource& model, int langIndex, const TLFHeader& header);

}  // namespace langres
