#include "ItemReader.h"

#include <QFile>
#include <QStringDecoder>

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        data->clear();
        if (error)
            *error = file.errorString();
        return false;
    }
    *data = file.readAll();
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
    // The plain decoder drops a byte-order mark at the start of what it is given, as if each item
    // began a file: only the file's first item may lose one, and that is done above.
    QStringDecoder decode(QStringDecoder::System, QStringDecoder::Flag::ConvertInitialBom);
    *item = decode(bytes);
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
