// The product's registry class: the framework's, with the product's defaults.
#pragma once

#include "framework/win32/Registry.h"

namespace product {

class TBRMKRegistry : public fw::TRegistry {
public:
    TBRMKRegistry() : fw::TRegistry(KEY_ALL_ACCESS) {}
};

}  // namespace product
