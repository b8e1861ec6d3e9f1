#pragma once

#include "GameTable.h"

#include <QByteArrayView>
#include <QDir>
#include <QString>
#include <QStringList>

// A set name that is safe to use as a file name inside the working folder.
bool isSafeSetName(QByteArrayView name);

struct Catalogue
{
    bool found = false; // roms.txt exists
    QString error;      // why an existing roms.txt could not be read; empty when it was
    GameTable table;    // the installed games, first 51 in catalogue order
    int notStored = 0;  // further installed games that found no free slot
};

// Reads roms.txt in `workDir`: pairs of items (set name, description), keeping the installed ones.
Catalogue readCatalogue(const QDir& workDir);

// The list's order: by description as the system's locale orders text for people, without regard
// to case; equal ones keep catalogue order.
QStringList sortedForList(const GameTable& table);
