#include "product/MSScriptControl_TLB.h"

namespace product {

TScriptControl::TScriptControl() {
    auto unk = fw::CreateComObject(fw::StringToGUID(CLASS_ScriptControl));
    fw::QueryInterfaceChecked(unk.Get(), fw::StringToGUID(IID_IScriptControl), reinterpret_cast<void**>(intf_.Put()));
}

std::string TScriptControl::Language() {
    return fw::DispGetString(intf_.Get(), DISPID_ScriptControl_Language);
}

void TScriptControl::SetLanguage(const std::string& language) {
    fw::DispPutString(intf_.Get(), DISPID_ScriptControl_Language, language);
}

void TScriptControl::Reset() {
    fw::DispCall(intf_.Get(), fw::DispIdOfName(intf_.Get(), "Reset"));
}

}  // namespace product
