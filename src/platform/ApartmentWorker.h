#pragma once
// A thread of its own in a single-threaded COM apartment, for objects that keep to the thread
// that made them (the system's history store): made, used and released there, while the
// window's thread answers.
#include "platform/Handles.h"
#include <atomic>
#include <functional>
#include <thread>

namespace pb {

class ApartmentWorker {
  public:
    ApartmentWorker();
    // Once the work given to it is done; release its objects there first.
    ~ApartmentWorker();
    ApartmentWorker(const ApartmentWorker&) = delete;
    ApartmentWorker& operator=(const ApartmentWorker&) = delete;

    // Runs `work` on the worker while this thread waits as WaitPumping with
    // WaitInput::AnswerOnly does; an error in `work` is raised here.
    void Run(const std::function<void()>& work);
    // Starts `work` on the worker and returns at once; `work` keeps what it needs and reports
    // its own errors (one that escapes it ends the program). Work given later runs after it.
    void Post(std::function<void()> work);

  private:
    void Loop();

    const UniqueKernelHandle ready_, ended_;
    std::atomic<DWORD> threadId_{0};
    std::jthread thread_;
};

} // namespace pb
