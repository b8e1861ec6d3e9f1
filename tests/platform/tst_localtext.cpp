#include "LocalText.h"

#include <QRandomGenerator>
#include <QTest>

using Platform::decodeLocal;
using Platform::encodeLocal;

class tst_LocalText : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9");
        QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBFx") << QStringLiteral("\uFEFFx");
        QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x8E\xAE") << QString::fromUtf8("\xF0\x9F\x8E\xAE");
        // Bytes that are not UTF-8 stand as U+DC80 to U+DCFF.
        QTest::newRow("latin-1 byte") << QByteArray("caf\xE9") << QStringView(u"caf\xDCE9").toString();
        QTest::newRow("overlong, surrogate, past U+10FFFF, cut")
            << QByteArray("\xC0\xAF\xED\xB3\xA9\xF4\x90\x80\x80\xC3")
            << QStringView(u"\xDCC0\xDCAF\xDCED\xDCB3\xDCA9\xDCF4\xDC90\xDC80\xDC80\xDCC3").toString();
        QTest::newRow("nul") << QByteArray("a\0b", 3) << QString::fromUtf8("a\0b", 3);
    }

    void decodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeLocal(bytes), text);
        QCOMPARE(encodeLocal(text), bytes);
    }

    void byteStringsComeBack()
    {
        QRandomGenerator random(7);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes(static_cast<qsizetype>(random.bounded(12)), '\0');
            for (char& byte : bytes)
                byte = static_cast<char>(random.bounded(256));
            QCOMPARE(encodeLocal(decodeLocal(bytes)), bytes);
        }
        // Only U+DC80 to U+DCFF stand for bytes; any other lone surrogate is written as U+FFFD.
        QCOMPARE(encodeLocal(QString(QChar(0xD800)) + QLatin1Char('x')), QByteArray("\xEF\xBF\xBDx"));
        QCOMPARE(encodeLocal(QString(QChar(0xDC7F))), QByteArray("\xEF\xBF\xBD"));
    }
};

QTEST_GUILESS_MAIN(tst_LocalText)
#include "tst_localtext.moc"
