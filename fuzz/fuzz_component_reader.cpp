// Creates a form from arbitrary form-resource bytes: any input either builds a form or raises
// the framework's error naming the resource; nothing reads outside the data, nothing leaks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/ComponentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fw::TClassInfo& cls = fw::DefineComponentClass("TFuzzForm", fw::TForm::StaticClass());
    fw::HostResources().Add(0, "TFUZZFORM", std::vector<uint8_t>(data, data + size));
    try {
        std::unique_ptr<fw::TComponent> form(fw::CreateComponent(cls, nullptr));
    } catch (const fw::Exception&) {
    }
    return 0;
}
