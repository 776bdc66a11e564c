// vtploc form ...: runs the real tool on files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ToolTest.h"

namespace fs = std::filesystem;

namespace {

class FormCommand : public tooltest::ToolTest {
protected:
    void Write(const std::string& name, const std::string& bytes) const { Put(name, bytes); }
    std::string Read(const std::string& name) const { return tooltest::ReadText(Path(name)); }
    // Runs vtploc with the arguments; returns the exit status, stderr in err_.
    int Run(const std::string& args) {
        tooltest::Result r = tooltest::Vtploc(args);
        err_ = r.err;
        return r.status;
    }

    std::string err_;
};

const std::string kText =
    "object Form1: TForm1\r\n"
    "  Left = 300\r\n"
    "  Caption = 'Main'#13#10'window'\r\n"
    "  Items.Strings = (\r\n"
    "    'one'\r\n"
    "    'two')\r\n"
    "  Ratio = 12.500000000000000000\r\n"
    "  object Button1: TButton\r\n"
    "    Caption = 'x'#1234\r\n"
    "  end\r\n"
    "end\r\n";

}  // namespace

TEST_F(FormCommand, TextBinaryResourceAndBack) {
    Write("f.txt", kText);
    ASSERT_EQ(Run("form tobinary \"" + Path("f.txt") + "\" \"" + Path("f.bin") + "\""), 0) << err_;
    std::string bin = Read("f.bin");
    ASSERT_GE(bin.size(), 4u);
    EXPECT_EQ(bin.substr(0, 4), "TPF0");
    EXPECT_EQ(bin.substr(4, 7), std::string("\x06TForm1", 7));

    ASSERT_EQ(Run("form totext \"" + Path("f.bin") + "\" \"" + Path("back.txt") + "\""), 0) << err_;
    EXPECT_EQ(Read("back.txt"), kText);

    ASSERT_EQ(Run("form toresource \"" + Path("f.bin") + "\" \"" + Path("f.res") + "\""), 0) << err_;
    std::string res = Read("f.res");
    std::string head = std::string("\xFF\x0A\x00TFORM1\x00\x30\x10", 12);
    ASSERT_EQ(res.size(), 16 + bin.size());
    EXPECT_EQ(res.substr(0, 12), head);
    EXPECT_EQ(static_cast<uint8_t>(res[12]), bin.size());
    EXPECT_EQ(res.substr(16), bin);

    ASSERT_EQ(Run("form totext \"" + Path("f.res") + "\" \"" + Path("res.txt") + "\""), 0) << err_;
    EXPECT_EQ(Read("res.txt"), kText);
    ASSERT_EQ(Run("form tobinary \"" + Path("f.res") + "\" \"" + Path("res.bin") + "\""), 0) << err_;
    EXPECT_EQ(Read("res.bin"), bin);

    // A text input to totext comes back in the standard layout.
    Write("loose.txt", "object Form1 : TForm1 Left=300 Caption='a'+'b' end");
    ASSERT_EQ(Run("form totext \"" + Path("loose.txt") + "\" \"" + Path("tidy.txt") + "\""), 0) << err_;
    EXPECT_EQ(Read("tidy.txt"), "object Form1: TForm1\r\n  Left = 300\r\n  Caption = 'ab'\r\nend\r\n");
}

TEST_F(FormCommand, Utf8StringsWithALanguage) {
    Write("ru.txt", "object F: TF\r\n  Caption = '\xD4\xE0\xE9\xEB'\r\n  Hint = 'File'\r\nend\r\n");
    ASSERT_EQ(Run("form tobinary --utf8 --lang 0x0419 \"" + Path("ru.txt") + "\" \"" + Path("ru.bin") + "\""), 0)
        << err_;
    std::string bin = Read("ru.bin");
    EXPECT_NE(bin.find(std::string("Caption\x14\x08\x00\x00\x00\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB", 20)),
              std::string::npos);
    EXPECT_NE(bin.find(std::string("Hint\x06\x04"
                                   "File",
                                   10)),
              std::string::npos);
    // Without --utf8 the bytes are kept as they are.
    ASSERT_EQ(Run("form tobinary \"" + Path("ru.txt") + "\" \"" + Path("plain.bin") + "\""), 0) << err_;
    EXPECT_NE(Read("plain.bin").find(std::string("Caption\x06\x04\xD4\xE0\xE9\xEB", 13)), std::string::npos);
}

TEST_F(FormCommand, ErrorsNameTheFileAndWriteNothing) {
    Write("bad.txt", "object A: TA\r\n  P = 1\r\n  Q = )\r\nend\r\n");
    EXPECT_EQ(Run("form tobinary \"" + Path("bad.txt") + "\" \"" + Path("bad.bin") + "\""), 1);
    EXPECT_EQ(err_, "vtploc: " + Path("bad.txt") + ": Invalid property value on line 3\n");
    EXPECT_FALSE(fs::exists(Path("bad.bin")));

    Write("cut.bin", std::string("TPF0\x06TForm1\x05"
                                 "Fo",
                                 14));
    EXPECT_EQ(Run("form totext \"" + Path("cut.bin") + "\" \"" + Path("cut.txt") + "\""), 1);
    EXPECT_EQ(err_.rfind("vtploc: " + Path("cut.bin") + ": Invalid stream format", 0), 0u) << err_;
    EXPECT_FALSE(fs::exists(Path("cut.txt")));

    Write("long.txt", "object X: T" + std::string(69, 'n') + "\r\nend\r\n");
    EXPECT_EQ(Run("form toresource \"" + Path("long.txt") + "\" \"" + Path("long.res") + "\""), 1);
    EXPECT_NE(err_.find("Component name is too long: \"T" + std::string(69, 'n') + "\""), std::string::npos) << err_;

    EXPECT_EQ(Run("form tobinary --utf8 \"" + Path("bad.txt") + "\" \"" + Path("x.bin") + "\""), 1);
    EXPECT_NE(err_.find("--utf8 needs --lang"), std::string::npos) << err_;
    EXPECT_EQ(Run("form tobinary \"" + Path("missing.txt") + "\" \"" + Path("x.bin") + "\""), 1);
    EXPECT_NE(err_.find("missing.txt"), std::string::npos) << err_;
}
