#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace Platform {

struct ProcessRequest
{
    QString program;
    QStringList arguments;
    QString workingFolder;
};

struct StartResult
{
    bool ok = false;
    QString error;
};

// Starts a program on its own, in `workingFolder`, without waiting for it or watching it afterwards.
// Names and arguments become bytes through encodeLocal, so a set name read from disk reaches the
// program with the bytes it had. Fails, saying why, when the program cannot be run at all.
StartResult startDetached(const ProcessRequest& request);

// Replaces the real start, so that tests can see what would be started. An empty hook brings the
// real start back.
using ProcessStartHook = std::function<StartResult(const ProcessRequest&)>;
void setProcessStartHook(ProcessStartHook hook);

} // namespace Platform
