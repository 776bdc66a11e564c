// Arbitrary bytes into the LZK reader, as a whole stream (magic checked) and as a token stream
// behind a valid header. The output must equal the plain ring decoder's.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "localizer/kutils/kcompress.h"
#include "localizer/kutils/tests/lzk_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> raw(data, data + size);
    try {
        std::vector<uint8_t> out = kutils::LzkDecompress(raw);
        if (out != lzkref::DecodeTokens(raw)) std::abort();
    } catch (const kutils::EKCompressError&) {
        fw::TBytesStream s(raw.data(), static_cast<int64_t>(raw.size()));
        if (kutils::IsCompressedStream(s)) std::abort();  // only a wrong magic may be refused
    }

    std::vector<uint8_t> block = {'L', 'Z', 'K', '0', '0', 0, 0, 0, 0};
    block.insert(block.end(), data, data + size);
    fw::TBytesStream s(block.data(), static_cast<int64_t>(block.size()));
    if (!kutils::IsCompressedStream(s) || s.Position() != 0) std::abort();
    if (kutils::LzkDecompress(block) != lzkref::DecodeTokens(block)) std::abort();
    return 0;
}
