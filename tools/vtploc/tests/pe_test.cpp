// vtploc pe: the real tool run as a child process on real modules.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/Classes.h"

namespace {

const std::string kSample = std::string(VTP_SOURCE_DIR) + "/src/localizer/resources/tests/data/sample.dll";

struct Result {
    int status;
    std::string out;
};

Result Vtploc(const std::string& args, const std::string& env = "") {
    std::string cmd = env + (env.empty() ? "" : " ") + "'" + VTPLOC_EXE + "' " + args + " 2>&1";
    FILE* f = popen(cmd.c_str(), "r");
    Result r{-1, {}};
    if (!f) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) r.out.append(buf, n);
    int st = pclose(f);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::filesystem::path Scratch() {
    static auto dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("vtploc_pe_" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::string FileText(const std::string& path) {
    auto b = fw::ReadFileBytes(path);
    return std::string(b.begin(), b.end());
}

uint32_t StampOf(const std::string& module) {
    auto b = fw::ReadFileBytes(module);
    return uint32_t{b.at(0x108)} | uint32_t{b[0x109]} << 8 | uint32_t{b[0x10A]} << 16 | uint32_t{b[0x10B]} << 24;
}

}  // namespace

TEST(VtplocPe, ListPrintsTheTree) {
    Result r = Vtploc("pe list '" + kSample + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "MYTYPE\n  1\t6\n"
              "String\n  1\t46\n  2\t50\n  7\t88\n  4076\t86\n"
              "RCData\n  MULTI\t7\n  PACKAGEINFO\t6\n  QLX_EXESETTINGS_\t4\n  7\t8\n"
              "23\n  1\t13\n");
}

TEST(VtplocPe, StringsWithIds) {
    Result r = Vtploc("pe strings '" + kSample + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "0\tZero\n1\tOne\n17\tSeventeen\n"
              "100\tHundred: \xC3\xA4 \xC3\xB6 \xC3\xBC \xC3\x9F \xE2\x82\xAC\n"
              "101\tGreek: \xCE\xA9 \xCE\xBB\n"
              "65200\tVantra Pro\n65201\tLine one\\nline two\n");
}

TEST(VtplocPe, ExtractOneResource) {
    std::string out = (Scratch() / "pkg.bin").string();
    Result r = Vtploc("pe extract '" + kSample + "' rcdata packageinfo -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(FileText(out), std::string("\x01\x02\x03\x04" "AB"));
    // By type number, first language only, numbered names.
    r = Vtploc("pe extract '" + kSample + "' 10 MULTI -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(FileText(out), "deutsch");
    r = Vtploc("pe extract '" + kSample + "' RCData 7 -o '" + out + "'");
    EXPECT_EQ(FileText(out), "numbered");
    r = Vtploc("pe extract '" + kSample + "' MyType 1 -o '" + out + "'");
    EXPECT_EQ(FileText(out), "custom");
    // A string-table block as stored.
    r = Vtploc("pe extract '" + kSample + "' String 2 -o '" + out + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(FileText(out).size(), 50u);

    std::string untouched = (Scratch() / "untouched.bin").string();
    r = Vtploc("pe extract '" + kSample + "' RCData NOPE -o '" + untouched + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("has no resource RCData/NOPE"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(untouched));
}

TEST(VtplocPe, RebuildHonoursSourceDateEpoch) {
    std::string a = (Scratch() / "a.dll").string(), b = (Scratch() / "b.dll").string();
    ASSERT_EQ(Vtploc("pe rebuild '" + kSample + "' -o '" + a + "'", "SOURCE_DATE_EPOCH=1234567890").status, 0);
    ASSERT_EQ(Vtploc("pe rebuild '" + kSample + "' -o '" + b + "'", "SOURCE_DATE_EPOCH=1234567890").status, 0);
    EXPECT_EQ(FileText(a), FileText(b));
    EXPECT_EQ(StampOf(a), 1234567890u);
    // The rebuilt module holds the same strings.
    Result r1 = Vtploc("pe strings '" + kSample + "'"), r2 = Vtploc("pe strings '" + a + "'");
    EXPECT_EQ(r1.out, r2.out);
    Result l = Vtploc("pe list '" + a + "'");
    EXPECT_EQ(l.out,
              "String\n  1\t46\n  2\t50\n  7\t88\n  4076\t86\n"
              "RCData\n  7\t8\n  MULTI\t7\n  PACKAGEINFO\t6\n  QLX_EXESETTINGS_\t4\n");

    // Without it: the clock (local time, counted from 1969-12-31 16:00).
    ASSERT_EQ(Vtploc("pe rebuild '" + kSample + "' -o '" + b + "'", "env -u SOURCE_DATE_EPOCH").status, 0);
    int64_t now = std::time(nullptr);
    EXPECT_LE(std::llabs(int64_t{StampOf(b)} - now), 15 * 3600 + 60);

    Result bad = Vtploc("pe rebuild '" + kSample + "' -o '" + b + "'", "SOURCE_DATE_EPOCH=soon");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.out.find("SOURCE_DATE_EPOCH"), std::string::npos);
}

TEST(VtplocPe, BadInputIsReported) {
    Result r = Vtploc("pe list '" + std::string(VTP_SOURCE_DIR) + "/README.md'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "vtploc: Unrecognized file format\n");
    r = Vtploc("pe strings '" + (Scratch() / "missing.dll").string() + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Couldn't open file: "), std::string::npos) << r.out;
}
