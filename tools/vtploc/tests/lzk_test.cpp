// Runs the real vtploc binary: vtploc lzk compress|decompress IN OUT.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ToolTest.h"
#include "localizer/kutils/kcompress.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

class LzkTool : public tooltest::ToolTest {
protected:
    static void WriteFile(const std::string& p, const Bytes& b) { tooltest::WriteBytes(p, b); }
    static Bytes ReadFile(const std::string& p) { return tooltest::ReadBytes(p); }
    // Runs vtploc with the arguments; returns the exit status, stderr into err.
    static int Run(const std::string& args, std::string& err) {
        tooltest::Result r = tooltest::Vtploc(args);
        err = r.err;
        return r.status;
    }
    static int Lines(const std::string& s) { return tooltest::Lines(s); }
};

Bytes Sample() {
    Bytes b;
    const std::string text = "Caption=Cancel\r\nHint=Closes the form without saving\r\n";
    for (int i = 0; i < 400; ++i) {
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(static_cast<uint8_t>(i));
        b.push_back(static_cast<uint8_t>(i * 7));
    }
    return b;
}

}  // namespace

TEST_F(LzkTool, CompressAndDecompressRoundTrip) {
    Bytes data = Sample();
    WriteFile(Path("in.bin"), data);
    std::string err;
    ASSERT_EQ(Run("lzk compress '" + Path("in.bin") + "' '" + Path("in.lzk") + "'", err), 0) << err;
    Bytes block = ReadFile(Path("in.lzk"));
    EXPECT_EQ(block, kutils::LzkCompress(data));
    EXPECT_LT(block.size(), data.size() / 4);
    ASSERT_EQ(Run("lzk decompress '" + Path("in.lzk") + "' '" + Path("out.bin") + "'", err), 0) << err;
    EXPECT_EQ(ReadFile(Path("out.bin")), data);
    EXPECT_TRUE(err.empty());

    // An empty file is the header alone, and back.
    WriteFile(Path("empty"), {});
    ASSERT_EQ(Run("lzk compress '" + Path("empty") + "' '" + Path("empty.lzk") + "'", err), 0) << err;
    EXPECT_EQ(ReadFile(Path("empty.lzk")), Bytes({'L', 'Z', 'K', '0', '0', 0, 0, 0, 0}));
    ASSERT_EQ(Run("lzk decompress '" + Path("empty.lzk") + "' '" + Path("empty.out") + "'", err), 0) << err;
    EXPECT_TRUE(fs::exists(Path("empty.out")));
    EXPECT_EQ(fs::file_size(Path("empty.out")), 0u);
}

TEST_F(LzkTool, NotAnLzkBlockIsRefusedAndNothingIsWritten) {
    WriteFile(Path("plain.txt"), Bytes({'L', 'Z', 'K', '0', '1', 0, 0, 0, 0, 2, 'a'}));
    std::string err;
    EXPECT_EQ(Run("lzk decompress '" + Path("plain.txt") + "' '" + Path("out.bin") + "'", err), 1);
    EXPECT_NE(err.find(Path("plain.txt")), std::string::npos) << err;
    EXPECT_NE(err.find("not an LZK block"), std::string::npos) << err;
    EXPECT_EQ(Lines(err), 1) << err;
    EXPECT_FALSE(fs::exists(Path("out.bin")));

    // An existing output file is left as it was.
    WriteFile(Path("keep.bin"), Bytes({1, 2, 3}));
    EXPECT_EQ(Run("lzk decompress '" + Path("plain.txt") + "' '" + Path("keep.bin") + "'", err), 1);
    EXPECT_EQ(ReadFile(Path("keep.bin")), Bytes({1, 2, 3}));
    for (const auto& e : fs::directory_iterator(dir_))
        EXPECT_TRUE(e.path().filename() == "plain.txt" || e.path().filename() == "keep.bin") << e.path();
}

TEST_F(LzkTool, UnreadableInputAndWrongArguments) {
    std::string err;
    EXPECT_EQ(Run("lzk compress '" + Path("missing.bin") + "' '" + Path("out.lzk") + "'", err), 1);
    EXPECT_NE(err.find(Path("missing.bin")), std::string::npos) << err;
    EXPECT_EQ(Lines(err), 1) << err;
    EXPECT_FALSE(fs::exists(Path("out.lzk")));

    EXPECT_EQ(Run("lzk decompress '" + Path("missing.lzk") + "' '" + Path("out.bin") + "'", err), 1);
    EXPECT_NE(err.find(Path("missing.lzk")), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(Path("out.bin")));

    WriteFile(Path("in.bin"), Sample());
    for (const std::string& args :
         {std::string("lzk compress '") + Path("in.bin") + "'", std::string("lzk"), std::string("lzk squeeze a b"),
          "lzk compress '" + Path("in.bin") + "' '" + Path("o1") + "' extra"}) {
        EXPECT_EQ(Run(args, err), 1) << args;
        EXPECT_EQ(Lines(err), 1) << args << ": " << err;
        EXPECT_EQ(err.rfind("vtploc: ", 0), 0u) << err;
    }
    EXPECT_FALSE(fs::exists(Path("o1")));
}
