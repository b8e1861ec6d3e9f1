#pragma once

#include "ArchiveReader.h"
#include "Handles.h"
#include "MemberWriter.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace Unzip {

// A thread that writes one large member while the extraction's own thread writes the next one:
// decompressing is most of the work, and two members decompress at once on two cores. It reads
// the archive through a reader of its own, since one libzip archive cannot be read by two threads.
//
// The extraction decides what may run here: a member whose file, and temporary file, no other
// member being written shares. Progress stays the extraction's: the heartbeats of the member
// written here are handed to the extraction's thread, which reports them.
class SecondWriter final
{
public:
    explicit SecondWriter(ArchiveReader reader);
    ~SecondWriter();
    SecondWriter(const SecondWriter&) = delete;
    SecondWriter& operator=(const SecondWriter&) = delete;

    bool busy() const { return m_busy; }
    const WriteJob& job() const { return m_current; }
    // Starts writing `job` (its index is the member's in the whole archive) into the open folder
    // `folder`, which it closes when done. Only when not busy.
    void start(const WriteJob& job, UniqueFd folder, const QString& shown);
    // Waits for the member being written, calling `beat` on this thread for each of its heartbeats,
    // and returns how it went.
    WriteResult finish(const std::function<void()>& beat);
    // Calls `beat` for each heartbeat of the member being written that has not been reported yet.
    void forwardBeats(const std::function<void()>& beat);

private:
    void serve();

    ArchiveReader m_reader; // the thread's only
    // The extraction's thread only.
    bool m_busy = false; // a job was started and not finished
    WriteJob m_current;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Shared with the thread, under the mutex.
    bool m_hasJob = false;
    bool m_done = false;
    bool m_quit = false;
    int m_beats = 0;
    WriteJob m_job;
    QString m_shown;
    UniqueFd m_folder;
    WriteResult m_result;

    std::thread m_thread; // last: started once everything above exists
};

} // namespace Unzip
