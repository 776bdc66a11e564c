#include "product/brmkVTPSettings_TLB.h"

namespace product {

fw::TComPtr<IDispatch> CoGlobalOptions::Create() {
    auto unk = fw::CreateComObject(fw::StringToGUID(CLASS_GlobalOptions));
    fw::TComPtr<IDispatch> intf;
    fw::QueryInterfaceChecked(unk.Get(), fw::StringToGUID(IID_IGlobalOptions), reinterpret_cast<void**>(intf.Put()));
    return intf;
}

}  // namespace product
