#include "framework/win32/SysInit.h"

#include "framework/ByteReader.h"
#include "framework/SysUtils.h"

namespace fw {
namespace {

std::vector<TLibModule>& Modules() {
    static std::vector<TLibModule> list;
    return list;
}

HMODULE g_main = nullptr;

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

}  // namespace

std::string ModuleFileName(HMODULE module) {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        if (buf.size() >= 32768) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string SysErrorMessage(uint32_t code) {
    char buf[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             nullptr, code, 0, buf, sizeof buf, nullptr);
    std::string s(buf, n);
    while (!s.empty() && (static_cast<unsigned char>(s.back()) <= 32 || s.back() == '.')) s.pop_back();
    return s;
}

std::vector<std::string> ParsePackageInfo(const void* data, size_t size, const std::string& moduleName) {
    std::vector<std::string> units;
    try {
        TByteReader r(data, size);
        r.U32();  // flags
        auto readName = [&r]() {
            std::string s;
            for (;;) {
                char c = static_cast<char>(r.U8());
                if (c == '\0') return s;
                s += c;
            }
        };
        uint32_t required = r.U32();
        if (required > r.Left()) throw EPackageError("bad count");
        for (uint32_t i = 0; i < required; ++i) readName();
        uint32_t contains = r.U32();
        if (contains > r.Left() / 2) throw EPackageError("bad count");
        for (uint32_t i = 0; i < contains; ++i) {
            r.U8();  // unit flags
            units.push_back(readName());
        }
    } catch (const Exception&) {
        throw EPackageError(Format("Invalid package information in '%s'", {moduleName}));
    }
    return units;
}

bool ReadPackageUnits(HMODULE module, std::vector<std::string>& units) {
    HRSRC res = FindResourceA(module, "PACKAGEINFO", MAKEINTRESOURCEA(10));
    if (!res) return false;
    HGLOBAL g = LoadResource(module, res);
    const void* p = g ? LockResource(g) : nullptr;
    if (!p) return false;
    units = ParsePackageInfo(p, SizeofResource(module, res), ModuleFileName(module));
    return true;
}

bool RegisterModule(HMODULE instance) {
    for (auto& m : Modules())
        if (m.Instance == instance) return false;
    TLibModule m;
    m.Instance = instance;
    m.ResInstance = instance;
    m.Name = BaseName(ModuleFileName(instance));
    ReadPackageUnits(instance, m.Units);
    Modules().push_back(std::move(m));
    return true;
}

void UnregisterModule(HMODULE instance) {
    auto& list = Modules();
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->Instance == instance) {
            list.erase(it);
            return;
        }
}

const std::vector<TLibModule>& LibModuleList() {
    return Modules();
}

HMODULE MainInstance() {
    return g_main;
}

HMODULE FindResourceHInstance(HMODULE instance) {
    for (auto& m : Modules())
        if (m.Instance == instance) return m.ResInstance;
    return instance;
}

bool SetResourceHInstance(HMODULE instance, HMODULE resInstance) {
    for (auto& m : Modules())
        if (m.Instance == instance) {
            m.ResInstance = resInstance ? resInstance : instance;
            return true;
        }
    return false;
}

bool LoadResStringFromModule(int id, std::string& out) {
    HMODULE res = FindResourceHInstance(g_main ? g_main : GetModuleHandleA(nullptr));
    // A string-table entry holds at most 65535 UTF-16 units.
    std::vector<wchar_t> wbuf(65536);
    int n = LoadStringW(res, static_cast<UINT>(id), wbuf.data(), static_cast<int>(wbuf.size()));
    if (n <= 0) return false;
    int len = WideCharToMultiByte(CP_ACP, 0, wbuf.data(), n, nullptr, 0, nullptr, nullptr);
    out.assign(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(CP_ACP, 0, wbuf.data(), n, out.data(), len, nullptr, nullptr);
    return true;
}

void InitModuleList() {
    if (g_main) return;
    g_main = GetModuleHandleA(nullptr);
    RegisterModule(g_main);
    SetResStringLoader(&LoadResStringFromModule);
}

}  // namespace fw
