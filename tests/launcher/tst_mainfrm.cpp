#include "MainFrmTest.h"
#include "MessageBoxSpy.h"
#include "WorkFolder.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

// The smallest well-formed GIF: one white pixel.
const QByteArray onePixelGif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");

const QByteArray catalogue = "zapper,Zapper\r\n"
                             "pacx,\"pac X, the return\"\r\n"
                             "absent,Absent Game\r\n"
                             "corrupt,Corrupt Shot\r\n"
                             "nothing,No Shot\r\n"
                             "bubble,Bubble Rider\r\n";

} // namespace

class TestMainFrm : public MainFrmTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startupFailures_data();
    void startupFailures();
    void opensWithNothingSelected();
    void selectionShowsSnapshot();
    void dialogsDisableMainWindow_data();
    void dialogsDisableMainWindow();
    void exitClosesWindow();

private:
    bool writeImage(const QString& relative, const QSize& size, const char* format);
    void select(int row);
    // The visible top-level window of that name, or null.
    static QWidget* topLevel(const char* name);
};

void TestMainFrm::init()
{
    m_work.reset(new WorkFolder);
    QVERIFY(m_work->layEmulator(catalogue));
    for (const char* name : {"zapper", "pacx", "corrupt", "nothing"})
        QVERIFY(m_work->makeFolder(QLatin1String(name)));
    QVERIFY(m_work->write(QStringLiteral("roms/bubble.zip"), "PK"));
    QVERIFY(writeImage(QStringLiteral("snapshot/zapper.jpg"), QSize(40, 30), "JPG"));
    QVERIFY(writeImage(QStringLiteral("snapshot/zapper.bmp"), QSize(50, 30), "BMP"));
    QVERIFY(writeImage(QStringLiteral("snapshot/PACX.BMP"), QSize(60, 30), "BMP"));
    QVERIFY(m_work->write(QStringLiteral("snapshot/corrupt.jpg"), "not a picture"));
    QVERIFY(m_work->write(QStringLiteral("snapshot/corrupt.gif"), onePixelGif));
    QVERIFY(writeImage(QStringLiteral("snapshot/bubble.png"), QSize(70, 30), "PNG"));
}

void TestMainFrm::cleanup()
{
    m_frm.reset();
    m_list = nullptr;
    QDir::setCurrent(QDir::tempPath());
}

bool TestMainFrm::writeImage(const QString& relative, const QSize& size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    return m_work->makeFolder(QFileInfo(relative).path()) && image.save(m_work->filePath(relative), format);
}

QWidget* TestMainFrm::topLevel(const char* name)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::find_if(windows.begin(), windows.end(), [name](QWidget* w) {
        return w->objectName() == QLatin1String(name) && w->isVisible();
    });
    return found == windows.end() ? nullptr : *found;
}

void TestMainFrm::select(int row)
{
    const QRect rect = m_list->visualItemRect(m_list->item(row));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(m_list->currentRow(), row);
}

void TestMainFrm::startupFailures_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("message");
    QTest::newRow("emulator") << QStringLiteral("torvak.exe")
                              << QStringLiteral(
                                     "File Torvak.exe Not Found! Unzip The Gantrel in the same directory of Torvak!!");
    QTest::newRow("catalogue") << QStringLiteral("roms.txt")
                               << QStringLiteral("File Roms.txt Not Found! This file is needed by Gantrel. "
                                                 "Re-extract from the zip file or Manually edit one (Read the "
                                                 "Gantrel.txt to know how!)");
}

void TestMainFrm::startupFailures()
{
    QFETCH(QString, missing);
    QFETCH(QString, message);
    QVERIFY(QFile::remove(m_work->filePath(missing)));
    // A folder of that name is no substitute for the file.
    QVERIFY(m_work->makeFolder(missing.toUpper()));
    QVERIFY(QDir::setCurrent(m_work->path()));

    MessageBoxSpy spy;
    QCOMPARE(MainFrm::run(), 1);
    QCOMPARE(spy.requests().size(), 1);
    QCOMPARE(spy.requests().first().text, message);
    QCOMPARE(spy.requests().first().caption, QStringLiteral("Gantrel Error"));
    QCOMPARE(spy.requests().first().buttons, Platform::MessageButtons::Ok);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY(std::none_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); }));
}

void TestMainFrm::opensWithNothingSelected()
{
    QVERIFY(openWindow());
    QStringList shown;
    for (int row = 0; row < m_list->count(); ++row)
        shown.append(m_list->item(row)->text());
    QCOMPARE(shown, QStringList({"Bubble Rider", "Corrupt Shot", "No Shot", "pac X, the return", "Zapper"}));

    QTRY_COMPARE(QApplication::focusWidget(), m_list);
    QCOMPARE(m_list->currentRow(), -1);
    QVERIFY(m_list->selectedItems().isEmpty());

    QCOMPARE(m_frm->windowTitle(), QStringLiteral("Gantrel - A Torvak Front-End"));
    QCOMPARE(m_frm->size(), QSize(738, 358));
    QCOMPARE(m_list->geometry(), QRect(8, 16, 305, 327));
    QCOMPARE(m_list->font().pointSizeF(), 12.0);
    QVERIFY(m_list->font().bold());
    QVERIFY(!m_frm->findChild<QPushButton*>(QStringLiteral("Launch"))->isEnabled());
    QVERIFY(!m_frm->findChild<QPushButton*>(QStringLiteral("InputOpt"))->isEnabled());
    QVERIFY(m_frm->findChild<QPushButton*>(QStringLiteral("Option"))->isEnabled());
    QVERIFY(m_frm->findChild<QPushButton*>(QStringLiteral("About"))->isEnabled());
    QVERIFY(m_frm->findChild<QPushButton*>(QStringLiteral("Exit"))->isEnabled());
    QVERIFY(m_frm->findChild<QLabel*>(QStringLiteral("Banner"))->isVisible());
    QVERIFY(!m_frm->findChild<QLabel*>(QStringLiteral("Notpic"))->isVisible());
    const auto* gio = m_frm->findChild<QLineEdit*>(QStringLiteral("gio"));
    QVERIFY(!gio->isVisible());
    QVERIFY(gio->text().isEmpty());

    // Tab moves on without selecting anything either, and back to the list still selects nothing.
    QTest::keyClick(m_list, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("About"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), m_list);
    QCOMPARE(m_list->currentRow(), -1);
}

void TestMainFrm::selectionShowsSnapshot()
{
    QVERIFY(openWindow());
    const auto* snap = m_frm->findChild<QLabel*>(QStringLiteral("Snap"));
    const auto* notpic = m_frm->findChild<QLabel*>(QStringLiteral("Notpic"));
    const auto* gio = m_frm->findChild<QLineEdit*>(QStringLiteral("gio"));

    select(4); // Zapper: the JPEG wins over the BMP
    QCOMPARE(gio->text(), QStringLiteral("zapper"));
    QVERIFY(m_frm->findChild<QPushButton*>(QStringLiteral("Launch"))->isEnabled());
    QVERIFY(m_frm->findChild<QPushButton*>(QStringLiteral("InputOpt"))->isEnabled());
    QVERIFY(!m_frm->findChild<QLabel*>(QStringLiteral("Banner"))->isVisible());
    QCOMPARE(snap->pixmap().size(), QSize(40, 30));
    QVERIFY(!notpic->isVisible());

    select(2); // No Shot
    QCOMPARE(gio->text(), QStringLiteral("nothing"));
    QVERIFY(snap->pixmap().isNull());
    QVERIFY(notpic->isVisible());

    QTest::keyClick(m_list, Qt::Key_Up); // Corrupt Shot: the broken JPEG gives way to the GIF
    QCOMPARE(gio->text(), QStringLiteral("corrupt"));
    QCOMPARE(snap->pixmap().size(), QSize(1, 1));
    QVERIFY(!notpic->isVisible());

    QTest::keyClick(m_list, Qt::Key_Up); // Bubble Rider, zipped, PNG only
    QCOMPARE(gio->text(), QStringLiteral("bubble"));
    QCOMPARE(snap->pixmap().size(), QSize(70, 30));

    select(3); // the set name's snapshot found in another letter case
    QCOMPARE(gio->text(), QStringLiteral("pacx"));
    QCOMPARE(snap->pixmap().size(), QSize(60, 30));

    // A snapshot that becomes unreadable counts as missing.
    QVERIFY(QFile::remove(m_work->filePath(QStringLiteral("snapshot/zapper.jpg"))));
    QVERIFY(m_work->write(QStringLiteral("snapshot/zapper.bmp"), "BM broken"));
    select(4);
    QVERIFY(snap->pixmap().isNull());
    QVERIFY(notpic->isVisible());
}

void TestMainFrm::dialogsDisableMainWindow_data()
{
    // The button, the dialog it opens, the button that closes it, the file that closing writes.
    QTest::addColumn<QStringList>("names");
    QTest::newRow("About") << QStringList{"About", "AboutFrm", "cmdOK", ""};
    // The dialogs get the main window's folder, and the game options dialog the selected set.
    QTest::newRow("Default Options") << QStringList{"Option", "OptionFrm", "OK", "Gantrel.ini"};
    QTest::newRow("Options For This Game") << QStringList{"InputOpt", "Inputfrm", "OK", "pacx.ini"};
}

void TestMainFrm::dialogsDisableMainWindow()
{
    QFETCH(QStringList, names);
    const QString &button = names.at(0), &dialog = names.at(1), &closeWith = names.at(2), &written = names.at(3);
    QVERIFY(openWindow());
    select(3); // pac X, the return

    // Twice: the dialog is made afresh at every opening.
    for (int opening = 0; opening < 2; ++opening) {
        QTest::mouseClick(m_frm->findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(!m_frm->isEnabled());
        QPointer<QWidget> shown = topLevel(dialog.toLatin1().constData());
        QVERIFY(shown);
        QVERIFY(shown->parentWidget() == nullptr);
        // While the dialog is open the main window cannot be closed.
        QVERIFY(!m_frm->close());
        QVERIFY(m_frm->isVisible());

        QTest::mouseClick(shown->findChild<QPushButton*>(closeWith), Qt::LeftButton);
        QVERIFY(m_frm->isEnabled());
        QTRY_VERIFY(shown.isNull());
    }
    if (!written.isEmpty())
        QVERIFY(QFileInfo::exists(m_work->filePath(written)));
}

void TestMainFrm::exitClosesWindow()
{
    QVERIFY(openWindow());
    QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("Exit")), Qt::LeftButton);
    QVERIFY(!m_frm->isVisible());
}

QTEST_MAIN(TestMainFrm)
#include "tst_mainfrm.moc"
