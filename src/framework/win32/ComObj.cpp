#include "framework/win32/ComObj.h"

#include <vector>

#include "framework/win32/Faults.h"

namespace fw {

std::string BstrToString(BSTR s) {
    if (!s) return {};
    int wlen = static_cast<int>(SysStringLen(s));
    if (wlen == 0) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, s, wlen, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, wlen, out.data(), n, nullptr, nullptr);
    return out;
}

BSTR StringToBstr(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (!b) throw EOutOfMemory("Out of memory");
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), b, n);
    return b;
}

std::string OleErrorMessage(HRESULT hr) {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR desc = nullptr;
        std::string text;
        if (SUCCEEDED(info->GetDescription(&desc))) text = BstrToString(desc);
        SysFreeString(desc);
        info->Release();
        if (!text.empty()) return text;
    }
    char buf[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(hr), 0, buf, sizeof buf, nullptr);
    std::string text(buf, n);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) text.pop_back();
    if (!text.empty()) return text;
    return Format("OLE error %.8x", {static_cast<unsigned>(hr)});
}

void OleCheck(HRESULT hr) {
    if (FAILED(hr)) throw EOleSysError(OleErrorMessage(hr), hr);
}

void QueryInterfaceChecked(IUnknown* obj, const IID& iid, void** out) {
    *out = nullptr;
    HRESULT hr = Guarded([&] { return obj->QueryInterface(iid, out); });
    if (hr == E_NOINTERFACE || (SUCCEEDED(hr) && !*out)) throw EIntfCastError("Interface not supported");
    OleCheck(hr);
}

TComPtr<IUnknown> CreateComObject(const CLSID& clsid) {
    TComPtr<IUnknown> unk;
    // No error information belongs to a failed creation; drop any stale one first.
    SetErrorInfo(0, nullptr);
    // The server's own code runs inside: its faults are this call's error.
    OleCheck(Guarded([&] {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(unk.Put()));
    }));
    return unk;
}

GUID StringToGUID(const char* text) {
    GUID g{};
    std::wstring w(text, text + strlen(text));
    if (FAILED(CLSIDFromString(const_cast<LPOLESTR>(w.c_str()), &g)))
        throw EOleError(Format("'%s' is not a valid GUID value", {text}));
    return g;
}

namespace {

// Invoke with the error information of an exception raised by the server folded into the
// thread's error object, so that OleCheck picks its description.
void Invoke(IDispatch* obj, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    EXCEPINFO ex{};
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    HRESULT hr =
        Guarded([&] { return obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, &ex, &argErr); });
    if (hr == DISP_E_EXCEPTION) {
        if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
        std::string desc = BstrToString(ex.bstrDescription);
        HRESULT code = ex.scode ? ex.scode : (ex.wCode ? MAKE_HRESULT(1, FACILITY_ITF, ex.wCode) : hr);
        SysFreeString(ex.bstrSource);
        SysFreeString(ex.bstrDescription);
        SysFreeString(ex.bstrHelpFile);
        if (!desc.empty()) throw EOleSysError(desc, code);
        throw EOleSysError(OleErrorMessage(code), code);
    }
    OleCheck(hr);
}

}  // namespace

std::string DispGetString(IDispatch* obj, DISPID id) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    Invoke(obj, id, DISPATCH_PROPERTYGET, &none, &v);
    VARIANT s;
    VariantInit(&s);
    HRESULT hr = VariantChangeType(&s, &v, 0, VT_BSTR);
    VariantClear(&v);
    OleCheck(hr);
    std::string out = BstrToString(s.bstrVal);
    VariantClear(&s);
    return out;
}

void DispPutString(IDispatch* obj, DISPID id, const std::string& value) {
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = StringToBstr(value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    try {
        Invoke(obj, id, DISPATCH_PROPERTYPUT, &params, nullptr);
    } catch (...) {
        VariantClear(&arg);
        throw;
    }
    VariantClear(&arg);
}

void DispCall(IDispatch* obj, DISPID id) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    Invoke(obj, id, DISPATCH_METHOD, &none, &v);
    VariantClear(&v);
}

DISPID DispIdOfName(IDispatch* obj, const char* name) {
    std::wstring w(name, name + strlen(name));
    LPOLESTR names[1] = {const_cast<LPOLESTR>(w.c_str())};
    DISPID id = DISPID_UNKNOWN;
    OleCheck(obj->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

}  // namespace fw

namespace fw {

std::string CallBstrSlot(IUnknown* obj, int slot) {
    using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, BSTR*);
    void** vtable = *reinterpret_cast<void***>(obj);
    auto method = reinterpret_cast<Method>(vtable[slot]);
    BSTR result = nullptr;
    SetErrorInfo(0, nullptr);
    // A fault inside the server is the call's error, like a failing HRESULT.
    HRESULT hr = Guarded([&] { return method(obj, &result); });
    if (FAILED(hr)) {
        SysFreeString(result);
        OleCheck(hr);
    }
    std::string s = BstrToString(result);
    SysFreeString(result);
    return s;
}

}  // namespace fw
