// Filling a TResProcessor from a loaded module through the Windows resource functions.
#include <windows.h>

#include "localizer/resources/ResProc.h"

namespace resources {

namespace {

struct TResourceName {
    bool IsId;
    uint16_t Id;
    std::string Name;
};

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<std::vector<TResourceName>*>(param);
    if (IS_INTRESOURCE(name)) {
        names->push_back({true, static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name)), {}});
    } else {
        names->push_back({false, 0, name});
    }
    return TRUE;
}

// The names are collected first and the resources read afterwards: nothing may be thrown
// through the system's enumeration frames.
std::vector<TResourceName> EnumNames(HMODULE module, LPCSTR type) {
    std::vector<TResourceName> names;
    EnumResourceNamesA(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

bool LockedResource(HMODULE module, LPCSTR type, const TResourceName& name, const uint8_t*& data, DWORD& size) {
    LPCSTR id = name.IsId ? MAKEINTRESOURCEA(name.Id) : name.Name.c_str();
    HRSRC info = FindResourceA(module, id, type);
    if (!info) return false;
    HGLOBAL handle = LoadResource(module, info);
    if (!handle) return false;
    data = static_cast<const uint8_t*>(LockResource(handle));
    size = SizeofResource(module, info);
    return data != nullptr || size == 0;
}

}  // namespace

void TResProcessor::LoadFromModule(uintptr_t instance) {
    auto module = reinterpret_cast<HMODULE>(ResolveResourceInstance(instance));
    Clear();

    auto strings = std::make_unique<TResString>(this);
    for (const auto& name : EnumNames(module, MAKEINTRESOURCEA(6))) {
        const uint8_t* data = nullptr;
        DWORD size = 0;
        if (!name.IsId || !LockedResource(module, MAKEINTRESOURCEA(6), name, data, size)) continue;
        strings->ReadBlock(name.Id, data, size);
    }
    if (strings->Count() > 0) AddBlock(std::move(strings));

    auto rcdata = std::make_unique<TResRCData>(this);
    for (const auto& name : EnumNames(module, MAKEINTRESOURCEA(10))) {
        const uint8_t* data = nullptr;
        DWORD size = 0;
        if (!LockedResource(module, MAKEINTRESOURCEA(10), name, data, size)) continue;
        // A numbered item is named by its decimal id, as the file reader names it.
        TResRCDataItem* item = rcdata->Add(name.IsId ? fw::Format("%d", {name.Id}) : name.Name);
        item->Data.WriteBuffer(data, size);
        item->Data.SetPosition(0);
    }
    if (rcdata->Count() > 0) AddBlock(std::move(rcdata));
}

}  // namespace resources
