// The host has no module loader: the program is an in-memory module named after the running
// executable.
#include <unistd.h>

#include "localizer/onfly/LocLibraries.h"
#include "localizer/onfly/LocUtils.h"

namespace onfly {

IModuleSystem& DefaultModuleSystem() {
    static THostModuleSystem system = [] {
        THostModuleSystem s;
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n > 0) s.SetExeFileName(std::string(buf, static_cast<size_t>(n)));
        return s;
    }();
    return system;
}

// No other modules and no exports.
ILibrarySystem& DefaultLibrarySystem() {
    static THostLibrarySystem system;
    return system;
}

}  // namespace onfly
