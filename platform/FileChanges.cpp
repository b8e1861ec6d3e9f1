#include "FileChanges.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include <unistd.h>

namespace Platform {

namespace {

std::atomic<qint64> counted{0};
std::atomic<qint64> killAt{0};
std::atomic<qint64> syncs{0};

} // namespace

void fileChanged()
{
    const qint64 count = ++counted;
    const qint64 limit = killAt.load(std::memory_order_relaxed);
    if (limit > 0 && count >= limit)
        std::raise(SIGKILL);
}

void killAfterFileChange(qint64 k)
{
    counted = 0;
    killAt = k;
}

qint64 fileChangesCounted()
{
    return counted;
}

int syncToDisk(int fd)
{
    ++syncs;
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

qint64 syncsCounted()
{
    return syncs;
}

} // namespace Platform
