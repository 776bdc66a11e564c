// The framework's registry class: one open key below a root key, string reads.
#pragma once

#include <windows.h>

#include <string>

#include "framework/SysUtils.h"

namespace fw {

FW_DECLARE_EXCEPTION(ERegistryException, Exception);

class TRegistry {
public:
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return root_; }
    void SetRootKey(HKEY root);
    REGSAM Access() const { return access_; }
    void SetAccess(REGSAM access) { access_ = access; }
    bool LazyWrite() const { return lazyWrite_; }
    void SetLazyWrite(bool v) { lazyWrite_ = v; }
    HKEY CurrentKey() const { return current_; }

    // Opens Key below the root key (relative to an open key when Key has no leading "\").
    // With canCreate false a missing key is not created and the call returns false.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    bool ValueExists(const std::string& name) const;
    // A string or expandable string, unexpanded; a missing value reads as "". Any other type
    // raises ERegistryException "Invalid data type for '%s'".
    std::string ReadString(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value);

private:
    HKEY root_ = HKEY_CURRENT_USER;
    HKEY current_ = nullptr;
    REGSAM access_;
    bool lazyWrite_ = true;
};

}  // namespace fw
