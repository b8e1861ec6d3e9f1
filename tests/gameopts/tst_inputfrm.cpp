#include "DialogForm.h"
#include "FormLayout.h"
#include "Inputfrm.h"
#include "MessageBoxSpy.h"
#include "WorkFolder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>

namespace {

const QStringList deviceCaptions = {
    "Joystick 1 (2 Butt)",  "Joystick 2 (2 Butt)",  "Joystick\\Joypad (4 Butt)",     "Joystick\\Joypad (6 Butt)",
    "GrIP Slot 1 (8 Butt)", "GrIP Slot 2 (8 Butt)", "Microsoft SideWinder (10 Butt)"};

const char* const fieldNames[] = {"FA", "FB", "FC", "FD", "FE", "FF", "FG", "FH"};
const char* const barNames[] = {"SA", "SB", "SC", "SD", "SE", "SF", "SG", "SH"};

const QByteArray handWritten = "; my own notes\r\n"
                               "; keyboard scan codes\r\n"
                               "-keys 1 2 3\r\n"
                               "-keys 4 5 6\r\n"
                               "; button mappings\r\n"
                               "-remapbut       JOY1 1 0\r\n";

} // namespace

class TestInputfrm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensWithDefaults();
    void setBackToLastButton_data();
    void setBackToLastButton();
    void noneWrittenAs255();
    void entriesKeptAcrossDevices();
    void loadedEntrySetBack();
    void dipFields();
    void typedDeviceChangesNothing();
    void closingWithoutSaving_data();
    void closingWithoutSaving();
    void failedWriteKeepsDialogOpen();
    void noSetName();

private:
    void open(const QString& romname = QStringLiteral("game"));
    void pick(int device);
    void clickArrow(const char* bar, bool raise, int times = 1);
    QString field(const char* name) const;
    void clickOk();
    QByteArray fileLine(int index) const;

    QScopedPointer<WorkFolder> m_work;
    QScopedPointer<QWidget> m_main;
    QPointer<Inputfrm> m_frm;
};

void TestInputfrm::init()
{
    m_work.reset(new WorkFolder);
    m_main.reset(new QWidget);
    m_main->show();
}

void TestInputfrm::cleanup()
{
    delete m_frm;
    m_main.reset();
}

void TestInputfrm::open(const QString& romname)
{
    m_frm = new Inputfrm(m_main.data(), romname, m_work->dir());
    Platform::showDialog(m_main.data(), m_frm);
    QVERIFY(!m_main->isEnabled());
    QVERIFY(QTest::qWaitForWindowExposed(m_frm));
}

// Picks an entry of the device list with the mouse, as the user does.
void TestInputfrm::pick(int device)
{
    auto* dev = m_frm->findChild<QComboBox*>(QStringLiteral("Dev"));
    dev->showPopup();
    QAbstractItemView* view = dev->view();
    QTRY_VERIFY(view->isVisible());
    const QRect item = view->visualRect(view->model()->index(device - 1, 0));
    QTest::mouseMove(view->viewport(), item.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(dev->currentText(), deviceCaptions[device - 1]);
}

// Clicks the arrow of a bar that raises its number (the lower one) or lowers it.
void TestInputfrm::clickArrow(const char* name, bool raise, int times)
{
    auto* bar = m_frm->findChild<QScrollBar*>(QLatin1String(name));
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    const QRect arrow = bar->style()->subControlRect(
        QStyle::CC_ScrollBar, &option, raise ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine, bar);
    QVERIFY(!arrow.isEmpty());
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(bar, Qt::LeftButton, {}, arrow.center());
}

QString TestInputfrm::field(const char* name) const
{
    return m_frm->findChild<QLineEdit*>(QLatin1String(name))->text();
}

void TestInputfrm::clickOk()
{
    MessageBoxSpy spy;
    QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    QCOMPARE(spy.requests().size(), 0);
    QVERIFY(m_main->isEnabled());
    QTRY_VERIFY(m_frm.isNull());
}

// A line of the written game.ini, without its line end.
QByteArray TestInputfrm::fileLine(int index) const
{
    return m_work->read(QStringLiteral("game.ini")).split('\n').value(index).chopped(1);
}

void TestInputfrm::opensWithDefaults()
{
    open();
    QCOMPARE(m_frm->windowTitle(), QStringLiteral("Set Game Options"));
    QVERIFY(m_frm->windowFlags().testFlag(Qt::Tool));
    QVERIFY(!m_frm->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QCOMPARE(m_frm->size(), QSize(465, 301));
    QVERIFY(m_frm->parentWidget() == nullptr);

    auto* dev = m_frm->findChild<QComboBox*>(QStringLiteral("Dev"));
    QVERIFY(dev->isEditable());
    QCOMPARE(dev->currentText(), deviceCaptions[0]);
    QStringList listed;
    for (int i = 0; i < dev->count(); ++i)
        listed.append(dev->itemText(i));
    QCOMPARE(listed, deviceCaptions);

    for (int input = 0; input < 8; ++input) {
        QCOMPARE(field(fieldNames[input]), QStringLiteral("None"));
        auto* bar = m_frm->findChild<QScrollBar*>(QLatin1String(barNames[input]));
        QCOMPARE(bar->value(), -1);
        QCOMPARE(bar->minimum(), -1);
        QCOMPARE(bar->maximum(), 10);
        QCOMPARE(bar->orientation(), Qt::Vertical);
    }
    for (const char* dip : {"dip1", "dip2", "dip3"})
        QCOMPARE(field(dip), QStringLiteral("00"));

    // The bars of the left column line up, SA on the window and the others in the frame.
    const auto* frame1 = m_frm->findChild<QGroupBox*>(QStringLiteral("Frame1"));
    const auto* sa = m_frm->findChild<QScrollBar*>(QStringLiteral("SA"));
    const auto* sb = m_frm->findChild<QScrollBar*>(QStringLiteral("SB"));
    QCOMPARE(sa->parentWidget(), m_frm.data());
    QCOMPARE(sb->parentWidget(), frame1);
    QCOMPARE(sa->geometry(), Platform::twipsRect(1380, 1080, 255, 375));
    QCOMPARE(sa->x(), frame1->x() + sb->x());
    QCOMPARE(m_frm->findChild<QLineEdit*>(QStringLiteral("FH"))->geometry(), Platform::twipsRect(2280, 2520, 615, 375));
    QCOMPARE(m_frm->findChild<QLabel*>(QStringLiteral("LabelFG"))->text(), QStringLiteral("Start:"));
    QCOMPARE(m_frm->findChild<QLabel*>(QStringLiteral("LabelFG"))->geometry(),
             Platform::twipsRect(120, 2640, 615, 255));
    QCOMPARE(m_frm->findChild<QPushButton*>(QStringLiteral("OK"))->geometry(),
             Platform::twipsRect(60, 3960, 1695, 495));
    QVERIFY(m_frm->findChild<QPushButton*>(QStringLiteral("OK"))->font().bold());

    // The keyboard panel is there but takes no input.
    const auto* frame2 = m_frm->findChild<QGroupBox*>(QStringLiteral("Frame2"));
    QCOMPARE(frame2->title(), QStringLiteral("Keyboard Mapping"));
    QVERIFY(frame2->isVisible());
    QVERIFY(!frame2->isEnabled());
    QVERIFY(m_frm->findChild<QRadioButton*>(QStringLiteral("Key1"))->isChecked());
    QVERIFY(!m_frm->findChild<QRadioButton*>(QStringLiteral("Key2"))->isChecked());
    QVERIFY(m_frm->findChild<QLineEdit*>(QStringLiteral("Tprem"))->isHidden());
    for (const char* cell :
         {"UL", "UU", "UR", "LL", "RR", "DL", "DD", "DR", "BA", "BB", "BC", "BD", "BE", "BF", "BG", "BH"}) {
        const auto* label = m_frm->findChild<QLabel*>(QLatin1String(cell));
        QVERIFY2(label, cell);
        QCOMPARE(label->text(), QStringLiteral("None"));
    }
    QCOMPARE(m_frm->findChild<QLabel*>(QStringLiteral("BG"))->parentWidget()->geometry(),
             Platform::twipsRect(600, 3720, 975, 615));

    clickOk();
    QCOMPARE(fileLine(5), QByteArray("-remapbut       JOY1 255 255"));
    QCOMPARE(fileLine(14), QByteArray("-dip 00 00 00"));
}

void TestInputfrm::setBackToLastButton_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("4 buttons") << 3 << QByteArray("-remapbut    4BUTTON 3 255 255 255 255 255 255 2");
    QTest::newRow("SideWinder") << 7 << QByteArray("-remapbut SIDEWINDER 9 255 255 255 255 255 255 2");
}

void TestInputfrm::setBackToLastButton()
{
    QFETCH(int, device);
    QFETCH(QByteArray, line);
    open();
    pick(device);
    clickArrow("SA", true, 4);
    QCOMPARE(field("FA"), QStringLiteral("3"));
    // Up to the top of the bar: every position past the last button is set back to it.
    clickArrow("SA", true, 7);
    auto* sa = m_frm->findChild<QScrollBar*>(QStringLiteral("SA"));
    QCOMPARE(field("FA"), QString::number(device == 3 ? 3 : 9));
    QCOMPARE(sa->value(), device == 3 ? 3 : 9);
    clickArrow("SH", true, 3);
    QCOMPARE(field("FH"), QStringLiteral("2"));
    clickOk();
    QCOMPARE(fileLine(4 + device), line);
}

void TestInputfrm::noneWrittenAs255()
{
    open();
    pick(5);
    clickArrow("SC", true, 3);
    QCOMPARE(field("FC"), QStringLiteral("2"));
    clickArrow("SC", false, 3);
    QCOMPARE(field("FC"), QStringLiteral("None"));
    clickArrow("SC", false);
    QCOMPARE(field("FC"), QStringLiteral("None"));
    clickOk();
    QCOMPARE(fileLine(9), QByteArray("-remapbut      GRIP1 255 255 255 255 255 255 255 255"));
}

void TestInputfrm::entriesKeptAcrossDevices()
{
    open();
    clickArrow("SB", true, 2);
    pick(5);
    QCOMPARE(field("FB"), QStringLiteral("None"));
    clickArrow("SC", true, 8);
    pick(7);
    clickArrow("SH", true, 10);
    pick(2);
    clickArrow("SA", true);
    pick(1);
    QCOMPARE(field("FB"), QStringLiteral("1"));
    QCOMPARE(field("FC"), QStringLiteral("None"));
    pick(5);
    QCOMPARE(field("FC"), QStringLiteral("7"));
    QCOMPARE(field("FB"), QStringLiteral("None"));
    pick(7);
    QCOMPARE(field("FH"), QStringLiteral("9"));
    clickOk();
    const QByteArray expected = "-remapbut       JOY1 255 1\r\n"
                                "-remapbut       JOY2 0 255\r\n"
                                "-remapbut    4BUTTON 255 255 255 255 255 255 255 255\r\n"
                                "-remapbut    6BUTTON 255 255 255 255 255 255 255 255\r\n"
                                "-remapbut      GRIP1 255 255 7 255 255 255 255 255\r\n"
                                "-remapbut      GRIP2 255 255 255 255 255 255 255 255\r\n"
                                "-remapbut SIDEWINDER 255 255 255 255 255 255 255 9\r\n";
    QVERIFY(m_work->read(QStringLiteral("game.ini")).contains(expected));
}

void TestInputfrm::loadedEntrySetBack()
{
    QVERIFY(m_work->write(QStringLiteral("GAME.INI"), "; dip switches\r\n"
                                                      "-dip 1F 2E 3D\r\n"
                                                      "; button mappings\r\n"
                                                      "-remapbut       JOY1 5 0\r\n"
                                                      "-remapbut       JOY2 0 1\r\n"
                                                      "-remapbut    4BUTTON 3 x 42\r\n"));
    open();
    QCOMPARE(field("FA"), QStringLiteral("1"));
    QCOMPARE(field("FB"), QStringLiteral("0"));
    QCOMPARE(field("FC"), QStringLiteral("None"));
    QCOMPARE(field("dip1"), QStringLiteral("1F"));
    QCOMPARE(field("dip3"), QStringLiteral("3D"));
    // An entry the bar cannot show arrives at its top and is set back like any other.
    pick(3);
    QCOMPARE(field("FA"), QStringLiteral("3"));
    QCOMPARE(field("FB"), QStringLiteral("None"));
    QCOMPARE(field("FC"), QStringLiteral("3"));
    clickOk();
    QCOMPARE(fileLine(5), QByteArray("-remapbut       JOY1 1 0"));
    QCOMPARE(fileLine(6), QByteArray("-remapbut       JOY2 0 1"));
    QCOMPARE(fileLine(7), QByteArray("-remapbut    4BUTTON 3 255 3 255 255 255 255 255"));
    QCOMPARE(fileLine(14), QByteArray("-dip 1F 2E 3D"));
    QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{QStringLiteral("game.ini")});
}

void TestInputfrm::dipFields()
{
    open();
    auto* dip1 = m_frm->findChild<QLineEdit*>(QStringLiteral("dip1"));
    auto* dip2 = m_frm->findChild<QLineEdit*>(QStringLiteral("dip2"));
    QTest::mouseClick(dip1, Qt::LeftButton);
    QTest::keyClick(dip1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dip1, QStringLiteral("5"));
    QCOMPARE(dip1->text(), QStringLiteral("5"));
    QTest::mouseClick(dip2, Qt::LeftButton);
    QTest::keyClick(dip2, Qt::Key_End);
    QTest::keyClicks(dip2, QStringLiteral("7"));
    QCOMPARE(dip2->text(), QStringLiteral("00"));
    dip2->setText(QStringLiteral("A"));
    dip2->insert(QStringLiteral("BC"));
    QCOMPARE(dip2->text(), QStringLiteral("00"));
    clickOk();
    QCOMPARE(fileLine(14), QByteArray("-dip 5 00 00"));
}

void TestInputfrm::typedDeviceChangesNothing()
{
    open();
    auto* dev = m_frm->findChild<QComboBox*>(QStringLiteral("Dev"));
    clickArrow("SA", true);
    for (const QString& typed : {QStringLiteral("Keyboard 1"), QStringLiteral("Joystick"), deviceCaptions[2]}) {
        QTest::mouseClick(dev->lineEdit(), Qt::LeftButton);
        QTest::keyClick(dev->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dev->lineEdit(), typed);
        QTest::keyClick(dev->lineEdit(), Qt::Key_Return);
        QCOMPARE(dev->currentText(), typed);
        QCOMPARE(field("FA"), QStringLiteral("0"));
    }
    // Leaving the box after typing a caption is no pick either.
    QTest::keyClick(dev->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dev->lineEdit(), deviceCaptions[6]);
    m_frm->findChild<QLineEdit*>(QStringLiteral("dip1"))->setFocus();
    QTRY_VERIFY(!dev->hasFocus());
    QCOMPARE(dev->currentText(), deviceCaptions[6]);
    // Still the first joystick: its two buttons bound the bar, and its row takes the change.
    clickArrow("SA", true, 3);
    QCOMPARE(field("FA"), QStringLiteral("1"));
    QVERIFY(m_frm);
    clickOk();
    QCOMPARE(fileLine(5), QByteArray("-remapbut       JOY1 1 255"));
}

void TestInputfrm::closingWithoutSaving_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("existing");
    QTest::newRow("Cancel, no file") << QStringLiteral("Cancel") << false;
    QTest::newRow("close box, no file") << QStringLiteral("close box") << false;
    QTest::newRow("Cancel, file") << QStringLiteral("Cancel") << true;
    QTest::newRow("close box, file") << QStringLiteral("close box") << true;
}

void TestInputfrm::closingWithoutSaving()
{
    QFETCH(QString, how);
    QFETCH(bool, existing);
    if (existing)
        QVERIFY(m_work->write(QStringLiteral("Game.ini"), handWritten));
    open();
    QCOMPARE(field("FA"), existing ? QStringLiteral("1") : QStringLiteral("None"));
    pick(4);
    clickArrow("SD", true, 2);
    m_frm->findChild<QLineEdit*>(QStringLiteral("dip3"))->setText(QStringLiteral("9"));

    MessageBoxSpy spy;
    if (how == QLatin1String("Cancel"))
        QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("Cancel")), Qt::LeftButton);
    else
        m_frm->close();
    QVERIFY(m_main->isEnabled());
    QTRY_VERIFY(m_frm.isNull());
    QCOMPARE(spy.requests().size(), 0);
    if (existing) {
        QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{QStringLiteral("Game.ini")});
        QCOMPARE(m_work->read(QStringLiteral("Game.ini")), handWritten);
    } else {
        QCOMPARE(m_work->dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
}

void TestInputfrm::failedWriteKeepsDialogOpen()
{
    QVERIFY(m_work->write(QStringLiteral("GAME.INI"), handWritten));
    // The file's own spelling is taken by a folder, so the new file cannot be put in its place.
    QVERIFY(m_work->makeFolder(QStringLiteral("game.ini")));
    open();
    QCOMPARE(field("FA"), QStringLiteral("1"));
    {
        MessageBoxSpy spy;
        QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().caption, QStringLiteral("Gantrel Error"));
        QCOMPARE(spy.requests().first().buttons, Platform::MessageButtons::Ok);
        QVERIFY(spy.requests().first().text.startsWith(QStringLiteral("Cannot save game.ini: ")));
    }
    QVERIFY(m_frm && m_frm->isVisible());
    QVERIFY(!m_main->isEnabled());
    QCOMPARE(m_work->read(QStringLiteral("GAME.INI")), handWritten);

    // Once the folder is gone the same dialog saves.
    QVERIFY(QDir(m_work->filePath(QStringLiteral("game.ini"))).removeRecursively());
    clickOk();
    QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{QStringLiteral("game.ini")});
    QCOMPARE(fileLine(5), QByteArray("-remapbut       JOY1 1 0"));
}

void TestInputfrm::noSetName()
{
    QVERIFY(m_work->write(QStringLiteral(".ini"), handWritten));
    open(QString());
    QCOMPARE(field("FA"), QStringLiteral("None"));
    {
        MessageBoxSpy spy;
        QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().caption, QStringLiteral("Gantrel Error"));
    }
    QVERIFY(m_frm);
    QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("Cancel")), Qt::LeftButton);
    QVERIFY(m_main->isEnabled());
    QCOMPARE(m_work->read(QStringLiteral(".ini")), handWritten);
    QCOMPARE(m_work->dir().entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral(".ini")});
}

QTEST_MAIN(TestInputfrm)
#include "tst_inputfrm.moc"
