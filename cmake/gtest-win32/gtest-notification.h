// GoogleTest's Notification is built on std::mutex, which the win32 thread model of mingw-w64
// (the one whose programs start on Windows XP) does not have. The tests start no threads of
// their own; this one waits by polling instead.
#pragma once
#define GTEST_HAS_NOTIFICATION_ 1
extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long);
namespace testing::internal {
class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { __atomic_store_n(&notified_, true, __ATOMIC_RELEASE); }
    void WaitForNotification() {
        while (!__atomic_load_n(&notified_, __ATOMIC_ACQUIRE)) Sleep(10);
    }

private:
    bool notified_ = false;
};
}  // namespace testing::internal
