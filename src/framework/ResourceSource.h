// Where the component model finds its form resources: the RCDATA resources of the module that
// currently serves a module's resources. Windows reads them through the runtime's module list;
// the host build and the tests use an in-memory set of modules.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// A module handle as the portable code sees it; 0 stands for the main module.
using TModuleHandle = uintptr_t;

class IResourceSource {
public:
    virtual ~IResourceSource() = default;
    // The RCDATA resource of that name (compared without regard to case) in the resource module
    // that now serves module; false when there is none.
    virtual bool FindRCData(TModuleHandle module, std::string_view name, std::vector<uint8_t>& data) = 0;
};

// Resource modules held in memory. Redirect makes one module's lookups go to another, the way
// a translated resource module replaces the program's own resources.
class THostResourceSet : public IResourceSource {
public:
    void Add(TModuleHandle module, std::string_view name, std::vector<uint8_t> data);
    void Redirect(TModuleHandle module, TModuleHandle resourceModule);
    void Clear();
    bool FindRCData(TModuleHandle module, std::string_view name, std::vector<uint8_t>& data) override;

private:
    std::map<TModuleHandle, std::map<std::string, std::vector<uint8_t>>> modules_;
    std::map<TModuleHandle, TModuleHandle> redirects_;
};

// The in-memory set that serves when no other source is installed.
THostResourceSet& HostResources();
// Installs the source every later form creation reads from; none restores HostResources().
void SetResourceSource(IResourceSource* source);
IResourceSource& ResourceSource();

}  // namespace fw
