#pragma once

#include <QDir>
#include <QList>
#include <QString>

// One extraction of a launch: the archive as handed to the extraction routine, and the folder,
// relative to the working folder, that receives its files.
struct Extraction
{
    QString archive;
    QString target;

    bool operator==(const Extraction& other) const { return archive == other.archive && target == other.target; }
};

namespace LaunchPlan {

// The option string of a launch: every item of gantrel.ini in file order, each after one blank.
// The item "other" is a marker for the user's free text: the item after it is taken instead. A
// marker with nothing after it adds nothing. No settings file gives an empty string.
QString optionString(const QDir& workDir);

// The extractions that make a zipped set readable to the emulator, in order. Three sets share
// the folder sf2t, where a second archive completes each: sf2t's for sf2ce, sf2tj's for sf2cej and sf2tj.
QList<Extraction> extractions(const QString& romname);

// The emulator's command line: "torvak.exe", the set's own name, then the option string.
QString commandLine(const QString& romname, const QString& options);

} // namespace LaunchPlan
