// Other readers of PE files (icoutils' wrestool, Python's pefile) list the modules we write.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "ResTestUtil.h"

using namespace resources;
using namespace restest;

namespace {

bool Shell(const std::string& command, std::string& out) {
    out.clear();
    FILE* f = popen(command.c_str(), "r");
    if (!f) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return pclose(f) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) lines.push_back(l);
    return lines;
}

std::string Hex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string Hex(const std::vector<uint8_t>& v) { return Hex(v.data(), v.size()); }

// Expected "type name language size data" lines of a processor's module, built from its
// strings and items (not from the writer's output).
std::vector<std::string> ExpectedTree(TResProcessor& p) {
    std::vector<std::string> lines;
    auto* s = static_cast<TResString*>(p.FindBlock(6));
    for (int g = 0; g < s->GroupCount(); ++g) {
        std::vector<uint8_t> data;
        for (int slot = 0; slot < 16; ++slot) {
            const TResStringItem* item = s->FindString(16 * (s->Groups(g)->Id - 1) + slot);
            size_t n = item ? item->Text.size() : 0;
            data.push_back(static_cast<uint8_t>(n));
            data.push_back(static_cast<uint8_t>(n >> 8));
            for (size_t i = 0; i < n; ++i) {
                data.push_back(static_cast<uint8_t>(item->Text[i]));
                data.push_back(static_cast<uint8_t>(item->Text[i] >> 8));
            }
        }
        lines.push_back("6 " + std::to_string(s->Groups(g)->Id) + " 0 " + std::to_string(data.size()) + " " + Hex(data));
    }
    auto* r = static_cast<TResRCData*>(p.FindBlock(10));
    std::vector<TResRCDataItem*> items;
    for (int i = 0; i < r->Count(); ++i) items.push_back(r->Items(i));
    std::sort(items.begin(), items.end(), [](auto* a, auto* b) { return a->Name < b->Name; });  // ASCII names
    for (auto* item : items)
        lines.push_back("10 " + item->Name + " 0 " + std::to_string(item->DataSize()) + " " + Hex(item->Data.Bytes()));
    return lines;
}

const char* kPefileScript = R"(import sys, pefile
pe = pefile.PE(sys.argv[1])
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    tn = str(t.name) if t.name is not None else str(t.id)
    for n in t.directory.entries:
        nn = str(n.name) if n.name is not None else str(n.id)
        for l in n.directory.entries:
            d = l.data.struct
            print(tn, nn, l.id, d.Size, pe.get_data(d.OffsetToData, d.Size).hex())
)";

}  // namespace

TEST(Oracles, PefileListsTheWrittenTree) {
    std::string out;
    if (!Shell("/usr/bin/python3 -c 'import pefile' 2>/dev/null", out)) GTEST_SKIP() << "python3 with pefile missing";
    TResProcessor p;
    FillSample(p);
    std::string module = WriteScratch("pefile.dll", Module(p));
    std::string script = WriteScratch("tree.py", std::vector<uint8_t>(kPefileScript, kPefileScript + strlen(kPefileScript)));
    ASSERT_TRUE(Shell("/usr/bin/python3 " + script + " " + module, out)) << out;
    EXPECT_EQ(Lines(out), ExpectedTree(p));
    // The headers as pefile sees them.
    const char* headers = R"(import sys, pefile
pe = pefile.PE(sys.argv[1])
print(hex(pe.FILE_HEADER.Machine), hex(pe.FILE_HEADER.Characteristics), pe.FILE_HEADER.TimeDateStamp, pe.is_dll(),
      hex(pe.OPTIONAL_HEADER.Magic), pe.OPTIONAL_HEADER.SizeOfHeaders, len(pe.sections), pe.sections[0].Name.rstrip(b'\0').decode(),
      hex(pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress))
)";
    script = WriteScratch("headers.py", std::vector<uint8_t>(headers, headers + strlen(headers)));
    ASSERT_TRUE(Shell("/usr/bin/python3 " + script + " " + module, out)) << out;
    EXPECT_EQ(out, "0x14c 0xa18e 1600000000 True 0x10b 1024 1 .rsrc 0x2000\n");
}

TEST(Oracles, WrestoolListsTheWrittenTree) {
    std::string out;
    if (!Shell("command -v wrestool >/dev/null", out)) GTEST_SKIP() << "wrestool (icoutils) missing";
    TResProcessor p;
    FillSample(p);
    std::string module = WriteScratch("wrestool.dll", Module(p));
    ASSERT_TRUE(Shell("wrestool -l " + module, out)) << out;
    std::vector<std::string> got;
    for (const auto& line : Lines(out)) {
        // --type=10 --name='TFORM1' --language=0 [type=rcdata offset=0x4b8 size=7]
        std::string type, name, lang, size;
        std::istringstream in(line);
        std::string field;
        while (in >> field) {
            auto value = [&](const char* key) { return field.substr(std::strlen(key)); };
            if (field.rfind("--type=", 0) == 0) type = value("--type=");
            else if (field.rfind("--name=", 0) == 0) name = value("--name=");
            else if (field.rfind("--language=", 0) == 0) lang = value("--language=");
            else if (field.rfind("size=", 0) == 0) size = value("size=");
        }
        name.erase(std::remove(name.begin(), name.end(), '\''), name.end());
        size.erase(std::remove(size.begin(), size.end(), ']'), size.end());
        got.push_back(type + " " + name + " " + lang + " " + size);
    }
    std::vector<std::string> want;
    for (const auto& line : ExpectedTree(p)) want.push_back(line.substr(0, line.rfind(' ')));
    EXPECT_EQ(got, want);
    // And the bytes of one item as wrestool extracts them.
    ASSERT_TRUE(Shell("wrestool -x --raw --type=10 --name=TFORM1 " + module, out));
    EXPECT_EQ(out, std::string("TPF0\x00\x01\x02", 7));
}

TEST(Oracles, PefileAgreesWithTheReaderOnTheToolchainModule) {
    std::string out;
    if (!Shell("/usr/bin/python3 -c 'import pefile' 2>/dev/null", out)) GTEST_SKIP() << "python3 with pefile missing";
    std::string script = WriteScratch("tree2.py", std::vector<uint8_t>(kPefileScript, kPefileScript + strlen(kPefileScript)));
    ASSERT_TRUE(Shell("/usr/bin/python3 " + script + " " + SampleDll(), out)) << out;
    // First language of each name, as the reader sees it.
    std::vector<std::string> want, seen;
    for (const auto& line : Lines(out)) {
        std::istringstream in(line);
        std::string type, name;
        in >> type >> name;
        if (std::find(seen.begin(), seen.end(), type + "/" + name) != seen.end()) continue;
        seen.push_back(type + "/" + name);
        want.push_back(line);
    }
    TPEReader reader(SampleDll());
    std::vector<std::string> got;
    auto* root = reader.ResourceList();
    for (int t = 0; t < root->Count(); ++t) {
        auto* type = root->Items(t);
        std::string tn = type->NameField() & 0x80000000u ? type->Name() : std::to_string(type->NameField());
        auto* names = type->GetList();
        for (int n = 0; n < names->Count(); ++n) {
            auto* item = names->Items(n);
            const uint8_t* lang = reader.FileBase() + reader.ResourceBase() + (item->OffsetField() & 0x7FFFFFFF) + 16;
            got.push_back(tn + " " + item->Name() + " " + std::to_string(lang[0] | lang[1] << 8) + " " +
                          std::to_string(item->DataSize()) + " " +
                          Hex(item->Data(), static_cast<size_t>(item->DataSize())));
        }
    }
    EXPECT_EQ(got, want);
}

#endif
