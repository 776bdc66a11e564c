// A form resource read into a tree of objects with every property value (what the fit check
// needs beside the texts: positions, sizes, fonts, alignment).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace catalog {

struct TFormProp;

struct TFormValue {
    enum TKind { vOther, vInt, vString, vIdent, vSet, vStrings, vCollection } Kind = vOther;
    int64_t Int = 0;
    std::u16string Str;
    std::string Ident;  // identifiers, False/True
    std::vector<std::string> Set;
    std::vector<std::u16string> Strings;
    std::vector<std::vector<TFormProp>> Items;  // collection items
};

struct TFormProp {
    std::string Name;
    TFormValue Value;
};

struct TFormObject {
    std::string Name, ClassName;
    uint8_t Flags = 0;  // inherited, child position, inline
    std::vector<TFormProp> Props;
    std::vector<TFormObject> Children;
    const TFormValue* Find(const std::string& name) const;
};

const TFormValue* FindProp(const std::vector<TFormProp>& props, const std::string& name);

// The binary form inside a form resource's bytes (a binary or resource form); false when the
// bytes are not a form. EReadError when a resource form is cut short.
bool FormResourceBinary(const std::vector<uint8_t>& data, std::vector<uint8_t>& binary);

// Reads a binary form; 8-bit strings in the code page of langId. EReadError on bad bytes.
TFormObject ReadFormTree(const std::vector<uint8_t>& binary, uint16_t langId);

// The base object with the overrides of an inheriting one (an inline frame over its own form):
// its properties replaced by name, children merged by name, new ones appended.
void MergeInto(TFormObject& base, const TFormObject& over);

}  // namespace catalog
