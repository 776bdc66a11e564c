#include "FloatText.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace fw {

namespace {

// Unsigned big integer, 32-bit limbs, least significant first, no leading zero limbs.
struct TBig {
    std::vector<uint32_t> d;

    bool Zero() const { return d.empty(); }
    void Trim() {
        while (!d.empty() && d.back() == 0) d.pop_back();
    }
    void MulAdd(uint32_t mul, uint32_t add) {
        uint64_t carry = add;
        for (auto& limb : d) {
            uint64_t v = static_cast<uint64_t>(limb) * mul + carry;
            limb = static_cast<uint32_t>(v);
            carry = v >> 32;
        }
        if (carry) d.push_back(static_cast<uint32_t>(carry));
    }
    void MulPow10(int n) {
        while (n >= 9) {
            MulAdd(1000000000u, 0);
            n -= 9;
        }
        static const uint32_t p[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
        if (n > 0) MulAdd(p[n], 0);
    }
    int BitLength() const {
        if (d.empty()) return 0;
        uint32_t top = d.back();
        int n = 0;
        while (top) {
            ++n;
            top >>= 1;
        }
        return static_cast<int>((d.size() - 1) * 32) + n;
    }
    void ShiftLeft(int bits) {
        if (Zero() || bits <= 0) return;
        int limbs = bits / 32, rest = bits % 32;
        if (rest) {
            uint32_t carry = 0;
            for (auto& limb : d) {
                uint32_t v = limb;
                limb = (v << rest) | carry;
                carry = v >> (32 - rest);
            }
            if (carry) d.push_back(carry);
        }
        d.insert(d.begin(), static_cast<size_t>(limbs), 0u);
    }
    void ShiftRight1() {
        for (size_t i = 0; i < d.size(); ++i) d[i] = (d[i] >> 1) | (i + 1 < d.size() ? d[i + 1] << 31 : 0);
        Trim();
    }
    static int Compare(const TBig& a, const TBig& b) {
        if (a.d.size() != b.d.size()) return a.d.size() < b.d.size() ? -1 : 1;
        for (size_t i = a.d.size(); i-- > 0;)
            if (a.d[i] != b.d[i]) return a.d[i] < b.d[i] ? -1 : 1;
        return 0;
    }
    void Subtract(const TBig& b) {  // requires *this >= b
        int64_t borrow = 0;
        for (size_t i = 0; i < d.size(); ++i) {
            int64_t v = static_cast<int64_t>(d[i]) - borrow - (i < b.d.size() ? static_cast<int64_t>(b.d[i]) : 0);
            borrow = v < 0;
            d[i] = static_cast<uint32_t>(v + (borrow ? (int64_t(1) << 32) : 0));
        }
        Trim();
    }
};

// A finite value as sign, significand and binary exponent: value = m * 2^(e - (bits - 1)).
struct TRounded {
    bool negative = false;
    bool zero = false;
    uint64_t m = 0;  // bits significant bits, or fewer for subnormals
    int e = 0;       // exponent of the leading bit of a normal value
    bool subnormal = false;
};

// Parses the text and rounds it to a significand of mantBits bits with the least normal
// exponent minExp and the greatest maxExp. False on bad text or overflow.
bool RoundDecimal(std::string_view s, int mantBits, int minExp, int maxExp, TRounded& out) {
    size_t i = 0;
    out = TRounded();
    if (i < s.size() && s[i] == '-') {
        out.negative = true;
        ++i;
    }
    TBig digits;
    int sig = 0;           // significant digits kept
    bool dropped = false;  // non-zero digits beyond those kept
    int exp10 = 0;
    bool anyDigit = false;
    auto digit = [&](char c, bool fraction) {
        anyDigit = true;
        if (sig < 64) {
            if (sig > 0 || c != '0') {
                digits.MulAdd(10, static_cast<uint32_t>(c - '0'));
                ++sig;
            }
            if (fraction) --exp10;
        } else {
            if (c != '0') dropped = true;
            if (!fraction) ++exp10;
        }
    };
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') digit(s[i++], false);
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') digit(s[i++], true);
    }
    if (!anyDigit) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negExp = s[i++] == '-';
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
        int e = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (e < 100000) e = e * 10 + (s[i] - '0');
            ++i;
        }
        exp10 += negExp ? -e : e;
    }
    if (i != s.size()) return false;
    if (dropped) {
        // A digit 1 in place of the rest: keeps the value strictly between the neighbours of
        // the kept digits.
        digits.MulAdd(10, 1);
        --exp10;
    }
    digits.Trim();
    if (digits.Zero()) {
        out.zero = true;
        return true;
    }
    // Far outside any format: decide without big arithmetic.
    int approxExp2 = static_cast<int>((sig + exp10) * 3.3219281);
    if (approxExp2 > maxExp + 8) return false;
    if (approxExp2 < minExp - mantBits - 8) {
        out.zero = true;
        return true;
    }

    // value = a / b
    TBig a = digits, b;
    b.d.push_back(1);
    if (exp10 >= 0)
        a.MulPow10(exp10);
    else
        b.MulPow10(-exp10);
    // q = floor(a * 2^k / b) with 2^63 <= q < 2^64; rem the remainder.
    int k = 63 - (a.BitLength() - b.BitLength());
    uint64_t q = 0;
    TBig rem;
    for (int attempt = 0; attempt < 2; ++attempt) {
        TBig num = a, den = b;
        if (k >= 0)
            num.ShiftLeft(k);
        else
            den.ShiftLeft(-k);
        q = 0;
        TBig t = den;
        t.ShiftLeft(63);
        for (int bit = 63; bit >= 0; --bit) {
            if (TBig::Compare(num, t) >= 0) {
                num.Subtract(t);
                q |= uint64_t(1) << bit;
            }
            t.ShiftRight1();
        }
        rem = num;
        if (q >> 63) {
            // rem < den; remember den for the half comparison.
            b = den;
            break;
        }
        ++k;
    }
    int e = 63 - k;  // value in [2^e, 2^(e+1))
    int avail = mantBits;
    if (e < minExp) avail = mantBits - (minExp - e);
    int drop = 64 - avail;  // low bits of q to round away (>= 64 - mantBits)
    uint64_t m;
    bool up;
    bool sticky = !rem.Zero();
    if (drop > 64) {
        out.zero = true;
        return true;
    }
    if (drop == 64) {
        m = 0;
        uint64_t half = uint64_t(1) << 63;
        up = q > half || (q == half && sticky);
    } else {
        m = q >> drop;
        uint64_t rbits = drop ? (q & ((uint64_t(1) << drop) - 1)) : 0;
        if (drop == 0) {
            // Compare the remainder with half the divisor.
            TBig twice = rem;
            twice.ShiftLeft(1);
            int c = TBig::Compare(twice, b);
            up = c > 0 || (c == 0 && (m & 1));
        } else {
            uint64_t half = uint64_t(1) << (drop - 1);
            up = rbits > half || (rbits == half && (sticky || (m & 1)));
        }
    }
    if (up) ++m;
    if (e >= minExp) {
        // Rounded up to the next power of two (a 64-bit significand wraps to 0).
        bool carried = mantBits == 64 ? (up && m == 0) : (m >> mantBits) != 0;
        if (carried) {
            m = uint64_t(1) << (mantBits - 1);
            ++e;
        }
        if (e > maxExp) return false;
        out.m = m;
        out.e = e;
    } else {
        // Subnormal: m counts units of 2^(minExp - (mantBits - 1)); reaching 2^(mantBits-1)
        // makes it the least normal value.
        if (m == 0) {
            out.zero = true;
            return true;
        }
        out.m = m;
        out.e = minExp;
        out.subnormal = (m >> (mantBits - 1)) == 0;
    }
    return true;
}

}  // namespace

namespace {

// The text form of a value that has no decimal one: ["-"] "1.#INF", or ["-"] "1.#NAN" and the
// decimal bits of the significand (all bits below the exponent), so that any NaN comes back as
// it was. negative, infinite and the bits are returned; false for other text.
bool ParseNonFinite(std::string_view text, bool& negative, bool& infinite, uint64_t& bits) {
    negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.substr(0, 6) == "1.#INF" && text.size() == 6) {
        infinite = true;
        bits = 0;
        return true;
    }
    if (text.substr(0, 6) != "1.#NAN" || text.size() == 6 || text.size() > 6 + 20) return false;
    infinite = false;
    bits = 0;
    for (char c : text.substr(6)) {
        if (c < '0' || c > '9') return false;
        uint64_t next = bits * 10 + static_cast<uint64_t>(c - '0');
        if ((next - static_cast<uint64_t>(c - '0')) / 10 != bits) return false;  // beyond 64 bits
        bits = next;
    }
    return true;
}

}  // namespace

bool DecimalToExtended(std::string_view text, TExtended80& out) {
    bool negative, infinite;
    uint64_t bits;
    if (ParseNonFinite(text, negative, infinite, bits)) {
        // The significand carries its integer bit; a NaN's is whatever the value had.
        uint64_t mant = infinite ? uint64_t(1) << 63 : bits;
        if (!infinite && mant == uint64_t(1) << 63) return false;  // that is the infinity
        uint16_t se = 0x7FFF | (negative ? 0x8000 : 0);
        for (int i = 0; i < 8; ++i) out.bytes[i] = static_cast<uint8_t>(mant >> (8 * i));
        out.bytes[8] = static_cast<uint8_t>(se);
        out.bytes[9] = static_cast<uint8_t>(se >> 8);
        return true;
    }
    TRounded r;
    if (!RoundDecimal(text, 64, -16382, 16383, r)) return false;
    uint64_t mant = 0;
    uint16_t se = 0;
    if (!r.zero) {
        mant = r.m;  // explicit integer bit: set for normal values
        se = r.subnormal ? 0 : static_cast<uint16_t>(r.e + 16383);
    }
    if (r.negative) se |= 0x8000;
    for (int i = 0; i < 8; ++i) out.bytes[i] = static_cast<uint8_t>(mant >> (8 * i));
    out.bytes[8] = static_cast<uint8_t>(se);
    out.bytes[9] = static_cast<uint8_t>(se >> 8);
    return true;
}

bool DecimalToDoubleBits(std::string_view text, uint64_t& out) {
    bool negative, infinite;
    uint64_t payload;
    if (ParseNonFinite(text, negative, infinite, payload)) {
        const uint64_t fraction = (uint64_t(1) << 52) - 1;
        if (!infinite && (payload == 0 || payload > fraction)) return false;
        uint64_t bits = (uint64_t(0x7FF) << 52) | payload | (negative ? uint64_t(1) << 63 : 0);
        out = bits;
        return true;
    }
    TRounded r;
    if (!RoundDecimal(text, 53, -1022, 1023, r)) return false;
    uint64_t bits = 0;
    if (!r.zero) {
        if (r.subnormal)
            bits = r.m;
        else
            bits = (static_cast<uint64_t>(r.e + 1023) << 52) | (r.m & ((uint64_t(1) << 52) - 1));
    }
    if (r.negative) bits |= uint64_t(1) << 63;
    out = bits;
    return true;
}

bool DecimalToSingleBits(std::string_view text, uint32_t& out) {
    bool negative, infinite;
    uint64_t payload;
    if (ParseNonFinite(text, negative, infinite, payload)) {
        const uint64_t fraction = (uint64_t(1) << 23) - 1;
        if (!infinite && (payload == 0 || payload > fraction)) return false;
        uint32_t bits = (0xFFu << 23) | static_cast<uint32_t>(payload) | (negative ? 0x80000000u : 0);
        out = bits;
        return true;
    }
    TRounded r;
    if (!RoundDecimal(text, 24, -126, 127, r)) return false;
    uint32_t bits = 0;
    if (!r.zero) {
        if (r.subnormal)
            bits = static_cast<uint32_t>(r.m);
        else
            bits = (static_cast<uint32_t>(r.e + 127) << 23) | static_cast<uint32_t>(r.m & ((1u << 23) - 1));
    }
    if (r.negative) bits |= 0x80000000u;
    out = bits;
    return true;
}

bool DecimalToDouble(std::string_view text, double& out) {
    uint64_t bits;
    if (!DecimalToDoubleBits(text, bits)) return false;
    std::memcpy(&out, &bits, 8);
    return true;
}

bool DecimalToSingle(std::string_view text, float& out) {
    uint32_t bits;
    if (!DecimalToSingleBits(text, bits)) return false;
    std::memcpy(&out, &bits, 4);
    return true;
}

}  // namespace fw
