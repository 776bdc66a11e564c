// Programs built with the framework's own tools: which generation of the framework's run-time
// library a program carries, told from the program itself, and the kinds of form values that
// library's form reader takes. The module writer and `module verify` both go by this one rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/FormStream.h"

namespace resources {

class TResProcessor;

enum class TGeneration : uint8_t {
    // Reads every value kind; 8-bit strings through the code page of the system it runs on.
    Unicode,
    // 8-bit strings are the program's texts; wide and UTF-8 values only where the reader knows
    // them (none from the late 1990s do: they refuse them for 8-bit string properties).
    Ansi,
};

// What a program's form reader takes.
struct TFormReaderKinds {
    TGeneration Generation = TGeneration::Unicode;
    bool Wide = true;  // wide strings (tag 18)
    bool Utf8 = true;  // UTF-8 strings (tag 20)
    // What told it, in words, naming the resource or form value that did.
    std::string Evidence;

    bool Takes(fw::TValueType tag) const;
    // One line for reports: the generation, what it takes and why.
    std::string Describe() const;
};

// A string value of a form, under the item path the dictionary uses: Form.Component.Property
// (the form's own ones Form.Property), a string list Form.Component.Items, a collection item's
// Form.Component.Columns[0].Caption.
struct TFormStringValue {
    std::string Item;
    fw::TValueType Tag;
};

struct TFormScan {
    std::vector<TFormStringValue> Strings;  // tags 6, 12, 18 and 20, in stream order
    bool NonAsciiNames = false;             // a class, object or property name that is not ASCII
};

// Where the binary form lies in a form resource (a binary form, or one behind a resource-form
// header); false for other data. fw::EReadError for a resource-form header cut short.
bool FormBinarySpan(const uint8_t* data, size_t size, size_t& offset, size_t& length);

// The string values of a binary or resource form; fw::EReadError (or EParserError) for a form
// that does not read.
TFormScan ScanForm(const uint8_t* data, size_t size);

// The form reader of a program without settings records, told from its resources (loaded with
// KeepAllResources or not) and whether it is a 64-bit program:
// - Unicode era: a 64-bit program (those compilers came with it), PLATFORMTARGETS (carried by
//   the later versions only) or names in its forms that are not ASCII (identifiers of that era
//   may be any Unicode letters).
// - Otherwise 8-bit era. Its reader takes wide strings where the program's own forms carry
//   them (it reads them itself at every start): UTF-8 (tag 20) where they carry tag 20, wide
//   (tag 18) where they carry either, the older kind of the two. Forms that do not read are
//   left out.
TFormReaderKinds ProgramFormReader(const TResProcessor& program);

// Whether a program's bytes hold the type information of UnicodeString (its kind, 18, then its
// name as a short string), as the run-time library of every Unicode-era program does, 32-bit
// ones without PLATFORMTARGETS and with ASCII forms alike; none of the 8-bit era has that type.
bool HasUnicodeRunTime(const uint8_t* data, size_t size);

}  // namespace resources
