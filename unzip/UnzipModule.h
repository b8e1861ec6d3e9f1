#pragma once

#include "Unzip32.h"

#include <QString>

#include <array>

// The extraction module's state. It lives as long as the program; before the extractions of a
// launch the launcher resets the line end, the messages, the count and entry 0 of both name tables.
extern DCL UnzipOptions;
extern USERFUNCTIONS UnzipCallbacks;
extern UzpVer2 UnzipVersionInfo;
// A null entry has never been assigned and reaches the library as a null pointer.
extern std::array<QString, 100> UnzipIncludeNames;
extern std::array<QString, 100> UnzipExcludeNames;
extern QString UnzipMessages; // every message of the library since the last reset
extern QString UnzipListing;  // header and lines of the member listing
extern QString UnzipNewLine;  // ends every listing line
extern qint32 UnzipListCount; // listing lines since the last reset
// The status of the last UnzipArchive call, for the launcher: IZ_CTRLC when the user cancelled it.
extern int UnzipStatus;

// Extracts (or, with `list` 1, lists) the archive into `extractDir`. A nonzero status of the
// library is shown in a box holding only the number, unless the user cancelled (IZ_CTRLC); nothing
// is returned. The call blocks its caller, but the library runs on a thread of its own while the
// caller's thread serves its event loop: windows repaint, the progress window (shown after a short
// delay) can cancel, and the replace query is asked on the caller's thread.
void UnzipArchive(const QString& zipPath, const QString& extractDir, qint16 prompt, qint16 overwrite, qint16 list,
                  qint16 dirs, qint32 includeCount, qint32 excludeCount);

// The callbacks handed to the library.
int UnzipPrintCallback(char* buffer, unsigned long size);
int UnzipReplaceCallback(char* fileName);
int UnzipPasswordCallback(char* passwordBuffer, int size, const char* prompt, const char* name);
void UnzipListCallback(unsigned long uncompressedSize, unsigned long compressedSize, unsigned factor, unsigned month,
                       unsigned day, unsigned year, unsigned hour, unsigned minute, char flag, const char* name,
                       const char* method, unsigned long crc, char encrypted);

// How long an extraction runs before its progress window appears, in milliseconds (500).
void setUnzipProgressDelay(int milliseconds);
