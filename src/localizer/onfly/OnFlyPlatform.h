// Files, folders and the message box of the localizer, in the platform's terms. Names use the
// program's backslash; the host build maps it to its own separator.
#pragma once

#include <string>
#include <vector>

namespace onfly::platform {

std::string GetCurrentDir();
// fw::EInOutError when the directory cannot be entered.
void SetCurrentDir(const std::string& dir);
// Absolute, with "." and ".." resolved, against the current directory.
std::string ExpandFileName(const std::string& name);
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
bool RemoveFile(const std::string& name);
// Names (without folder) of the entries matching mask ("folder\\App.*.lng"), any attribute.
std::vector<std::string> FindFiles(const std::string& mask);
// A modal message box with OK, owned by the application's window when there is one.
void ShowErrorBox(const std::string& text, const std::string& caption);

// The name as the file system and the stream classes take it.
std::string OsName(const std::string& name);

// Portable name helpers (both separators count).
std::string ExtractFilePath(const std::string& name);  // with the trailing separator
std::string ExtractFileName(const std::string& name);
std::string ChangeFileExt(const std::string& name, const std::string& ext);

}  // namespace onfly::platform
