#pragma once

// The extraction library's calling interface: its records, its status numbers and its two entry
// points, with plain C types so that any caller written against the published records works
// unchanged. Extraction runs over libzip.

// Options of one call.
struct DCL
{
    int ExtractOnlyNewer;  // extract a member only when it is newer than the file on disk
    int SpaceToUnderscore; // blanks in member names become '_'
    int PromptToOverwrite; // ask the replace callback before replacing a file (when noflag is 0)
    int fQuiet;            // 0 all messages, 1 fewer, 2 none
    int ncflag;            // write to standard output (not supported: ignored)
    int ntflag;            // test only (not supported: ignored)
    int nvflag;            // list the members instead of extracting them
    int nfflag;            // freshen: only replace files that exist
    int nzflag;            // show the archive comment (ignored)
    int ndflag;            // re-create the folders stored in the archive; 0 junks them
    int noflag;            // replace existing files without asking
    int naflag;            // convert text files (ignored)
    int nZIflag;           // verbose listing (ignored)
    int C_flag;            // match include and exclude names without regard to case
    int fPrivilege;        // restore owners and permissions (ignored)
    char* lpszZipFN;       // archive path; tried with ".zip" appended when it names no file
    char* lpszExtractDir;  // target folder; null or empty means the current folder
};

using UnzipPrintFn = int (*)(char* buf, unsigned long size);
using UnzipSoundFn = void (*)();
using UnzipReplaceFn = int (*)(char* filename);
using UnzipPasswordFn = int (*)(char* pwbuf, int size, const char* prompt, const char* name);
using UnzipListFn = void (*)(unsigned long ucsize, unsigned long csize, unsigned cfactor, unsigned mo, unsigned dy,
                             unsigned yr, unsigned hh, unsigned mm, char c, const char* filename, const char* methbuf,
                             unsigned long crc, char fCrypt);
using UnzipServiceFn = int (*)(const char* name, unsigned long size);

// The caller's callbacks (any may be null) and the totals that the library fills in.
struct USERFUNCTIONS
{
    UnzipPrintFn print;
    UnzipSoundFn sound;
    UnzipReplaceFn replace;
    UnzipPasswordFn password;
    UnzipListFn SendApplicationMessage;
    UnzipServiceFn ServCallBk;
    unsigned long TotalSizeComp;
    unsigned long TotalSize;
    unsigned CompFactor;
    unsigned NumMembers;
    unsigned short cchComment;
};

struct UzpVerNumbers
{
    unsigned char major;
    unsigned char minor;
    unsigned char patchlevel;
    unsigned char not_used;
};

struct UzpVer2
{
    unsigned long structlen;
    unsigned long flag;
    char betalevel[10];
    char date[20];
    char zlib_version[10];
    UzpVerNumbers unzip;
    UzpVerNumbers zipinfo;
    UzpVerNumbers os2dll;
    UzpVerNumbers windll;
    UzpVerNumbers dllapimin;
};

// Status numbers of windll_unzip.
constexpr int PK_OK = 0;      // success
constexpr int PK_WARN = 1;    // done, but members were skipped (unsafe paths, links) or the archive is empty
constexpr int PK_ERR = 2;     // damaged archive or member (bad CRC, invalid data)
constexpr int PK_MEM = 4;     // out of memory
constexpr int PK_NOZIP = 9;   // archive missing or not a zip archive
constexpr int PK_PARAM = 10;  // bad parameters
constexpr int PK_FIND = 11;   // no member matched the include names
constexpr int PK_DISK = 50;   // disk full or a file or folder could not be written
constexpr int PK_EOF = 51;    // unexpected end of the archive
constexpr int IZ_CTRLC = 80;  // interrupted by the user
constexpr int IZ_UNSUP = 81;  // unsupported compression or encryption method
constexpr int IZ_BADPWD = 82; // missing or wrong password

// Answers of the replace callback.
constexpr int IDM_REPLACE_NO = 100;
constexpr int IDM_REPLACE_YES = 102;
constexpr int IDM_REPLACE_ALL = 103;
constexpr int IDM_REPLACE_NONE = 104;

// Extracts (or lists) the members of lpDCL->lpszZipFN. ifnv holds ifnc include names (0: every
// member), xfnv xfnc exclude names; both may use '*' and '?'; null entries are passed over.
int windll_unzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL, USERFUNCTIONS* lpUserFunc);

// Fills the version record.
void UzpVersion2(UzpVer2* version);

// Progress of the running extraction, always on the calling thread: after every member
// (done = members finished) and every few megabytes inside a large one. A null fn removes it.
// A nonzero answer stops the extraction after the member being written: windll_unzip then
// returns IZ_CTRLC.
using UnzipProgressFn = int (*)(void* ctx, long long done, long long total);
void windll_set_progress(UnzipProgressFn fn, void* ctx);
