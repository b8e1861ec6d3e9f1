#include "SecondWriter.h"

#include "Unzip32.h"

namespace Unzip {

SecondWriter::SecondWriter(ArchiveReader reader) : m_reader(std::move(reader)), m_thread([this] { serve(); }) {}

SecondWriter::~SecondWriter()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void SecondWriter::start(const WriteJob& job, UniqueFd folder, const QString& shown)
{
    m_busy = true;
    m_current = job;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_job = job;
        m_shown = shown;
        m_folder = std::move(folder);
        m_beats = 0;
        m_done = false;
        m_hasJob = true;
    }
    m_changed.notify_all();
}

WriteResult SecondWriter::finish(const std::function<void()>& beat)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_done || m_beats > 0; });
        // The caller's progress report may take a while: the writer goes on meanwhile.
        for (; m_beats > 0; --m_beats) {
            lock.unlock();
            beat();
            lock.lock();
        }
        if (m_done)
            break;
    }
    m_busy = false;
    return m_result;
}

void SecondWriter::forwardBeats(const std::function<void()>& beat)
{
    int beats = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(beats, m_beats);
    }
    for (; beats > 0; --beats)
        beat();
}

void SecondWriter::serve()
{
    std::unique_ptr<char[]> buffer(new char[WriteBufferSize]);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || m_hasJob; });
        if (m_quit)
            return;
        m_hasJob = false;
        WriteJob job = m_job;
        const QString shown = m_shown;
        UniqueFd folder = std::move(m_folder);
        lock.unlock();

        int openError = 0;
        zip_t* archive = m_reader.archiveFor(job.index, &job.index, &openError);
        WriteResult result;
        if (!archive) {
            result.status = statusOfZipError(openError);
            result.error = QStringLiteral("error:  cannot read %1: %2\n").arg(shown, zipErrorText(openError));
        } else {
            result = writeMember(archive, folder.get(), job, shown, buffer.get(), [this] {
                {
                    const std::lock_guard<std::mutex> beatLock(m_mutex);
                    ++m_beats;
                }
                m_changed.notify_all();
            });
        }
        folder.reset();

        lock.lock();
        m_result = result;
        m_done = true;
        m_changed.notify_all();
    }
}

} // namespace Unzip
