// The application object: owns the program's hidden main window and COM's apartment on the
// GUI thread.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Initialises COM for the thread (single-threaded apartment); once.
    void Initialize();
    // The hidden main window; it carries WS_EX_APPWINDOW until the program says otherwise.
    HWND Handle() const { return handle_; }
    void Terminate();
    bool Terminated() const { return terminated_; }
    bool ComInitialized() const { return comInitialized_; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    static constexpr const char* kWindowClass = "TApplication";

private:
    HWND handle_ = nullptr;
    bool comInitialized_ = false;
    bool terminated_ = false;
    std::string title_;
};

// The program's one application object, created (with its window) on first use.
TApplication& Application();

}  // namespace fw
