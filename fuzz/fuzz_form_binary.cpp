// Binary forms from module files: the reader must reject bad input with a read error, and
// whatever converts to text must convert back without surprises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/Classes.h"
#include "framework/FormParser.h"
#include "framework/FormStream.h"

static std::string ToText(const std::vector<uint8_t>& b) {
    return fw::ObjectBinaryToText(b.data(), b.size());
}

static std::vector<uint8_t> ToBinary(const std::string& text) {
    fw::TMemoryStream out;
    fw::TWriter w(out);
    fw::ObjectTextToBinary(std::string_view(text), w);
    return out.Bytes();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    try {
        text = fw::ObjectBinaryToText(data, size);
    } catch (const fw::EReadError&) {
        return 0;
    }
    std::vector<uint8_t> bin;
    try {
        bin = ToBinary(text);
    } catch (const fw::EParserError&) {
        return 0;  // names and float specials the text form cannot express
    }
    // What the writer produced must read back, and its text must be stable.
    std::string text2 = ToText(bin);
    std::vector<uint8_t> bin2;
    try {
        bin2 = ToBinary(text2);
    } catch (const fw::EParserError&) {
        return 0;
    }
    if (ToText(bin2) != text2) std::abort();

    // The resource form of the same object, and back.
    fw::TMemoryStream res;
    try {
        fw::BinaryToResourceForm(bin, res);
    } catch (const fw::EParserError&) {
        return 0;
    }
    res.SetPosition(0);
    if (fw::DetectFormStreamFormat(res) != fw::ffResource) std::abort();
    fw::TMemoryStream back;
    fw::ObjectResourceToText(res, back);
    if (std::string(back.Bytes().begin(), back.Bytes().end()) != text2) std::abort();
    return 0;
}
