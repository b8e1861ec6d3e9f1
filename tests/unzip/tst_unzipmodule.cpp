#include "ArchiveMaker.h"
#include "MessageBoxSpy.h"
#include "UnzipModule.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Notes every progress window that is shown, with its texts at that moment.
class ShowWatcher final : public QObject
{
public:
    QStringList shown;
    QList<QPointer<QWidget>> windows;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("UnzipProgress")) {
            auto* window = static_cast<QWidget*>(watched);
            shown.append(window->windowTitle() + QLatin1Char('|') + window->findChild<QLabel*>("Status")->text());
            windows.append(window);
        }
        return false;
    }
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// What the launcher does before every extraction.
void resetModule()
{
    UnzipNewLine = CrLf;
    UnzipMessages = QString();
    UnzipListCount = 0;
    UnzipIncludeNames[0] = QString();
    UnzipExcludeNames[0] = QString();
}

QString blanks(int count)
{
    return QString(count, QLatin1Char(' '));
}

} // namespace

class TestUnzipModule final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_previous;

    QString path(const QString& relative) const { return m_dir->filePath(relative); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        resetModule();
        UnzipListing = QString();
        setUnzipProgressDelay(500);
    }

    void cleanup()
    {
        QDir::setCurrent(m_previous);
        delete m_dir;
        m_dir = nullptr;
    }

    void launcherExtraction()
    {
        MessageBoxSpy spy;
        QVERIFY(QDir().mkpath(path("roms")));
        QVERIFY(writeArchive(path("roms/sf2t.zip"),
                             {{QStringLiteral("sf2t.03"), "three"}, {QStringLiteral("gfx/sf2t.06"), "six"}}));
        QVERIFY(writeFile(path("sf2t/sf2t.03"), "old"));
        UnzipArchive(QStringLiteral(".\\roms\\sf2t"), QStringLiteral("sf2t"), 0, 1, 0, 1, 0, 0);
        QVERIFY(spy.requests().isEmpty());
        QCOMPARE(readFile(path("sf2t/sf2t.03")), QByteArray("three"));
        QCOMPARE(readFile(path("sf2t/gfx/sf2t.06")), QByteArray("six"));
        QVERIFY(UnzipMessages.contains(QStringLiteral("sf2t.03")));
    }

    void fillsTheRecords_data()
    {
        QTest::addColumn<int>("prompt");
        QTest::addColumn<int>("overwrite");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("dirs");
        QTest::newRow("launcher's values") << 0 << 1 << 0 << 1;
        QTest::newRow("the other way round") << 1 << 0 << 1 << 0;
        QTest::newRow("sign kept") << -1 << -2 << -3 << -4;
    }

    void fillsTheRecords()
    {
        QFETCH(int, prompt);
        QFETCH(int, overwrite);
        QFETCH(int, list);
        QFETCH(int, dirs);
        MessageBoxSpy spy;
        std::memset(&UnzipOptions, 0x7f, sizeof UnzipOptions);
        std::memset(&UnzipCallbacks, 0x7f, sizeof UnzipCallbacks);
        UnzipArchive(QStringLiteral("missing.zip"), QStringLiteral("dest"), qint16(prompt), qint16(overwrite),
                     qint16(list), qint16(dirs), 0, 0);
        const DCL& o = UnzipOptions;
        const QList<int> flags{o.ExtractOnlyNewer,
                               o.SpaceToUnderscore,
                               o.PromptToOverwrite,
                               o.fQuiet,
                               o.ncflag,
                               o.ntflag,
                               o.nvflag,
                               o.nfflag,
                               o.nzflag,
                               o.ndflag,
                               o.noflag,
                               o.naflag,
                               o.nZIflag,
                               o.C_flag,
                               o.fPrivilege};
        QCOMPARE(flags, (QList<int>{0, 0, prompt, 0, 0, 0, list, 0, 0, dirs, overwrite, 0, 0, 0, 0}));
        QCOMPARE(QByteArray(o.lpszZipFN), QByteArray("missing.zip"));
        QCOMPARE(QByteArray(o.lpszExtractDir), QByteArray("dest"));
        QVERIFY(UnzipCallbacks.print == UnzipPrintCallback);
        QVERIFY(UnzipCallbacks.sound == nullptr);
        QVERIFY(UnzipCallbacks.replace == UnzipReplaceCallback);
        QVERIFY(UnzipCallbacks.password == UnzipPasswordCallback);
        QVERIFY(UnzipCallbacks.SendApplicationMessage == UnzipListCallback);
        QVERIFY(UnzipCallbacks.ServCallBk == nullptr);
        QCOMPARE(UnzipVersionInfo.structlen, 64ul);
        QVERIFY(!QFileInfo::exists(path("dest")));
    }

    void nullTextsReachTheLibraryAsNull()
    {
        MessageBoxSpy spy;
        UnzipArchive(QString(), QString(), 0, 1, 0, 1, 0, 0);
        QVERIFY(UnzipOptions.lpszZipFN == nullptr);
        QVERIFY(UnzipOptions.lpszExtractDir == nullptr);
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QStringLiteral("10"));
    }

    void statusBox_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");
        QTest::newRow("missing archive") << QByteArray() << "9"
                                         << "cannot find either roms/x or roms/x.zip";
        QTest::newRow("not a zip") << QByteArray(3000, 'z') << "9"
                                   << "not a usable zip archive";
    }

    void statusBox()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, text);
        QFETCH(QString, detail);
        if (!archive.isNull())
            QVERIFY(writeFile(path("roms/x.zip"), archive));
        MessageBoxSpy spy;
        UnzipArchive(QStringLiteral("roms/x"), QStringLiteral("x"), 0, 1, 0, 1, 0, 0);
        QCOMPARE(spy.requests().size(), 1);
        const Platform::MessageRequest& box = spy.requests().first();
        QCOMPARE(box.text, text);
        QCOMPARE(box.caption, QStringLiteral("Gantrel"));
        QCOMPARE(box.buttons, Platform::MessageButtons::Ok);
        QVERIFY2(box.details.contains(detail), qPrintable(box.details));
    }

    void spoiltMemberGivesItsStatus()
    {
        QByteArray rom(300000, Qt::Uninitialized);
        for (int i = 0; i < rom.size(); ++i)
            rom[i] = char((quint32(i) * 7919u) % 251u);
        QVERIFY(writeArchive(path("s.zip"), {{QStringLiteral("a.rom"), rom}}));
        QByteArray bytes = readFile(path("s.zip"));
        QVERIFY(writeFile(path("s.zip"), bytes.replace(500, 100, QByteArray(100, '\x33'))));
        MessageBoxSpy spy;
        UnzipArchive(QStringLiteral("s.zip"), QStringLiteral("s"), 0, 1, 0, 1, 0, 0);
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QString::number(PK_ERR));
        QVERIFY(!QFileInfo::exists(path("s/a.rom")));
    }

    void replaceQuery_data()
    {
        QTest::addColumn<Platform::MessageAnswer>("answer");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("shown");
        QTest::newRow("yes") << Platform::MessageAnswer::Yes << QByteArray("game/a.rom") << 102 << "game/a.rom";
        QTest::newRow("no") << Platform::MessageAnswer::No << QByteArray("game/a.rom") << 100 << "game/a.rom";
        QTest::newRow("cancel or closed")
            << Platform::MessageAnswer::Cancel << QByteArray("game/a.rom") << 104 << "game/a.rom";
        QTest::newRow("at most 256 bytes read")
            << Platform::MessageAnswer::Yes << QByteArray(300, 'n') << 102 << QString(256, QLatin1Char('n'));
    }

    void replaceQuery()
    {
        QFETCH(Platform::MessageAnswer, answer);
        QFETCH(QByteArray, name);
        QFETCH(int, result);
        QFETCH(QString, shown);
        MessageBoxSpy spy;
        spy.queueAnswer(answer);
        QCOMPARE(UnzipReplaceCallback(name.data()), result);
        QCOMPARE(spy.requests().size(), 1);
        const Platform::MessageRequest& box = spy.requests().first();
        QCOMPARE(box.text, "Overwrite " + shown + "?");
        QCOMPARE(box.caption, QStringLiteral("VBUnzip - File already exists"));
        QCOMPARE(box.buttons, Platform::MessageButtons::YesNoCancel);
    }

    void replaceQueryDuringExtraction()
    {
        QVERIFY(writeArchive(path("r.zip"), {{QStringLiteral("a.rom"), "newa"}, {QStringLiteral("b.rom"), "newb"}}));
        QVERIFY(writeFile(path("r/a.rom"), "olda"));
        QVERIFY(writeFile(path("r/b.rom"), "oldb"));
        MessageBoxSpy spy;
        spy.queueAnswer(Platform::MessageAnswer::Yes);
        spy.queueAnswer(Platform::MessageAnswer::Cancel);
        UnzipArchive(QStringLiteral("r.zip"), QStringLiteral("r"), 1, 0, 0, 1, 0, 0);
        QCOMPARE(spy.requests().size(), 2);
        QCOMPARE(spy.requests().at(0).text, QStringLiteral("Overwrite r/a.rom?"));
        QCOMPARE(spy.requests().at(1).text, QStringLiteral("Overwrite r/b.rom?"));
        QCOMPARE(readFile(path("r/a.rom")), QByteArray("newa"));
        QCOMPARE(readFile(path("r/b.rom")), QByteArray("oldb"));
    }

    void printCallback_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("collected");
        QTest::newRow("stops at NUL") << QByteArray("abc\0def", 7) << 7 << "abc";
        QTest::newRow("reads the index equal to the length") << QByteArray("abcdef") << 2 << "abc";
        QTest::newRow("long text cut") << QByteArray(40000, 'x') << 40000 << QString(32801, QLatin1Char('x'));
        QTest::newRow("length beyond the cut")
            << QByteArray(32801, 'y') + "\0zz" << 32803 << QString(32801, QLatin1Char('y'));
    }

    void printCallback()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(int, size);
        QFETCH(QString, collected);
        UnzipMessages = QStringLiteral("before|");
        QCOMPARE(UnzipPrintCallback(buffer.data(), static_cast<unsigned long>(size)), 0);
        QCOMPARE(UnzipMessages, QStringLiteral("before|") + collected);
    }

    void passwordCallback()
    {
        char buffer[8] = "keep";
        QCOMPARE(UnzipPasswordCallback(buffer, sizeof buffer, "Enter password for: ", "a.rom"), 1);
        QCOMPARE(QByteArray(buffer), QByteArray("keep"));
    }

    void encryptedMemberGetsNoPassword()
    {
        if (!canEncrypt())
            QSKIP("this libzip cannot write encrypted members");
        QVERIFY(writeArchive(path("e.zip"), {{QStringLiteral("open.rom"), "open"},
                                             {QStringLiteral("locked.rom"), "locked", false, true}}));
        MessageBoxSpy spy;
        UnzipArchive(QStringLiteral("e.zip"), QStringLiteral("e"), 0, 1, 0, 1, 0, 0);
        QCOMPARE(readFile(path("e/open.rom")), QByteArray("open"));
        QVERIFY(!QFileInfo::exists(path("e/locked.rom")));
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QString::number(IZ_BADPWD));
    }

    void listingLines()
    {
        const QByteArray sixty = QByteArray("0123456789").repeated(6);
        UnzipListCallback(1234, 1000, 19, 3, 5, 98, 9, 7, ' ', sixty.constData(), "Defl:N", 0, 0);
        UnzipListCallback(12345678, 1, 99, 12, 25, 2005, 23, 59, ' ', "eight.rom", "Stored", 0, 0);
        UnzipListCallback(1234567, 1, 0, 1, 1, 2000, 0, 0, ' ', "seven.rom", "Stored", 0, 0);
        const QString header = "Filename:" + blanks(43) + "Size" + blanks(5) + "Date" + blanks(5) + "Time" + blanks(6);
        const QString first =
            QString::fromLatin1(sixty.left(50)) + "   1234" + blanks(2) + " 5/03/98" + blanks(2) + " 9:07" + blanks(6);
        const QString second =
            "eight.rom" + blanks(41) + "2345678" + blanks(2) + "25/12/05" + blanks(2) + "23:59" + blanks(6);
        const QString third =
            "seven.rom" + blanks(41) + "1234567" + blanks(2) + " 1/01/00" + blanks(2) + " 0:00" + blanks(6);
        QCOMPARE(header.size(), 80);
        QCOMPARE(first.size(), 80);
        QCOMPARE(UnzipListing, header + CrLf + first + CrLf + second + CrLf + third + CrLf);
        QCOMPARE(UnzipListCount, 3);
    }

    void listingThroughTheLibrary()
    {
        const QDateTime when(QDate(1998, 3, 5), QTime(9, 7, 0));
        QVERIFY(
            writeArchive(path("l.zip"), {{QStringLiteral("a.rom"), QByteArray(1234, 'a'), false, false, false, when},
                                         {QStringLiteral("b.rom"), "b", true, false, false, when}}));
        UnzipListing = QStringLiteral("left over from before");
        MessageBoxSpy spy;
        UnzipArchive(QStringLiteral("l.zip"), QStringLiteral("l"), 0, 0, 1, 0, 0, 0);
        QVERIFY(spy.requests().isEmpty());
        QVERIFY(!QFileInfo::exists(path("l")));
        const QStringList lines = UnzipListing.split(CrLf);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(0).startsWith("Filename:"));
        QCOMPARE(lines.at(1),
                 "a.rom" + blanks(45) + "   1234" + blanks(2) + " 5/03/98" + blanks(2) + " 9:07" + blanks(6));
        QVERIFY(lines.at(2).startsWith("b.rom" + blanks(45) + "      1"));
        QCOMPARE(lines.at(3), QString());
        QCOMPARE(UnzipListCount, 2);

        // A second listing without a reset carries on without a new header.
        UnzipArchive(QStringLiteral("l.zip"), QStringLiteral("l"), 0, 0, 1, 0, 0, 0);
        QCOMPARE(UnzipListing.count(QStringLiteral("Filename:")), 1);
        QCOMPARE(UnzipListCount, 4);
    }

    void includeNames()
    {
        QVERIFY(writeArchive(path("i.zip"), {{QStringLiteral("a.rom"), "a"}, {QStringLiteral("b.rom"), "b"}}));
        MessageBoxSpy spy;
        UnzipIncludeNames[0] = QStringLiteral("b.rom");
        UnzipArchive(QStringLiteral("i.zip"), QStringLiteral("i"), 0, 1, 0, 1, 1, 0);
        QVERIFY(!QFileInfo::exists(path("i/a.rom")));
        QCOMPARE(readFile(path("i/b.rom")), QByteArray("b"));

        // Counts beyond the table are cut to its size; the null entries are passed over.
        UnzipIncludeNames[0] = QString();
        UnzipExcludeNames[0] = QStringLiteral("b.rom");
        UnzipArchive(QStringLiteral("i.zip"), QStringLiteral("j"), 0, 1, 0, 1, 0, 1000);
        QCOMPARE(readFile(path("j/a.rom")), QByteArray("a"));
        QVERIFY(!QFileInfo::exists(path("j/b.rom")));
        QVERIFY(spy.requests().isEmpty());
        UnzipExcludeNames[0] = QString();
    }

    void progressWindow()
    {
        ShowWatcher watcher;
        qApp->installEventFilter(&watcher);
        QVERIFY(writeArchive(path("p.zip"), {{QStringLiteral("a.rom"), "a"}, {QStringLiteral("b.rom"), "b"}}));
        MessageBoxSpy spy;

        // A quick extraction shows nothing.
        UnzipArchive(QStringLiteral("p.zip"), QStringLiteral("fast"), 0, 1, 0, 1, 0, 0);
        QVERIFY(watcher.shown.isEmpty());

        // Once the delay has passed the window appears, and it is gone when the call returns.
        setUnzipProgressDelay(0);
        UnzipArchive(QStringLiteral("p.zip"), QStringLiteral("slow"), 0, 1, 0, 1, 0, 0);
        qApp->removeEventFilter(&watcher);
        QCOMPARE(watcher.shown, QStringList{QStringLiteral("Gantrel|Extracting p.zip\n1 of 2 files")});
        QVERIFY(watcher.windows.first().isNull());
        QCOMPARE(readFile(path("slow/b.rom")), QByteArray("b"));
        QVERIFY(spy.requests().isEmpty());
    }

    void progressBarFollowsTheMembers()
    {
        QList<ArchiveMember> members;
        for (int i = 0; i < 4; ++i)
            members.append({QStringLiteral("m%1.rom").arg(i), QByteArray(100, char('a' + i))});
        QVERIFY(writeArchive(path("q.zip"), members));
        setUnzipProgressDelay(0);
        // The replace query of the third member shows while the window is up: read the bar then.
        QVERIFY(writeFile(path("q/m2.rom"), "old"));
        int barValue = -1;
        QString label;
        Platform::setMessageBoxHook([&](const Platform::MessageRequest&) {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QLatin1String("UnzipProgress") && widget->isVisible()) {
                    barValue = widget->findChild<QProgressBar*>("Bar")->value();
                    label = widget->findChild<QLabel*>("Status")->text();
                }
            }
            return Platform::MessageAnswer::Yes;
        });
        UnzipArchive(QStringLiteral("q.zip"), QStringLiteral("q"), 1, 0, 0, 1, 0, 0);
        Platform::setMessageBoxHook({});
        QCOMPARE(label, QStringLiteral("Extracting q.zip\n2 of 4 files"));
        QCOMPARE(barValue, 500);
        QCOMPARE(readFile(path("q/m2.rom")), QByteArray(100, 'c'));
    }
};

QTEST_MAIN(TestUnzipModule)
#include "tst_unzipmodule.moc"
