#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Runs one long call on a thread of its own while the thread that started it (the window's thread)
// waits in an event loop: windows repaint, timers run, and input reaches the enabled windows only,
// since a disabled window drops what it is sent instead of leaving it queued for later. The call
// may hand work that needs the user back to the waiting thread and block until it is done.
//
// Everything the two threads share goes through the mutex below; the event loop is only woken by
// an eventfd, so no data passes through Qt's queues.
class UnzipWorker final
{
public:
    UnzipWorker();
    ~UnzipWorker();
    UnzipWorker(const UnzipWorker&) = delete;
    UnzipWorker& operator=(const UnzipWorker&) = delete;

    // Runs `call` on the worker thread and returns its result once it has returned; the caller
    // waits in an event loop meanwhile. When that loop is told to end before (the program quits),
    // the worker is no longer served and the call is waited for all the same: nothing it uses goes
    // away under it. Without an application object, or when no thread can be started, the call
    // runs on the calling thread.
    int run(const std::function<int()>& call);

    // Whether the waiting loop was told to end while the call still ran: the program quits, and the
    // call had better stop soon.
    bool abandoned() const { return m_abandoned.load(); }

    // For the call: runs `task` on the waiting thread and returns true when it has run, or false
    // without running it once the waiting thread no longer serves.
    bool callOnWaitingThread(const std::function<void()>& task);

    // The worker whose thread is calling, or null on any other thread.
    static UnzipWorker* current();

private:
    void serve();
    void wake();
    bool finished();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void()>* m_task = nullptr; // handed over, not yet taken
    bool m_taskDone = false;
    bool m_finished = false;
    bool m_serving = false;
    std::atomic<bool> m_abandoned{false};
    int m_wakeFd = -1;
};
