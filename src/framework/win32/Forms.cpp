#include "framework/win32/Forms.h"

#include <objbase.h>

#include "framework/win32/SysInit.h"

namespace fw {
namespace {

LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

TApplication::TApplication() {
    InitModuleList();
    HINSTANCE inst = GetModuleHandleA(nullptr);
    title_ = ModuleFileName(inst);
    size_t slash = title_.find_last_of('\\');
    if (slash != std::string::npos) title_.erase(0, slash + 1);
    size_t dot = title_.find_last_of('.');
    if (dot != std::string::npos) title_.resize(dot);

    WNDCLASSA wc{};
    wc.lpfnWndProc = AppWndProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    // Never shown: it only owns the program's dialogs and its task-bar presence.
    handle_ = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                              nullptr, inst, nullptr);
}

TApplication::~TApplication() {
    if (handle_) DestroyWindow(handle_);
    if (comInitialized_) CoUninitialize();
}

void TApplication::Initialize() {
    if (comInitialized_) return;
    HRESULT hr = CoInitialize(nullptr);
    comInitialized_ = SUCCEEDED(hr);
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    if (handle_) SetWindowTextA(handle_, title.c_str());
}

TApplication& Application() {
    static TApplication app;
    return app;
}

}  // namespace fw
