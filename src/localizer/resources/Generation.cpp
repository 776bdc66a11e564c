#include "Generation.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "FormWalk.h"
#include "ResProc.h"
#include "framework/ByteReader.h"
#include "localizer/kutils/KStrings.h"

namespace resources {

namespace {

// Notes every string value of a form under the key the dictionary gives its item, and whether a
// name is not ASCII.
class TFormScanner : public TFormKeyWalker {
public:
    TFormScanner(fw::TFormReader& r, TFormScan& scan) : TFormKeyWalker(r), scan_(scan) {}

    void Scan() {
        const std::string form = Walk();
        for (TFormStringValue& v : scan_.Strings) v.Item = kutils::JoinDotted(form, v.Item);
    }

private:
    void Name(const std::string& name) override {
        if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; }))
            scan_.NonAsciiNames = true;
    }

    void Property(const std::string& path, const std::string& prop) override {
        Name(prop);
        Value(path, prop);
    }

    void Value(const std::string& path, const std::string& prop) {
        const fw::TValueType tag = r_.NextValue();
        switch (tag) {
            case fw::vaString:
            case fw::vaLString:
            case fw::vaWString:
            case fw::vaUTF8String:
                scan_.Strings.push_back({kutils::JoinDotted(ComponentKey(path), prop), tag});
                r_.SkipValue();
                break;
            case fw::vaIdent:
                Name(r_.ReadIdent());
                break;
            case fw::vaList:
                r_.ReadValue();
                r_.EnterNesting();
                while (!r_.EndOfList()) Value(path, prop);
                r_.ReadListEnd();
                r_.LeaveNesting();
                break;
            default:
                r_.SkipValue();
                break;
        }
    }

    TFormScan& scan_;
};

const char* const kPlatformTargets = "PLATFORMTARGETS";

}  // namespace

bool FormBinarySpan(const uint8_t* data, size_t size, size_t& offset, size_t& length) {
    if (size >= 4 && data[0] == 'T' && data[1] == 'P' && data[2] == 'F' && data[3] == '0') {
        offset = 0;
        length = size;
        return true;
    }
    if (size < 3 || data[0] != 0xFF || data[1] != 0x0A || data[2] != 0x00) return false;
    fw::TByteReader r(data, size);
    r.Skip(3);
    while (r.U8() != 0) {
    }
    r.U16();
    const uint32_t binary = r.U32();
    if (binary > r.Left()) throw fw::EReadError("Invalid stream format: the form is cut short");
    offset = r.Pos();
    length = binary;
    return true;
}

TFormScan ScanForm(const uint8_t* data, size_t size) {
    TFormScan scan;
    size_t offset = 0, length = 0;
    if (!FormBinarySpan(data, size, offset, length)) throw fw::EReadError("Invalid stream format");
    fw::TFormReader reader(data + offset, length);
    TFormScanner(reader, scan).Scan();
    return scan;
}

bool TFormReaderKinds::Takes(fw::TValueType tag) const {
    if (tag == fw::vaWString) return Wide;
    if (tag == fw::vaUTF8String) return Utf8;
    return true;
}

std::string TFormReaderKinds::Describe() const {
    if (Generation == TGeneration::Unicode) return "Unicode era (" + Evidence + "): every kind of value";
    const char* takes = Utf8 ? "8-bit, wide and UTF-8 strings" : Wide ? "8-bit and wide strings" : "8-bit strings only";
    return std::string("8-bit era (no mark of the Unicode era): ") + takes + " (" + Evidence + ")";
}

bool HasUnicodeRunTime(const uint8_t* data, size_t size) {
    static const uint8_t marker[] = {18, 13, 'U', 'n', 'i', 'c', 'o', 'd', 'e', 'S', 't', 'r', 'i', 'n', 'g'};
    if (!data || size < sizeof marker) return false;
    const std::boyer_moore_horspool_searcher search(std::begin(marker), std::end(marker));
    return std::search(data, data + size, search) != data + size;
}

TFormReaderKinds ProgramFormReader(const TResProcessor& program) {
    TFormReaderKinds k;
    if (program.Source64Bit) {
        k.Evidence = "a 64-bit program";
        return k;
    }
    if (program.SourceUnicodeRunTime) {
        k.Evidence = "its run-time library has the Unicode string type";
        return k;
    }
    auto* rc = dynamic_cast<TResRCData*>(program.FindBlock(10));
    if (rc && rc->FindByName(kPlatformTargets)) {
        k.Evidence = std::string("it carries ") + kPlatformTargets;
        return k;
    }
    std::string wide, utf8;
    for (int i = 0; rc && i < rc->Count(); ++i) {
        TResRCDataItem* item = rc->Items(i);
        const std::vector<uint8_t>& data = item->Data.Bytes();
        TFormScan scan;
        try {
            size_t offset = 0, length = 0;
            if (!FormBinarySpan(data.data(), data.size(), offset, length)) continue;
            scan = ScanForm(data.data(), data.size());
        } catch (const std::exception&) {
            continue;  // a form that does not read tells nothing
        }
        if (scan.NonAsciiNames) {
            k.Evidence = "names in form " + item->Name + " that are not ASCII";
            return k;
        }
        for (const TFormStringValue& v : scan.Strings) {
            if (v.Tag == fw::vaWString && wide.empty()) wide = v.Item;
            if (v.Tag == fw::vaUTF8String && utf8.empty()) utf8 = v.Item;
        }
    }
    k.Generation = TGeneration::Ansi;
    k.Utf8 = !utf8.empty();
    k.Wide = k.Utf8 || !wide.empty();
    if (k.Utf8)
        k.Evidence = "its forms carry UTF-8 strings: " + utf8;
    else if (k.Wide)
        k.Evidence = "its forms carry wide strings: " + wide;
    else
        k.Evidence = "its forms carry no wide or UTF-8 string";
    return k;
}

}  // namespace resources
