// COM helpers: interface holder, object creation, dispatch calls and the error rules.
#pragma once

#include <windows.h>
// needs <windows.h> first
#include <objbase.h>
#include <oleauto.h>

#include <cstdint>
#include <string>

#include "framework/SysUtils.h"

namespace fw {

// A failing HRESULT; the message follows the COM error rules (see OleErrorMessage).
class EOleSysError : public EOleError {
public:
    EOleSysError(std::string message, HRESULT code) : EOleError(std::move(message)), code_(code) {}
    const char* ClassName() const noexcept override { return "EOleSysError"; }
    HRESULT ErrorCode() const { return code_; }

private:
    HRESULT code_;
};
FW_DECLARE_EXCEPTION(EIntfCastError, Exception);

// The message for a failed call: the description the server left in the thread's error
// information, else the system's text for the code, else "OLE error %.8x".
std::string OleErrorMessage(HRESULT hr);
// Raises EOleSysError for a failing HRESULT (fetches the error information first).
void OleCheck(HRESULT hr);

// A reference-counted interface holder; releases what it holds when cleared or destroyed.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(const TComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    TComPtr& operator=(const TComPtr& o) {
        if (o.p_) o.p_->AddRef();
        Clear();
        p_ = o.p_;
        return *this;
    }
    ~TComPtr() { Clear(); }
    void Clear() {
        if (p_) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() {
        Clear();
        return &p_;
    }
    void Attach(T* p) {
        Clear();
        p_ = p;
    }

private:
    T* p_ = nullptr;
};

// CoCreateInstance of an in-process or local server, asking for IUnknown, then the interface:
// "Interface not supported" when the object does not offer it.
TComPtr<IUnknown> CreateComObject(const CLSID& clsid);
void QueryInterfaceChecked(IUnknown* obj, const IID& iid, void** out);
GUID StringToGUID(const char* text);

// Property get/put and method call through IDispatch::Invoke.
std::string DispGetString(IDispatch* obj, DISPID id);
void DispPutString(IDispatch* obj, DISPID id, const std::string& value);
void DispCall(IDispatch* obj, DISPID id);
DISPID DispIdOfName(IDispatch* obj, const char* name);

std::string BstrToString(BSTR s);
BSTR StringToBstr(const std::string& s);

}  // namespace fw

namespace fw {

// Calls the method in v-table slot `slot` of obj, a method of the form
// HRESULT Method([out, retval] BSTR* result), and returns the string; a failing HRESULT raises
// the COM layer's error. Used for dual interfaces known only by their slot layout.
std::string CallBstrSlot(IUnknown* obj, int slot);

}  // namespace fw
