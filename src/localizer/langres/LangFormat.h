// Byte layout of language files: body-string counters, header, records, and the whole file as
// plain data (what the writer and the tool work on). The model is filled by TLangFile (LFProc).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/ByteReader.h"
#include "framework/SysUtils.h"

namespace langres {

FW_DECLARE_EXCEPTION(ELFProcError, fw::Exception);

constexpr uint16_t LangFileSignature = 0x464C;  // "LF"
constexpr uint16_t LangFileMaxVersion = 7;
constexpr uint32_t LangFileMaxCounter = 1073741823;

const char* const SInvalidFileFormat = "Invalid file format";
const char* const SNewerFileVersion =
    "The language file can not be read. You need to download the latest Ravirive Zovivuz";

// Body-string counter: u16 up to version 5, 1/2/4 bytes from version 6.
uint32_t ReadCounter(fw::TByteReader& r, uint16_t version);
void WriteCounter(std::vector<uint8_t>& out, uint32_t n, uint16_t version);
std::string ReadS8(fw::TByteReader& r, uint16_t version);
std::u16string ReadS16(fw::TByteReader& r, uint16_t version);
std::string ReadH8(fw::TByteReader& r);
std::u16string ReadH16(fw::TByteReader& r);

// Number texts of float values: general format, up to 15 significant digits, the user's
// decimal separator.
char DecimalSeparator();
std::string FloatToText(double v);
bool TextToFloat(const std::string& text, double& v);

std::u16string AsciiToWide(const std::string& s);
std::string WideToAscii(const std::u16string& s);  // code units above 0x7F become '?'

struct TLFHeader {
    uint16_t Version = 7;
    uint32_t Revision = 0;
    uint32_t Build = 0;
    uint16_t LangId = 0;
    uint16_t Word = 0;  // header field stored by the file, not used
    std::string EnglishLangName;
    std::u16string NativeLangName;
    uint16_t IsNative = 0;
    uint16_t Options = 0;
    uint32_t LastConstantId = 0;
    uint32_t LastPropertyId = 0;
    uint32_t LastExternalId = 0;
};

// Reads and checks the header from the reader's position (ELFProcError for a bad signature or
// version; the reader's EEndOfData when the image ends inside it).
void ReadLFHeader(fw::TByteReader& r, TLFHeader& h);
void WriteLFHeader(std::vector<uint8_t>& out, const TLFHeader& h, uint16_t version);

// A property value as stored for its kind: a double (kind 0, version 4+), an int32 (kind 1,
// version 4+), a UTF-16 string (kinds 2 and 4) or nothing.
struct TLFValue {
    bool Present = false;
    double Float = 0;
    int32_t Int = 0;
    std::u16string Text;  // the text form in the model

    // Copied as bytes: on 32-bit x86 a double copied as a number goes through the x87 unit,
    // which turns a signalling NaN quiet, and a language file must keep its values' bits.
    TLFValue() = default;
    TLFValue(const TLFValue& o) : Present(o.Present), Int(o.Int), Text(o.Text) { CopyFloat(o); }
    TLFValue(TLFValue&& o) noexcept : Present(o.Present), Int(o.Int), Text(std::move(o.Text)) { CopyFloat(o); }
    TLFValue& operator=(const TLFValue& o) {
        Present = o.Present, Int = o.Int, Text = o.Text;
        CopyFloat(o);
        return *this;
    }
    TLFValue& operator=(TLFValue&& o) noexcept {
        Present = o.Present, Int = o.Int, Text = std::move(o.Text);
        CopyFloat(o);
        return *this;
    }

private:
    void CopyFloat(const TLFValue& o) { std::memcpy(&Float, &o.Float, sizeof Float); }
};
void ReadPropertyValue(fw::TByteReader& r, uint16_t version, uint8_t kind, TLFValue& v);
bool KindHasStoredValue(uint8_t kind, uint16_t version);

// One constant, property or external record.
struct TLFRecord {
    std::string Name;
    uint16_t Flags = 0;
    uint16_t ResId = 0;  // constants
    uint32_t Id = 0;
    uint32_t Kind = 2;  // properties; constants and externals are strings
    TLFValue Value;
    int32_t Revision = 0;
    uint64_t Stamp = 0;
};

void ReadConstantRecord(fw::TByteReader& r, uint16_t version, TLFRecord& rec);
// Name, flags, id and kind of a property record; the value and the tail follow.
void ReadPropertyHead(fw::TByteReader& r, uint16_t version, TLFRecord& rec);
void ReadRecordTail(fw::TByteReader& r, TLFRecord& rec);  // revision and stamp
void ReadExternalRecord(fw::TByteReader& r, uint16_t version, TLFRecord& rec);

struct TLFComponent {
    std::string Name;
    uint16_t Flags = 0;
    std::vector<TLFRecord> Properties;
};
struct TLFForm {
    std::string Name;
    uint16_t Flags = 0;
    std::vector<TLFRecord> Properties;
    std::vector<TLFComponent> Components;
};
struct TLFUnit {
    std::string Name;
    uint16_t Flags = 0;
    std::vector<TLFRecord> Constants;
};
struct TLFGroup {
    std::string Name;
    uint16_t Flags = 0;
    std::vector<TLFRecord> Externals;
};

// The contents of one language file in file order, as stored.
struct TLangFileImage {
    TLFHeader Header;
    std::vector<TLFUnit> Units;
    std::vector<TLFForm> Forms;
    std::vector<TLFGroup> Groups;
    std::vector<uint8_t> Trailing;  // bytes after the last section (readers ignore them)
};

// Whether the bytes start with an "LZK00" block.
bool IsCompressedImage(const uint8_t* data, size_t size);
// The plain image: the bytes themselves, or their decompressed block.
std::vector<uint8_t> DecompressImage(const uint8_t* data, size_t size);

// Parses a whole plain image as stored (no model, nothing renumbered).
TLangFileImage ParseLangFileImage(const uint8_t* data, size_t size);
// The image of a language file, compressed or not.
TLangFileImage ReadLangFileImage(const std::string& fileName);

}  // namespace langres
