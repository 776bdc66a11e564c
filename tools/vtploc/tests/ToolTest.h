// What the tests of vtploc share: running the real tool as a child process and a scratch folder
// per test for its input and output files.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tooltest {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

inline std::string ReadText(const std::string& path) {
    Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

inline void WriteBytes(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

// A file name quoted for the shell.
inline std::string Q(const std::string& path) {
    return "'" + path + "'";
}

struct Result {
    int status = -1;  // exit status, -1 when the tool did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// The tool under test: this build's vtploc, or the command VTPLOC_UNDER_TEST names (the Windows
// build's vtploc.exe under Wine, say).
inline std::string ToolUnderTest() {
    const char* other = std::getenv("VTPLOC_UNDER_TEST");
    return other && *other ? other : VTPLOC_EXE;
}

// A Windows console program ends its lines with CR LF; the tests read them as lines.
inline std::string UnixLines(std::string s) {
    for (size_t at = 0; (at = s.find("\r\n", at)) != std::string::npos;) s.erase(at, 1);
    return s;
}

// Runs vtploc with `args` (file names quoted with Q); `env` holds "NAME=value" settings for the
// tool's environment, or "-u NAME" to remove one.
inline Result Vtploc(const std::string& args, const std::string& env = "") {
    static std::atomic<int> serial{0};
    const fs::path base =
        fs::temp_directory_path() / ("vtploc_run_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    const std::string out = base.string() + ".out", err = base.string() + ".err";
    std::string cmd = env.empty() ? std::string() : "env " + env + " ";
    cmd += Q(ToolUnderTest()) + " " + args + " >" + Q(out) + " 2>" + Q(err);
    int st = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = UnixLines(ReadText(out));
    r.err = UnixLines(ReadText(err));
    fs::remove(out);
    fs::remove(err);
    return r;
}

// The time stamp of a module this project writes: that of its root resource directory.
inline uint32_t ResourceStamp(const std::string& module) {
    Bytes b = ReadBytes(module);
    if (b.size() < 0x10C) return 0;
    return uint32_t{b[0x108]} | uint32_t{b[0x109]} << 8 | uint32_t{b[0x10A]} << 16 | uint32_t{b[0x10B]} << 24;
}

inline int Lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

// A fresh folder per test, removed afterwards.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("vtploc_" + std::string(info->test_suite_name()) + "_" + info->name() +
                                            "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // Writes a file into the folder; returns its path.
    std::string Put(const std::string& name, const Bytes& data) const {
        WriteBytes(Path(name), data);
        return Path(name);
    }
    std::string Put(const std::string& name, const std::string& text) const {
        WriteText(Path(name), text);
        return Path(name);
    }

    fs::path dir_;
};

}  // namespace tooltest
