#include "ItemReader.h"

#include <algorithm>

#include "LocalText.h"
#include "UniqueFd.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

ItemReader::ItemReader(QByteArray data) : m_data(std::move(data))
{
    if (m_data.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

bool ItemReader::readFile(const QString& path, QByteArray* data, QString* error)
{
    data->clear();
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    // Not blocking on open: a pipe put where a file is expected must not hang the window.
    const Platform::UniqueFd fd(::open(Platform::encodeLocal(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return fail(Platform::errorText(errno));
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0)
        return fail(Platform::errorText(errno));
    if (!S_ISREG(info.st_mode))
        return fail(QStringLiteral("It is not an ordinary file."));
    const auto tooLarge = [&] {
        return fail(QStringLiteral("It is larger than %1 MB, more than such a file ever holds.")
                        .arg(MaxFileSize / (1024 * 1024)));
    };
    if (info.st_size > MaxFileSize)
        return tooLarge();

    // The size may change while the file is read: read up to one byte past the limit.
    QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > MaxFileSize)
                return tooLarge();
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, MaxFileSize + 1));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(Platform::errorText(errno));
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > MaxFileSize)
        return tooLarge();
    bytes.truncate(filled);
    *data = std::move(bytes);
    return true;
}

void ItemReader::skipLineEnd()
{
    if (m_data.at(m_pos) == '\r' && m_pos + 1 < m_data.size() && m_data.at(m_pos + 1) == '\n')
        m_pos += 2;
    else
        m_pos += 1;
}

bool ItemReader::readItem(QString* item)
{
    QByteArrayView bytes;
    const bool ok = readItemView(&bytes);
    *item = Platform::decodeLocal(bytes);
    return ok;
}

bool ItemReader::readItemView(QByteArrayView* item)
{
    *item = QByteArrayView();
    if (atEnd())
        return false;

    const qsizetype size = m_data.size();
    const char* data = m_data.constData();
    while (m_pos < size && isBlank(data[m_pos]))
        ++m_pos;

    if (m_pos < size && data[m_pos] == '"') {
        const qsizetype start = m_pos + 1;
        qsizetype close = m_data.indexOf('"', start);
        if (close < 0)
            close = size;
        *item = QByteArrayView(data + start, close - start);
        m_pos = close + 1;
        while (m_pos < size && data[m_pos] != ',' && !isLineEnd(data[m_pos]))
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < size && data[m_pos] != ',' && !isLineEnd(data[m_pos]))
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && isBlank(data[end - 1]))
            --end;
        *item = QByteArrayView(data + start, end - start);
    }

    if (m_pos < size) {
        if (data[m_pos] == ',')
            ++m_pos;
        else
            skipLineEnd();
    }
    return true;
}
