#include "ArchiveMaker.h"
#include "MessageBoxSpy.h"
#include "UnzipModule.h"
#include "UnzipProgress.h"
#include "WorkFolder.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>

#include <array>
#include <cstring>
#include <memory>

// Every test runs in a fresh current folder, as the program does.
class TestUnzipModule final : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkFolder> m_work;

private slots:
    void init()
    {
        m_work = std::make_unique<WorkFolder>();
        QVERIFY(QDir::setCurrent(m_work->path()));
        // What the launcher does before every extraction.
        UnzipNewLine = QStringLiteral("\r\n");
        UnzipMessages = UnzipListing = QString();
        UnzipListCount = 0;
        UnzipIncludeNames[0] = UnzipExcludeNames[0] = QString();
        setUnzipProgressDelay(500);
    }

    void cleanup() { QVERIFY(QDir::setCurrent(QDir::tempPath())); }

    void fillsTheRecordsAndShowsOnlyTheStatusNumber()
    {
        MessageBoxSpy spy;
        std::memset(&UnzipOptions, 0x7f, sizeof UnzipOptions);
        std::memset(&UnzipCallbacks, 0x7f, sizeof UnzipCallbacks);
        UnzipArchive("missing.zip", "dest", -1, -2, -3, -4, 0, 0);
        // The library reads the flags by their place in the record.
        std::array<int, 15> flags;
        std::memcpy(flags.data(), &UnzipOptions, sizeof flags);
        QCOMPARE(QList<int>(flags.begin(), flags.end()), (QList<int>{0, 0, -1, 0, 0, 0, -3, 0, 0, -4, -2, 0, 0, 0, 0}));
        QCOMPARE(QByteArray(UnzipOptions.lpszZipFN) + "|" + UnzipOptions.lpszExtractDir, "missing.zip|dest");
        const USERFUNCTIONS& c = UnzipCallbacks;
        QVERIFY(c.print == UnzipPrintCallback && c.replace == UnzipReplaceCallback &&
                c.password == UnzipPasswordCallback && c.SendApplicationMessage == UnzipListCallback && !c.sound &&
                !c.ServCallBk);
        QVERIFY(!QFileInfo::exists("dest"));
        // The box holds only the number, with what the library printed as its details.
        const Platform::MessageRequest& box = spy.requests().first();
        QCOMPARE(box.text + "|" + box.caption + "|" + QString::number(spy.requests().size()), "9|Gantrel|1");
        QVERIFY(box.buttons == Platform::MessageButtons::Ok && box.details == UnzipMessages && !box.details.isEmpty());
        // Null texts reach the library as null pointers, which it refuses.
        UnzipArchive(QString(), QString(), 0, 1, 0, 1, 0, 0);
        QVERIFY(UnzipOptions.lpszZipFN == nullptr && UnzipOptions.lpszExtractDir == nullptr);
        QCOMPARE(spy.requests().last().text, "10");
    }

    void replaceQuery()
    {
        MessageBoxSpy spy;
        using Answer = Platform::MessageAnswer;
        for (Answer answer : {Answer::Yes, Answer::No, Answer::Cancel, Answer::Yes})
            spy.queueAnswer(answer);
        char name[] = "game/a.rom";
        QByteArray longName(300, 'n');
        // Cancel, or closing the box, answers "none"; at most 256 bytes of the name are read.
        QCOMPARE(QList<int>({UnzipReplaceCallback(name), UnzipReplaceCallback(name), UnzipReplaceCallback(name),
                             UnzipReplaceCallback(longName.data())}),
                 (QList<int>{IDM_REPLACE_YES, IDM_REPLACE_NO, IDM_REPLACE_NONE, IDM_REPLACE_YES}));
        QStringList seen;
        for (const Platform::MessageRequest& box : spy.requests())
            seen.append(box.text + (box.buttons == Platform::MessageButtons::YesNoCancel ? "|" : "|?|") + box.caption);
        const QString first = "Overwrite game/a.rom?|VBUnzip - File already exists";
        QCOMPARE(seen, (QStringList{first, first, first, QString(first).replace("game/a.rom", QString(256, 'n'))}));
    }

    void printAndPasswordCallbacks()
    {
        // A message ends at the first NUL, looked for up to the index equal to the length, or after 32,801 characters.
        QByteArray text = QByteArray("abc\0def", 7) + QByteArray(40000, 'x');
        UnzipMessages = QStringLiteral("before|");
        QCOMPARE(UnzipPrintCallback(text.data(), 7) + UnzipPrintCallback(text.data(), 2), 0);
        QCOMPARE(UnzipPrintCallback(text.data() + 7, 40000), 0);
        QCOMPARE(UnzipMessages, "before|abcabc" + QString(32801, QLatin1Char('x')));
        // No password is ever given, and the buffer is left alone.
        char password[8] = "keep";
        QVERIFY(UnzipPasswordCallback(password, sizeof password, "Enter password for: ", "a.rom") == 1 &&
                QByteArray(password) == "keep");
    }

    void listingLines()
    {
        const auto blanks = [](int count) { return QString(count, QLatin1Char(' ')); };
        const QByteArray sixty = QByteArray("0123456789").repeated(6);
        UnzipListCallback(1234, 1000, 19, 3, 5, 98, 9, 7, ' ', sixty.constData(), "Defl:N", 0, 0);
        UnzipListCallback(12345678, 1, 99, 12, 25, 2005, 23, 59, ' ', "eight.rom", "Stored", 0, 0);
        // The header comes only with the first line; each line is 80 columns, then the count of lines.
        const QString header = "Filename:" + blanks(43) + "Size" + blanks(5) + "Date" + blanks(5) + "Time" + blanks(6);
        const QString first = sixty.left(50) + "   1234" + blanks(2) + " 5/03/98" + blanks(2) + " 9:07" + blanks(6);
        const QString second = "eight.rom" + blanks(41) + "2345678  25/12/05  23:59" + blanks(6);
        QCOMPARE(UnzipListing + QString::number(UnzipListCount), header + "\r\n" + first + "\r\n" + second + "\r\n2");
    }

    void namesAndProgressWindow()
    {
        QVERIFY(writeArchive("q.zip", {{"m0.rom", "a"}, {"m1.rom", "b"}, {"m2.rom", "c"}, {"m3.rom", "d"}}));
        QVERIFY(m_work->write("fast/m2.rom", "old") && m_work->write("slow/m2.rom", "old"));
        UnzipIncludeNames[0] = "m?.rom";
        UnzipExcludeNames[0] = "m1.rom";
        // The replace query of m2.rom comes while the window may be up: look at it then.
        QStringList seen;
        QPointer<UnzipProgress> window;
        Platform::setMessageBoxHook([&](const Platform::MessageRequest& request) {
            seen.append(request.text);
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<UnzipProgress*>(widget); progress && progress->isVisible()) {
                    window = progress;
                    seen.last() += "|" + progress->windowTitle() + "|" + progress->Status->text() + "|" +
                                   QString::number(progress->Bar->value());
                }
            return Platform::MessageAnswer::Yes;
        });
        // Counts beyond the name tables are cut to their size; the null entries are passed over.
        UnzipArchive("q.zip", "fast", 1, 0, 0, 1, 1000, 1000);
        setUnzipProgressDelay(0);
        UnzipArchive("q.zip", "slow", 1, 0, 0, 1, 1000, 1000);
        Platform::setMessageBoxHook({});
        // A quick extraction shows nothing; once the delay has passed the window appears, gone when the call returns.
        // No status box comes.
        QCOMPARE(seen, (QStringList{"Overwrite fast/m2.rom?",
                                    "Overwrite slow/m2.rom?|Gantrel|Extracting q.zip\n1 of 3 files|333"}));
        QVERIFY(window.isNull() && !QFileInfo::exists("slow/m1.rom"));
        QCOMPARE(m_work->read("slow/m0.rom") + m_work->read("slow/m2.rom") + m_work->read("slow/m3.rom"), "acd");
    }
};

QTEST_MAIN(TestUnzipModule)
#include "tst_unzipmodule.moc"
