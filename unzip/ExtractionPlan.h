#pragma once

#include "Unzip32.h"

#include <QByteArray>
#include <QList>

namespace Unzip {

// One change that extracting makes below its target folder. The path is relative to the target
// folder, with '/' between names, and holds the names as they stand (or will stand) on disk: bytes,
// not decoded text.
struct PlannedChange
{
    enum class Kind {
        MoveAside, // an existing file or symbolic link that a member replaces: renamed away before extracting
        Folder,    // a folder the extraction creates
        File,      // a file the extraction creates (after the MoveAside entry of that name, if any, has gone)
        Temporary, // a file that exists only while a member replaces a file created earlier in the same plan
    };
    Kind kind = Kind::File;
    QByteArray path;

    bool operator==(const PlannedChange& other) const { return kind == other.kind && path == other.path; }
};

struct ExtractionPlan
{
    int status = PK_OK;           // what reading the archives' member lists gave (PK_NOZIP for a missing one)
    QByteArray targetFolder;      // the target folder as an absolute path, spelt as the extraction will use it
    bool targetExists = false;    // it is already a folder (perhaps through a symbolic link)
    QList<PlannedChange> changes; // every MoveAside first, then the others in the order they are made
};

// What windll_unzip with `options`, called for each of `archives` in turn (each path as it would
// stand in DCL::lpszZipFN), all into `extractDir` (as in DCL::lpszExtractDir), will change, once every
// MoveAside entry has been renamed away. Relative paths are taken against the current folder, as
// windll_unzip takes them. Entries that an earlier archive of the list creates are replaced, never
// moved aside. Reads the archives' member lists only; changes nothing on disk.
ExtractionPlan planExtractions(const QList<QByteArray>& archives, const QByteArray& extractDir, const DCL& options);

} // namespace Unzip
