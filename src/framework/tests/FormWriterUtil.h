// Test helper: writes binary forms ("TPF0") with the framework's writer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/FormStream.h"

namespace fwtest {

class FormBuilder {
public:
    FormBuilder() : w_(m_) { w_.WriteSignature(); }
    // Object header: prefix flags, class, name.
    FormBuilder& Begin(const std::string& cls, const std::string& name, uint8_t flags = 0) {
        if (flags) w_.WritePrefix(flags, -1);
        w_.WriteStr(cls);
        w_.WriteStr(name);
        return *this;
    }
    FormBuilder& Int(const std::string& prop, int64_t v) {
        w_.WriteStr(prop);
        w_.WriteInteger(v);
        return *this;
    }
    FormBuilder& Str(const std::string& prop, const std::string& v) {
        w_.WriteStr(prop);
        w_.WriteValue(fw::vaString);
        w_.WriteStr(v);
        return *this;
    }
    FormBuilder& WStr(const std::string& prop, const std::u16string& v) {
        w_.WriteStr(prop);
        WideValue(v);
        return *this;
    }
    FormBuilder& Utf8Str(const std::string& prop, const std::u16string& v) {
        w_.WriteStr(prop);
        Utf8Value(v);
        return *this;
    }
    // A list of strings whose items are stored as tag 6 (ASCII), 18 (wide) or 20 (UTF-8).
    FormBuilder& TaggedStrings(const std::string& prop,
                               const std::vector<std::pair<fw::TValueType, std::u16string>>& l) {
        w_.WriteStr(prop);
        w_.WriteListBegin();
        for (const auto& [tag, text] : l) {
            if (tag == fw::vaUTF8String) {
                Utf8Value(text);
            } else if (tag == fw::vaWString) {
                WideValue(text);
            } else {
                w_.WriteValue(fw::vaString);
                w_.WriteStr(std::string(text.begin(), text.end()));
            }
        }
        w_.WriteListEnd();
        return *this;
    }
    FormBuilder& Ident(const std::string& prop, const std::string& v) {
        w_.WriteStr(prop);
        w_.WriteIdent(v);
        return *this;
    }
    FormBuilder& Set(const std::string& prop, const std::vector<std::string>& items) {
        w_.WriteStr(prop);
        w_.WriteValue(fw::vaSet);
        for (const auto& i : items) w_.WriteStr(i);
        w_.WriteStr("");
        return *this;
    }
    FormBuilder& Strings(const std::string& prop, const std::vector<std::string>& lines) {
        w_.WriteStr(prop);
        w_.WriteListBegin();
        for (const auto& l : lines) {
            w_.WriteValue(fw::vaString);
            w_.WriteStr(l);
        }
        w_.WriteListEnd();
        return *this;
    }
    // A collection: each item a list of (property, text) pairs.
    FormBuilder& Collection(const std::string& prop,
                            const std::vector<std::vector<std::pair<std::string, std::string>>>& items) {
        w_.WriteStr(prop);
        w_.WriteValue(fw::vaCollection);
        for (const auto& item : items) {
            w_.WriteListBegin();
            for (const auto& [n, v] : item) Str(n, v);
            w_.WriteListEnd();
        }
        w_.WriteListEnd();
        return *this;
    }
    FormBuilder& EndProps() {
        w_.WriteListEnd();
        return *this;
    }
    FormBuilder& EndChildren() {
        w_.WriteListEnd();
        return *this;
    }
    std::vector<uint8_t> Bytes() {
        w_.FlushBuffer();
        return m_.Bytes();
    }

private:
    void WideValue(const std::u16string& v) {
        w_.WriteValue(fw::vaWString);
        w_.WriteU32Raw(static_cast<uint32_t>(v.size()));
        for (char16_t c : v) {
            w_.WriteByte(static_cast<uint8_t>(c & 0xFF));
            w_.WriteByte(static_cast<uint8_t>(c >> 8));
        }
    }
    void Utf8Value(const std::u16string& v) {
        std::string u = fw::Utf16ToUtf8(v);
        w_.WriteValue(fw::vaUTF8String);
        w_.WriteU32Raw(static_cast<uint32_t>(u.size()));
        w_.Write(u.data(), u.size());
    }
    struct Writer : fw::TWriter {
        using fw::TWriter::TWriter;
        void WriteU32Raw(uint32_t v) {
            for (int i = 0; i < 4; ++i) WriteByte(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    fw::TMemoryStream m_;
    Writer w_;
};

}  // namespace fwtest
