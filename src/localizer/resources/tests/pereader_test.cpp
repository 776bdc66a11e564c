#include <gtest/gtest.h>

#include "ResTestUtil.h"
#include "localizer/kutils/kcompress.h"
#include "localizer/resources/PEReader.h"
#include "localizer/resources/PETypes.h"

using namespace resources;
using namespace restest;

namespace {

std::vector<std::string> Names(TPEResourceList* list) {
    std::vector<std::string> names;
    for (int i = 0; i < list->Count(); ++i) names.push_back(list->Items(i)->Name());
    return names;
}

TPEResourceItem* Find(TPEResourceList* list, const std::string& name) {
    for (int i = 0; i < list->Count(); ++i)
        if (list->Items(i)->Name() == name) return list->Items(i);
    return nullptr;
}

std::string DataString(TPEResourceItem* item) {
    return std::string(reinterpret_cast<const char*>(item->Data()), static_cast<size_t>(item->DataSize()));
}

// A module of one RCDATA item "AB" = "xyz"; its layout is fixed by the writer:
//   0x400 root directory, 0x410 root entry (type 10 -> section offset 0x18)
//   0x418 name directory, 0x428 name entry (name at 0x58, language directory at 0x30)
//   0x430 language directory, 0x440 language entry (data entry at 0x48)
//   0x448 data entry, 0x458 name "AB", 0x45E data "xyz"
std::vector<uint8_t> TinyModule() {
    TResProcessor p;
    p.FixedTimeStamp = 1;
    auto r = std::make_unique<TResRCData>();
    SetData(r->Add("AB"), "xyz");
    p.AddBlock(std::move(r));
    return Module(p);
}

std::string ExeErrorOf(const std::vector<uint8_t>& bytes, const std::string& name) {
    std::string path = WriteScratch(name, bytes);
    try {
        TPEReader reader(path);
        auto* root = reader.ResourceList();
        for (int i = 0; i < root->Count(); ++i) {
            auto* type = root->Items(i);
            type->Name();
            if (!type->IsList()) continue;
            auto* names = type->GetList();
            for (int k = 0; k < names->Count(); ++k) {
                names->Items(k)->Name();
                names->Items(k)->Data();
            }
        }
    } catch (const EExeError& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST(PETypes, DisplayNames) {
    EXPECT_EQ(ResourceTypeName(TResourceType::rtUnknown0), "Unknown0");
    EXPECT_EQ(ResourceTypeName(TResourceType::rtString), "String");
    EXPECT_EQ(ResourceTypeName(TResourceType::rtRCData), "RCData");
    EXPECT_EQ(ResourceTypeName(TResourceType::rtUnknown13), "Unknown13");
    EXPECT_EQ(ResourceTypeName(TResourceType::rtVersion), "Version");
}

TEST(PEReader, ToolchainModuleTree) {
    TPEReader reader(SampleDll());
    auto* root = reader.ResourceList();
    EXPECT_EQ(root, reader.ResourceList());  // built once
    // Named types come first, then ids in ascending order.
    EXPECT_EQ(Names(root), (std::vector<std::string>{"MYTYPE", "String", "RCData", "23"}));
    for (int i = 0; i < root->Count(); ++i) {
        EXPECT_TRUE(root->Items(i)->IsList());
        EXPECT_EQ(root->Items(i)->DataSize(), 0);
    }
    auto* strings = Find(root, "String")->GetList();
    EXPECT_EQ(strings->ResType, 6u);
    EXPECT_EQ(Names(strings), (std::vector<std::string>{"1", "2", "7", "4076"}));
    auto* rcdata = Find(root, "RCData")->GetList();
    EXPECT_EQ(Names(rcdata), (std::vector<std::string>{"MULTI", "PACKAGEINFO", "QLX_EXESETTINGS_", "7"}));
    EXPECT_EQ(DataString(Find(rcdata, "PACKAGEINFO")), std::string("\x01\x02\x03\x04" "AB"));
    EXPECT_EQ(DataString(Find(rcdata, "7")), "numbered");
    EXPECT_FALSE(Find(rcdata, "7")->IsList());
    // Two languages of one name: only the first entry (German, 0x407, sorts first) is seen.
    EXPECT_EQ(DataString(Find(rcdata, "MULTI")), "deutsch");
    EXPECT_EQ(DataString(Find(root, "MYTYPE")->GetList()->Items(0)), "custom");
    EXPECT_EQ(DataString(Find(root, "23")->GetList()->Items(0)), "<html></html>");
    // The data entry: RVA, size, code page, reserved.
    auto* item = Find(rcdata, "PACKAGEINFO");
    const uint8_t* entry = item->DataEntry();
    uint32_t rva = entry[0] | entry[1] << 8 | entry[2] << 16 | uint32_t{entry[3]} << 24;
    EXPECT_EQ(item->Data(), reader.FileBase() + reader.ResourceBase() + (rva - reader.ResourceRVA()));
    EXPECT_EQ(entry[4], 6);
    try {
        item->GetList();
        FAIL() << "a name is not a list";
    } catch (const EExeError& e) {
        EXPECT_STREQ(e.what(), "ResourceItem is not a list");
    }
    EXPECT_THROW(rcdata->Items(4), fw::EListError);
    EXPECT_THROW(rcdata->Items(-1), fw::EListError);
}

TEST(PEReader, StringBlockData) {
    TPEReader reader(SampleDll());
    auto* block = Find(reader.ResourceList(), "String")->GetList()->Items(0);  // ids 0..15
    const uint8_t* d = block->Data();
    ASSERT_GE(block->DataSize(), 2 + 8 + 2 + 6 + 14 * 2);
    EXPECT_EQ(d[0], 4);  // "Zero"
    EXPECT_EQ(d[2], 'Z');
    EXPECT_EQ(d[10], 3);  // "One"
}

TEST(PEReader, SectionLookupIgnoresCase) {
    auto bytes = TinyModule();
    std::memcpy(&bytes[0x1F8], ".RSRC\0\0\0", 8);
    {
        TPEReader reader(WriteScratch("upper.dll", bytes));
        TImageSectionHeader h;
        ASSERT_TRUE(reader.FindSection(".rsrc", h));
        EXPECT_EQ(h.PointerToRawData, 0x400u);
        EXPECT_EQ(h.VirtualAddress, 0x2000u);
        EXPECT_FALSE(reader.FindSection(".rsrc2", h));
        EXPECT_EQ(Names(reader.ResourceList()), std::vector<std::string>{"RCData"});
    }
    std::memcpy(&bytes[0x1F8], ".data\0\0\0", 8);
    TPEReader reader(WriteScratch("nodata.dll", bytes));  // loads: resources are looked for lazily
    try {
        reader.ResourceList();
        FAIL();
    } catch (const EExeError& e) {
        EXPECT_STREQ(e.what(), "No resources in this file.");
    }
}

TEST(PEReader, CompressedModuleReadsLikeItsContent) {
    auto plain = fw::ReadFileBytes(SampleDll());
    auto packed = kutils::LzkCompress(plain);
    ASSERT_NE(packed, plain);
    TPEReader a(SampleDll());
    TPEReader b(WriteScratch("sample.lzk.dll", packed));
    ASSERT_EQ(b.ImageSize(), plain.size());
    EXPECT_EQ(std::memcmp(b.FileBase(), plain.data(), plain.size()), 0);
    auto* ra = Find(a.ResourceList(), "RCData")->GetList();
    auto* rb = Find(b.ResourceList(), "RCData")->GetList();
    EXPECT_EQ(Names(ra), Names(rb));
    EXPECT_EQ(DataString(Find(rb, "MULTI")), "deutsch");
}

TEST(PEReader, FilesThatAreNotModules) {
    auto messageOf = [](const std::string& path) {
        try {
            TPEReader r(path);
        } catch (const EExeError& e) {
            return e.Message();
        }
        return std::string("(no error)");
    };
    std::string missing = (ScratchDir() / "missing.dll").string();
    EXPECT_EQ(messageOf(missing), "Couldn't open file: " + missing);
    EXPECT_EQ(messageOf(WriteScratch("empty.dll", {})), "MapViewOfFile failed");
    EXPECT_EQ(messageOf(WriteScratch("text.dll", {'h', 'e', 'l', 'l', 'o'})), "Unrecognized file format");
    EXPECT_EQ(messageOf(WriteScratch("mz.dll", {'M', 'Z'})), "Not a PE (WIN32 Executable) file");
    // A compressed file is judged by its content.
    std::string text = "plain text, compressed";
    EXPECT_EQ(messageOf(WriteScratch("text.lzk", kutils::LzkCompress(std::vector<uint8_t>(text.begin(), text.end())))),
              "Unrecognized file format");
    std::string lzkGarbage = "LZK00\x10\x00\x00\x00garbage that is no token stream";
    EXPECT_NE(messageOf(WriteScratch("bad.lzk", std::vector<uint8_t>(lzkGarbage.begin(), lzkGarbage.end()))),
              "(no error)");

    auto bytes = TinyModule();
    auto noSignature = bytes;
    noSignature[0x100] = 'N';
    EXPECT_EQ(messageOf(WriteScratch("nosig.dll", noSignature)), "Not a PE (WIN32 Executable) file");
    auto farHeaders = bytes;
    Put32(farHeaders, 0x3C, 0xFFFFFF00u);  // would wrap around in 32 bits
    EXPECT_EQ(messageOf(WriteScratch("far.dll", farHeaders)), "Not a PE (WIN32 Executable) file");
    auto shortHeaders = bytes;
    Put32(shortHeaders, 0x3C, static_cast<uint32_t>(bytes.size() - 100));
    std::memcpy(&shortHeaders[bytes.size() - 100], "PE\0\0", 4);
    EXPECT_EQ(messageOf(WriteScratch("short.dll", shortHeaders)), "Not a PE (WIN32 Executable) file");
    // A module without resources loads; only the resource tree is missing.
    auto noRsrc = bytes;
    Put16(noRsrc, 0x106, 0);
    TPEReader r(WriteScratch("nosections.dll", noRsrc));
    EXPECT_THROW(r.ResourceList(), EExeError);
}

TEST(PEReader, TinyModuleLayout) {
    auto b = TinyModule();
    ASSERT_EQ(b.size(), 1536u);
    EXPECT_EQ(U32(b, 0x410), 10u);
    EXPECT_EQ(U32(b, 0x414), 0x80000018u);
    EXPECT_EQ(U16(b, 0x418 + 12), 1u);  // one named entry
    EXPECT_EQ(U32(b, 0x428), 0x80000058u);
    EXPECT_EQ(U32(b, 0x42C), 0x80000030u);
    EXPECT_EQ(U32(b, 0x444), 0x48u);
    EXPECT_EQ(U32(b, 0x448), 0x205Eu);
    EXPECT_EQ(U32(b, 0x44C), 3u);
    EXPECT_EQ(std::string(b.begin() + 0x458, b.begin() + 0x461), std::string("\x02\x00" "A\x00" "B\x00" "xyz", 9));
}

// Every offset and size in the tree is checked against the image.
TEST(PEReader, DamagedResourceTrees) {
    auto expectBad = [](std::vector<uint8_t> bytes, const std::string& name, const std::string& part) {
        std::string msg = ExeErrorOf(bytes, name);
        EXPECT_NE(msg.find("Bad resources in \""), std::string::npos) << name << ": " << msg;
        EXPECT_NE(msg.find(part), std::string::npos) << name << ": " << msg;
        // The processor meets the same error and keeps nothing.
        TResProcessor p;
        FillSample(p);
        EXPECT_THROW(p.LoadFromFile((ScratchDir() / name).string()), EExeError) << name;
        EXPECT_EQ(p.BlockCount(), 0) << name;
    };
    const auto good = TinyModule();
    ASSERT_EQ(ExeErrorOf(good, "good.dll"), "");

    auto b = good;
    Put16(b, 0x400 + 14, 0xFFFF);  // root claims 65535 entries
    expectBad(b, "rootcount.dll", "entries of the resource directory at file offset 0x410");
    b = good;
    Put32(b, 0x414, 0x80000000u | 0x7FFFFF00u);  // type directory far outside
    expectBad(b, "typeoffset.dll", "the resource directory at file offset");
    b = good;
    Put32(b, 0x428, 0x80000000u | 0x1F8u);  // name runs off the end of the image
    Put16(b, 0x400 + 0x1F8, 0x4000);
    expectBad(b, "namelength.dll", "the resource name at file offset 0x5fa");
    b = good;
    Put32(b, 0x448, 0x1000);  // data RVA below the section, before the file start
    expectBad(b, "datarva.dll", "(RVA 0x1000, 3 bytes) lies outside the file");
    b = good;
    Put32(b, 0x44C, 0x10000);  // data longer than the file
    expectBad(b, "datasize.dll", "(RVA 0x205e, 65536 bytes) lies outside the file");
    b = good;
    Put32(b, 0x44C, 0xFFFFFFFFu);
    expectBad(b, "datasizemax.dll", "lies outside the file");
    b = good;
    Put32(b, 0x444, 0x7FFFFFF0u);  // data entry outside
    expectBad(b, "dataentry.dll", "the resource data entry at file offset");
    b = good;
    Put16(b, 0x430 + 14, 0);  // language directory without entries
    expectBad(b, "nolanguage.dll", "has an empty language directory");
    b = good;
    Put32(b, 0x444, 0x80000018u);  // a third directory level instead of data
    expectBad(b, "deeper.dll", "has a directory where its data entry should be");
    {
        // The second name points straight at a data entry, without a language level.
        TResProcessor p;
        p.FixedTimeStamp = 1;
        auto r = std::make_unique<TResRCData>();
        SetData(r->Add("A"), "1");
        SetData(r->Add("B"), "2");
        p.AddBlock(std::move(r));
        b = Module(p);
        Put32(b, 0x418 + 16 + 12, 0x18 + 16 + 16 + 48);  // the second name's data entry
        expectBad(b, "flat.dll", "the entry at file offset 0x430 has no language directory");
    }
    b = good;
    Put32(b, 0x20C, 0x10000);  // section data beyond the file
    expectBad(b, "rawptr.dll", "the resource section starts at file offset 0x10000");
}

TEST(PEReader, LoopsAndSharedDirectoriesStop) {
    // The type entry points back at the root directory.
    auto b = TinyModule();
    Put32(b, 0x414, 0x80000000u);
    std::string msg = ExeErrorOf(b, "loop.dll");
    EXPECT_NE(msg.find("is reached twice"), std::string::npos) << msg;

    // Two types share one name directory.
    TResProcessor p;
    p.FixedTimeStamp = 1;
    p.AddBlock(std::make_unique<TResRCData>());
    static_cast<TResRCData*>(p.Blocks(0))->Add("A");
    p.AddBlock(std::make_unique<TResRCData>());
    static_cast<TResRCData*>(p.Blocks(1))->Add("B");
    auto two = Module(p);
    Put32(two, 0x400 + 16 + 12, U32(two, 0x400 + 16 + 4));
    msg = ExeErrorOf(two, "shared.dll");
    EXPECT_NE(msg.find("is reached twice"), std::string::npos) << msg;

    // A name whose language level holds further directories stays a leaf: the walk is two
    // levels deep whatever the file says.
    b = TinyModule();
    Put32(b, 0x444, 0x80000018u);
    TPEReader reader(WriteScratch("deep.dll", b));
    auto* name = reader.ResourceList()->Items(0)->GetList()->Items(0);
    EXPECT_FALSE(name->IsList());
    EXPECT_THROW(name->GetList(), EExeError);
    EXPECT_THROW(name->DataSize(), EExeError);
}

TEST(PEReader, TypeWithoutLanguageLevel) {
    // Names that point straight at data entries make the type a leaf, not a list.
    auto b = TinyModule();
    Put32(b, 0x42C, 0x48);
    TPEReader reader(WriteScratch("twolevel.dll", b));
    auto* type = reader.ResourceList()->Items(0);
    EXPECT_FALSE(type->IsList());
    EXPECT_THROW(type->GetList(), EExeError);
    TResProcessor p;
    try {
        p.LoadFromFile(reader.FileName());
        FAIL();
    } catch (const EExeError& e) {
        EXPECT_STREQ(e.what(), "ResourceItem is not a list");
    }
}

TEST(PEReader, TruncatedSectionTable) {
    auto b = TinyModule();
    Put16(b, 0x106, 60);  // 60 sections of 40 bytes do not fit
    std::memcpy(&b[0x1F8], ".text\0\0\0", 8);
    TPEReader reader(WriteScratch("sections.dll", b));
    try {
        reader.ResourceList();
        FAIL();
    } catch (const EExeError& e) {
        EXPECT_NE(std::string(e.what()).find("Bad section table"), std::string::npos) << e.what();
    }
}

TEST(PEReader, EmptyTypeDirectoryIsAnEmptyList) {
    TResProcessor p;
    p.FixedTimeStamp = 1;
    p.AddBlock(std::make_unique<TResString>());
    p.AddBlock(std::make_unique<TResRCData>());
    TPEReader reader(WriteScratch("emptytypes.dll", Module(p)));
    auto* root = reader.ResourceList();
    ASSERT_EQ(root->Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(root->Items(i)->IsList());
        EXPECT_EQ(root->Items(i)->GetList()->Count(), 0);
    }
}
