// Form text typed by people: the tokeniser and the converter must end in a parser error or a
// binary form that reads back and converts to a stable text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/Classes.h"
#include "framework/FormParser.h"
#include "framework/FormStream.h"

static std::vector<uint8_t> ToBinary(std::string_view text) {
    fw::TMemoryStream out;
    fw::TWriter w(out);
    fw::ObjectTextToBinary(text, w);
    return out.Bytes();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The tokeniser alone, over a buffer that ends exactly at the input.
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        fw::TParser p(text);
        int guard = 0;
        while (p.Token() != fw::toEOF && ++guard < 100000) {
            if (p.Token() == fw::toInteger) p.TokenInt();
            if (p.Token() == fw::toSymbol) p.TokenComponentIdent();
            if (p.Token() == '{') p.HexToBinary();
            p.NextToken();
        }
        if (guard >= 100000) std::abort();
    } catch (const fw::EParserError&) {
    }

    std::vector<uint8_t> bin;
    try {
        bin = ToBinary(text);
    } catch (const fw::EParserError&) {
        return 0;
    }
    std::string text1 = fw::ObjectBinaryToText(bin.data(), bin.size());
    std::vector<uint8_t> bin2;
    try {
        bin2 = ToBinary(text1);
    } catch (const fw::EParserError&) {
        return 0;  // a name cut to 255 bytes may end in "."
    }
    std::string text2 = fw::ObjectBinaryToText(bin2.data(), bin2.size());
    if (text2 != text1 || bin2 != bin) std::abort();
    return 0;
}
