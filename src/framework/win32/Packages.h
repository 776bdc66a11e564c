// The run-time package loader: a package is a library with a package-information resource
// and "Initialize"/"Finalize" exports. "Initialize" returns nullptr on success or the
// package's own error text (static storage inside the package).
#pragma once

#include <windows.h>

#include <string>

namespace fw {

using TPackageInitProc = const char*(WINAPI*)();
using TPackageFinalizeProc = void(WINAPI*)();

// Loads, checks and initialises the package; raises EPackageError with the loader's messages.
HMODULE LoadPackage(const std::string& name);
// Finalizes and frees a package; "Invalid package handle" when it has no "Finalize".
void UnloadPackage(HMODULE module);

}  // namespace fw
