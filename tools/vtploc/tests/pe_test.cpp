// vtploc pe: the real tool run as a child process on real modules.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "ToolTest.h"
#include "framework/Classes.h"

namespace {

const std::string kSample = std::string(VTP_SOURCE_DIR) + "/src/localizer/resources/tests/data/sample.dll";

using tooltest::Result;
using tooltest::Vtploc;

class VtplocPe : public tooltest::ToolTest {};

std::string FileText(const std::string& path) {
    auto b = fw::ReadFileBytes(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST_F(VtplocPe, ListPrintsTheTree) {
    Result r = Vtploc("pe list '" + kSample + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "MYTYPE\n  1\t6\n"
              "String\n  1\t46\n  2\t50\n  7\t88\n  4076\t86\n"
              "RCData\n  MULTI\t7\n  PACKAGEINFO\t6\n  QLX_EXESETTINGS_\t4\n  7\t8\n"
              "23\n  1\t13\n");
}

TEST_F(VtplocPe, StringsWithIds) {
    Result r = Vtploc("pe strings '" + kSample + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "0\tZero\n1\tOne\n17\tSeventeen\n"
              "100\tHundred: \xC3\xA4 \xC3\xB6 \xC3\xBC \xC3\x9F \xE2\x82\xAC\n"
              "101\tGreek: \xCE\xA9 \xCE\xBB\n"
              "65200\tVantra Pro\n65201\tLine one\\nline two\n");
}

TEST_F(VtplocPe, ExtractOneResource) {
    std::string out = (dir_ / "pkg.bin").string();
    Result r = Vtploc("pe extract '" + kSample + "' rcdata packageinfo -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(FileText(out), std::string("\x01\x02\x03\x04"
                                         "AB"));
    // By type number, first language only, numbered names.
    r = Vtploc("pe extract '" + kSample + "' 10 MULTI -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(FileText(out), "deutsch");
    r = Vtploc("pe extract '" + kSample + "' RCData 7 -o '" + out + "'");
    EXPECT_EQ(FileText(out), "numbered");
    r = Vtploc("pe extract '" + kSample + "' MyType 1 -o '" + out + "'");
    EXPECT_EQ(FileText(out), "custom");
    // A string-table block as stored.
    r = Vtploc("pe extract '" + kSample + "' String 2 -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(FileText(out).size(), 50u);

    std::string untouched = (dir_ / "untouched.bin").string();
    r = Vtploc("pe extract '" + kSample + "' RCData NOPE -o '" + untouched + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("has no resource RCData/NOPE"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(untouched));
}

TEST_F(VtplocPe, RebuildHonoursSourceDateEpoch) {
    std::string a = (dir_ / "a.dll").string(), b = (dir_ / "b.dll").string();
    ASSERT_EQ(Vtploc("pe rebuild '" + kSample + "' -o '" + a + "'", "SOURCE_DATE_EPOCH=1234567890").status, 0);
    ASSERT_EQ(Vtploc("pe rebuild '" + kSample + "' -o '" + b + "'", "SOURCE_DATE_EPOCH=1234567890").status, 0);
    EXPECT_EQ(FileText(a), FileText(b));
    EXPECT_EQ(tooltest::ResourceStamp(a), 1234567890u);
    // The rebuilt module holds the same strings.
    Result r1 = Vtploc("pe strings '" + kSample + "'"), r2 = Vtploc("pe strings '" + a + "'");
    EXPECT_EQ(r1.out, r2.out);
    Result l = Vtploc("pe list '" + a + "'");
    EXPECT_EQ(l.out,
              "String\n  1\t46\n  2\t50\n  7\t88\n  4076\t86\n"
              "RCData\n  7\t8\n  MULTI\t7\n  PACKAGEINFO\t6\n  QLX_EXESETTINGS_\t4\n");

    // Without it: the clock (local time, counted from 1969-12-31 16:00).
    ASSERT_EQ(Vtploc("pe rebuild '" + kSample + "' -o '" + b + "'", "-u SOURCE_DATE_EPOCH").status, 0);
    int64_t now = std::time(nullptr);
    EXPECT_LE(std::llabs(int64_t{tooltest::ResourceStamp(b)} - now), 15 * 3600 + 60);

    Result bad = Vtploc("pe rebuild '" + kSample + "' -o '" + b + "'", "SOURCE_DATE_EPOCH=soon");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("SOURCE_DATE_EPOCH"), std::string::npos);
}

TEST_F(VtplocPe, BadInputIsReported) {
    Result r = Vtploc("pe list '" + std::string(VTP_SOURCE_DIR) + "/README.md'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vtploc: Unrecognized file format\n");
    r = Vtploc("pe strings '" + (dir_ / "missing.dll").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Couldn't open file: "), std::string::npos) << r.err;
}
