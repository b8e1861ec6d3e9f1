#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reads a settings or catalogue file as a stream of items rather than lines:
// - blanks (spaces, tabs) before an item are skipped;
// - an item that begins with '"' runs to the next '"' (the quotes are dropped, commas and line
//   ends inside belong to it) and whatever follows, up to the next comma or line end, is skipped;
// - any other item runs up to the next comma or line end, without its trailing blanks;
// - the comma or line end that ends an item is consumed with it; an empty line is one empty item.
// A line ends with CR LF, a lone LF or a lone CR. A UTF-8 byte-order mark at the very start is
// skipped. Bytes are decoded without loss (Platform::decodeLocal), so an item written back gives
// the bytes that were read.
class ItemReader final
{
public:
    explicit ItemReader(QByteArray data);

    // No file Gantrel reads comes near this size: a larger one is refused rather than held in memory.
    static constexpr qint64 MaxFileSize = qint64(64) * 1024 * 1024;

    // Reads a whole ordinary file of at most MaxFileSize bytes. Returns false, with `data` empty and
    // `error` saying why, when it cannot be read or is larger.
    static bool readFile(const QString& path, QByteArray* data, QString* error = nullptr);

    // The end test, made between items.
    bool atEnd() const { return m_pos >= m_data.size(); }

    // Reads the next item. Returns false, leaving `item` empty, when the data has ended.
    bool readItem(QString* item);

    // The next item as raw bytes, for callers that decode it later or not at all. The view stays
    // valid as long as the reader.
    bool readItemView(QByteArrayView* item);

private:
    void skipLineEnd();

    QByteArray m_data;
    qsizetype m_pos = 0;
};
