#include "ArchiveMaker.h"
#include "MessageBoxSpy.h"
#include "UnzipModule.h"
#include "UnzipProgress.h"
#include "WorkFolder.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

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

    // The callbacks as the library calls them.
    void callbacks()
    {
        MessageBoxSpy spy;
        using Answer = Platform::MessageAnswer;
        for (Answer answer : {Answer::Yes, Answer::No, Answer::Cancel, Answer::Yes})
            spy.queueAnswer(answer);
        char name[] = "game/a.rom";
        // Cancel, or closing the box, answers "none"; at most 256 bytes of the name are read.
        QCOMPARE(QList<int>({UnzipReplaceCallback(name), UnzipReplaceCallback(name), UnzipReplaceCallback(name),
                             UnzipReplaceCallback(QByteArray(300, 'n').data())}),
                 (QList<int>{IDM_REPLACE_YES, IDM_REPLACE_NO, IDM_REPLACE_NONE, IDM_REPLACE_YES}));
        QCOMPARE(spy.requests().first().text, "Overwrite game/a.rom?");
        QCOMPARE(spy.requests().last().text, "Overwrite " + QString(256, 'n') + '?');
        QVERIFY(spy.requests().last().buttons == Platform::MessageButtons::YesNoCancel);

        // A message ends at the first NUL, looked for up to the index equal to the length, or after 32,801 characters.
        QByteArray text = QByteArray("abc\0def", 7) + QByteArray(40000, 'x');
        UnzipMessages = QStringLiteral("before|");
        QCOMPARE((QList<int>{UnzipPrintCallback(text.data(), 7), UnzipPrintCallback(text.data(), 2),
                             UnzipPrintCallback(text.data() + 7, 40000)}),
                 (QList<int>{0, 0, 0}));
        QCOMPARE(UnzipMessages, "before|abcabc" + QString(32801, QLatin1Char('x')));
        // No password is ever given, and the buffer is left alone.
        char password[8] = "keep";
        QVERIFY(UnzipPasswordCallback(password, sizeof password, "Enter password for: ", "a.rom") == 1 &&
                QByteArray(password) == "keep");

        const auto blanks = [](int count) { return QString(count, QLatin1Char(' ')); };
        const QByteArray sixty = QByteArray("0123456789").repeated(6);
        UnzipListCallback(1234, 1000, 19, 3, 5, 98, 9, 7, ' ', sixty.constData(), "Defl:N", 0, 0);
        UnzipListCallback(12345678, 1, 99, 12, 25, 2005, 23, 59, ' ', "eight.rom", "Stored", 0, 0);
        // The header comes only with the first line; each line is 80 columns, then the count of lines.
        const QString header = "Filename:" + blanks(43) + "Size" + blanks(5) + "Date" + blanks(5) + "Time" + blanks(6);
        const QString first = sixty.left(50) + "   1234" + blanks(2) + " 5/03/98" + blanks(2) + " 9:07" + blanks(6);
        const QString second = "eight.rom" + blanks(41) + "2345678  25/12/05  23:59" + blanks(6);
        QCOMPARE(UnzipListing.split("\r\n"), (QStringList{header, first, second, QString()}));
        QCOMPARE(UnzipListCount, 2);
    }

    // The library works on a thread of its own: the window's thread keeps its event loop (a timer fires during the
    // call) while the extraction goes on without it. The name tables reach it, counts beyond them cut to their size
    // and null entries passed over, and a warning gets its box like any other failure.
    void extractionOnItsOwnThread()
    {
        QVERIFY(writeArchive("big.zip", emptyMembers(3000) + QList<ArchiveMember>{{"other", "o"}, {"../m-up", "u"}}));
        UnzipIncludeNames[0] = "*m*";
        UnzipExcludeNames[0] = "m1";
        MessageBoxSpy spy;
        bool extractedWhileBusy = false;
        // Holds the window's thread until members appear on disk: that needs another thread. Checked right after
        // the call, so it is set only when the timer fired during the call.
        QTimer::singleShot(0, [&] {
            QDeadlineTimer deadline(30000);
            while (!deadline.hasExpired() && !(extractedWhileBusy = QFileInfo::exists("big/m1000")))
                QThread::msleep(1);
        });
        UnzipArchive("big.zip", "big", 1, 0, 0, 1, 1000, 1000);
        QVERIFY(extractedWhileBusy);
        QCOMPARE(QDir("big").entryList({"m1", "m10", "other"}), QStringList{"m10"});
        QCOMPARE(UnzipStatus, PK_WARN);
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, "1");
    }

    void cancel_data()
    {
        QTest::addColumn<int>("way");
        int way = 0;
        for (const char* name : {"Cancel", "Esc", "close box", "program told to quit"})
            QTest::newRow(name) << way++;
    }

    // Cancel, or the program told to quit, stops after the member being written with the status of a user's
    // interruption, asks nothing more and shows no box; the window stays until the extraction has stopped.
    void cancel()
    {
        QFETCH(int, way);
        QVERIFY(writeArchive("c.zip", emptyMembers(10)));
        QVERIFY(m_work->write("dest/m1", "old") && m_work->write("dest/m9", "old"));
        setUnzipProgressDelay(0);
        const auto findProgressWindow = [] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<UnzipProgress*>(widget); progress && progress->isVisible())
                    return progress;
            return static_cast<UnzipProgress*>(nullptr);
        };
        // The replace query of m1, asked on the window's thread with the progress window showing, holds the
        // extraction while the user cancels. Every box is kept, with what the progress window showed then.
        QStringList boxes;
        QThread* askedOn = nullptr;
        bool closedEarly = false;
        Platform::setMessageBoxHook([&](const Platform::MessageRequest& request) {
            boxes.append(request.text);
            if (request.buttons != Platform::MessageButtons::YesNoCancel)
                return Platform::MessageAnswer::Ok;
            askedOn = QThread::currentThread();
            UnzipProgress* window = nullptr;
            [&] { QTRY_VERIFY((window = findProgressWindow())); }();
            if (!window)
                return Platform::MessageAnswer::Cancel;
            boxes.append(window->Status->text());
            if (way == 0)
                QTest::mouseClick(window->Cancel, Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(window, Qt::Key_Escape);
            else if (way == 2)
                closedEarly = window->close();
            else
                QCoreApplication::exit(0);
            return Platform::MessageAnswer::Yes;
        });
        UnzipArchive("c.zip", "dest", 1, 0, 0, 1, 0, 0);
        Platform::setMessageBoxHook({});
        QCOMPARE(boxes, (QStringList{"Overwrite dest/m1?", UnzipProgress::extractingText() + " c.zip\n1 of 10 files"}));
        QCOMPARE(askedOn, QApplication::instance()->thread());
        QVERIFY(!closedEarly);
        QCOMPARE(QList<QByteArray>({m_work->read("dest/m1"), m_work->read("dest/m9")}), QList<QByteArray>({"", "old"}));
        QCOMPARE(findProgressWindow(), nullptr);
        // Where the library stops is tst_unzip32's.
        QCOMPARE(UnzipStatus, IZ_CTRLC);
        // Running the application's loop once clears a request to quit for the tests that follow.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestUnzipModule)
#include "tst_unzipmodule.moc"
