// Compress then decompress must give the input back; the block must be exactly the plain
// sliding-window encoder's and must re-encode to itself.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "localizer/kutils/kcompress.h"
#include "localizer/kutils/tests/lzk_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> src(data, data + size);
    std::vector<uint8_t> block = kutils::LzkCompress(src);
    if (block != lzkref::Compress(src)) std::abort();
    std::vector<uint8_t> back = kutils::LzkDecompress(block);
    if (back != src) std::abort();
    if (kutils::LzkCompress(back) != block) std::abort();
    return 0;
}
