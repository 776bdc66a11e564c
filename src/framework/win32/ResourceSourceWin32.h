// Form resources read through the runtime's module list: RCDATA of the resource module that
// now serves a module (its translated resource module after a language switch).
#pragma once

#include "framework/ResourceSource.h"

namespace fw {

class TWin32ResourceSource : public IResourceSource {
public:
    bool FindRCData(TModuleHandle module, std::string_view name, std::vector<uint8_t>& data) override;
};

// Makes the component model read its forms through the module list and convert form texts in
// the system code page.
void InstallWin32ResourceSource();

}  // namespace fw
