#include "framework/win32/Shell.h"

#include <shellapi.h>

namespace fw {

bool ShellExecuteOpen(HWND owner, const std::string& fileName, const std::string& parameters,
                      const std::string& directory, int showCommand) {
    HINSTANCE r = ShellExecuteA(owner, "open", fileName.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                directory.empty() ? nullptr : directory.c_str(), showCommand);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

}  // namespace fw
