// The one bounds-checked reader for untrusted bytes: every size is checked against what is
// left before anything is copied, so no parser reads outside its buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "SysUtils.h"

namespace fw {

// Raised when data ends early; the message names the offset.
FW_DECLARE_EXCEPTION(EEndOfData, EReadError);

class TByteReader {
public:
    TByteReader(const void* data, size_t size) : p_(static_cast<const uint8_t*>(data)), size_(size) {}
    explicit TByteReader(const std::vector<uint8_t>& v) : TByteReader(v.data(), v.size()) {}

    size_t Pos() const { return pos_; }
    size_t Size() const { return size_; }
    size_t Left() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ >= size_; }
    const uint8_t* Data() const { return p_; }

    void Seek(size_t pos) {
        if (pos > size_) Fail(pos - pos_);
        pos_ = pos;
    }
    void Need(size_t n) const {
        if (n > size_ - pos_) Fail(n);
    }
    void Skip(size_t n) {
        Need(n);
        pos_ += n;
    }
    uint8_t U8() {
        Need(1);
        return p_[pos_++];
    }
    uint16_t U16() {
        Need(2);
        uint16_t v = static_cast<uint16_t>(p_[pos_] | (p_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t U32() {
        Need(4);
        uint32_t v = static_cast<uint32_t>(p_[pos_]) | (static_cast<uint32_t>(p_[pos_ + 1]) << 8) |
                     (static_cast<uint32_t>(p_[pos_ + 2]) << 16) | (static_cast<uint32_t>(p_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    uint64_t U64() {
        Need(8);
        uint64_t lo = U32();
        return lo | (static_cast<uint64_t>(U32()) << 32);
    }
    void Bytes(void* out, size_t n) {
        Need(n);
        if (n) std::memcpy(out, p_ + pos_, n);
        pos_ += n;
    }
    std::string Str(size_t n) {
        Need(n);
        std::string s(reinterpret_cast<const char*>(p_ + pos_), n);
        pos_ += n;
        return s;
    }
    std::u16string WStr(size_t chars) {
        if (chars > Left() / 2) Fail(chars * 2);
        std::u16string s(chars, u'\0');
        for (auto& c : s) c = static_cast<char16_t>(U16());
        return s;
    }
    const uint8_t* Ptr(size_t n) {
        Need(n);
        const uint8_t* r = p_ + pos_;
        pos_ += n;
        return r;
    }

    [[noreturn]] void Fail(size_t needed) const {
        throw EEndOfData("unexpected end of data at offset " + std::to_string(pos_) + " (" + std::to_string(needed) +
                         " bytes needed, " + std::to_string(size_ - pos_) + " left)");
    }

private:
    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace fw
