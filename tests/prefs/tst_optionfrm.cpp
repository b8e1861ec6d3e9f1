#include "OptionFrm.h"
#include "FormLayout.h"
#include "MessageBoxSpy.h"
#include "WorkFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(Preferences)

class TestOptionFrm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void window();
    void controls_data();
    void controls();
    void defaultsWithoutFile();
    void enableRules();
    void fileSetsControls_data();
    void fileSetsControls();
    void closing_data();
    void closing();
    void okWritesWhatUserChose();
    void failedWriteKeepsDialogOpen();
    void unreadableFileIsReported();

private:
    void open();
    template <typename T> T* control(const char* name) const;
    QComboBox* player(int index) const;
    void click(const char* name) const;
    QStringList disabledControls() const;

    QScopedPointer<WorkFolder> m_work;
    QScopedPointer<QWidget> m_main;
    QPointer<OptionFrm> m_frm;
};

void TestOptionFrm::init()
{
    m_work.reset(new WorkFolder);
    m_main.reset(new QWidget);
    m_main->resize(400, 300);
    m_main->show();
}

void TestOptionFrm::cleanup()
{
    delete m_frm;
    m_main.reset();
    m_work.reset();
}

void TestOptionFrm::open()
{
    m_frm = new OptionFrm(m_main.data(), m_work->dir());
    Platform::showDialog(m_main.data(), m_frm);
    QVERIFY(!m_main->isEnabled());
    QVERIFY(m_frm->isVisible());
}

template <typename T> T* TestOptionFrm::control(const char* name) const
{
    T* found = m_frm->findChild<T*>(QLatin1String(name));
    if (!found)
        qWarning("no control %s", name);
    return found;
}

QComboBox* TestOptionFrm::player(int index) const
{
    for (QComboBox* box : m_frm->findChildren<QComboBox*>(QStringLiteral("Player"))) {
        if (box->property("index").toInt() == index)
            return box;
    }
    return nullptr;
}

void TestOptionFrm::click(const char* name) const
{
    auto* button = control<QAbstractButton>(name);
    QVERIFY(button);
    // Where the box or the round button is drawn, at the left end of the control.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

QStringList TestOptionFrm::disabledControls() const
{
    QStringList names;
    for (const QWidget* w : m_frm->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) && !w->isEnabled())
            names.append(w->objectName());
    }
    names.sort();
    return names;
}

void TestOptionFrm::window()
{
    open();
    QCOMPARE(m_frm->windowTitle(), QStringLiteral("Set Default Preferences"));
    QCOMPARE(m_frm->objectName(), QStringLiteral("OptionFrm"));
    QCOMPARE(m_frm->size(), QSize(569, 413));
    QVERIFY(m_frm->parentWidget() == nullptr);
    const Qt::WindowFlags flags = m_frm->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(m_frm->minimumSize(), m_frm->maximumSize());

    const auto* slide = control<QSlider>("Slide");
    QCOMPARE(slide->orientation(), Qt::Horizontal);
    QCOMPARE(slide->minimum(), 1);
    QCOMPARE(slide->maximum(), 8);
    QCOMPARE(slide->tickInterval(), 1);
    QVERIFY(slide->tickPosition() != QSlider::NoTicks);

    for (int i = 0; i < 2; ++i) {
        QComboBox* box = player(i);
        QVERIFY(box);
        QVERIFY(box->isEditable());
        QCOMPARE(box->parentWidget()->objectName(), QStringLiteral("Frame6"));
    }
    QCOMPARE(player(0)->geometry(), QRect(208, 24, 249, 23));
    QCOMPARE(player(1)->geometry(), QRect(208, 52, 249, 23));

    // The option buttons form two groups: the resolutions and the page-swap modes.
    click("Swap3");
    QVERIFY(control<QRadioButton>("Res5")->isChecked());
    click("Res1");
    QVERIFY(control<QRadioButton>("Swap3")->isChecked());
    QVERIFY(!control<QRadioButton>("Res5")->isChecked());
}

void TestOptionFrm::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("toolTip");

    const QString top = QStringLiteral("Arial 11.25");
    const QString inner = QStringLiteral("Arial 9");
    // A sample: each kind of control, each font, each level of frame.
    auto row = [](const char* name, const char* parent, const QString& caption, QRect rect, const QString& font,
                  const QString& tip = {}) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << caption << rect << font
                            << tip;
    };
    row("FScreen", "OptionFrm", "Video Options", {60, 0, 8415, 3735}, top);
    row("Frame2", "FScreen", "Resolution:", {120, 240, 5775, 1935}, inner);
    row("Res5", "Frame2", "384x224", {2040, 360, 1095, 255}, inner,
        "This is the Original Resolution of the Coin Op, Chose this if works on your machine");
    row("Label1", "Frame4", "Frame Skip:", {120, 360, 1095, 255}, "MS Sans Serif 8.25");
    row("Slide", "Frame4", "", {120, 720, 2295, 375}, inner);
    row("Label3", "Frame4", "1    2    3     4    5    6    7    8", {240, 1080, 2175, 255}, inner);
    row("Swap2", "Frame4", "FPU Copy", {4320, 600, 1215, 225}, inner,
        "FPU Copy Mode, faster than Normal if you have an Intel CPU");
    row("Novesa", "Frame5", "Disable Vesa", {240, 360, 1815, 255}, inner,
        "Disable Vesa Support, You can use only normal or tweaked resolution");
    row("Frame6", "OptionFrm", "Input Device", {60, 3720, 8415, 1335}, top);
    row("Label4", "Frame6", "Controller For Player 1:", {1020, 480, 1935, 255}, inner);
    row("Frame3", "OptionFrm", "Other", {60, 5040, 6735, 1095}, top);
    row("Other", "Frame3", "", {1980, 540, 4455, 330}, inner);
    row("OK", "OptionFrm", "OK", {7020, 5160, 1395, 435}, "Arial 9.75");
}

void TestOptionFrm::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(QString, font);
    QFETCH(QString, toolTip);

    open();
    const QList<QWidget*> found = m_frm->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    const QWidget* w = found.first();
    QCOMPARE(w->parentWidget()->objectName(), parent);
    const QVariant title = w->property("title");
    const QString shown = title.isValid() ? title.toString() : w->property("text").toString();
    QCOMPARE(shown, caption);
    QCOMPARE(w->geometry(), Platform::twipsRect(twips.left(), twips.top(), twips.width(), twips.height()));
    QCOMPARE(QStringLiteral("%1 %2").arg(w->font().family()).arg(w->font().pointSizeF()), font);
    QCOMPARE(w->toolTip(), toolTip);
    QVERIFY(w->isVisible());
}

void TestOptionFrm::defaultsWithoutFile()
{
    open();
    QCOMPARE(m_frm->preferences(), Preferences{});
    for (int i = 1; i <= 11; ++i) {
        const QByteArray name = "Res" + QByteArray::number(i);
        QCOMPARE(control<QRadioButton>(name.constData())->isChecked(), i == 5);
    }
    QVERIFY(control<QCheckBox>("Frames")->isChecked());
    QCOMPARE(control<QSlider>("Slide")->value(), 1);
    QVERIFY(control<QRadioButton>("Swap1")->isChecked());
    for (const char* box : {"VSync", "V6Bit", "Duble", "Intens", "Novesa", "Flinear", "Fbanked", "Excl", "AltKey"})
        QVERIFY2(!control<QCheckBox>(box)->isChecked(), box);
    QVERIFY(control<QLineEdit>("Other")->text().isEmpty());
    // Auto is checked, so only the slider waits for it to be unchecked.
    QCOMPARE(disabledControls(), QStringList{QStringLiteral("Slide")});

    QStringList devices;
    for (const InputDevice& device : InputDevices::table)
        devices.append(QString::fromLatin1(device.caption));
    QCOMPARE(devices.size(), 11);
    QCOMPARE(devices.last(), QStringLiteral("Snes Pad 2 lpt2 (8 Butt)"));
    for (int i = 0; i < 2; ++i) {
        QComboBox* box = player(i);
        QCOMPARE(box->currentText(), QStringLiteral("Keyboard 1"));
        QStringList listed;
        for (int row = 0; row < box->count(); ++row)
            listed.append(box->itemText(row));
        QCOMPARE(listed, devices);
    }
}

void TestOptionFrm::enableRules()
{
    open();
    const QStringList vesaOnly = {"Fbanked", "Flinear", "Res10", "Res11", "Res2", "Res3",
                                  "Res4",    "Res7",    "Res8",  "Res9",  "V6Bit"};

    click("Frames");
    QVERIFY(!control<QCheckBox>("Frames")->isChecked());
    QVERIFY(disabledControls().isEmpty());
    click("Frames");
    QCOMPARE(disabledControls(), QStringList{"Slide"});

    // A selected resolution stays selected while Disable Vesa disables it.
    click("Res10");
    click("Novesa");
    QStringList allOff = vesaOnly + QStringList{"Slide"};
    allOff.sort();
    QCOMPARE(disabledControls(), allOff);
    QVERIFY(control<QRadioButton>("Res10")->isChecked());
    click("Flinear"); // disabled: nothing happens
    QVERIFY(!control<QCheckBox>("Flinear")->isChecked());
    click("Novesa");
    QCOMPARE(disabledControls(), QStringList{"Slide"});

    click("Flinear");
    QCOMPARE(disabledControls(), QStringList({"Fbanked", "Slide"}));
    click("Flinear");
    QCOMPARE(disabledControls(), QStringList{"Slide"});
    click("Fbanked");
    QCOMPARE(disabledControls(), QStringList({"Flinear", "Slide"}));
    click("Fbanked");

    // Enabling again does not look at the other boxes: both Force boxes can end up checked.
    click("Flinear");
    click("Novesa");
    click("Novesa");
    QCOMPARE(disabledControls(), QStringList{"Slide"});
    click("Fbanked");
    QVERIFY(control<QCheckBox>("Flinear")->isChecked());
    QVERIFY(control<QCheckBox>("Fbanked")->isChecked());
    QCOMPARE(disabledControls(), QStringList({"Flinear", "Slide"}));

    // What is disabled is still written when it is selected or checked.
    click("Novesa");
    click("OK");
    QCOMPARE(m_work->read(QStringLiteral("Gantrel.ini")), QByteArray("-res 640 480\r\n-frameskip AUTO\r\n-vsync OFF\r\n"
                                                                     "-novesa\r\n-linear\r\n-banked\r\n"
                                                                     "-setinput 1 key1\r\n-setinput 2 key1\r\n"));
}

void TestOptionFrm::fileSetsControls_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Preferences>("expected");
    QTest::addColumn<QStringList>("disabled");

    Preferences p;
    p.noVesa = true;
    QTest::newRow("-novesa") << "GANTREL.INI" << QByteArray("-novesa\r\n") << p
                             << QStringList{"Fbanked", "Flinear", "Res10", "Res11", "Res2",  "Res3",
                                            "Res4",    "Res7",    "Res8",  "Res9",  "Slide", "V6Bit"};
    p = Preferences{};
    p.autoFrameSkip = false;
    p.frameSkip = 5;
    QTest::newRow("-frameskip 5") << "gantrel.ini" << QByteArray("-frameskip 5\r\n") << p << QStringList{};
    p.frameSkip = 1;
    QTest::newRow("-frameskip 0") << "Gantrel.ini" << QByteArray("-frameskip 0\r\n") << p << QStringList{};
    p = Preferences{};
    p.frameSkip = 3;
    QTest::newRow("-frameskip AUTO") << "gantrel.ini" << QByteArray("-frameskip 3\r\n-frameskip AUTO\r\n") << p
                                     << QStringList{"Slide"};
    p = Preferences{};
    p.forceLinear = p.forceBanked = true;
    QTest::newRow("-linear and -banked") << "gantrel.ini" << QByteArray("-linear\r\n-banked\r\n") << p
                                         << QStringList{"Fbanked", "Flinear", "Slide"};
    p = Preferences{};
    p.players[1] = QStringLiteral("Joystick 1 (2 Butt)");
    p.vsync = true;
    p.resolution = 10;
    p.swapMode = SwapMode::FpuCopy;
    QTest::newRow("players and whole items")
        << "gantrel.ini" << QByteArray("-setinput 2 key1\r\n-setinput 3 joy1\r\n-res 800 600\r\n-vsync ON\r\n-fpucopy")
        << p << QStringList{"Slide"};
    p = Preferences{};
    p.other = QStringLiteral("-sound 1");
    p.altKey = true;
    QTest::newRow("free text") << "gantrel.ini" << QByteArray("other\r\n-sound 1, -altkey\r\n") << p
                               << QStringList{"Slide"};
    p.other.clear();
    QTest::newRow("marker as the last item")
        << "gantrel.ini" << QByteArray("other\r\n-sound 1, -altkey\r\nother\r\n") << p << QStringList{"Slide"};
    QTest::newRow("a folder is no file") << "gantrel.ini/x" << QByteArray("-novesa\r\n") << Preferences{}
                                         << QStringList{"Slide"};
}

void TestOptionFrm::fileSetsControls()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, file);
    QFETCH(Preferences, expected);
    QFETCH(QStringList, disabled);

    QVERIFY(m_work->write(fileName, file));
    open();
    QCOMPARE(m_frm->preferences(), expected);
    QCOMPARE(disabledControls(), disabled);
    QCOMPARE(control<QSlider>("Slide")->value(), expected.frameSkip);
    QCOMPARE(player(1)->currentText(), expected.players[1]);
    QCOMPARE(control<QLineEdit>("Other")->text(), expected.other);
    // Reading never changes the file.
    QCOMPARE(m_work->read(fileName), file);
}

void TestOptionFrm::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("writes");
    QTest::newRow("OK") << "OK" << true;
    QTest::newRow("Enter") << "Enter" << true;
    QTest::newRow("Cancel") << "Cancel" << false;
    QTest::newRow("Esc") << "Esc" << false;
    QTest::newRow("close box") << "close" << false;
}

void TestOptionFrm::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, writes);

    const QByteArray file = "-vsync ON\r\n-fpucopy\r\n";
    QVERIFY(m_work->write(QStringLiteral("gantrel.ini"), file));
    open();
    QVERIFY(control<QCheckBox>("VSync")->isChecked());
    click("VSync");
    click("Res1");
    QTest::keyClicks(control<QLineEdit>("Other"), QStringLiteral("-cheat"));

    if (how == QLatin1String("OK") || how == QLatin1String("Cancel"))
        click(how.toLatin1().constData());
    else if (how == QLatin1String("Enter"))
        QTest::keyClick(control<QLineEdit>("Other"), Qt::Key_Return);
    else if (how == QLatin1String("Esc"))
        QTest::keyClick(control<QLineEdit>("Other"), Qt::Key_Escape);
    else
        QVERIFY(m_frm->close());

    QVERIFY(m_main->isEnabled());
    QTRY_VERIFY(m_frm.isNull());
    if (writes) {
        QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{"Gantrel.ini"});
        QCOMPARE(m_work->read(QStringLiteral("Gantrel.ini")),
                 QByteArray("-res 320 200\r\n-frameskip AUTO\r\n-fpucopy\r\n-vsync OFF\r\n-setinput 1 key1\r\n"
                            "-setinput 2 key1\r\nother\r\n-cheat\r\n"));
    } else {
        QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{"gantrel.ini"});
        QCOMPARE(m_work->read(QStringLiteral("gantrel.ini")), file);
    }

    // The next opening starts again from the defaults and the file.
    open();
    QCOMPARE(control<QCheckBox>("VSync")->isChecked(), !writes);
    QCOMPARE(control<QRadioButton>("Res1")->isChecked(), writes);
    QCOMPARE(control<QLineEdit>("Other")->text(), writes ? QStringLiteral("-cheat") : QString());
    QVERIFY(control<QRadioButton>("Swap2")->isChecked());
}

void TestOptionFrm::okWritesWhatUserChose()
{
    // The file is found in any case; the new one replaces it under one name.
    QVERIFY(m_work->write(QStringLiteral("GANTREL.INI"), "-novesa\r\n-altkey\r\n"));
    open();
    click("Novesa");
    click("AltKey");
    click("Res2");
    click("Frames");
    auto* slide = control<QSlider>("Slide");
    slide->setFocus();
    QTest::keyClick(slide, Qt::Key_End);
    QTest::keyClick(slide, Qt::Key_Left);
    QCOMPARE(slide->value(), 7);
    click("Swap3");
    click("Intens");
    click("Excl");

    // Player 1 picks the next device of the list; player 2 gets a typed text that is no device.
    QComboBox* first = player(0);
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Down);
    QCOMPARE(first->currentText(), QStringLiteral("Keyboard 2"));
    QLineEdit* second = player(1)->lineEdit();
    second->selectAll();
    QTest::keyClicks(second, QStringLiteral("keyboard 1"));
    QCOMPARE(player(1)->currentText(), QStringLiteral("keyboard 1"));
    QCOMPARE(player(1)->count(), 11);

    QTest::keyClicks(control<QLineEdit>("Other"), QStringLiteral("-sound 1, -cheat"));
    // Enter in the box does not turn the typed text into the device it resembles.
    QTest::keyClick(second, Qt::Key_Return);
    QTRY_VERIFY(m_frm.isNull());
    QVERIFY(m_main->isEnabled());
    QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{"Gantrel.ini"});
    QCOMPARE(m_work->read(QStringLiteral("Gantrel.ini")),
             QByteArray("-res 320 240\r\n-frameskip 7\r\n-mmxcopy\r\n-vsync OFF\r\n-intensity\r\n-exclusive\r\n"
                        "-setinput 1 key2\r\nother\r\n-sound 1, -cheat\r\n"));
}

void TestOptionFrm::failedWriteKeepsDialogOpen()
{
    QVERIFY(m_work->write(QStringLiteral("GANTREL.INI"), "-vsync ON\r\n"));
    // The name the new file must take is held by a folder.
    QVERIFY(m_work->makeFolder(QStringLiteral("Gantrel.ini")));
    open();
    click("Duble");

    MessageBoxSpy spy;
    click("OK");
    QCOMPARE(spy.requests().size(), 1);
    const Platform::MessageRequest& request = spy.requests().first();
    QCOMPARE(request.caption, QStringLiteral("Gantrel Error"));
    QCOMPARE(request.buttons, Platform::MessageButtons::Ok);
    QVERIFY(request.text.startsWith(QStringLiteral("The preferences could not be saved in Gantrel.ini: ")));
    QVERIFY(request.text.size() > QStringLiteral("The preferences could not be saved in Gantrel.ini: ").size());

    QVERIFY(m_frm);
    QVERIFY(m_frm->isVisible());
    QVERIFY(!m_main->isEnabled());
    QVERIFY(control<QCheckBox>("Duble")->isChecked());
    QCOMPARE(m_work->read(QStringLiteral("GANTREL.INI")), QByteArray("-vsync ON\r\n"));

    // Once the way is clear, the same choices are saved.
    QVERIFY(QDir(m_work->filePath(QStringLiteral("Gantrel.ini"))).removeRecursively());
    click("OK");
    QCOMPARE(spy.requests().size(), 1);
    QTRY_VERIFY(m_frm.isNull());
    QVERIFY(m_main->isEnabled());
    QCOMPARE(m_work->dir().entryList(QDir::Files), QStringList{"Gantrel.ini"});
    QCOMPARE(m_work->read(QStringLiteral("Gantrel.ini")),
             QByteArray("-res 384 224\r\n-frameskip AUTO\r\n-vsync ON\r\n-double\r\n-setinput 1 key1\r\n"
                        "-setinput 2 key1\r\n"));
}

void TestOptionFrm::unreadableFileIsReported()
{
    // Root reads every ordinary file; a write-only kernel attribute refuses even root.
    const QString target = QStringLiteral("/sys/bus/cpu/drivers/processor/unbind");
    QFile probe(target);
    if (!QFileInfo(target).isFile() || probe.open(QIODevice::ReadOnly))
        QSKIP("no write-only file to read on this machine");
    QVERIFY(QFile::link(target, m_work->filePath(QStringLiteral("GANTREL.INI"))));

    MessageBoxSpy spy;
    open();
    QCOMPARE(spy.requests().size(), 1);
    QCOMPARE(spy.requests().first().caption, QStringLiteral("Gantrel Error"));
    QVERIFY(
        spy.requests().first().text.startsWith(QStringLiteral("The preferences in gantrel.ini could not be read: ")));
    QCOMPARE(m_frm->preferences(), Preferences{});
    click("Cancel");
    QVERIFY(m_main->isEnabled());
}

QTEST_MAIN(TestOptionFrm)
#include "tst_optionfrm.moc"
