#pragma once

#include "LineWriter.h"
#include "Preferences.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

// The settings file in the emulator's folder: one emulator switch a line, so that a launch can pass
// its items on as they are, except the marker line "other" that introduces the user's own text.
namespace PreferencesFile {

// The name the file is looked up by, and the name a rewritten file gets. Both name one file:
// names are matched without regard to case.
QString lookupName();
QString writtenName();

// The path of the existing settings file, whatever the case of its name; empty when there is no
// ordinary file of that name (a folder of that name does not count).
QString find(const QDir& folder);

// Applies the file's items in order to `start`: each item changes only what it names, and a later
// item wins over an earlier one. Items that set nothing are the user's own switches: they are
// added to the free text after the item that follows "other", joined by ", ", in file order.
Preferences parse(const QByteArray& data, Preferences start = {});

struct ReadResult
{
    Preferences preferences; // `start` with the file applied; `start` alone when there is none
    bool found = false;      // the file exists
    QString error;           // why an existing file could not be read; empty on success
};

ReadResult read(const QDir& folder, const Preferences& start = {});

// The file's lines, in the order the emulator gets them: at most sixteen.
QStringList lines(const Preferences& preferences);

// Rewrites the file whole. On failure the old file is left as it was and `error` says why.
SaveResult write(const QDir& folder, const Preferences& preferences);

} // namespace PreferencesFile
