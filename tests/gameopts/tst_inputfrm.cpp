#include "GameConfig.h"
#include "Inputfrm.h"
#include "LocalText.h"
#include "MessageBoxSpy.h"
#include "WorkFolder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestInputfrm : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_work.reset(new WorkFolder); }
    void cleanup() { delete m_frm; }
    void editsEachDevice()
    {
        QVERIFY(m_work->write("GAME.INI", "; dip switches\r\n-dip 1F 2E 3D\r\n; button mappings\r\n"
                                          "-remapbut       JOY1 5 0\r\n-remapbut       JOY2 0 1\r\n"));
        open();
        // Typing, even a whole caption, picks no device: the first joystick's two buttons still bound the bar.
        QLineEdit* typed = child<QComboBox>("Dev")->lineEdit();
        QTest::keyClick(typed, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(typed, GameDevices::caption(7));
        QTest::keyClick(typed, Qt::Key_Return);
        clickArrow("SA", 1);
        QCOMPARE(fields(), QStringList({"1", "0", "None", "None", "None", "None", "None", "None", "1F", "2E", "3D"}));

        // Entries past a device's last button are set back to it; each device keeps its own.
        pick(3);
        clickArrow("SA", 5);
        clickArrow("SB", 2);
        pick(7);
        clickArrow("SH", 11);
        clickArrow("SD", 2);
        clickArrow("SD", -3);
        pick(3);
        // A third character in a DIP field resets it.
        QTest::keyClick(child<QLineEdit>("dip2"), Qt::Key_End);
        QTest::keyClicks(child<QLineEdit>("dip2"), QStringLiteral("7"));
        QCOMPARE(fields(), QStringList({"3", "1", "None", "None", "None", "None", "None", "None", "1F", "00", "3D"}));

        // A failed save says why, and the dialog stays open with the edits.
        QVERIFY(m_work->makeFolder("game.ini"));
        QCOMPARE(close(QStringLiteral("OK")).size(), 1);
        QVERIFY(m_frm->isVisible());
        QVERIFY(QDir(m_work->filePath("game.ini")).removeRecursively());
        QVERIFY(close(QStringLiteral("OK")).isEmpty());
        const QList<QByteArray> lines = m_work->read("game.ini").split('\n');
        QCOMPARE(QList<QByteArray>({lines[5], lines[7], lines[11], lines[14]}),
                 QList<QByteArray>({"-remapbut       JOY1 1 0\r", "-remapbut    4BUTTON 3 1 255 255 255 255 255 255\r",
                                    "-remapbut SIDEWINDER 255 255 255 255 255 255 255 9\r", "-dip 1F 00 3D\r"}));
    }

    void closes_data()
    {
        QTest::addColumn<QString>("how");
        // The close box closes the way Cancel does, through the dialog's close().
        for (const char* how : {"OK", "Cancel"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }

    // OK and Cancel give the main window back; only OK writes. Entries whose bar does not move, even
    // on the device shown, and bytes of another code page are written back as read. Saving for a set without
    // a file is the main window's suite's.
    void closes()
    {
        QFETCH(QString, how);
        GameConfig config;
        config.k[1] = {"+1", "00", "-1", "-1", "-1", "-1", "-1", "-1"};
        config.k[3] = {"03", "-1", "-1", "-1", "-1", "-1", "-1", "0002"};
        config.dip1 = Platform::decodeLocal("\xE9\xE9");
        const QByteArray file = LineWriter::encode(gameConfigLines(config));
        QVERIFY(m_work->write("Game.ini", file));
        open();
        pick(3);
        QVERIFY(close(how).isEmpty());
        QVERIFY(m_main.isEnabled());
        QTRY_VERIFY(m_frm.isNull());
        const QString name = how == QLatin1String("OK") ? QStringLiteral("game.ini") : QStringLiteral("Game.ini");
        QCOMPARE(m_work->dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{name});
        QCOMPARE(m_work->read(name), file);
    }

private:
    template <typename T> T* child(const char* name) const { return m_frm->findChild<T*>(QLatin1String(name)); }
    // Opens the dialog on the set.
    void open()
    {
        m_frm = new Inputfrm(&m_main, QStringLiteral("game"), m_work->dir());
        Platform::showDialog(&m_main, m_frm);
        QVERIFY(QTest::qWaitForWindowExposed(m_frm));
    }

    // Picks an entry of the device list with the arrow keys.
    void pick(int device)
    {
        auto* dev = child<QComboBox>("Dev");
        for (int step = 0; step < GameDevices::Count && dev->currentIndex() != device - 1; ++step)
            QTest::keyClick(dev, dev->currentIndex() < device - 1 ? Qt::Key_Down : Qt::Key_Up);
    }

    // Clicks the arrow at the lower end of a bar, which raises its number, or for negative times the upper one.
    void clickArrow(const char* name, int times)
    {
        auto* bar = child<QScrollBar>(name);
        for (int i = 0; i < qAbs(times); ++i)
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, times > 0 ? bar->height() - 2 : 1));
    }

    // The eight button fields, then the three DIP fields.
    QStringList fields() const
    {
        QStringList texts;
        for (const char* name : {"FA", "FB", "FC", "FD", "FE", "FF", "FG", "FH", "dip1", "dip2", "dip3"})
            texts.append(child<QLineEdit>(name)->text());
        return texts;
    }

    // Clicks OK or Cancel; returns the message boxes that came up.
    QList<Platform::MessageRequest> close(const QString& how)
    {
        MessageBoxSpy spy;
        QTest::mouseClick(child<QPushButton>(qPrintable(how)), Qt::LeftButton);
        return spy.requests();
    }

    QScopedPointer<WorkFolder> m_work;
    QWidget m_main;
    QPointer<Inputfrm> m_frm;
};

QTEST_MAIN(TestInputfrm)
#include "tst_inputfrm.moc"
