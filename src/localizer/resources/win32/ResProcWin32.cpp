// Filling a TResProcessor from a loaded module through the Windows resource functions.
#include <windows.h>

#include "localizer/resources/ResProc.h"

namespace resources {

namespace {

struct TResourceName {
    bool IsId;
    uint16_t Id;
    std::u16string Name;
};

// Wide names: a name in letters the system code page lacks (a form class named in another
// script) stays what it is.
BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<std::vector<TResourceName>*>(param);
    if (IS_INTRESOURCE(name)) {
        names->push_back({true, static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name)), {}});
    } else {
        names->push_back({false, 0, reinterpret_cast<const char16_t*>(name)});
    }
    return TRUE;
}

// The names are collected first and the resources read afterwards: nothing may be thrown
// through the system's enumeration frames.
std::vector<TResourceName> EnumNames(HMODULE module, LPCWSTR type) {
    std::vector<TResourceName> names;
    EnumResourceNamesW(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

bool LockedResource(HMODULE module, LPCWSTR type, const TResourceName& name, const uint8_t*& data, DWORD& size) {
    LPCWSTR id = name.IsId ? MAKEINTRESOURCEW(name.Id) : reinterpret_cast<LPCWSTR>(name.Name.c_str());
    HRSRC info = FindResourceW(module, id, type);
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
    for (const auto& name : EnumNames(module, MAKEINTRESOURCEW(6))) {
        const uint8_t* data = nullptr;
        DWORD size = 0;
        if (!name.IsId || !LockedResource(module, MAKEINTRESOURCEW(6), name, data, size)) continue;
        strings->ReadBlock(name.Id, data, size);
    }
    if (strings->Count() > 0) AddBlock(std::move(strings));

    auto rcdata = std::make_unique<TResRCData>(this);
    for (const auto& name : EnumNames(module, MAKEINTRESOURCEW(10))) {
        const uint8_t* data = nullptr;
        DWORD size = 0;
        if (!LockedResource(module, MAKEINTRESOURCEW(10), name, data, size)) continue;
        // A numbered item is named by its decimal id, as the file reader names it.
        TResRCDataItem* item = rcdata->Add(name.IsId ? fw::Format("%d", {name.Id}) : std::string());
        if (!name.IsId) item->SetWideName(name.Name);
        item->Data.WriteBuffer(data, size);
        item->Data.SetPosition(0);
    }
    if (rcdata->Count() > 0) AddBlock(std::move(rcdata));
}

}  // namespace resources
