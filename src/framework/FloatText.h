// Decimal text to binary floating point, correctly rounded (to nearest, ties to even) and
// independent of the locale and of the C library: "." is the decimal separator everywhere.
#pragma once

#include <string_view>

#include "FormStream.h"

namespace fw {

// Text: ["-"] digits ["." digits] [("e"|"E") ["+"|"-"] digits]. False for other text and for
// values too large for the format; values too small become zero or subnormal.
// Inputs with more than 64 significant digits are rounded from their first 64 digits.
// Values without a decimal form are ["-"] "1.#INF" and ["-"] "1.#NAN" followed by the decimal
// bits of the significand below the exponent (the text form writes them so).
bool DecimalToExtended(std::string_view text, TExtended80& out);
bool DecimalToDouble(std::string_view text, double& out);
bool DecimalToSingle(std::string_view text, float& out);
// The same as the value's bits, which a NaN keeps only so on 32-bit x86 (x87 quiets it).
bool DecimalToDoubleBits(std::string_view text, uint64_t& out);
bool DecimalToSingleBits(std::string_view text, uint32_t& out);

}  // namespace fw
