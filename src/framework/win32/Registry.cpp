#include "framework/win32/Registry.h"

#include <vector>

namespace fw {

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() {
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root) {
    if (root_ == root) return;
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::string path = key;
    HKEY base = root_;
    if (!path.empty() && path[0] == '\\')
        path.erase(0, 1);
    else if (current_)
        base = current_;
    HKEY h = nullptr;
    LONG rc;
    if (canCreate) {
        DWORD disp = 0;
        rc = RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, &h, &disp);
    } else {
        rc = RegOpenKeyExA(base, path.c_str(), 0, access_, &h);
    }
    if (rc != ERROR_SUCCESS) return false;
    CloseKey();
    current_ = h;
    return true;
}

void TRegistry::CloseKey() {
    if (!current_) return;
    if (!lazyWrite_) RegFlushKey(current_);
    RegCloseKey(current_);
    current_ = nullptr;
}

bool TRegistry::ValueExists(const std::string& name) const {
    HKEY k = current_ ? current_ : root_;
    return RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const {
    HKEY k = current_ ? current_ : root_;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(Format("Invalid data type for '%s'", {name}));
    // The value may grow between the two calls: retry with the size the system reports.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<char> buf(size + 2, '\0');
        DWORD got = size;
        LONG rc = RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got);
        if (rc == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (rc != ERROR_SUCCESS) return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException(Format("Invalid data type for '%s'", {name}));
        size_t n = got < buf.size() ? got : buf.size();
        std::string s(buf.data(), n);
        size_t z = s.find('\0');
        if (z != std::string::npos) s.resize(z);
        return s;
    }
    return {};
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    HKEY k = current_ ? current_ : root_;
    LONG rc = RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    if (rc != ERROR_SUCCESS) throw ERegistryException(Format("Failed to set data for '%s'", {name}));
}

}  // namespace fw
