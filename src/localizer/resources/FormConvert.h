// Conversions between the three encodings of a form: resource form, binary form and text form.
// The text-to-binary direction goes through TKWriter, which can store strings as UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Classes.h"
#include "framework/FormStream.h"

namespace resources {

// Form writer of the localizer: with UTF8Strings, 8-bit text is read in the ANSI code page of
// LangId and stored as UTF-8 whenever that differs from the bytes themselves.
class TKWriter : public fw::TWriter {
public:
    explicit TKWriter(fw::TStream& stream) : fw::TWriter(stream) {}

    bool UTF8Strings = false;
    uint32_t LangId = 0;

    // Between 8-bit and wide text in the system's ANSI code page.
    std::u16string AnsiToWide(const std::string& ansi) const override;
    std::string WideToAnsi(const std::u16string& w) const override;
    std::string Utf8FormOf(const std::string& ansi) const override;

private:
    mutable uint32_t langCodePage_ = 0;  // looked up on first use
};

// 0 resource form, 1 binary form, 2 text form; the stream is left at position 0.
int DetectFormFormat(fw::TStream& stream);
// From the input's position to its end, appended to the output.
void FormResourceToText(fw::TStream& input, fw::TStream& output);
void FormBinaryToText(fw::TStream& input, fw::TStream& output);
// utf8Wide false: wide text is never stored as UTF-8 (tag 20), for readers that lack that kind.
void FormTextToBinary(fw::TStream& input, fw::TStream& output, bool utf8Strings, uint32_t langId, bool utf8Wide = true);
// EParserError "Component name is too long: \"%s\"" for class names of 70 bytes or more.
void FormTextToResource(fw::TStream& input, fw::TStream& output, bool utf8Strings, uint32_t langId,
                        bool utf8Wide = true);

}  // namespace resources
