#include "platform/ApartmentWorker.h"
#include "platform/Errors.h"
#include "platform/WindowMessages.h"
#include "platform/Waits.h"
#include <exception>
#include <memory>
#include <stdexcept>

namespace pb {

namespace {
// Lives on the waiting thread's stack: the worker's last touch of it is setting `finished`.
struct Task {
    explicit Task(const std::function<void()>& w) : work(w) {}
    const std::function<void()>& work;
    std::exception_ptr error;
    UniqueKernelHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

constexpr WPARAM kWaitedFor = 0, kPosted = 1; // kMsgApartmentWork's kinds of work

bool IsSet(HANDLE event) {
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

std::runtime_error Unreachable() {
    return std::runtime_error("cannot reach the history's COM apartment");
}
} // namespace

ApartmentWorker::ApartmentWorker()
    : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      ended_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this] { Loop(); }) {
    // Its queue exists once it says so: a message posted before would be lost.
    WaitPumping(
        ready_.get(), [this] { return IsSet(ready_.get()); }, WaitInput::AnswerOnly);
    if (!threadId_)
        throw std::runtime_error("cannot start a COM apartment for the history");
}

ApartmentWorker::~ApartmentWorker() {
    // The window answers while the apartment ends; the join then finds the thread done.
    if (threadId_ && PostThreadMessageW(threadId_, WM_QUIT, 0, 0))
        WaitPumping(
            ended_.get(), [this] { return IsSet(ended_.get()); }, WaitInput::AnswerOnly);
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
        if (msg.hwnd == nullptr && msg.message == kMsgApartmentWork && msg.wParam == kPosted) {
            const std::unique_ptr<std::function<void()>> work(
                reinterpret_cast<std::function<void()>*>(msg.lParam));
            [&]() noexcept { (*work)(); }();
            continue;
        }
        if (msg.hwnd == nullptr && msg.message == kMsgApartmentWork) {
            auto& task = *reinterpret_cast<Task*>(msg.lParam);
            try {
                task.work();
            } catch (...) {
                task.error = std::current_exception();
            }
            SetEvent(task.finished.get()); // the last touch: the task may go at once
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CoUninitialize();
    SetEvent(ended_.get());
}

void ApartmentWorker::Run(const std::function<void()>& work) {
    Task task{work};
    if (!task.finished || !PostThreadMessageW(threadId_, kMsgApartmentWork, kWaitedFor,
                                              reinterpret_cast<LPARAM>(&task)))
        throw Unreachable();
    WaitPumping(
        task.finished.get(), [&] { return IsSet(task.finished.get()); }, WaitInput::AnswerOnly);
    if (task.error)
        std::rethrow_exception(task.error);
}

void ApartmentWorker::Post(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    if (!PostThreadMessageW(threadId_, kMsgApartmentWork, kPosted,
                            reinterpret_cast<LPARAM>(owned.get())))
        throw Unreachable();
    owned.release(); // the worker's now
}

} // namespace pb
