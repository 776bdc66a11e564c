#include "FormConvert.h"

#include "framework/FormParser.h"
#include "localizer/kutils/KLocales.h"

namespace resources {

namespace {

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<uint8_t>(c) >= 128) return false;
    return true;
}

// The code-page routines stop at a zero byte; form strings may hold #0, so each part between
// zeros is converted on its own.
std::u16string AnsiToWideKeepingZeros(const std::string& s, uint32_t codePage) {
    std::u16string out;
    size_t start = 0;
    while (true) {
        size_t z = s.find('\0', start);
        std::string part = s.substr(start, z == std::string::npos ? std::string::npos : z - start);
        if (!part.empty()) out += kutils::AnsiToWideCP(part, codePage);
        if (z == std::string::npos) break;
        out += u'\0';
        start = z + 1;
    }
    return out;
}

std::string WideToAnsiKeepingZeros(const std::u16string& w, uint32_t codePage) {
    std::string out;
    size_t start = 0;
    while (true) {
        size_t z = w.find(u'\0', start);
        std::u16string part = w.substr(start, z == std::u16string::npos ? std::u16string::npos : z - start);
        if (!part.empty()) out += kutils::WideToAnsiCP(part, codePage);
        if (z == std::u16string::npos) break;
        out += '\0';
        start = z + 1;
    }
    return out;
}

}  // namespace

std::u16string TKWriter::AnsiToWide(const std::string& ansi) const {
    if (IsAscii(ansi)) return fw::TWriter::AnsiToWide(ansi);
    return AnsiToWideKeepingZeros(ansi, kutils::Nls().GetACP());
}

std::string TKWriter::WideToAnsi(const std::u16string& w) const {
    bool ascii = true;
    for (char16_t c : w) ascii = ascii && c < 128;
    if (ascii) return fw::TWriter::WideToAnsi(w);
    return WideToAnsiKeepingZeros(w, kutils::Nls().GetACP());
}

std::string TKWriter::Utf8FormOf(const std::string& ansi) const {
    // ASCII reads the same in every ANSI code page and in UTF-8.
    if (!UTF8Strings || IsAscii(ansi)) return ansi;
    if (langCodePage_ == 0) langCodePage_ = kutils::LocaleCodePage(LangId);
    return fw::Utf16ToUtf8(AnsiToWideKeepingZeros(ansi, langCodePage_));
}

int DetectFormFormat(fw::TStream& stream) {
    return fw::DetectFormStreamFormat(stream);
}

void FormResourceToText(fw::TStream& input, fw::TStream& output) {
    fw::ObjectResourceToText(input, output);
}

void FormBinaryToText(fw::TStream& input, fw::TStream& output) {
    fw::ObjectBinaryToText(input, output);
}

void FormTextToBinary(fw::TStream& input, fw::TStream& output, bool utf8Strings, uint32_t langId, bool utf8Wide) {
    // Float text always uses "."; the tokeniser and the writer never consult the locale.
    TKWriter writer(output);
    writer.UTF8Strings = utf8Strings;
    writer.LangId = langId;
    writer.Utf8ForWide = utf8Wide;
    fw::ObjectTextToBinary(input, writer);
}

void FormTextToResource(fw::TStream& input, fw::TStream& output, bool utf8Strings, uint32_t langId, bool utf8Wide) {
    fw::TMemoryStream binary;
    FormTextToBinary(input, binary, utf8Strings, langId, utf8Wide);
    fw::BinaryToResourceForm(binary.Bytes(), output);
}

}  // namespace resources
