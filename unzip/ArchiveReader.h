#pragma once

#include "Handles.h"

#include <memory>

#include <QByteArray>

#include <zip.h>

namespace Unzip {

// A zip archive read through a window of its central directory. libzip keeps every directory entry of an
// open archive in memory (some 300 bytes each); this reader scans the directory once, keeps only where
// each slice of `sliceSize` entries starts, and lets libzip open one slice at a time as an archive of its
// own. Each slice is a virtual file: the whole real file, then, past a gap, the slice's directory records
// as they are and new end records pointing at them. Entries keep their offsets, so libzip reads,
// decompresses, decrypts and checks each member exactly as in the whole archive, up to the file's end.
//
// An archive that is not laid out plainly (anything the scan does not expect) is opened whole with
// zip_open instead, so that each error and each oddity stays libzip's own.
class ArchiveReader final
{
public:
    static constexpr zip_uint64_t DefaultSliceSize = 4096;

    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(ArchiveReader&&) noexcept;
    ArchiveReader& operator=(ArchiveReader&&) noexcept;

    // Opens the archive at `path` (bytes). False with libzip's error code (ZIP_ER_...) in *zipError when
    // even a whole-archive zip_open fails.
    bool open(const QByteArray& path, int* zipError, zip_uint64_t sliceSize = DefaultSliceSize);
    zip_uint64_t entryCount() const;
    // The length of the archive comment, in bytes as stored.
    int commentLength() const;
    // Whether the archive is read slice by slice (false: opened whole, or not open).
    bool sliced() const;

    // The open libzip archive that holds entry `index`, and the entry's index in it (*local). Opening
    // another slice closes the current one: a reader holds one slice at a time. Null with *zipError set
    // when the slice cannot be opened.
    zip_t* archiveFor(zip_uint64_t index, zip_uint64_t* local, int* zipError);

    // A second reader over the same archive and the same slices, without a second scan, for another
    // thread. Sliced readers share the open file; a whole archive is opened again by its path.
    ArchiveReader sharedCopy() const;

    struct Layout;

private:
    std::shared_ptr<const Layout> m_layout;
    ZipArchivePtr m_archive;
    zip_uint64_t m_slice = 0; // of m_archive, when sliced
};

} // namespace Unzip
