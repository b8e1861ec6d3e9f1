#include "OptionFrm.h"
#include "PreferencesFile.h"
#include "WorkFolder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

namespace {

// What Disable Vesa disables, with the slider that Auto disables.
const QStringList withoutVesa = {"Fbanked", "Flinear", "Res10", "Res11", "Res2",  "Res3",
                                 "Res4",    "Res7",    "Res8",  "Res9",  "Slide", "V6Bit"};

} // namespace

class TestOptionFrm : public QObject
{
    Q_OBJECT

private slots:
    // Each test starts with a fresh folder and an enabled main window.
    void cleanup()
    {
        delete m_frm;
        m_work.reset(new WorkFolder);
        m_main.setEnabled(true);
    }

    void defaultsAndEnableRules()
    {
        open();
        QCOMPARE(m_frm->preferences(), Preferences{});

        // Auto is checked, so only the slider waits for it to be unchecked.
        QCOMPARE(click({}), QStringList({"Slide"}));
        QCOMPARE(click({"Frames"}), QStringList());
        QCOMPARE(click({"Frames", "Novesa"}), withoutVesa);
        QCOMPARE(click({"Novesa"}), QStringList({"Slide"}));
        QCOMPARE(click({"Flinear"}), QStringList({"Fbanked", "Slide"}));
        QCOMPARE(click({"Flinear"}), QStringList({"Slide"}));
        QCOMPARE(click({"Fbanked"}), QStringList({"Flinear", "Slide"}));
        // Enabling again does not look at the other boxes: both Force boxes can end up checked.
        QCOMPARE(click({"Novesa", "Novesa", "Flinear"}), QStringList({"Fbanked", "Slide"}));
        QVERIFY(m_frm->preferences().forceLinear && m_frm->preferences().forceBanked);
    }

    void closing_data()
    {
        QTest::addColumn<bool>("writes");
        // The close box closes the way Cancel does, through the dialog's close().
        for (const char* how : {"OK", "Cancel"})
            QTest::newRow(how) << (how == QByteArray("OK"));
    }

    // OK writes what the controls say and, as it was read, what they do not change: the user's own
    // switches after a comma, and bytes of another code page.
    void closing()
    {
        QFETCH(bool, writes);
        const QByteArray how = QTest::currentDataTag();
        const QByteArray file = "-res 384 224\r\n-frameskip 5\r\n-vsync OFF\r\n-novesa\r\n-setinput 1 SNESPAD1\r\n"
                                "-setinput 2 key1\r\nother\r\n-sound 1, -joy 2, -cfg caf\xE9.cfg\r\n";
        open(file);
        // Controls read from the file follow the same rules; the frame count read leaves Auto unchecked.
        QStringList disabled = withoutVesa;
        disabled.removeOne("Slide");
        QCOMPARE(click({}), disabled);
        // What Disable Vesa disables is still written when it is selected.
        click({"VSync", "Novesa", "Res10", "Novesa", "Swap3"});
        // Player 1 picks the next device of the list, which follows the device read; player 2 gets a typed
        // text that is no device.
        QTest::keyClick(player(0), Qt::Key_Down);
        player(1)->clearEditText();
        QTest::keyClicks(player(1)->lineEdit(), QStringLiteral("keyboard 1"));
        QTest::keyClick(control<QWidget>("Other"), Qt::Key_End);
        QTest::keyClicks(control<QWidget>("Other"), QStringLiteral(", -cheat"));

        // Enter and Esc press no button, and Enter does not turn the typed text into the device it resembles.
        QTest::keyClick(player(1)->lineEdit(), Qt::Key_Return);
        QTest::keyClick(player(1)->lineEdit(), Qt::Key_Escape);
        QVERIFY(m_frm->isVisible());
        click({how.constData()});
        QVERIFY(m_main.isEnabled());
        QTRY_VERIFY(m_frm.isNull());
        const QString name = writes ? QStringLiteral("Gantrel.ini") : QStringLiteral("GANTREL.INI");
        QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{name});
        QCOMPARE(m_work->read(name), writes ? QByteArray("-res 640 480\r\n-frameskip 5\r\n-mmxcopy\r\n-vsync ON\r\n"
                                                         "-novesa\r\n-setinput 1 SNESPAD2\r\nother\r\n"
                                                         "-sound 1, -joy 2, -cfg caf\xE9.cfg, -cheat\r\n")
                                            : file);
    }

private:
    void open(const QByteArray& file = {})
    {
        if (!file.isNull())
            QVERIFY(m_work->write("GANTREL.INI", file));
        m_frm = new OptionFrm(&m_main, m_work->dir());
        Platform::showDialog(&m_main, m_frm);
        QVERIFY(!m_main.isEnabled() && m_frm->isVisible());
    }
    template <typename T> T* control(const char* name) const { return m_frm->findChild<T*>(QLatin1String(name)); }
    QComboBox* player(int index) const { return m_frm->findChildren<QComboBox*>(QStringLiteral("Player")).at(index); }
    // Clicks the buttons in turn, then names the disabled controls.
    QStringList click(std::initializer_list<const char*> names) const
    {
        for (const char* name : names) {
            auto* button = control<QAbstractButton>(name);
            if (!button)
                return {QStringLiteral("no control ") + QLatin1String(name)};
            // Where the box or the round button is drawn, at the left end of the control.
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        }
        QStringList off;
        for (const QWidget* w : m_frm->findChildren<QWidget*>()) {
            if (!w->isEnabled() && !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
                off.append(w->objectName());
        }
        off.sort();
        return off;
    }

    QScopedPointer<WorkFolder> m_work{new WorkFolder};
    QWidget m_main;
    QPointer<OptionFrm> m_frm;
};

QTEST_MAIN(TestOptionFrm)
#include "tst_optionfrm.moc"
