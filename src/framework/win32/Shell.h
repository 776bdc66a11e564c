// Starting documents and programs through the shell.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// ShellExecuteA with the verb "open"; empty Parameters/Directory pass null. Returns true when
// the shell reports success (a result above 32).
bool ShellExecuteOpen(HWND owner, const std::string& fileName, const std::string& parameters,
                      const std::string& directory, int showCommand);

}  // namespace fw
