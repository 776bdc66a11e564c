#include <windows.h>

#include "framework/SysUtils.h"
#include "localizer/onfly/OnFlyPlatform.h"

namespace onfly::platform {

std::string OsName(const std::string& name) {
    return name;
}

std::string GetCurrentDir() {
    DWORD n = GetCurrentDirectoryA(0, nullptr);
    std::string s(n, '\0');
    n = GetCurrentDirectoryA(n, s.data());
    s.resize(n);
    return s;
}

void SetCurrentDir(const std::string& dir) {
    if (!SetCurrentDirectoryA(dir.c_str()))
        throw fw::EInOutError(fw::Format("I/O error %d", {static_cast<unsigned>(GetLastError())}));
}

std::string ExpandFileName(const std::string& name) {
    if (name.empty()) return {};
    DWORD n = GetFullPathNameA(name.c_str(), 0, nullptr, nullptr);
    if (n == 0) return name;
    std::string s(n, '\0');
    n = GetFullPathNameA(name.c_str(), n, s.data(), nullptr);
    s.resize(n);
    return s;
}

bool FileExists(const std::string& name) {
    DWORD a = GetFileAttributesA(name.c_str());
    return !name.empty() && a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& name) {
    DWORD a = GetFileAttributesA(name.c_str());
    return !name.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& name) {
    return DeleteFileA(name.c_str()) != 0;
}

std::vector<std::string> FindFiles(const std::string& mask) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(mask.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::string n = fd.cFileName;
        if (n != "." && n != "..") out.push_back(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

void ShowErrorBox(const std::string& text, const std::string& caption) {
    // The application's window stands for the main form; a program without one has no owner.
    HWND owner = nullptr;
    HWND active = GetActiveWindow();
    if (active && IsWindowVisible(active)) owner = active;
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace onfly::platform
