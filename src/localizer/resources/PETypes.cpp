#include "PETypes.h"

namespace resources {

std::string ResourceTypeName(TResourceType type) {
    static const char* const names[] = {"Unknown0", "CursorEntry",  "Bitmap",       "IconEntry", "Menu",
                                        "Dialog",   "String",       "FontDir",      "Font",      "Accelerators",
                                        "RCData",   "MessageTable", "Cursor",       "Unknown13", "Icon",
                                        "Unknown15", "Version"};
    auto i = static_cast<uint32_t>(type);
    return i <= ResourceTypeMax ? names[i] : std::string();
}

}  // namespace resources
