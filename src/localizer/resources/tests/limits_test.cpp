// Crafted programs at the limits of the resource tree: a language directory longer than the file,
// and a string block in more languages than one directory of a module can list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResTestUtil.h"
#include "localizer/resources/PEReader.h"
#include "localizer/resources/ResProc.h"

using namespace resources;
using namespace restest;

namespace {

using Bytes = std::vector<uint8_t>;

// A module whose resource section is `section` (section offsets from 0, RVA 0x2000): the headers
// of a module this writer makes, with the section's sizes set to the new one.
Bytes WithSection(const Bytes& section) {
    TResProcessor p;
    p.FixedTimeStamp = 1;
    p.AddBlock(std::make_unique<TResRCData>());
    Bytes b = Module(p);
    b.resize(0x400);
    b.insert(b.end(), section.begin(), section.end());
    Put32(b, 0x200, static_cast<uint32_t>(section.size()));  // VirtualSize
    Put32(b, 0x208, static_cast<uint32_t>(section.size()));  // SizeOfRawData
    return b;
}

void Dir(Bytes& s, size_t at, uint16_t named, uint16_t ids) {
    Put16(s, at + 12, named);
    Put16(s, at + 14, ids);
}

// String block 1 with `languages` language entries (ids 0, 1, ...), all pointing at one data
// entry whose 16 records hold "A" in slot 0; `entriesInFile` of them lie in the file.
Bytes StringBlockInLanguages(uint32_t languages, uint32_t entriesInFile) {
    const size_t langDir = 48, entries = langDir + 16;
    const size_t dataEntry = entries + 8 * size_t{entriesInFile}, data = dataEntry + 16;
    Bytes s(data + 34, 0);
    Dir(s, 0, 0, 1);
    Put32(s, 16, 6);
    Put32(s, 20, 0x80000000u | 24);
    Dir(s, 24, 0, 1);
    Put32(s, 40, 1);
    Put32(s, 44, 0x80000000u | static_cast<uint32_t>(langDir));
    Dir(s, langDir, static_cast<uint16_t>(languages > 0xFFFF ? languages - 0xFFFF : 0),
        static_cast<uint16_t>(languages > 0xFFFF ? 0xFFFF : languages));
    for (uint32_t i = 0; i < entriesInFile; ++i) {
        Put32(s, entries + 8 * size_t{i}, i & 0xFFFF);
        Put32(s, entries + 8 * size_t{i} + 4, static_cast<uint32_t>(dataEntry));
    }
    Put32(s, dataEntry, 0x2000 + static_cast<uint32_t>(data));
    Put32(s, dataEntry + 4, 34);
    s[data] = 1;
    s[data + 2] = 'A';
    return WithSection(s);
}

TPEResourceItem* Block1(TPEReader& reader) {
    return reader.ResourceList()->Items(0)->GetList()->Items(0);
}

}  // namespace

// Every entry of a language directory is checked before any is read, not only the first.
TEST(ResourceLimits, LanguageDirectoryLongerThanTheFile) {
    const std::string path = WriteScratch("langs_cut.dll", StringBlockInLanguages(40, 3));
    TPEReader reader(path);
    TPEResourceItem* block = Block1(reader);
    // The first language alone is there, and is all a name's data needs.
    EXPECT_EQ(block->DataSize(), 34);
    try {
        block->Languages();
        FAIL() << "42 entries past the end were read";
    } catch (const EExeError& e) {
        EXPECT_NE(std::string(e.what()).find("the language directory entries at file offset 0x440"), std::string::npos)
            << e.what();
    }
    // A module that keeps every language of the program meets the same error and keeps nothing.
    TResProcessor p;
    p.KeepAllResources = true;
    FillSample(p);
    EXPECT_THROW(p.LoadFromFile(path), EExeError);
    EXPECT_EQ(p.BlockCount(), 0);

    // All entries there: every language read.
    TPEReader whole(WriteScratch("langs_whole.dll", StringBlockInLanguages(40, 40)));
    const auto langs = Block1(whole)->Languages();
    ASSERT_EQ(langs.size(), 40u);
    EXPECT_EQ(langs[39].Language, 39);
    EXPECT_EQ(langs[39].Size, 34u);
}

// One block number in more languages than a directory of the module can count (16 bits): the
// writer refuses it instead of writing a directory whose count has wrapped around.
TEST(ResourceLimits, StringBlockInMoreLanguagesThanADirectoryHolds) {
    const std::string path = WriteScratch("langs_many.dll", StringBlockInLanguages(65536, 65536));
    TResProcessor p;
    p.KeepAllResources = true;
    p.FixedTimeStamp = 1;
    p.LoadFromFile(path);
    auto* strings = static_cast<TResString*>(p.FindBlock(6));
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(strings->LangBlockCount(), 65535);
    fw::TMemoryStream out;
    try {
        p.SaveToStream(out);
        FAIL() << "a module of " << out.Size() << " bytes was written";
    } catch (const fw::EWriteError& e) {
        EXPECT_STREQ(e.what(), "String block 1 is in 65536 languages; a module holds at most 65535 of one block");
    }
    EXPECT_EQ(out.Size(), 0);
}

// An id field with bits above the 16th set is the id of its low 16 bits, as the system's loader
// reads it: a type 0x10006 is the program's string table, read and translated as one (before,
// it was a resource of its own kind, copied as bytes into a module whose loader then read them
// as a string table).
TEST(ResourceLimits, IdsAreTheirLow16Bits) {
    TResProcessor p;
    p.FixedTimeStamp = 1;
    auto s = std::make_unique<TResString>();
    s->AddString(5, u"Five");
    p.AddBlock(std::move(s));
    Bytes b = Module(p);
    ASSERT_EQ(U32(b, 0x410), 6u);  // the root's one entry
    Put32(b, 0x410, 0x00010006u);
    const std::string path = WriteScratch("type_high_bits.dll", b);
    for (bool all : {false, true}) {
        TResProcessor q;
        q.KeepAllResources = all;
        q.LoadFromFile(path);
        auto* strings = dynamic_cast<TResString*>(q.FindBlock(6));
        ASSERT_NE(strings, nullptr) << all;
        ASSERT_NE(strings->FindString(5), nullptr) << all;
        EXPECT_EQ(strings->FindString(5)->Text, u"Five");
    }
    TPEReader reader(path);
    EXPECT_EQ(reader.ResourceList()->Items(0)->Name(), "String");
    // Bad string data under such a type is refused when the program is read, not written on.
    Bytes bad = b;
    ASSERT_EQ(U16(bad, 0x458 + 2 * 5), 4u);  // slot 5: "Five"
    Put16(bad, 0x458 + 2 * 5, 0x7FFF);       // now runs far past the block
    const std::string badPath = WriteScratch("type_high_bits_bad.dll", bad);
    TResProcessor r;
    r.KeepAllResources = true;
    EXPECT_THROW(r.LoadFromFile(badPath), EExeError);
}
