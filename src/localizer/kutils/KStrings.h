// Small text routines of the localizer over 8-bit ANSI strings; positions are 1-based.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/SysUtils.h"

namespace kutils {

// The declaring macro inherits constructors by the base's unqualified name.
using fw::Exception;
FW_DECLARE_EXCEPTION(EKStringsError, Exception);

bool HasLetters(std::string_view text);
bool HasNonSymbolChars(std::u16string_view text);
std::string Spaces(int count);
int PosNth(std::string_view sub, std::string_view text, int from, int n);
int PosText(std::string_view sub, std::string_view text);
std::string TrimmedPartBefore(std::string_view separator, std::string_view text);
int32_t StrToIntZero(std::string_view text);
int HexDigitToInt(char ch);
int32_t HexToInt(std::string_view text);
std::string JoinWithSeparator(std::string_view first, std::string_view second, std::string_view separator);
std::string JoinPath(std::string_view folder, std::string_view name);
std::string JoinDotted(std::string_view first, std::string_view second);
std::string QuoteString(std::string_view text, char quoteChar);
int IndexOfText(const std::vector<std::string>& list, std::string_view text);
// Left and Right around the first occurrence of separator (which is dropped whole); both empty
// when it does not occur.
void SplitAt(std::string_view separator, std::string_view text, std::string& left, std::string& right);
bool TextInArray(std::string_view text, const std::vector<std::string>& items);
// "*" and "?" masks as the localizer's name filters use them (see KStrings.cpp for the rules);
// the work is bounded by text length times mask length, whatever the mask.
bool MatchesWildcard(std::string_view text, std::string_view mask, bool caseSensitive);

// The locale's ANSI lower/upper case mapping (system code page), as the runtime's
// AnsiLowerCase/AnsiUpperCase; used by PosText and MatchesWildcard.
std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);

}  // namespace kutils
