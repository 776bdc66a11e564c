#include "framework/win32/ResourceSourceWin32.h"

#include <windows.h>

#include <string>

#include "framework/ComponentReader.h"
#include "framework/FormStream.h"
#include "framework/win32/SysInit.h"

namespace fw {

bool TWin32ResourceSource::FindRCData(TModuleHandle module, std::string_view name, std::vector<uint8_t>& data) {
    HMODULE instance = module ? reinterpret_cast<HMODULE>(module) : MainInstance();
    HMODULE res = FindResourceHInstance(instance);
    std::string n(name);
    HRSRC info = nullptr;
    bool ascii = true;
    for (char c : n) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        info = FindResourceA(res, n.c_str(), reinterpret_cast<LPCSTR>(RT_RCDATA));
    } else {
        // Class names in other scripts are UTF-8, as the binary form stores them.
        std::u16string w = Utf8ToUtf16(n);
        info = FindResourceW(res, reinterpret_cast<LPCWSTR>(w.c_str()), reinterpret_cast<LPCWSTR>(RT_RCDATA));
    }
    if (!info) return false;
    HGLOBAL h = LoadResource(res, info);
    DWORD size = SizeofResource(res, info);
    const void* p = h ? LockResource(h) : nullptr;
    if (!p) return false;
    const auto* b = static_cast<const uint8_t*>(p);
    data.assign(b, b + size);
    return true;
}

namespace {

std::u16string AcpToWide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::u16string w(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), reinterpret_cast<wchar_t*>(w.data()), n);
    return w;
}

std::string WideToAcp(const std::u16string& w) {
    if (w.empty()) return {};
    const auto* p = reinterpret_cast<const wchar_t*>(w.data());
    int n = WideCharToMultiByte(CP_ACP, 0, p, static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, p, static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace

void InstallWin32ResourceSource() {
    static TWin32ResourceSource source;
    InitModuleList();
    SetResourceSource(&source);
    SetFormTextConverters(AcpToWide, WideToAcp);
}

}  // namespace fw
