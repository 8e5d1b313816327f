#include "platform/ApartmentWorker.h"
#include "platform/Errors.h"
#include "platform/WindowMessages.h"
#include "platform/Waits.h"
#include <atomic>
#include <exception>
#include <stdexcept>

namespace pb {

namespace {
struct Task {
    explicit Task(const std::function<void()>& w) : work(w) {}
    const std::function<void()>& work;
    std::exception_ptr error;
    std::atomic<bool> done{false};
    UniqueKernelHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};
} // namespace

ApartmentWorker::ApartmentWorker()
    : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this] { Loop(); }) {
    // Its queue exists once it says so: a message posted before would be lost.
    WaitPumping(
        ready_.get(), [this] { return WaitForSingleObject(ready_.get(), 0) == WAIT_OBJECT_0; },
        WaitInput::AnswerOnly);
    if (!threadId_)
        throw std::runtime_error("cannot start a COM apartment for the history");
}

ApartmentWorker::~ApartmentWorker() {
    if (threadId_)
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
}

void ApartmentWorker::Loop() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // makes the queue
    if (SUCCEEDED(com))
        threadId_ = GetCurrentThreadId();
    SetEvent(ready_.get());
    if (FAILED(com))
        return;
    // An apartment's thread pumps: COM talks to its objects through their windows.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kMsgApartmentWork) {
            auto& task = *reinterpret_cast<Task*>(msg.lParam);
            try {
                task.work();
            } catch (...) {
                task.error = std::current_exception();
            }
            task.done = true;
            SetEvent(task.finished.get());
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CoUninitialize();
}

void ApartmentWorker::Run(const std::function<void()>& work) {
    Task task{work};
    if (!task.finished ||
        !PostThreadMessageW(threadId_, kMsgApartmentWork, 0, reinterpret_cast<LPARAM>(&task)))
        throw std::runtime_error("cannot reach the history's COM apartment");
    WaitPumping(
        task.finished.get(), [&] { return task.done.load(); }, WaitInput::AnswerOnly);
    if (task.error)
        std::rethrow_exception(task.error);
}

} // namespace pb
