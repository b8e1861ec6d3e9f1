#pragma once

#include "GameTable.h"

#include <QDir>
#include <QSet>
#include <QString>
#include <QStringList>

// What is installed in the working folder, listed once so that a large catalogue costs one
// hash lookup per game instead of a look at the disk. Names are matched without regard to case.
class InstalledIndex final
{
public:
    explicit InstalledIndex(const QDir& workDir);

    // A file or folder of that name in the working folder: an unpacked set.
    bool isUnpacked(const QString& name) const;
    // An ordinary file roms\<name>.zip: a zipped set.
    bool isZipped(const QString& name) const;

private:
    QSet<QString> m_entries;
    QSet<QString> m_zips;
};

// A set name that is safe to use as a file name inside the working folder.
bool isSafeSetName(const QString& name);

struct Catalogue
{
    bool found = false; // roms.txt exists
    GameTable table;    // the installed games, first 51 in catalogue order
    int notStored = 0;  // further installed games that found no free slot
};

// Reads roms.txt in `workDir`: pairs of items (set name, description), keeping the installed ones.
Catalogue readCatalogue(const QDir& workDir);

// The list's order: by description without regard to case; equal ones keep catalogue order.
QStringList sortedForList(const GameTable& table);
