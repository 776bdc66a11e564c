// The host's files and folders. The program builds names with backslashes; here they are
// folder separators too.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "framework/SysUtils.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/onfly/OnFlyPlatform.h"

namespace onfly::platform {

namespace fs = std::filesystem;

namespace {

std::string Native(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

}  // namespace

std::string OsName(const std::string& name) {
    return Native(name);
}

std::string GetCurrentDir() {
    std::error_code ec;
    return fs::current_path(ec).string();
}

void SetCurrentDir(const std::string& dir) {
    std::error_code ec;
    fs::current_path(Native(dir), ec);
    if (ec) throw fw::EInOutError(fw::Format("I/O error %d", {ec.value()}));
}

std::string ExpandFileName(const std::string& name) {
    if (name.empty()) return {};
    std::error_code ec;
    fs::path p = fs::absolute(Native(name), ec);
    if (ec) return name;
    return p.lexically_normal().string();
}

bool FileExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::is_regular_file(Native(name), ec);
}

bool DirectoryExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::is_directory(Native(name), ec);
}

bool RemoveFile(const std::string& name) {
    return ::unlink(Native(name).c_str()) == 0;
}

std::vector<std::string> FindFiles(const std::string& mask) {
    std::string m = Native(mask);
    fs::path p(m);
    fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::string pattern = p.filename().string();
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string n = it->path().filename().string();
        if (kutils::MatchesWildcard(n, pattern, false)) out.push_back(n);
    }
    return out;
}

void ShowErrorBox(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace onfly::platform
