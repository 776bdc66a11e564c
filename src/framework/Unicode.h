// Characters of any script: UTF-8 decoding, letters, digits and marks, and the identifiers of
// the form text (component, class and property names), which the later compilers of the
// framework allow in any script and store as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// The code point of the well-formed UTF-8 sequence at text[at] (shortest form, no surrogates,
// at most U+10FFFF) and its length in bytes; false when none starts there.
bool DecodeUtf8(std::string_view text, size_t at, char32_t& codePoint, size_t& length);

// A letter of some script: ASCII and Latin-1 letters, and above them every character outside
// the blocks of digits, punctuation, symbols, marks, private use and surrogates.
bool IsLetterCodePoint(char32_t c);
// A decimal digit of some script ("0".."9", Arabic-Indic, Devanagari, fullwidth, ...).
bool IsDigitCodePoint(char32_t c);
// A combining mark (accents written after their letter, the vowel signs of Arabic and Hebrew).
bool IsMarkCodePoint(char32_t c);

// Bytes of the identifier that starts at text[at], 0 when none does: a letter or "_", then
// letters, digits, marks and "_"; characters above ASCII as UTF-8.
size_t IdentifierLength(std::string_view text, size_t at);
// Whether the whole text is one identifier.
bool IsValidIdent(std::string_view text);

// The simple upper case of a letter of the scripts that have case and whose letters resource
// names are written in (Latin, Greek, Cyrillic, Armenian, fullwidth Latin), as the system's
// resource lookup folds names; every other character as it is.
char32_t UpperCaseCodePoint(char32_t c);
// Whether two UTF-16 texts are the same regardless of that case (surrogate pairs compared as
// they are).
bool SameTextWide(std::u16string_view a, std::u16string_view b);

// Bytes of the first character of a UTF-8 text (1 for ASCII and for a byte that starts no
// well-formed sequence), 0 for an empty text.
size_t FirstCharLength(std::string_view text);

}  // namespace fw
