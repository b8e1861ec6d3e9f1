#include "ArchiveReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <QByteArrayView>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Unzip {

// What the scan found, shared by a reader and its copies and never changed after the scan.
struct ArchiveReader::Layout
{
    QByteArray path;
    bool sliced = false;
    zip_uint64_t entryCount = 0;
    int commentLength = 0;
    // The rest only when sliced.
    UniqueFd fd;
    zip_uint64_t sliceSize = 1;
    zip_uint64_t fileLength = 0;
    zip_uint64_t directoryEnd = 0;         // where the central directory ends in the file
    std::vector<zip_uint64_t> sliceStarts; // where each slice's first directory record starts

    zip_uint64_t sliceEnd(zip_uint64_t slice) const
    {
        return slice + 1 < sliceStarts.size() ? sliceStarts[slice + 1] : directoryEnd;
    }
    zip_uint64_t sliceEntries(zip_uint64_t slice) const { return std::min(sliceSize, entryCount - slice * sliceSize); }
};

namespace {

using Layout = ArchiveReader::Layout;

constexpr zip_uint64_t EndLength = 22;     // end-of-central-directory record without its comment
constexpr zip_uint64_t LocatorLength = 20; // zip64 end locator
constexpr zip_uint64_t End64Length = 56;   // zip64 end record without extensible data
constexpr zip_uint64_t RecordLength = 46;  // fixed part of a central directory record
// How far back from the end of a file libzip looks for end records: the longest comment and both records.
constexpr zip_uint64_t SearchLength = 65536 + EndLength + LocatorLength;
// Holds the longest directory record: the fixed part and three 16-bit lengths.
constexpr std::size_t ScanBufferSize = 256 * 1024;
// Read-ahead of a slice's virtual file.
constexpr zip_uint64_t ReadAhead = 64 * 1024;
// In a slice's virtual file, the slice's directory starts this far past the end of the real file, so
// that a member's data, which starts at most two 16-bit lengths past its local header, cannot reach it.
constexpr zip_uint64_t Gap = 256 * 1024;
constexpr zip_uint64_t Max16 = 0xffff;
constexpr zip_uint64_t Max32 = 0xffffffff;

constexpr QByteArrayView EndSignature("PK\5\6", 4);
constexpr QByteArrayView LocatorSignature("PK\6\7", 4);
constexpr QByteArrayView End64Signature("PK\6\6", 4);
constexpr QByteArrayView RecordSignature("PK\1\2", 4);

zip_uint64_t littleEndian(const char* bytes, int count)
{
    zip_uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

void putLittleEndian(QByteArray* out, zip_uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        out->append(static_cast<char>(value >> (8 * i) & 0xff));
}

// `length` bytes at `offset`, all of them, or false.
bool readAt(int fd, zip_uint64_t offset, zip_uint64_t length, QByteArray* out)
{
    out->resize(static_cast<qsizetype>(length));
    for (zip_uint64_t done = 0; done < length;) {
        const ssize_t got = ::pread(fd, out->data() + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<zip_uint64_t>(got);
    }
    return true;
}

// The central directory read front to back through one fixed buffer.
class DirectoryStream final
{
public:
    DirectoryStream(int fd, zip_uint64_t from, zip_uint64_t to) : m_fd(fd), m_next(from), m_to(to) {}

    // Makes `count` bytes available at data(); false when the directory or the file ends sooner.
    bool need(std::size_t count)
    {
        if (m_end - m_begin >= count)
            return true;
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
        while (m_end < count) {
            const auto want = static_cast<std::size_t>(std::min<zip_uint64_t>(m_buffer.size() - m_end, m_to - m_next));
            if (want == 0)
                return false;
            const ssize_t got = ::pread(m_fd, m_buffer.data() + m_end, want, static_cast<off_t>(m_next));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            m_end += static_cast<std::size_t>(got);
            m_next += static_cast<zip_uint64_t>(got);
        }
        return true;
    }
    const char* data() const { return m_buffer.data() + m_begin; }
    void skip(std::size_t count) { m_begin += count; }

private:
    int m_fd;
    zip_uint64_t m_next;
    zip_uint64_t m_to;
    std::vector<char> m_buffer = std::vector<char>(ScanBufferSize);
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

// The end records of a slice's virtual file: a zip64 end record, its locator and an end record without
// comment. Always zip64, so that what libzip takes for a locator never depends on the bytes of the last
// directory record before them. The zip64 record carries zeros as extensible data, so that the stretch
// at the end where libzip looks for end records holds only the slice's own records; the zeros are not
// kept, only counted.
struct EndRecords
{
    EndRecords(zip_uint64_t entries, zip_uint64_t directoryOffset, zip_uint64_t directoryLength)
        : padding(SearchLength - std::min(SearchLength, directoryLength + End64Length + LocatorLength + EndLength))
    {
        bytes.append(End64Signature);
        putLittleEndian(&bytes, End64Length - 12 + padding, 8);
        putLittleEndian(&bytes, 45, 2); // made by and needed: zip64
        putLittleEndian(&bytes, 45, 2);
        putLittleEndian(&bytes, 0, 4 + 4); // this disk and the directory's
        putLittleEndian(&bytes, entries, 8);
        putLittleEndian(&bytes, entries, 8);
        putLittleEndian(&bytes, directoryLength, 8);
        putLittleEndian(&bytes, directoryOffset, 8);
        bytes.append(LocatorSignature);
        putLittleEndian(&bytes, 0, 4);
        putLittleEndian(&bytes, directoryOffset + directoryLength, 8);
        putLittleEndian(&bytes, 1, 4); // disks
        bytes.append(EndSignature);
        putLittleEndian(&bytes, 0, 2 + 2);
        putLittleEndian(&bytes, std::min(entries, Max16), 2);
        putLittleEndian(&bytes, std::min(entries, Max16), 2);
        putLittleEndian(&bytes, std::min(directoryLength, Max32), 4);
        putLittleEndian(&bytes, std::min(directoryOffset, Max32), 4);
        putLittleEndian(&bytes, 0, 2);
    }

    zip_uint64_t size() const { return zip_uint64_t(bytes.size()) + padding; }
    // Copies `count` bytes from `at` on.
    void copy(char* out, zip_uint64_t at, zip_uint64_t count) const
    {
        for (zip_uint64_t end = at + count; at < end;) {
            const zip_uint64_t part = at < End64Length             ? std::min(end, End64Length) - at
                                      : at < End64Length + padding ? std::min(end, End64Length + padding) - at
                                                                   : end - at;
            if (at >= End64Length && at < End64Length + padding)
                std::memset(out, 0, part);
            else
                std::memcpy(out, bytes.constData() + (at < End64Length ? at : at - padding), part);
            out += part;
            at += part;
        }
    }

    QByteArray bytes; // without the padding
    zip_uint64_t padding;
};

// A 16- or 32-bit field of the end record next to the zip64 value: the same, or marked as too large.
bool agrees(zip_uint64_t field, zip_uint64_t value, zip_uint64_t max)
{
    return field == value || field == max;
}

// The local header offset of a directory record, from its zip64 extra field where the record says so,
// found as libzip finds it. False when the record does not hold it.
bool localHeaderOffset(const char* record, zip_uint64_t* offset)
{
    const zip_uint64_t uncompressed = littleEndian(record + 24, 4);
    const zip_uint64_t compressed = littleEndian(record + 20, 4);
    *offset = littleEndian(record + 42, 4);
    if (uncompressed != Max32 && compressed != Max32 && *offset != Max32)
        return true;
    const char* extra = record + RecordLength + littleEndian(record + 28, 2);
    zip_uint64_t left = littleEndian(record + 30, 2);
    while (left >= 4) {
        const zip_uint64_t id = littleEndian(extra, 2);
        const zip_uint64_t length = littleEndian(extra + 2, 2);
        if (length > left - 4)
            return false;
        if (id == 1) {
            const zip_uint64_t skipped = 8 * ((uncompressed == Max32) + (compressed == Max32));
            if (*offset == Max32 && length < skipped + 8)
                return false;
            if (*offset == Max32)
                *offset = littleEndian(extra + 4 + skipped, 8);
            return true;
        }
        extra += 4 + length;
        left -= 4 + length;
    }
    return false;
}

// Reads the end records and walks the central directory, filling `layout` for slices. False for anything
// not laid out plainly; the caller then leaves the archive to libzip whole. Each condition here either
// holds for the archives Zip tools write or makes libzip see the archive differently through a slice:
// libzip takes every end signature near the end of a file for a candidate and weighs them against each
// other, and counts that disagree or a directory not right before the end records mean other rules.
bool scan(Layout* layout)
{
    // Not blocking: a named pipe in place of the archive must not hang the scan (it is not a regular file).
    UniqueFd fd(::open(layout->path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info = {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const auto length = static_cast<zip_uint64_t>(info.st_size);
    if (length < EndLength)
        return false;

    // The end record: the only end signature where libzip looks for one, followed by its comment, exactly.
    const zip_uint64_t tailStart = length - std::min(length, SearchLength);
    QByteArray tail;
    if (!readAt(fd.get(), tailStart, length - tailStart, &tail))
        return false;
    const qsizetype found = tail.indexOf(EndSignature);
    if (found < 0 || tail.indexOf(EndSignature, found + 1) >= 0 || tail.size() - found < qsizetype(EndLength))
        return false;
    const char* end = tail.constData() + found;
    const zip_uint64_t endAt = tailStart + static_cast<zip_uint64_t>(found);
    const zip_uint64_t commentLength = littleEndian(end + 20, 2);
    if (endAt + EndLength + commentLength != length || littleEndian(end + 4, 4) != 0)
        return false;
    zip_uint64_t entries = littleEndian(end + 10, 2);
    zip_uint64_t directoryLength = littleEndian(end + 12, 4);
    zip_uint64_t directoryOffset = littleEndian(end + 16, 4);
    zip_uint64_t directoryEnd = endAt;
    if (littleEndian(end + 8, 2) != entries)
        return false;

    // libzip reads zip64 end records whenever a locator signature comes right before the end record.
    QByteArray locator;
    if (endAt >= LocatorLength) {
        if (!readAt(fd.get(), endAt - LocatorLength, LocatorLength, &locator))
            return false;
    }
    if (locator.startsWith(LocatorSignature)) {
        QByteArray end64;
        const zip_uint64_t end64At = littleEndian(locator.constData() + 8, 8);
        if (littleEndian(locator.constData() + 4, 4) != 0 || littleEndian(locator.constData() + 16, 4) > 1 ||
            endAt < LocatorLength + End64Length || end64At != endAt - LocatorLength - End64Length ||
            !readAt(fd.get(), end64At, End64Length, &end64) || !end64.startsWith(End64Signature))
            return false;
        const char* record = end64.constData();
        const zip_uint64_t entries64 = littleEndian(record + 32, 8);
        const zip_uint64_t length64 = littleEndian(record + 40, 8);
        const zip_uint64_t offset64 = littleEndian(record + 48, 8);
        if (littleEndian(record + 4, 8) != End64Length - 12 || littleEndian(record + 16, 8) != 0 ||
            littleEndian(record + 24, 8) != entries64 || !agrees(entries, entries64, Max16) ||
            !agrees(directoryLength, length64, Max32) || !agrees(directoryOffset, offset64, Max32))
            return false;
        entries = entries64;
        directoryLength = length64;
        directoryOffset = offset64;
        directoryEnd = end64At;
    }
    if (directoryOffset > directoryEnd || directoryEnd - directoryOffset != directoryLength)
        return false;

    // Every record whole, signed, free of end signatures, and its local header within the file.
    DirectoryStream stream(fd.get(), directoryOffset, directoryEnd);
    zip_uint64_t count = 0;
    for (zip_uint64_t at = directoryOffset; at < directoryEnd; ++count) {
        if (count % layout->sliceSize == 0)
            layout->sliceStarts.push_back(at);
        if (!stream.need(RecordLength) || QByteArrayView(stream.data(), 4) != RecordSignature)
            return false;
        const std::size_t recordLength = RecordLength + littleEndian(stream.data() + 28, 2) +
                                         littleEndian(stream.data() + 30, 2) + littleEndian(stream.data() + 32, 2);
        if (!stream.need(recordLength))
            return false;
        zip_uint64_t localOffset = 0;
        if (QByteArrayView(stream.data(), static_cast<qsizetype>(recordLength)).contains(EndSignature) ||
            !localHeaderOffset(stream.data(), &localOffset) || localOffset > length)
            return false;
        stream.skip(recordLength);
        at += recordLength;
    }
    if (count != entries)
        return false;

    layout->entryCount = entries;
    layout->commentLength = static_cast<int>(commentLength);
    layout->fileLength = length;
    layout->directoryEnd = directoryEnd;
    for (zip_uint64_t slice = 0; slice < layout->sliceStarts.size(); ++slice) {
        // The padding holds no signature, nor can one reach across it.
        const EndRecords records(layout->sliceEntries(slice), length + Gap,
                                 layout->sliceEnd(slice) - layout->sliceStarts[slice]);
        if (records.bytes.indexOf(EndSignature) != records.bytes.size() - qsizetype(EndLength))
            return false;
    }
    layout->fd = std::move(fd);
    return true;
}

// The state of one slice's virtual file: the real file, a gap that reads and seeks as past its end, the
// slice's directory records, and the slice's end records.
struct SliceSource
{
    SliceSource(std::shared_ptr<const Layout> shared, zip_uint64_t slice)
        : layout(std::move(shared)), recordsStart(layout->sliceStarts[slice]),
          recordsLength(layout->sliceEnd(slice) - recordsStart), recordsAt(layout->fileLength + Gap),
          endRecords(layout->sliceEntries(slice), recordsAt, recordsLength)
    {
        zip_error_init(&error);
    }
    ~SliceSource() { zip_error_fini(&error); }
    SliceSource(const SliceSource&) = delete;
    SliceSource& operator=(const SliceSource&) = delete;

    zip_uint64_t size() const { return recordsAt + recordsLength + endRecords.size(); }

    // libzip reads directory records and local headers a few bytes at a time: small reads come from a
    // read-ahead buffer, so that each is not a system call.
    zip_int64_t read(char* out, zip_uint64_t length)
    {
        if (length >= ReadAhead) {
            const zip_int64_t got = readAt(out, position, length);
            position += got > 0 ? zip_uint64_t(got) : 0;
            return got;
        }
        if (position < cacheAt || position + length > cacheAt + zip_uint64_t(cache.size())) {
            cache.resize(qsizetype(ReadAhead));
            const zip_int64_t got = readAt(cache.data(), position, ReadAhead);
            cache.resize(std::max<qsizetype>(got, 0));
            cacheAt = position;
            if (got < 0)
                return got;
        }
        const zip_uint64_t count = std::min(length, cacheAt + zip_uint64_t(cache.size()) - position);
        std::memcpy(out, cache.constData() + (position - cacheAt), count);
        position += count;
        return zip_int64_t(count);
    }

    // Up to `length` bytes of the virtual file at `at`. Fewer where the real file ends, as a read of the
    // file itself gives: a member that runs past the end of the archive meets its end, not the slice.
    zip_int64_t readAt(char* out, zip_uint64_t at, zip_uint64_t length)
    {
        const zip_uint64_t endAt = recordsAt + recordsLength;
        zip_uint64_t done = 0;
        while (done < length && at < size() && (at < layout->fileLength || at >= recordsAt)) {
            if (at >= endAt) {
                const zip_uint64_t count = std::min(length - done, size() - at);
                endRecords.copy(out + done, at - endAt, count);
                done += count;
                at += count;
                continue;
            }
            const bool inRecords = at >= recordsAt;
            const zip_uint64_t from = inRecords ? recordsStart + (at - recordsAt) : at;
            const zip_uint64_t count = std::min(length - done, (inRecords ? endAt : layout->fileLength) - at);
            const ssize_t got = ::pread(layout->fd.get(), out + done, count, static_cast<off_t>(from));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                zip_error_set(&error, ZIP_ER_READ, errno);
                return -1;
            }
            if (got == 0) // the file was cut short since it was scanned
                break;
            done += static_cast<zip_uint64_t>(got);
            at += static_cast<zip_uint64_t>(got);
        }
        return static_cast<zip_int64_t>(done);
    }

    const std::shared_ptr<const Layout> layout;
    const zip_uint64_t recordsStart;
    const zip_uint64_t recordsLength;
    const zip_uint64_t recordsAt; // in the virtual file
    const EndRecords endRecords;
    zip_uint64_t position = 0;
    QByteArray cache;
    zip_uint64_t cacheAt = 0;
    zip_error_t error;
};

zip_int64_t sliceSourceCall(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<SliceSource*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->position = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return source->read(static_cast<char*>(data), length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) {
            zip_error_set(&source->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->size = source->size();
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        std::unique_ptr<SliceSource>{source}.reset();
        return 0;
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t to =
            zip_source_seek_compute_offset(source->position, source->size(), data, length, &source->error);
        if (to < 0)
            return -1;
        // Past the end of the real file, as the file itself refuses it.
        if (zip_uint64_t(to) > source->layout->fileLength && zip_uint64_t(to) < source->recordsAt) {
            zip_error_set(&source->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        source->position = static_cast<zip_uint64_t>(to);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(source->position);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

ZipArchivePtr openSlice(const std::shared_ptr<const Layout>& layout, zip_uint64_t slice, int* zipError)
{
    auto state = std::make_unique<SliceSource>(layout, slice);
    zip_error_t error;
    zip_error_init(&error);
    ZipArchivePtr archive;
    if (zip_source_t* source = zip_source_function_create(&sliceSourceCall, state.get(), &error)) {
        state.release(); // the source frees it
        archive.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
        if (!archive)
            zip_source_free(source);
    }
    if (!archive && zipError)
        *zipError = zip_error_code_zip(&error);
    zip_error_fini(&error);
    return archive;
}

} // namespace

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() = default;
ArchiveReader::ArchiveReader(ArchiveReader&&) noexcept = default;
ArchiveReader& ArchiveReader::operator=(ArchiveReader&&) noexcept = default;

bool ArchiveReader::open(const QByteArray& path, int* zipError, zip_uint64_t sliceSize)
{
    m_archive.reset();
    m_layout.reset();
    if (sliceSize == 0) {
        if (zipError)
            *zipError = ZIP_ER_INVAL;
        return false;
    }
    auto layout = std::make_shared<Layout>();
    layout->path = path;
    layout->sliceSize = sliceSize;
    layout->sliced = scan(layout.get());
    if (!layout->sliced) {
        layout->sliceStarts = {};
        int error = ZIP_ER_OK;
        m_archive.reset(zip_open(path.constData(), ZIP_RDONLY, &error));
        if (!m_archive) {
            if (zipError)
                *zipError = error;
            return false;
        }
        layout->entryCount =
            static_cast<zip_uint64_t>(std::max<zip_int64_t>(zip_get_num_entries(m_archive.get(), 0), 0));
        zip_get_archive_comment(m_archive.get(), &layout->commentLength, ZIP_FL_ENC_RAW);
    }
    m_layout = std::move(layout);
    return true;
}

zip_uint64_t ArchiveReader::entryCount() const
{
    return m_layout ? m_layout->entryCount : 0;
}

int ArchiveReader::commentLength() const
{
    return m_layout ? m_layout->commentLength : 0;
}

bool ArchiveReader::sliced() const
{
    return m_layout && m_layout->sliced;
}

zip_t* ArchiveReader::archiveFor(zip_uint64_t index, zip_uint64_t* local, int* zipError)
{
    if (!m_layout || index >= m_layout->entryCount) {
        if (zipError)
            *zipError = ZIP_ER_INVAL;
        return nullptr;
    }
    if (!m_layout->sliced) {
        int error = ZIP_ER_OK;
        if (!m_archive)
            m_archive.reset(zip_open(m_layout->path.constData(), ZIP_RDONLY, &error));
        if (!m_archive && zipError)
            *zipError = error;
        *local = index;
        return m_archive.get();
    }
    const zip_uint64_t slice = index / m_layout->sliceSize;
    if (!m_archive || m_slice != slice) {
        m_archive.reset();
        m_archive = openSlice(m_layout, slice, zipError);
        m_slice = slice;
    }
    *local = index % m_layout->sliceSize;
    return m_archive.get();
}

ArchiveReader ArchiveReader::sharedCopy() const
{
    ArchiveReader copy;
    copy.m_layout = m_layout;
    return copy;
}

} // namespace Unzip
