#include "LangInput.h"

#include <filesystem>

#include "Command.h"
#include "framework/Classes.h"

namespace vtploc {

std::vector<uint8_t> ReadFile(const std::string& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) throw InputError(file + ": no such file");
    try {
        return ReadInput(file);
    } catch (const fw::Exception& e) {
        throw InputError(file + ": " + e.Message());
    }
}

langres::TLangFileImage ReadLangFile(const std::string& file) {
    std::vector<uint8_t> bytes = ReadFile(file);
    try {
        std::vector<uint8_t> plain = langres::DecompressImage(bytes.data(), bytes.size());
        return langres::ParseLangFileImage(plain.data(), plain.size());
    } catch (const fw::Exception& e) {
        throw InputError(file + ": not a valid language file: " + e.Message());
    }
}

langres::TLangFileImage ReadNative(const std::string& file) {
    langres::TLangFileImage native = ReadLangFile(file);
    if (!native.Header.IsNative) throw InputError(file + ": not a native dictionary");
    return native;
}

}  // namespace vtploc
