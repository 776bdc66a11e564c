// The module writer's ways to its target give the same bytes: an empty memory stream (written in
// place as it grows), a memory stream with bytes before the module or to overwrite, a file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResTestUtil.h"
#include "localizer/resources/ResProc.h"

using namespace resources;
using namespace restest;

namespace {

using Bytes = std::vector<uint8_t>;

void ExpectSameEverywhere(TResProcessor& p, const std::string& name) {
    p.FixedTimeStamp = 7;
    fw::TMemoryStream fresh;
    p.SaveToStream(fresh);
    const Bytes& module = fresh.Bytes();
    ASSERT_GT(module.size(), 1024u) << name;

    // After bytes of its own: those stay, the module follows them.
    fw::TMemoryStream after(Bytes{1, 2, 3});
    after.SetPosition(3);
    p.SaveToStream(after);
    EXPECT_EQ(Bytes(after.Bytes().begin(), after.Bytes().begin() + 3), (Bytes{1, 2, 3})) << name;
    EXPECT_EQ(Bytes(after.Bytes().begin() + 3, after.Bytes().end()), module) << name;

    // Over older bytes, longer than the module: the module replaces its part, the rest stays.
    fw::TMemoryStream over(Bytes(module.size() + 10, 0xEE));
    p.SaveToStream(over);
    EXPECT_EQ(Bytes(over.Bytes().begin(), over.Bytes().begin() + static_cast<long>(module.size())), module) << name;
    EXPECT_EQ(over.Position(), static_cast<int64_t>(module.size())) << name;
    EXPECT_EQ(over.Bytes().back(), 0xEE) << name;

    // A file.
    const std::string path = (ScratchDir() / (name + ".paths.dll")).string();
    {
        fw::TFileStream f(path, fw::fmCreate);
        p.SaveToStream(f);
    }
    fw::TMemoryStream file;
    file.LoadFromFile(path);
    EXPECT_EQ(file.Bytes(), module) << name;

    // And twice in a row the same.
    fw::TMemoryStream again;
    p.SaveToStream(again);
    EXPECT_EQ(again.Bytes(), module) << name;
}

}  // namespace

TEST(ModuleWriterPaths, SameBytesInEveryTarget) {
    TResProcessor sample;
    FillSample(sample);
    ExpectSameEverywhere(sample, "sample");

    // Every language and resource of a program kept: further languages of a string block,
    // RCDATA in two languages and under numeric ids, other types.
    TResProcessor all;
    all.KeepAllResources = true;
    all.LoadFromFile(WriteScratch("paths_two.exe", TwoLanguageProgram()));
    ExpectSameEverywhere(all, "keepall");

    // Many strings in blocks with gaps, long texts, empty RCDATA.
    TResProcessor big;
    auto s = std::make_unique<TResString>();
    for (int i = 0; i < 3000; ++i) s->AddString(i * 7 % 65536, std::u16string(static_cast<size_t>(i % 300), u'x'));
    big.AddBlock(std::move(s));
    auto r = std::make_unique<TResRCData>();
    SetData(r->Add("ZZZ"), "");
    SetData(r->Add("AAA"), std::string(70000, 'a'));
    big.AddBlock(std::move(r));
    ExpectSameEverywhere(big, "big");
    TPEReader reader(WriteScratch("paths_big.dll", [&] {
        fw::TMemoryStream m;
        big.SaveToStream(m);
        return m.Bytes();
    }()));
    TResProcessor back;
    back.LoadFromFile(reader.FileName());
    auto* strings = static_cast<TResString*>(back.FindBlock(6));
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(strings->Count(), 2990);  // the ten empty texts are empty slots
    EXPECT_EQ(strings->FindString(299 * 7)->Text, std::u16string(299, u'x'));
}
