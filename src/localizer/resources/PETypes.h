// Standard resource type ids and their display names.
#pragma once

#include <cstdint>
#include <string>

namespace resources {

enum class TResourceType : uint8_t {
    rtUnknown0,
    rtCursorEntry,
    rtBitmap,
    rtIconEntry,
    rtMenu,
    rtDialog,
    rtString,
    rtFontDir,
    rtFont,
    rtAccelerators,
    rtRCData,
    rtMessageTable,
    rtCursor,
    rtUnknown13,
    rtIcon,
    rtUnknown15,
    rtVersion,
};

constexpr uint32_t ResourceTypeMax = 16;

// The enumerator's name without "rt" ("String" for 6); ids above 16 are not standard types.
std::string ResourceTypeName(TResourceType type);

}  // namespace resources
