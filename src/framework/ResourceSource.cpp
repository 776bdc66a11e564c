#include "ResourceSource.h"

#include "SysUtils.h"

namespace fw {

void THostResourceSet::Add(TModuleHandle module, std::string_view name, std::vector<uint8_t> data) {
    modules_[module][UpperCaseAscii(name)] = std::move(data);
}

void THostResourceSet::Redirect(TModuleHandle module, TModuleHandle resourceModule) {
    if (module == resourceModule)
        redirects_.erase(module);
    else
        redirects_[module] = resourceModule;
}

void THostResourceSet::Clear() {
    modules_.clear();
    redirects_.clear();
}

bool THostResourceSet::FindRCData(TModuleHandle module, std::string_view name, std::vector<uint8_t>& data) {
    auto r = redirects_.find(module);
    if (r != redirects_.end()) module = r->second;
    auto m = modules_.find(module);
    if (m == modules_.end()) return false;
    auto it = m->second.find(UpperCaseAscii(name));
    if (it == m->second.end()) return false;
    data = it->second;
    return true;
}

THostResourceSet& HostResources() {
    static THostResourceSet set;
    return set;
}

namespace {
IResourceSource* g_source = nullptr;
}

void SetResourceSource(IResourceSource* source) {
    g_source = source;
}

IResourceSource& ResourceSource() {
    return g_source ? *g_source : HostResources();
}

}  // namespace fw
