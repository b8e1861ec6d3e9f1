#pragma once

#include <QtGlobal>

namespace Platform {

// Every change that Gantrel makes to the user's files (a file or folder created, written, renamed or
// removed, a record flushed) is counted right after it is made. The count exists for one purpose: a
// test can have the process killed with SIGKILL right after the k-th change, and so check that a
// crash at any moment of a launch or its clean-up leaves a state that the next start mends.
void fileChanged();

// Kills the process (SIGKILL) right after change number `k`, counted from this call; 0 never kills.
void killAfterFileChange(qint64 k);

// Changes counted since the last killAfterFileChange() call.
qint64 fileChangesCounted();

// Flushes a file or folder to the disk (fsync, again after a signal) and returns 0 or the error.
// Every flush that a save or the launch record relies on goes through here and is counted, since a
// flush left out shows only after a power cut, which no test can stage.
int syncToDisk(int fd);

// Flushes made by syncToDisk() since the process started.
qint64 syncsCounted();

} // namespace Platform
