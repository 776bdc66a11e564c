#include <gtest/gtest.h>

#include <ctime>
#include <iterator>
#include <map>

#include "ResTestUtil.h"
#include "framework/FormStream.h"
#include "localizer/resources/ResProc.h"

using namespace resources;
using namespace restest;

namespace {

TResString* StringBlock(TResProcessor& p) {
    return static_cast<TResString*>(p.FindBlock(6));
}
TResRCData* RCDataBlock(TResProcessor& p) {
    return static_cast<TResRCData*>(p.FindBlock(10));
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace

TEST(ResString, GroupsAndSlots) {
    TResString s;
    EXPECT_EQ(s.AddString(17, u"Seventeen"), 0);
    EXPECT_EQ(s.AddString(0, u"Zero"), 0);
    EXPECT_EQ(s.AddString(1, u"One"), 1);
    ASSERT_EQ(s.GroupCount(), 2);
    const TResStringGroup* g1 = s.Groups(0);
    const TResStringGroup* g2 = s.Groups(1);
    EXPECT_EQ(g1->Id, 1);
    EXPECT_EQ(g2->Id, 2);
    EXPECT_EQ(g1->Slots[0], 0);
    EXPECT_EQ(g1->Slots[1], 1);
    for (int i = 2; i < 16; ++i) EXPECT_EQ(g1->Slots[i], -1);
    EXPECT_EQ(g2->Slots[1], 17);
    for (int i = 0; i < 16; ++i) {
        if (i == 1) continue;
        EXPECT_EQ(g2->Slots[i], -1);
    }
    EXPECT_EQ(s.GroupDataSize(*g1), 2u * 14 + (2 + 8) + (2 + 6));
    EXPECT_EQ(s.GroupDataSize(*g2), 2u * 15 + 2 + 18);
    EXPECT_EQ(s.Size(), 16u + 48 * 2 + 46 + 50);
    EXPECT_EQ(s.DirectorySize(), 16u + 96);

    // Sorted by id; lookups.
    EXPECT_EQ(s.Strings(0)->Id, 0);
    EXPECT_EQ(s.Strings(2)->Id, 17);
    EXPECT_EQ(s.Strings(3), nullptr);
    EXPECT_EQ(s.Strings(-1), nullptr);
    EXPECT_EQ(s.IndexOfId(17), 2);
    EXPECT_EQ(s.IndexOfId(16), -1);
    EXPECT_EQ(s.FindString(1)->Text, u"One");
    EXPECT_EQ(s.FindString(2), nullptr);

    // The first text for an id wins.
    EXPECT_EQ(s.AddString(1, u"Other"), -1);
    EXPECT_EQ(s.FindString(1)->Text, u"One");
    EXPECT_EQ(s.Count(), 3);

    // Ids outside 16 bits have no slot.
    EXPECT_THROW(s.AddString(-1, u"x"), fw::EListError);
    EXPECT_THROW(s.AddString(65536, u"x"), fw::EListError);
    EXPECT_EQ(s.AddString(65535, u"Last"), 3);
    EXPECT_EQ(s.Groups(2)->Id, 4096);
    EXPECT_EQ(s.Groups(2)->Slots[15], 65535);
}

TEST(ResString, ReadBlockRecords) {
    // ids 32.. (block 3): "A", empty, "BC", then the data ends early.
    std::vector<uint8_t> d = {1, 0, 'A', 0, 0, 0, 2, 0, 'B', 0, 'C', 0};
    TResString s;
    s.ReadBlock(3, d.data(), d.size());
    ASSERT_EQ(s.Count(), 2);
    EXPECT_EQ(s.FindString(32)->Text, u"A");
    EXPECT_EQ(s.FindString(33), nullptr);  // a count of 0 is no string
    EXPECT_EQ(s.FindString(34)->Text, u"BC");
    // Characters outside any ANSI code page survive.
    std::vector<uint8_t> greek = {2, 0, 0xA9, 0x03, 0xBB, 0x03};
    s.ReadBlock(1, greek.data(), greek.size());
    EXPECT_EQ(s.FindString(0)->Text, u"\u03A9\u03BB");
    // A record longer than the rest of the block.
    std::vector<uint8_t> cut = {5, 0, 'A', 0};
    try {
        s.ReadBlock(5, cut.data(), cut.size());
        FAIL();
    } catch (const EExeError& e) {
        EXPECT_STREQ(e.what(), "String 64 of string table block 5 runs past the end of the block");
    }
    EXPECT_THROW(s.ReadBlock(0, d.data(), d.size()), EExeError);
    EXPECT_THROW(s.ReadBlock(4097, d.data(), d.size()), EExeError);
}

TEST(ResRCData, ItemsByName) {
    TResRCData r;
    auto* a = r.Add("QLX_LIBSETTINGS_");
    r.Add("QLX_LOC_LANGS_");
    r.Add("TFORM1");
    r.Add("tform1");  // names need not be unique
    EXPECT_EQ(r.Count(), 4);
    EXPECT_EQ(r.FindByName("qlx_libsettings_"), a);
    EXPECT_EQ(r.IndexOfName("TForm1"), 2);
    EXPECT_EQ(r.FindByName("missing"), nullptr);
    r.Remove("qlx_loc_langs_");
    EXPECT_EQ(r.Count(), 3);
    EXPECT_EQ(r.IndexOfName("QLX_LOC_LANGS_"), -1);
    r.Remove("QLX_LOC_LANGS_");  // absent: nothing happens
    EXPECT_EQ(r.Count(), 3);
    r.Remove("TFORM1");  // the first of two
    EXPECT_EQ(r.Items(1)->Name, "tform1");
    EXPECT_EQ(r.Items(2), nullptr);
    EXPECT_THROW(r.Delete(5), fw::EListError);

    // LoadData takes the whole stream from its start; SaveData writes at the position.
    fw::TMemoryStream src(Bytes("payload"));
    src.SetPosition(3);
    a->LoadData(src);
    EXPECT_EQ(DataOf(a), "payload");
    EXPECT_EQ(a->DataSize(), 7);
    fw::TMemoryStream dst(Bytes("--"));
    dst.SetPosition(1);
    a->SaveData(dst);
    EXPECT_EQ(std::string(dst.Bytes().begin(), dst.Bytes().end()), "-payload");
}

TEST(ResProcessor, EmptyModuleIsExactly1536Bytes) {
    TResProcessor p;
    p.FixedTimeStamp = 0x12345678;
    EXPECT_EQ(p.Size(), 16u);
    EXPECT_EQ(TResProcessor::HeaderSize(), 544u);
    auto b = Module(p);
    ASSERT_EQ(b.size(), 1536u);
    // DOS header and stub.
    const std::vector<uint8_t> dos = {'M', 'Z', 0x50, 0, 2, 0, 0, 0, 4, 0, 0x0F, 0, 0xFF, 0xFF,
                                      0,   0,   0xB8, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x1A, 0};
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 28), dos);
    EXPECT_EQ(U32(b, 0x3C), 0x100u);
    const std::vector<uint8_t> code = {0xBA, 0x10, 0x00, 0x0E, 0x1F, 0xB4, 0x09, 0xCD,
                                       0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21, 0x90, 0x90};
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 0x40, b.begin() + 0x50), code);
    EXPECT_EQ(std::string(b.begin() + 0x50, b.begin() + 0x78), "This program must be run under Win32\r\n$7");
    for (size_t i = 0x78; i < 0x100; ++i) ASSERT_EQ(b[i], 0) << i;
    // NT headers.
    EXPECT_EQ(std::string(b.begin() + 0x100, b.begin() + 0x104), std::string("PE\0\0", 4));
    EXPECT_EQ(U16(b, 0x104), 0x014C);
    EXPECT_EQ(U16(b, 0x106), 1);
    EXPECT_EQ(U32(b, 0x108), 0x12345678u);
    EXPECT_EQ(U32(b, 0x10C), 0u);
    EXPECT_EQ(U32(b, 0x110), 0u);
    EXPECT_EQ(U16(b, 0x114), 0xE0);
    EXPECT_EQ(U16(b, 0x116), 0xA18E);
    EXPECT_EQ(U16(b, 0x118), 0x010B);
    EXPECT_EQ(b[0x11A], 1);
    EXPECT_EQ(b[0x11B], 0);
    for (size_t i = 0x11C; i < 0x134; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(U32(b, 0x134), 0x00400000u);
    EXPECT_EQ(U32(b, 0x138), 0x1000u);
    EXPECT_EQ(U32(b, 0x13C), 0x200u);
    EXPECT_EQ(U32(b, 0x140), 1u);
    EXPECT_EQ(U32(b, 0x144), 1u);
    EXPECT_EQ(U32(b, 0x148), 4u);
    EXPECT_EQ(U32(b, 0x14C), 0u);
    EXPECT_EQ(U32(b, 0x150), 0x1000u);  // (16 + 0x400) rounded up to 0x1000
    EXPECT_EQ(U32(b, 0x154), 0x400u);
    EXPECT_EQ(U32(b, 0x158), 0u);
    EXPECT_EQ(U16(b, 0x15C), 2);
    EXPECT_EQ(U16(b, 0x15E), 1);
    EXPECT_EQ(U32(b, 0x160), 0x1000u);
    EXPECT_EQ(U32(b, 0x164), 0x100u);
    EXPECT_EQ(U32(b, 0x168), 0x1000u);
    EXPECT_EQ(U32(b, 0x16C), 0x100u);
    EXPECT_EQ(U32(b, 0x170), 0u);
    EXPECT_EQ(U32(b, 0x174), 16u);
    for (size_t i = 0x178; i < 0x1F8; i += 4) {
        uint32_t want = i == 0x188 ? 0x2000u : i == 0x18C ? 0x200u : 0u;
        EXPECT_EQ(U32(b, i), want) << i;
    }
    // Section header.
    EXPECT_EQ(std::string(b.begin() + 0x1F8, b.begin() + 0x200), std::string(".rsrc\0\0\0", 8));
    EXPECT_EQ(U32(b, 0x200), 16u);
    EXPECT_EQ(U32(b, 0x204), 0x2000u);
    EXPECT_EQ(U32(b, 0x208), 0x200u);
    EXPECT_EQ(U32(b, 0x20C), 0x400u);
    for (size_t i = 0x210; i < 0x21C; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(U32(b, 0x21C), 0x40000000u);
    for (size_t i = 0x220; i < 0x400; ++i) ASSERT_EQ(b[i], 0) << i;
    // Root directory: no entries; then zeros to the end of the 512-byte section.
    EXPECT_EQ(U32(b, 0x400), 0u);
    EXPECT_EQ(U32(b, 0x404), 0x12345678u);
    EXPECT_EQ(U32(b, 0x408), 0u);
    EXPECT_EQ(U32(b, 0x40C), 0u);
    for (size_t i = 0x410; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST(ResProcessor, ModuleLayout) {
    // Strings 0, 1, 17 and one RCDATA item "AB" = "xyz": every offset follows from the sizes.
    TResProcessor p;
    p.FixedTimeStamp = 7;
    auto s = std::make_unique<TResString>();
    s->AddString(0, u"Zero");
    s->AddString(1, u"One");
    s->AddString(17, u"Seventeen");
    p.AddBlock(std::move(s));
    auto r = std::make_unique<TResRCData>();
    SetData(r->Add("AB"), "xyz");
    p.AddBlock(std::move(r));
    // root 16 + 2*8; strings 16 + 96 + 46 + 50 = 208; rcdata 16 + 48 + 6 + 3 = 73
    const uint32_t S = 32, R = 32 + 208;
    EXPECT_EQ(p.Size(), 32u + 208 + 73);
    auto b = Module(p);
    ASSERT_EQ(b.size(), 1024u + 512);
    EXPECT_EQ(U32(b, 0x200), 313u);  // VirtualSize
    const size_t sec = 0x400;
    EXPECT_EQ(U16(b, sec + 14), 2);
    EXPECT_EQ(U32(b, sec + 16), 6u);
    EXPECT_EQ(U32(b, sec + 20), 0x80000000u + S);
    EXPECT_EQ(U32(b, sec + 24), 10u);
    EXPECT_EQ(U32(b, sec + 28), 0x80000000u + R);
    // String block: header, 2 entries, 2 language directories, 2 data entries, data.
    EXPECT_EQ(U32(b, sec + S + 4), 7u);
    EXPECT_EQ(U16(b, sec + S + 12), 0);
    EXPECT_EQ(U16(b, sec + S + 14), 2);
    EXPECT_EQ(U32(b, sec + S + 16), 1u);
    EXPECT_EQ(U32(b, sec + S + 20), 0x80000000u + S + 16 + 16);
    EXPECT_EQ(U32(b, sec + S + 24), 2u);
    EXPECT_EQ(U32(b, sec + S + 28), 0x80000000u + S + 16 + 16 + 24);
    const size_t lang0 = sec + S + 32;
    EXPECT_EQ(U32(b, lang0 + 4), 7u);
    EXPECT_EQ(U16(b, lang0 + 14), 1);
    EXPECT_EQ(U32(b, lang0 + 16), 0u);
    EXPECT_EQ(U32(b, lang0 + 20), S + 16 + 64u);
    EXPECT_EQ(U32(b, lang0 + 24 + 20), S + 16 + 64 + 16u);
    const size_t de = sec + S + 16 + 64;
    EXPECT_EQ(U32(b, de), 0x2000u + S + 16 + 96);
    EXPECT_EQ(U32(b, de + 4), 46u);
    EXPECT_EQ(U32(b, de + 8), 0u);
    EXPECT_EQ(U32(b, de + 16), 0x2000u + S + 16 + 96 + 46);
    EXPECT_EQ(U32(b, de + 20), 50u);
    const size_t g1 = sec + S + 16 + 96;
    EXPECT_EQ(U16(b, g1), 4);
    EXPECT_EQ(U16(b, g1 + 2), 'Z');
    EXPECT_EQ(U16(b, g1 + 10), 3);
    for (size_t i = 0; i < 14; ++i) EXPECT_EQ(U16(b, g1 + 18 + 2 * i), 0);
    const size_t g2 = g1 + 46;
    EXPECT_EQ(U16(b, g2), 0);
    EXPECT_EQ(U16(b, g2 + 2), 9);
    EXPECT_EQ(U16(b, g2 + 4), 'S');
    // RCDATA block.
    EXPECT_EQ(U16(b, sec + R + 12), 1);
    EXPECT_EQ(U16(b, sec + R + 14), 0);
    EXPECT_EQ(U32(b, sec + R + 16), 0x80000000u + R + 64);
    EXPECT_EQ(U32(b, sec + R + 20), 0x80000000u + R + 24);
    EXPECT_EQ(U32(b, sec + R + 24 + 20), R + 48u);
    EXPECT_EQ(U32(b, sec + R + 48), 0x2000u + R + 64 + 6);
    EXPECT_EQ(U32(b, sec + R + 52), 3u);
    EXPECT_EQ(std::string(b.begin() + sec + R + 64, b.begin() + sec + R + 73), std::string("\x02\0A\0B\0xyz", 9));
    for (size_t i = sec + 313; i < b.size(); ++i) ASSERT_EQ(b[i], 0);
}

TEST(ResProcessor, ToolchainModuleLoadsAndRoundTrips) {
    TResProcessor p;
    p.LoadFromFile(SampleDll());
    ASSERT_EQ(p.BlockCount(), 2);  // MYTYPE and type 23 are dropped
    auto* s = StringBlock(p);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Count(), 7);
    EXPECT_EQ(s->FindString(0)->Text, u"Zero");
    EXPECT_EQ(s->FindString(17)->Text, u"Seventeen");
    EXPECT_EQ(s->FindString(100)->Text, u"Hundred: \u00E4 \u00F6 \u00FC \u00DF \u20AC");
    EXPECT_EQ(s->FindString(101)->Text, u"Greek: \u03A9 \u03BB");
    EXPECT_EQ(s->FindString(65201)->Text, u"Line one\nline two");
    auto* r = RCDataBlock(p);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->Count(), 4);
    EXPECT_EQ(r->Items(0)->Name, "MULTI");
    EXPECT_EQ(DataOf(r->Items(0)), "deutsch");
    EXPECT_EQ(r->Items(3)->Name, "7");
    EXPECT_EQ(DataOf(r->FindByName("packageinfo")), std::string("\x01\x02\x03\x04"
                                                                "AB"));

    // Edit, write, read back.
    s->Strings(s->IndexOfId(1))->Text = u"Eins";
    r->Remove("QLX_EXESETTINGS_");
    SetData(r->Add("QLX_LIBSETTINGS_"), "LDLL");
    std::string path = WriteScratch("roundtrip.dll", Module(p));
    TResProcessor q;
    q.LoadFromFile(path);
    ASSERT_EQ(q.BlockCount(), 2);
    auto* s2 = StringBlock(q);
    ASSERT_EQ(s2->Count(), s->Count());
    for (int i = 0; i < s->Count(); ++i) {
        EXPECT_EQ(s2->Strings(i)->Id, s->Strings(i)->Id);
        EXPECT_EQ(s2->Strings(i)->Text, s->Strings(i)->Text);
    }
    auto* r2 = RCDataBlock(q);
    ASSERT_EQ(r2->Count(), 4);
    EXPECT_EQ(r2->IndexOfName("QLX_EXESETTINGS_"), -1);
    EXPECT_EQ(DataOf(r2->FindByName("qlx_libsettings_")), "LDLL");
    // Written sorted by name, as the loader searches them.
    EXPECT_EQ(r2->Items(0)->Name, "7");
    EXPECT_EQ(r2->Items(1)->Name, "MULTI");
    EXPECT_EQ(r2->Items(3)->Name, "QLX_LIBSETTINGS_");
    // Only language 0 is written.
    TPEReader reader(path);
    auto* firstName = reader.ResourceList()->Items(0)->GetList()->Items(0);
    const uint8_t* lang = reader.FileBase() + reader.ResourceBase() + (firstName->OffsetField() & 0x7FFFFFFF);
    EXPECT_EQ(lang[14], 1);
    EXPECT_EQ(lang[16] | lang[17] << 8, 0);
}

TEST(ResProcessor, FileWithoutStringTablesHasNoStringBlock) {
    TResProcessor src;
    src.FixedTimeStamp = 1;
    auto r = std::make_unique<TResRCData>();
    SetData(r->Add("ONLY"), "data");
    src.AddBlock(std::move(r));
    TResProcessor p;
    p.LoadFromFile(WriteScratch("rcdataonly.dll", Module(src)));
    EXPECT_EQ(p.BlockCount(), 1);
    EXPECT_EQ(p.FindBlock(6), nullptr);
    ASSERT_NE(p.FindBlock(10), nullptr);

    // Blocks are kept even when empty, and such a module reads back.
    TResProcessor e;
    e.AddBlock(std::make_unique<TResString>());
    TResProcessor f;
    f.LoadFromFile(WriteScratch("emptystrings.dll", Module(e)));
    ASSERT_EQ(f.BlockCount(), 1);
    EXPECT_EQ(f.Blocks(0)->Count(), 0);
}

TEST(ResProcessor, FailedLoads) {
    TResProcessor p;
    FillSample(p);
    // The reader fails before anything is touched.
    EXPECT_THROW(p.LoadFromFile((ScratchDir() / "none.dll").string()), EExeError);
    EXPECT_EQ(p.BlockCount(), 2);
    // No resource section: cleared, then the error.
    auto bytes = Module(p);
    std::memcpy(&bytes[0x1F8], ".data\0\0\0", 8);
    try {
        p.LoadFromFile(WriteScratch("norsrc.dll", bytes));
        FAIL();
    } catch (const EExeError& e) {
        EXPECT_STREQ(e.what(), "No resources in this file.");
    }
    EXPECT_EQ(p.BlockCount(), 0);
    // A string table whose name is not a number.
    TResProcessor q;
    FillSample(q);
    auto m = Module(q);
    const size_t names = 0x400 + (U32(m, 0x414) & 0x7FFFFFFF);
    auto named = m;
    Put32(named, names + 16, 0x80000000u | ((U32(m, 0x41C) & 0x7FFFFFFF) + 16 + 48 * 4));  // an RCDATA name
    EXPECT_THROW(q.LoadFromFile(WriteScratch("namedblock.dll", named)), fw::EConvertError);
    EXPECT_EQ(q.BlockCount(), 0);
    // A block number beyond the 16-bit ids.
    auto far = m;
    Put32(far, names + 16, 5000);
    try {
        q.LoadFromFile(WriteScratch("farblock.dll", far));
        FAIL();
    } catch (const EExeError& e) {
        EXPECT_STREQ(e.what(), "String table block 5000 is out of range (1 to 4096)");
    }
}

TEST(ResProcessor, DirectoryEntriesAreSortedForTheLoader) {
    TResProcessor p;
    p.FixedTimeStamp = 1;
    auto r = std::make_unique<TResRCData>();
    SetData(r->Add("TFORM2"), "2");
    SetData(r->Add("QLX_LIBSETTINGS_"), "S");
    SetData(r->Add("TFORM1"), "1a");
    SetData(r->Add("A"), "");
    SetData(r->Add("TFORM1"), "1b");  // duplicates keep their order
    p.AddBlock(std::move(r));
    auto s = std::make_unique<TResString>();
    s->AddString(5, u"five");
    p.AddBlock(std::move(s));  // after RCDATA in the list, before it in the module
    TPEReader reader(WriteScratch("sorted.dll", Module(p)));
    auto* root = reader.ResourceList();
    ASSERT_EQ(root->Count(), 2);
    EXPECT_EQ(root->Items(0)->Name(), "String");
    auto* names = root->Items(1)->GetList();
    std::vector<std::string> got, data;
    for (int i = 0; i < names->Count(); ++i) {
        got.push_back(names->Items(i)->Name());
        data.push_back(std::string(reinterpret_cast<const char*>(names->Items(i)->Data()),
                                   static_cast<size_t>(names->Items(i)->DataSize())));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"A", "QLX_LIBSETTINGS_", "TFORM1", "TFORM1", "TFORM2"}));
    EXPECT_EQ(data, (std::vector<std::string>{"", "S", "1a", "1b", "2"}));
    // The processor's own list keeps insertion order.
    EXPECT_EQ(static_cast<TResRCData*>(p.Blocks(0))->Items(0)->Name, "TFORM2");
}

TEST(ResProcessor, BlocksAndSizes) {
    TResProcessor p;
    EXPECT_EQ(p.FindBlock(6), nullptr);
    FillSample(p);
    EXPECT_EQ(p.BlockCount(), 2);
    EXPECT_EQ(p.FindBlock(6), p.Blocks(0));
    EXPECT_EQ(p.FindBlock(10), p.Blocks(1));
    EXPECT_EQ(p.Blocks(0)->Processor, &p);
    EXPECT_EQ(p.Size(), 16 + 16 + p.Blocks(0)->Size() + p.Blocks(1)->Size());
    // names: 2 + 2 x (16 + 6 + 5 + 3); data 13 + 7 + 0 + 3
    EXPECT_EQ(p.Blocks(1)->Size(), 16u + 48 * 4 + 8 + 60 + 23);
    auto b = Module(p);
    EXPECT_EQ(b.size(), 1024 + ((p.Size() + 511) / 512) * 512);
    EXPECT_EQ(U32(b, 0x150), ((p.Size() + 0x400 + 0xFFF) / 0x1000) * 0x1000);
    EXPECT_EQ(U32(b, 0x208), (p.Size() + 511) / 512 * 512);
    p.Clear();
    EXPECT_EQ(p.BlockCount(), 0);
    EXPECT_EQ(p.Size(), 16u);
}

TEST(ResProcessor, TimeStamps) {
    TResProcessor p;
    FillSample(p);
    p.FixedTimeStamp = 0xCAFEBABE;
    auto b = Module(p);
    EXPECT_EQ(U32(b, 0x108), 0xCAFEBABEu);
    // Root, the two name directories and every language directory carry the same stamp.
    TPEReader reader(WriteScratch("stamps.dll", b));
    reader.ResourceList();
    const uint8_t* base = reader.FileBase() + reader.ResourceBase();
    auto stampAt = [&](uint32_t off) {
        return uint32_t{base[off + 4]} | uint32_t{base[off + 5]} << 8 | uint32_t{base[off + 6]} << 16 |
               uint32_t{base[off + 7]} << 24;
    };
    EXPECT_EQ(stampAt(0), 0xCAFEBABEu);
    int seen = 0;
    for (int t = 0; t < 2; ++t) {
        auto* type = reader.ResourceList()->Items(t);
        EXPECT_EQ(stampAt(type->OffsetField() & 0x7FFFFFFF), 0xCAFEBABEu);
        auto* names = type->GetList();
        for (int n = 0; n < names->Count(); ++n, ++seen)
            EXPECT_EQ(stampAt(names->Items(n)->OffsetField() & 0x7FFFFFFF), 0xCAFEBABEu);
    }
    EXPECT_EQ(seen, 8);

    // From the clock: local time since 1969-12-31 16:00:00 in whole seconds.
    std::time_t now = std::time(nullptr);
    std::tm lt{};
#ifdef _WIN32
    localtime_s(&lt, &now);
    int64_t local = _mkgmtime(&lt);
#else
    localtime_r(&now, &lt);
    int64_t local = timegm(&lt);
#endif
    int64_t expected = local + 8 * 3600;
    int64_t got = ResourceTimeStamp();
    EXPECT_LE(std::llabs(got - expected), 2) << got << " vs " << expected;
    p.FixedTimeStamp.reset();
    b = Module(p);
    EXPECT_LE(std::llabs(int64_t{U32(b, 0x108)} - expected), 3);
    EXPECT_EQ(U32(b, 0x108), U32(b, 0x404));
}

TEST(ResProcessor, ContentThatCannotBeWritten) {
    TResProcessor p;
    auto s = std::make_unique<TResString>();
    s->AddString(3, std::u16string(70000, u'x'));
    p.AddBlock(std::move(s));
    fw::TMemoryStream m;
    EXPECT_THROW(p.SaveToStream(m), fw::EWriteError);
    EXPECT_EQ(m.Size(), 0);  // checked before the first byte
    TResProcessor q;
    auto r = std::make_unique<TResRCData>();
    r->Add(std::string(70000, 'N'));
    q.AddBlock(std::move(r));
    EXPECT_THROW(q.SaveToStream(m), fw::EWriteError);
    EXPECT_EQ(m.Size(), 0);
}

TEST(ResFormat, EntriesAndRoundTrip) {
    TResProcessor p;
    FillSample(p);
    fw::TMemoryStream res;
    p.Blocks(0)->WriteResFormat(res);
    p.Blocks(1)->WriteResFormat(res);
    const auto& b = res.Bytes();
    ASSERT_EQ(b.size() % 4, 0u);
    // First entry: string group 1 (ids 0..15), data size 2*14 + 10 + 8 = 46.
    EXPECT_EQ(U32(b, 0), 46u);
    EXPECT_EQ(U32(b, 4), 32u);
    EXPECT_EQ(U32(b, 8), 0x0006FFFFu);
    EXPECT_EQ(U32(b, 12), 0x0001FFFFu);
    EXPECT_EQ(U32(b, 16), 0u);
    EXPECT_EQ(U16(b, 20), 0x1000);
    EXPECT_EQ(U16(b, 22), 0);
    EXPECT_EQ(U32(b, 24), 0u);
    EXPECT_EQ(U32(b, 28), 0u);
    EXPECT_EQ(U16(b, 32), 4);
    // 32 + 46 = 78, padded to 80: the next entry starts there.
    EXPECT_EQ(U16(b, 78), 0);
    EXPECT_EQ(U32(b, 84), 32u);

    auto entries = ParseResEntries(b.data(), b.size());
    ASSERT_EQ(entries.size(), 4u + 4u);
    const TResEntry& first = entries[4];
    EXPECT_FALSE(first.Type.IsName);
    EXPECT_EQ(first.Type.Id, 10);
    EXPECT_TRUE(first.Name.IsName);
    EXPECT_EQ(first.Name.Name, u"QLX_LIBSETTINGS_");
    EXPECT_EQ(std::string(first.Data, first.Data + first.Size), "LDLL-settings");

    // An RCDATA header: 28 + name field ("QLX_LIBSETTINGS_" + terminator = 34 bytes, padded to 36).
    size_t at = 0;
    for (int i = 0; i < 4; ++i) at += (U32(b, at) + U32(b, at + 4) + 3) / 4 * 4;
    EXPECT_EQ(U32(b, at + 4), 28u + 36);

    TResString s;
    s.LoadFromResList(entries);
    TResRCData r;
    r.LoadFromResList(entries);
    auto* orig = static_cast<TResString*>(p.Blocks(0));
    ASSERT_EQ(s.Count(), orig->Count());
    for (int i = 0; i < s.Count(); ++i) EXPECT_EQ(s.Strings(i)->Text, orig->Strings(i)->Text);
    ASSERT_EQ(r.Count(), 4);
    EXPECT_EQ(r.Items(1)->Name, "TFORM1");
    EXPECT_EQ(DataOf(r.Items(1)), std::string("TPF0\x00\x01\x02", 7));
    EXPECT_EQ(DataOf(r.Items(2)), "");

    // A cut file is an error, not a read past the end.
    for (size_t n : {size_t{5}, size_t{40}, b.size() - 2})
        EXPECT_THROW(ParseResEntries(b.data(), n), fw::EReadError) << n;
}

namespace {

// Strings on both sides of block boundaries: 16 ids per block, block n holding 16(n-1) .. 16n-1.
const int kBoundaryIds[] = {0, 15, 16, 31, 32, 65519, 65520, 65535};

std::u16string BoundaryText(int id) {
    return u"String " + fw::Utf8ToUtf16(std::to_string(id)) + std::u16string(static_cast<size_t>(id % 7), u'x');
}

}  // namespace

TEST(ResString, AdjacentBlocksKeepTheirOwnStrings) {
    TResProcessor p;
    p.FixedTimeStamp = 7;
    auto s = std::make_unique<TResString>();
    for (int id : kBoundaryIds) s->AddString(id, BoundaryText(id));
    p.AddBlock(std::move(s));
    TResString* block = StringBlock(p);
    ASSERT_EQ(block->GroupCount(), 5);
    const int blocks[] = {1, 2, 3, 4095, 4096};
    for (int g = 0; g < 5; ++g) EXPECT_EQ(block->Groups(g)->Id, blocks[g]);

    // Each block's data: 16 records of a count and the characters, only its own ids in it.
    auto b = Module(p);
    const size_t sec = 0x400, S = 16 + 8;  // one block: root directory, one entry
    ASSERT_EQ(U16(b, sec + S + 14), 5);
    std::map<int, std::u16string> seen;
    for (int g = 0; g < 5; ++g) {
        const size_t entry = sec + S + 16 + 5 * 8 + 5 * 24 + 16 * static_cast<size_t>(g);
        const uint32_t rva = U32(b, entry), size = U32(b, entry + 4);
        uint32_t expected = 32;
        for (int id : kBoundaryIds)
            if (id / 16 + 1 == blocks[g]) expected += 2 * static_cast<uint32_t>(BoundaryText(id).size());
        EXPECT_EQ(size, expected) << "block " << blocks[g];
        size_t at = sec + (rva - 0x2000);
        for (int slot = 0; slot < 16; ++slot) {
            ASSERT_LE(at + 2, b.size());
            uint16_t n = U16(b, at);
            at += 2;
            std::u16string text;
            for (uint16_t i = 0; i < n; ++i, at += 2) text += static_cast<char16_t>(U16(b, at));
            if (n) seen[16 * (blocks[g] - 1) + slot] = text;
        }
        EXPECT_EQ(at, sec + (rva - 0x2000) + size) << "block " << blocks[g];
    }
    ASSERT_EQ(seen.size(), std::size(kBoundaryIds));
    for (int id : kBoundaryIds) EXPECT_EQ(seen[id], BoundaryText(id)) << id;

    // And the reader finds every one of them again in the written module.
    TResProcessor back;
    back.LoadFromFile(WriteScratch("boundaries.dll", b));
    ASSERT_NE(StringBlock(back), nullptr);
    EXPECT_EQ(StringBlock(back)->Count(), static_cast<int>(std::size(kBoundaryIds)));
    for (int id : kBoundaryIds) {
        TResStringItem* item = StringBlock(back)->FindString(id);
        ASSERT_NE(item, nullptr) << id;
        EXPECT_EQ(item->Text, BoundaryText(id)) << id;
    }
}

// A program built with the framework's own tools, taken whole: every language of a string block
// and of an RCDATA name comes out with its own strings and bytes, numeric ids stay ids.
TEST(ResProcessor, KeepAllResourcesKeepsEveryLanguageAndNumericIds) {
    const std::string src = WriteScratch("twolang.exe", TwoLanguageProgram());
    TResProcessor p;
    p.KeepAllResources = true;
    p.LoadFromFile(src);

    // The first language of a block in the table itself, the second one beside it.
    TResString* s = StringBlock(p);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->FindString(65534), nullptr);
    EXPECT_EQ(s->FindString(65534)->Text, u"Open");
    EXPECT_EQ(s->FindString(65533), nullptr);  // only in language 9
    ASSERT_EQ(s->GroupCount(), 2);
    EXPECT_EQ(s->Groups(0)->Id, 4095);
    EXPECT_EQ(s->Groups(0)->Language, 9);
    EXPECT_EQ(s->Groups(1)->Language, 0);
    ASSERT_EQ(s->LangBlockCount(), 1);
    const TResStringLangBlock* nine = s->LangBlocks(0);
    EXPECT_EQ(nine->Block, 4096);
    EXPECT_EQ(nine->Language, 9);
    EXPECT_EQ(nine->Texts[15], u"Invoice");
    EXPECT_EQ(nine->Texts[14], u"\u00D6ffnen");
    EXPECT_EQ(nine->Texts[13], u"Only in nine");
    EXPECT_EQ(nine->Texts[0], u"");

    TResRCData* rc = RCDataBlock(p);
    ASSERT_NE(rc, nullptr);
    ASSERT_EQ(rc->Count(), 5);
    int logos = 0;
    for (int i = 0; i < rc->Count(); ++i) {
        TResRCDataItem* item = rc->Items(i);
        if (item->Name == "LOGO") {
            ++logos;
            EXPECT_FALSE(item->Id);
            EXPECT_EQ(DataOf(item), item->Language == 0x0409 ? "\x89PNG us" : "\x89PNG neutral");
        }
    }
    EXPECT_EQ(logos, 2);
    ASSERT_NE(rc->FindByName("101"), nullptr);
    EXPECT_EQ(rc->FindByName("101")->Id, uint16_t{101});
    EXPECT_EQ(rc->FindByName("7")->Language, 0x0409);

    // The module holds exactly the source's string tables and RCDATA, byte for byte.
    p.FixedTimeStamp = 3;
    const auto module = Module(p);
    const std::string out = WriteScratch("twolang.mod", module);
    const TResourceMap want = ResourcesOf(src), got = ResourcesOf(out);
    EXPECT_EQ(got.size(), 8u);
    EXPECT_EQ(got, want);
    for (const auto& [key, bytes] : want) EXPECT_EQ(got.count(key), 1u) << std::get<0>(key) << " " << std::get<1>(key);

    // RCDATA directory: two named entries (sorted) and then two ids (ascending), as the
    // loader's binary search needs them.
    TPEReader reader(out);
    TPEResourceItem* rcType = reader.ResourceList()->Items(1);
    ASSERT_EQ(rcType->Name(), "RCData");
    const size_t dir = reader.ResourceBase() + (rcType->OffsetField() & 0x7FFFFFFF);
    EXPECT_EQ(U16(module, dir + 12), 2);
    EXPECT_EQ(U16(module, dir + 14), 2);
    std::vector<std::string> order;
    for (auto& item : rcType->GetList()->GetItems())
        order.push_back((item->NameField() & 0x80000000u) ? item->Name() : "#" + item->Name());
    EXPECT_EQ(order, (std::vector<std::string>{"A", "LOGO", "#7", "#101"}));
    // Languages ascending under each name.
    for (auto& item : reader.ResourceList()->Items(0)->GetList()->GetItems()) {
        auto langs = item->Languages();
        for (size_t k = 1; k < langs.size(); ++k) EXPECT_LT(langs[k - 1].Language, langs[k].Language);
    }

    // Read back and written again: the same module.
    TResProcessor back;
    back.KeepAllResources = true;
    back.LoadFromFile(out);
    back.FixedTimeStamp = 3;
    EXPECT_EQ(Module(back), module);

    // Without keeping everything (our own programs) the table keeps the first language of a
    // block, and an RCDATA id is named by its decimal text, as before.
    TResProcessor own;
    own.LoadFromFile(src);
    EXPECT_EQ(StringBlock(own)->LangBlockCount(), 0);
    EXPECT_EQ(RCDataBlock(own)->Count(), 4);
    own.FixedTimeStamp = 3;
    const TResourceMap ownMap = ResourcesOf(WriteScratch("twolang.own", Module(own)));
    EXPECT_EQ(ownMap.count({"RCData", "101", 0}), 1u);
    EXPECT_EQ(ownMap.count({"String", "#4096", 9}), 0u);
}
