// The utilities on Windows: the loader (data-file modules) and the runtime's module list.
#include <windows.h>

#include <map>

#include "framework/win32/SysInit.h"
#include "localizer/onfly/LocUtils.h"

namespace onfly {

namespace {

HMODULE H(TModuleHandle m) {
    return reinterpret_cast<HMODULE>(m);
}

TModuleHandle M(HMODULE h) {
    return reinterpret_cast<TModuleHandle>(h);
}

class TWin32ModuleSystem : public IModuleSystem {
public:
    TWin32ModuleSystem() { fw::InitModuleList(); }

    TModuleHandle MainModule() override { return M(fw::MainInstance()); }
    std::string ExeFileName() override { return fw::ModuleFileName(nullptr); }
    // The loader names no data-file module; those loaded here keep the name they were loaded by.
    std::string ModuleFileName(TModuleHandle module) override {
        std::string name = fw::ModuleFileName(H(module));
        if (name.empty()) {
            auto it = dataFiles_.find(module);
            if (it != dataFiles_.end()) name = it->second;
        }
        return name;
    }

    bool FindRCData(TModuleHandle module, const std::string& name, std::vector<uint8_t>& data) override {
        HRSRC info = FindResourceA(H(module), name.c_str(), MAKEINTRESOURCEA(10));
        if (!info) return false;
        HGLOBAL g = LoadResource(H(module), info);
        DWORD size = SizeofResource(H(module), info);
        const void* p = g ? LockResource(g) : nullptr;
        if (!p && size) return false;
        const auto* b = static_cast<const uint8_t*>(p);
        data.assign(b, b + size);
        return true;
    }

    TModuleHandle LoadDataModule(const std::string& fileName) override {
        TModuleHandle m = M(LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (m) dataFiles_[m] = fileName;
        return m;
    }

    void UnloadModule(TModuleHandle module) override {
        dataFiles_.erase(module);
        FreeLibrary(H(module));
    }

    TModuleHandle FindResourceModule(TModuleHandle module) override { return M(fw::FindResourceHInstance(H(module))); }

    bool FindListRecord(TModuleHandle module, TModuleHandle& res) override {
        for (const auto& m : fw::LibModuleList())
            if (m.Instance == H(module)) {
                res = M(m.ResInstance);
                return true;
            }
        return false;
    }

    void SetListRecord(TModuleHandle module, TModuleHandle res) override {
        fw::SetResourceHInstance(H(module), H(res));
    }

    std::vector<TModuleHandle> ListedModules() override {
        std::vector<TModuleHandle> out;
        for (const auto& m : fw::LibModuleList()) out.push_back(M(m.Instance));
        return out;
    }

    bool ReadString(TModuleHandle module, int id, std::u16string& text) override {
        HMODULE res = fw::FindResourceHInstance(H(module));
        std::vector<wchar_t> buf(65536);
        int n = LoadStringW(res, static_cast<UINT>(id), buf.data(), static_cast<int>(buf.size()));
        if (n <= 0) return false;
        text.assign(buf.begin(), buf.begin() + n);
        return true;
    }

    void BuildSource(TModuleHandle module, uintptr_t& handle, std::string& fileName) override {
        handle = module;
        fileName.clear();
    }

private:
    std::map<TModuleHandle, std::string> dataFiles_;
};

}  // namespace

IModuleSystem& DefaultModuleSystem() {
    static TWin32ModuleSystem system;
    return system;
}

}  // namespace onfly
