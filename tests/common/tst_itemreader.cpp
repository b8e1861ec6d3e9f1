#include "ItemReader.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class TestItemReader : public QObject
{
    Q_OBJECT

private slots:
    void items_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("quoted with comma") << QByteArray("a,\"Alpha, the return\"\r\nb,Beta\r\n")
                                           << QStringList{"a", "Alpha, the return", "b", "Beta"};
        QTest::newRow("text after closing quote skipped, quote inside an item kept")
            << QByteArray("\"a\" junk,ab\"c,d\r\n") << QStringList{"a", "ab\"c", "d"};
        QTest::newRow("quoted runs over line ends, unterminated to the end")
            << QByteArray("\"a\r\nb\",\"open, still") << QStringList{"a\r\nb", "open, still"};
        QTest::newRow("comma before line end, then an empty line")
            << QByteArray("a,\r\n\r\nb\r\n") << QStringList{"a", "", "", "b"};
        QTest::newRow("blanks around items") << QByteArray("  a b  ,\t c\t\r\n") << QStringList{"a b", "c"};
        QTest::newRow("lone LF and CR lines, LF CR is two line ends")
            << QByteArray("a\nb\n\nc\rd\r\re\n\rf") << QStringList{"a", "b", "", "c", "d", "", "e", "", "f"};
        QTest::newRow("byte-order mark skipped at the start only")
            << QByteArray("\xEF\xBB\xBFgame,\xEF\xBB\xBF") << QStringList{"game", QStringLiteral("\uFEFF")};
        QTest::newRow("10 MB line") << QByteArray(10 << 20, 'x') + ",y" << QStringList{QString(10 << 20, u'x'), "y"};
        QTest::newRow("NUL byte kept") << QByteArray("a\0b,c", 5) << QStringList{QString::fromLatin1("a\0b", 3), "c"};
    }

    void items()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, expected);
        ItemReader reader(data);
        QStringList items;
        for (QString item; reader.readItem(&item);)
            items.append(item);
        QCOMPARE(items, expected);
    }

    void endsAndFailures()
    {
        ItemReader reader("name\r\n");
        QString item;
        QVERIFY(reader.readItem(&item));
        QVERIFY(reader.atEnd());
        item = QStringLiteral("stale");
        QVERIFY(!reader.readItem(&item));
        QCOMPARE(item, QString());
        // A file that cannot be opened is a failure with a reason.
        QByteArray data;
        QVERIFY(!ItemReader::readFile(QStringLiteral("/nonexistent/roms.txt"), &data, &item));
        QVERIFY(!item.isEmpty());
        // A file of the limit's size is read; one byte more is refused.
        QTemporaryDir dir;
        QFile edge(dir.filePath("edge"));
        QVERIFY(edge.open(QIODevice::WriteOnly) && edge.resize(ItemReader::MaxFileSize));
        QVERIFY(ItemReader::readFile(edge.fileName(), &data, &item));
        QCOMPARE(data.size(), ItemReader::MaxFileSize);
        QVERIFY(edge.resize(ItemReader::MaxFileSize + 1));
        QVERIFY(!ItemReader::readFile(edge.fileName(), &data, &item));
    }
};

QTEST_GUILESS_MAIN(TestItemReader)
#include "tst_itemreader.moc"
