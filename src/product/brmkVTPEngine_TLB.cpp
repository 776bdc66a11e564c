#include "product/brmkVTPEngine_TLB.h"

namespace product {

fw::TComPtr<IDispatch> CoPluginInstall::Create() {
    auto unk = fw::CreateComObject(fw::StringToGUID(CLASS_PluginInstall));
    fw::TComPtr<IDispatch> intf;
    fw::QueryInterfaceChecked(unk.Get(), fw::StringToGUID(IID_IPluginInstall), reinterpret_cast<void**>(intf.Put()));
    return intf;
}

}  // namespace product
