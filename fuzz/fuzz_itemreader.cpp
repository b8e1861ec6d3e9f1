// The item reader over arbitrary bytes: it must end, stay inside its data and keep its item shapes.
#include "FuzzSupport.h"
#include "ItemReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    ItemReader reader(bytes);
    const char* begin = bytes.constData();
    qsizetype items = 0;
    QByteArrayView item;
    while (reader.readItemView(&item)) {
        // Every item consumes at least one byte.
        require(++items <= bytes.size(), "more items than bytes");
        require(item.empty() || (item.data() >= begin && item.data() + item.size() <= begin + bytes.size()),
                "item outside the data");
        // A quoted item holds no quote; any other one holds no comma and no line end.
        const bool plain = !item.contains(',') && !item.contains('\r') && !item.contains('\n');
        require(plain || !item.contains('"'), "item of neither shape");
        require(plain || item.data() > begin, "quoted item without its opening quote");
        if (plain && !item.empty() && (item.data() == begin || item.data()[-1] != '"'))
            require(item.front() != ' ' && item.back() != ' ' && item.front() != '\t' && item.back() != '\t',
                    "blanks kept around a plain item");
    }
    require(reader.atEnd() && item.empty(), "reader stopped before the end");
    QString text;
    require(!reader.readItem(&text) && text.isEmpty(), "item read past the end");
    return 0;
}
