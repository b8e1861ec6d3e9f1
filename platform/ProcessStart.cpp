#include "ProcessStart.h"

#include <QProcess>

namespace Platform {

namespace {

ProcessStartHook& hook()
{
    static ProcessStartHook instance;
    return instance;
}

} // namespace

StartResult startDetached(const ProcessRequest& request)
{
    if (hook())
        return hook()(request);

    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    process.setWorkingDirectory(request.workingFolder);
    StartResult result;
    result.ok = process.startDetached();
    if (!result.ok)
        result.error = process.errorString();
    return result;
}

void setProcessStartHook(ProcessStartHook newHook)
{
    hook() = std::move(newHook);
}

} // namespace Platform
