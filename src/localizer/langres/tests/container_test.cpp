#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/kcompress.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/LangWriter.h"
#include "localizer/langres/SettingsRecord.h"

using namespace langres;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes LangFileBytes(uint16_t langId, const char* name) {
    TLangFileImage img;
    img.Header.LangId = langId;
    img.Header.Revision = 18;
    img.Header.EnglishLangName = name;
    img.Header.IsNative = langId == 9;
    TLFUnit unit;
    unit.Name = "SampleStrings";
    TLFRecord r;
    r.Name = "SHello";
    r.Id = 1;
    r.ResId = 100;
    r.Value.Present = true;
    r.Value.Text = u"Hello, some text that repeats, some text that repeats";
    unit.Constants.push_back(r);
    img.Units.push_back(unit);
    return WriteLangFile(img, 7, false);
}

Bytes Compress(const Bytes& plain) {
    fw::TBytesStream src(plain.data(), static_cast<int64_t>(plain.size()));
    fw::TMemoryStream dst;
    kutils::CompressStream(src, dst);
    return dst.Bytes();
}

TLangContainer Sample(uint16_t version) {
    TLangContainer c;
    c.Version = version;
    c.Revision = 18;
    c.Entries.push_back({9, "English", Compress(LangFileBytes(9, "English"))});
    c.Entries.push_back({0x0407, "German", LangFileBytes(0x0407, "German")});
    return c;
}

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const fw::Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

TEST(LangContainer, RoundTripsEveryVersion) {
    for (uint16_t v = 1; v <= 3; ++v) {
        TLangContainer c = Sample(v);
        Bytes bytes = WriteLangContainer(c);
        // Directory: signature, version, revision, count, ids (and names from 3), then sizes.
        size_t dir = 3 + 2 + 4 + 2 + 2 * 2 + (v >= 3 ? 1 + 7 + 1 + 6 : 0);
        size_t sizes = 2 * (v >= 2 ? 4 : 2);
        EXPECT_EQ(bytes.size(), dir + sizes + c.Entries[0].Data.size() + c.Entries[1].Data.size()) << v;
        TLangContainer back = ReadLangContainer(bytes.data(), bytes.size());
        EXPECT_EQ(back.Version, v);
        EXPECT_EQ(back.Revision, 18u);
        ASSERT_EQ(back.Entries.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(back.Entries[i].LangId, c.Entries[i].LangId);
            EXPECT_EQ(back.Entries[i].Data, c.Entries[i].Data);
        }
        if (v >= 3) {
            EXPECT_EQ(back.Entries[1].EnglishName, "German");
        } else {
            // Without stored names the locale table names the language.
            EXPECT_EQ(back.Entries[1].EnglishName, kutils::LocaleEnglishName(0x0407));
        }
        EXPECT_EQ(WriteLangContainer(back), bytes) << v;
    }
}

TEST(LangContainer, ExtractsByIdAndDecompresses) {
    Bytes bytes = WriteLangContainer(Sample(3));
    Bytes image;
    ASSERT_TRUE(ExtractContainerLanguage(bytes.data(), bytes.size(), 0, image));
    EXPECT_EQ(image, LangFileBytes(9, "English"));  // the first entry, decompressed
    ASSERT_TRUE(ExtractContainerLanguage(bytes.data(), bytes.size(), 0x0407, image));
    EXPECT_EQ(image, LangFileBytes(0x0407, "German"));  // stored plain, copied unchanged
    Bytes block;
    ASSERT_TRUE(FindContainerBlock(bytes.data(), bytes.size(), 9, block));
    EXPECT_EQ(block, Sample(3).Entries[0].Data);
    EXPECT_FALSE(ExtractContainerLanguage(bytes.data(), bytes.size(), 0x040C, image));
    Bytes notContainer{'K', 'L', 'X', 3, 0};
    EXPECT_FALSE(ExtractContainerLanguage(notContainer.data(), notContainer.size(), 0, image));
    EXPECT_EQ(Message([&] { ReadLangContainer(notContainer.data(), notContainer.size()); }), SInvalidKLangs);
    TLangContainer empty;
    Bytes e = WriteLangContainer(empty);
    EXPECT_FALSE(ExtractContainerLanguage(e.data(), e.size(), 0, image));
}

TEST(LangContainer, ShortDataFailsAsInvalid) {
    Bytes bytes = WriteLangContainer(Sample(2));
    // Every cut inside the directory or the blocks: the whole read fails with the one message.
    for (size_t cut = 3; cut < bytes.size(); ++cut)
        EXPECT_EQ(Message([&] { ReadLangContainer(bytes.data(), cut); }), SInvalidKLangs) << cut;
    // The first language can still be taken when only the second block is cut short.
    Bytes image;
    size_t second = Sample(2).Entries[1].Data.size();
    EXPECT_TRUE(ExtractContainerLanguage(bytes.data(), bytes.size() - second, 0, image));
    EXPECT_EQ(Message([&] { ExtractContainerLanguage(bytes.data(), bytes.size() - 1, 0x0407, image); }),
              SInvalidKLangs);
    // A huge count with nothing behind it is refused before anything is reserved.
    Bytes huge{'K', 'L', 'L', 3, 0, 18, 0, 0, 0, 0xFF, 0xFF};
    EXPECT_EQ(Message([&] { ReadLangContainer(huge.data(), huge.size()); }), SInvalidKLangs);
    // A size field larger than what follows.
    Bytes big{'K', 'L', 'L', 2, 0, 18, 0, 0, 0, 1, 0, 9, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'L', 'F'};
    EXPECT_EQ(Message([&] { ExtractContainerLanguage(big.data(), big.size(), 9, image); }), SInvalidKLangs);
}

TEST(LangContainer, WriterRefusesWhatDoesNotFit) {
    TLangContainer c = Sample(1);
    c.Entries[1].Data.assign(70000, 'x');
    EXPECT_THROW(WriteLangContainer(c), ELFProcError);
    c.Version = 2;
    EXPECT_NO_THROW(WriteLangContainer(c));
    c.Version = 4;
    EXPECT_THROW(WriteLangContainer(c), ELFProcError);
    c.Version = 0;
    EXPECT_THROW(WriteLangContainer(c), ELFProcError);
}

TEST(SettingsRecord, TheProgramsOwnRecordIs44Bytes) {
    TSettingsRecord rec;
    rec.Signature = SExeSignature;
    rec.Revision = 18;
    rec.LangId = 9;
    rec.EnglishLangName = "English";
    rec.NativeLangName = u"English";
    Bytes bytes = WriteSettingsRecordData(rec);
    EXPECT_EQ(bytes.size(), 44u);
    EXPECT_EQ(bytes.size(), SettingsRecordFieldsSize(rec) + 1);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "KEXE");
    EXPECT_EQ(bytes[8], 9);
    // Carried word 6 right after the names.
    EXPECT_EQ(bytes[4 + 4 + 2 + 2 + 7 + 2 + 14], 6);

    TSettingsRecord back;
    ASSERT_TRUE(ReadSettingsRecordData(bytes.data(), bytes.size(), back, SExeSignature));
    EXPECT_EQ(back.Revision, 18u);
    EXPECT_EQ(back.NativeLangName, u"English");
    EXPECT_TRUE(back.HasBuild);
    EXPECT_FALSE(ReadSettingsRecordData(bytes.data(), bytes.size(), back, SLibSignature));

    rec.NativeLangName = u"Deutsch\u00e4";
    rec.Build = 0x01020304;
    rec.CarriedWord = 0x1234;
    bytes = WriteSettingsRecordData(rec);
    EXPECT_EQ(bytes.size(), SettingsRecordFieldsSize(rec) + 1);
    ASSERT_TRUE(ReadSettingsRecordData(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.NativeLangName, u"Deutsch\u00e4");
    EXPECT_EQ(back.Build, 0x01020304u);
    EXPECT_EQ(back.CarriedWord, 0x1234);
}

TEST(SettingsRecord, ShortRecordsAreReadAsFarAsTheyGo) {
    TSettingsRecord rec;
    rec.Revision = 7;
    rec.LangId = 0x0407;
    rec.EnglishLangName = "German";
    rec.NativeLangName = u"Deutsch";
    rec.CarriedWord = 11;
    rec.ReservedWord = 22;
    rec.Build = 33;
    Bytes full = WriteSettingsRecordData(rec);
    size_t names = 4 + 4 + 2 + 2 + 6 + 2 + 14;
    TSettingsRecord back;
    for (size_t cut = 0; cut < names; ++cut) EXPECT_FALSE(ReadSettingsRecordData(full.data(), cut, back)) << cut;
    struct {
        size_t size;
        bool carried, reserved, build;
    } cases[] = {{names, false, false, false},   {names + 1, false, false, false}, {names + 2, true, false, false},
                 {names + 4, true, true, false}, {names + 7, true, true, false},   {names + 8, true, true, true},
                 {full.size(), true, true, true}};
    for (auto& c : cases) {
        ASSERT_TRUE(ReadSettingsRecordData(full.data(), c.size, back)) << c.size;
        EXPECT_EQ(back.NativeLangName, u"Deutsch");
        EXPECT_EQ(back.HasCarriedWord, c.carried) << c.size;
        EXPECT_EQ(back.CarriedWord, c.carried ? 11 : DefaultCarriedWord) << c.size;
        EXPECT_EQ(back.HasReservedWord, c.reserved) << c.size;
        EXPECT_EQ(back.HasBuild, c.build) << c.size;
        EXPECT_EQ(back.Build, c.build ? 33u : 0u) << c.size;
    }
    // A name count running past the end.
    Bytes bad = full;
    bad[10] = 0xFF;
    EXPECT_FALSE(ReadSettingsRecordData(bad.data(), bad.size(), back));
}
