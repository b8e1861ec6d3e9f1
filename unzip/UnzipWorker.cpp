#include "UnzipWorker.h"

#include <system_error>
#include <utility>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {

thread_local UnzipWorker* currentWorker = nullptr;

} // namespace

UnzipWorker::UnzipWorker() : m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

UnzipWorker::~UnzipWorker()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

UnzipWorker* UnzipWorker::current()
{
    return currentWorker;
}

int UnzipWorker::run(const std::function<int()>& call)
{
    if (!QCoreApplication::instance() || m_wakeFd < 0)
        return call();

    int result = 0;
    m_serving = true; // the thread does not exist yet
    try {
        m_thread = std::thread([this, &call, &result] {
            currentWorker = this;
            const int answer = call();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                result = answer;
                m_finished = true;
            }
            wake();
        });
    } catch (const std::system_error&) {
        m_serving = false;
        return call();
    }

    {
        QEventLoop loop;
        QSocketNotifier notifier(m_wakeFd, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [this, &loop] {
            eventfd_t count = 0;
            eventfd_read(m_wakeFd, &count);
            serve();
            if (finished())
                loop.quit();
        });
        // A loop told to end returns at once, also when the program quit before it started.
        if (!finished())
            loop.exec();
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_abandoned = !m_finished;
        m_serving = false;
    }
    m_changed.notify_all();
    m_thread.join();
    return result;
}

bool UnzipWorker::callOnWaitingThread(const std::function<void()>& task)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_serving)
        return false;
    m_task = &task;
    m_taskDone = false;
    lock.unlock();
    wake();
    lock.lock();
    // A task already taken is waited for even when the loop ends meanwhile: it runs on our stack.
    m_changed.wait(lock, [&] { return m_taskDone || (!m_serving && m_task); });
    m_task = nullptr;
    return std::exchange(m_taskDone, false);
}

void UnzipWorker::serve()
{
    const std::function<void()>* task = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        // Taken before it runs: a box that it shows runs event loops of its own, which come here again.
        task = std::exchange(m_task, nullptr);
    }
    if (!task)
        return;
    try {
        (*task)();
    } catch (...) {
        // The call goes on with the answer it had before asking.
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_taskDone = true;
    }
    m_changed.notify_all();
}

void UnzipWorker::wake()
{
    eventfd_write(m_wakeFd, 1);
}

bool UnzipWorker::finished()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
}
