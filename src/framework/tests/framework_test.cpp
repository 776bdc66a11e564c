#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>

#include "framework/ByteReader.h"
#include "framework/Classes.h"
#include "framework/SysUtils.h"

using namespace fw;

TEST(Format, ProgramSubset) {
    EXPECT_EQ(Format("Error while processing form \"%s\"\r\n%s", {"Form1", "bad"}),
              "Error while processing form \"Form1\"\r\nbad");
    EXPECT_EQ(Format("%s on line %d", {"Invalid property value", 12}), "Invalid property value on line 12");
    EXPECT_EQ(Format("%.8x", {0xABCu}), "00000abc");
    EXPECT_EQ(Format("%.8X", {0xFFFFFFFFu}), "FFFFFFFF");
    EXPECT_EQ(Format("[%5d|%-4d|%03d]", {-42, 7, 5}), "[  -42|7   |005]");
    EXPECT_EQ(Format("100%%", {}), "100%");
    EXPECT_EQ(Format("%u", {-1}), "4294967295");
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%s %s", {"one"}), EConvertError);
}

TEST(StrToInt, RuntimeRules) {
    int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(TryStrToInt("2147483648", v));
    EXPECT_TRUE(TryStrToInt("$FF", v));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(TryStrToInt("0x10", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(TryStrToInt("XfffFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(TryStrToInt("", v));
    EXPECT_FALSE(TryStrToInt("12a", v));
    EXPECT_FALSE(TryStrToInt("$", v));
    EXPECT_THROW(StrToInt("abc"), EConvertError);
    EXPECT_EQ(Trim(std::string("\t a b \r\n")), "a b");
    EXPECT_EQ(CompareTextAscii("abc", "ABD"), -1);
    EXPECT_TRUE(SameTextAscii("Caption", "CAPTION"));
    EXPECT_FALSE(SameTextAscii("\xE4", "\xC4"));  // ASCII-only folding
}

TEST(Utf8, PairsJoinedLoneSurrogatesReplaced) {
    EXPECT_EQ(Utf16ToUtf8(u"A\u00e4\u20ac\U0001F600"), "A\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDBFF)}), "\xEF\xBF\xBD");  // cut at the end
}

TEST(MemoryStream, ReadWriteSeek) {
    TMemoryStream m;
    m.WriteU32(0x11223344);
    m.WriteU16(0x5566);
    EXPECT_EQ(m.Size(), 6);
    EXPECT_EQ(m.Position(), 6);
    m.SetPosition(0);
    EXPECT_EQ(m.ReadU32(), 0x11223344u);
    EXPECT_EQ(m.ReadU16(), 0x5566u);
    EXPECT_THROW(m.ReadU8(), EReadError);
    m.Seek(-2, TSeekOrigin::soEnd);
    EXPECT_EQ(m.ReadU8(), 0x66);
    m.SetPosition(10);  // writing past the end grows with zeros
    m.WriteU8(1);
    EXPECT_EQ(m.Size(), 11);
    EXPECT_EQ(m.Bytes()[8], 0);
    m.SetSize(3);
    EXPECT_EQ(m.Position(), 3);

    TMemoryStream copy;
    copy.CopyFrom(m, 0);
    EXPECT_EQ(copy.Bytes(), m.Bytes());
}

TEST(FileStream, CreateReadAndErrors) {
    // A folder of its own: other builds run the same test at the same time.
    auto dir = std::filesystem::temp_directory_path() / ("vtp_fw_test_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string name = (dir / "a.bin").string();
    {
        TFileStream f(name, fmCreate);
        f.WriteString("hello world");
        f.SetSize(5);
    }
    EXPECT_EQ(ReadFileBytes(name).size(), 5u);
    {
        TFileStream f(name, fmOpenReadWrite);
        f.Seek(0, TSeekOrigin::soEnd);
        f.WriteString("!");
        f.SetPosition(0);
        char buf[6];
        f.ReadBuffer(buf, 6);
        EXPECT_EQ(std::string(buf, 6), "hello!");
    }
    try {
        TFileStream f((dir / "missing" / "x").string(), fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("Cannot open file \""), std::string::npos);
        EXPECT_NE(e.Message().find("missing"), std::string::npos);
    }
    // A failed atomic write leaves the old file untouched and no temporary behind.
    std::string target = (dir / "keep.bin").string();
    WriteFileAtomically(target, "old", 3);
    EXPECT_THROW(WriteFileAtomically((dir / "nodir" / "x.bin").string(), "new", 3), EStreamError);
    auto kept = ReadFileBytes(target);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old");
    EXPECT_FALSE(std::filesystem::exists(target + ".tmp~"));
#ifndef _WIN32
    // Through a link: the link stays and the file it names gets the data.
    std::filesystem::create_symlink("keep.bin", dir / "link.bin");
    WriteFileAtomically((dir / "link.bin").string(), "via", 3);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
    kept = ReadFileBytes(target);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "via");
    // A pipe (like /dev/stdout) is written into, not replaced.
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteFileAtomically(fifo, "x", 1);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
#endif
    std::filesystem::remove_all(dir);
}

TEST(ByteReader, NeverReadsPastTheEnd) {
    const uint8_t data[] = {1, 2, 3, 4, 5, 0x41, 0};
    TByteReader r(data, sizeof data);
    EXPECT_EQ(r.U8(), 1);
    EXPECT_EQ(r.U16(), 0x0302);
    EXPECT_EQ(r.Left(), 4u);
    EXPECT_THROW(r.U64(), EEndOfData);
    EXPECT_EQ(r.Pos(), 3u);  // a failed read consumes nothing
    EXPECT_EQ(r.U16(), 0x0504);
    EXPECT_EQ(r.WStr(1), u"A");
    EXPECT_THROW(r.WStr(0x7FFFFFFF), EEndOfData);  // a bogus count never allocates
    EXPECT_THROW(r.Skip(1), EEndOfData);
    try {
        r.Str(3);
        FAIL() << "read past the end";
    } catch (const EEndOfData& e) {
        EXPECT_EQ(e.Message(), "unexpected end of data at offset 7 (3 bytes needed, 0 left)");
    }
}

TEST(ResourceStrings, EnglishUnlessALoaderAnswers) {
    EXPECT_EQ(LoadResString(65217, "Source stream is not defined"), "Source stream is not defined");
    SetResStringLoader([](int id, std::string& out) {
        if (id != 65217) return false;
        out = "Quelldatenstrom ist nicht definiert";
        return true;
    });
    EXPECT_EQ(LoadResString(65217, "Source stream is not defined"), "Quelldatenstrom ist nicht definiert");
    EXPECT_EQ(LoadResString(65218, "Destination stream is not defined"), "Destination stream is not defined");
    SetResStringLoader(nullptr);
}
