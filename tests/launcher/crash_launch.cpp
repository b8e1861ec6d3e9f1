// Runs one launch of a zipped set in the current folder without a window (the plan, the record,
// the moves, the extractions, the emulator's start through the process hook) and then its clean-up,
// with the process killed right after the file change given as the first argument (0: never).
// Exits with 0 when both ran to their end, 2 when one of them reported a failure.

#include "FileChanges.h"
#include "LaunchPlan.h"
#include "LaunchTransaction.h"
#include "LocalText.h"
#include "ProcessStart.h"

#include <QDir>

#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 3;
    const QString romname = Platform::decodeLocal(argv[2]);
    Platform::setProcessStartHook([](const Platform::ProcessRequest&) { return Platform::StartResult{true, {}}; });

    LaunchTransaction launch{Platform::encodeLocal(QDir::currentPath())};
    if (launch.lock() != LaunchTransaction::Lock::Taken)
        return 3;
    Platform::killAfterFileChange(std::atoll(argv[1]));
    const Result<int> extracted =
        launch.extract(LaunchPlan::extractions(romname), LaunchTransaction::extractWithoutWindow);
    const Platform::StartResult started =
        Platform::startDetached({QStringLiteral("torvak.exe"), {romname}, QDir::currentPath()});
    const Result<> cleaned = launch.cleanUp();
    return extracted.ok() && started.ok && cleaned.ok() ? 0 : 2;
}
