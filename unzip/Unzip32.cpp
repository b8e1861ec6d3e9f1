#include "Unzip32.h"

#include "Extraction.h"
#include "LocalText.h"

#include <cstring>
#include <new>

#include <zip.h>

namespace {

struct ProgressHook
{
    UnzipProgressFn fn = nullptr;
    void* ctx = nullptr;
};
ProgressHook progressHook;

QStringList namesOf(int count, char** table)
{
    QStringList names;
    for (int i = 0; table && i < count; ++i) {
        if (table[i])
            names.append(Platform::decodeLocal(QByteArray(table[i]).replace('\\', '/')));
    }
    return names;
}

} // namespace

namespace Unzip {

int reportProgress(long long done, long long total)
{
    try {
        return progressHook.fn ? progressHook.fn(progressHook.ctx, done, total) : 0;
    } catch (...) {
        // It may be called while a file is open; a failing window must not leave that file behind.
        return 0;
    }
}

} // namespace Unzip

int windll_unzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL, USERFUNCTIONS* lpUserFunc)
{
    if (!lpDCL)
        return PK_PARAM;
    try {
        Unzip::Extraction extraction(*lpDCL, lpUserFunc);
        return extraction.run(namesOf(ifnc, ifnv), namesOf(xfnc, xfnv));
    } catch (const std::bad_alloc&) {
        return PK_MEM;
    } catch (...) {
        // A caller's callback threw: nothing may cross this plain interface.
        return PK_ERR;
    }
}

void UzpVersion2(UzpVer2* version)
{
    if (!version)
        return;
    version->flag = 0;
    std::memset(version->betalevel, 0, sizeof version->betalevel);
    std::memset(version->date, 0, sizeof version->date);
    std::strncpy(version->zlib_version, zip_libzip_version(), sizeof version->zlib_version - 1);
    version->zlib_version[sizeof version->zlib_version - 1] = '\0';
    version->unzip = {1, 0, 0, 0};
    version->zipinfo = {0, 0, 0, 0};
    version->os2dll = {0, 0, 0, 0};
    version->windll = {1, 0, 0, 0};
    version->dllapimin = {1, 0, 0, 0};
}

void windll_set_progress(UnzipProgressFn fn, void* ctx)
{
    progressHook = {fn, ctx};
}
