#include "MainFrmTest.h"
#include "MessageBoxSpy.h"
#include "WorkFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The smallest well-formed GIF: one white pixel.
const QByteArray onePixelGif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");

const QByteArray catalogue = "zapper,Zapper\r\n"
                             "pacx,\"pac X, the return\"\r\n"
                             "absent,Absent Game\r\n"
                             "corrupt,Corrupt Shot\r\n"
                             "nothing,No Shot\r\n"
                             "bubble,Bubble Rider\r\n"
                             "uber,\xc3\x9c"
                             "ber Shot\r\n";

} // namespace

// The labels, check boxes and option buttons whose text is wider than the control shows.
static QStringList clippedCaptions(const QWidget* form)
{
    QStringList clipped;
    for (const QWidget* control : form->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(control);
        const bool caption = (label && label->pixmap().isNull()) || qobject_cast<const QCheckBox*>(control) ||
                             qobject_cast<const QRadioButton*>(control);
        if (caption && control->sizeHint().width() > control->width())
            clipped.append(control->objectName());
    }
    return clipped;
}

class TestMainFrm : public MainFrmTest
{
    Q_OBJECT

    template <typename T> T* control(const char* name) const { return m_frm->findChild<T*>(QLatin1String(name)); }
    static inline const QString noCatalogue =
        QStringLiteral("File Roms.txt Not Found! This file is needed by Gantrel. Re-extract from the zip file or "
                       "Manually edit one (Read the Gantrel.txt to know how!)");

    // Runs the program in the current folder, which must stop it with one box holding `message`.
    static Platform::MessageRequest runAlone(const QString& message)
    {
        MessageBoxSpy spy;
        [&] {
            QCOMPARE(MainFrm::run(), 1);
            QCOMPARE(spy.requests().size(), 1);
            QCOMPARE(spy.requests().first().text, message);
        }();
        return spy.requests().value(0);
    }
    bool writeImage(const QString& relative, int width, const char* format) const
    {
        QImage image(width, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        return m_work->makeFolder(QFileInfo(relative).path()) && image.save(m_work->filePath(relative), format);
    }

private slots:
    void init()
    {
        QVERIFY(m_work->layEmulator(catalogue));
        for (const char* name : {"zapper", "pacx", "corrupt", "nothing", "uber"})
            QVERIFY(m_work->makeFolder(QLatin1String(name)));
        QVERIFY(m_work->write("roms/bubble.zip", "PK"));
        QVERIFY(writeImage("snapshot/zapper.jpg", 40, "JPG") && writeImage("snapshot/zapper.bmp", 50, "BMP"));
        QVERIFY(writeImage("snapshot/PACX.BMP", 60, "BMP") && writeImage("snapshot/bubble.png", 70, "PNG"));
        QVERIFY(m_work->write("snapshot/corrupt.jpg", "not a picture"));
        QVERIFY(m_work->write("snapshot/corrupt.gif", onePixelGif));
    }

    void startupFailures_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("message");
        QTest::newRow("emulator") << QStringLiteral("torvak.exe")
                                  << QStringLiteral(
                                         "File Torvak.exe Not Found! Unzip The Gantrel in the same directory "
                                         "of Torvak!!");
        QTest::newRow("catalogue") << QStringLiteral("roms.txt") << noCatalogue;
    }

    void startupFailures()
    {
        QFETCH(QString, missing);
        QFETCH(QString, message);
        QVERIFY(QFile::remove(m_work->filePath(missing)));
        // A folder of that name is no substitute for the file.
        QVERIFY(m_work->makeFolder(missing.toUpper()) && QDir::setCurrent(m_work->path()));

        const Platform::MessageRequest box = runAlone(message);
        QVERIFY(box.caption == QLatin1String("Gantrel Error") && box.buttons == Platform::MessageButtons::Ok);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); }));
    }

    // A folder whose name is not UTF-8 is still searched under its own name: the emulator is found
    // there, and the missing catalogue is what stops the start.
    void folderNameKeptAsBytes()
    {
        const QByteArray folder = QFile::encodeName(m_work->path()) + "/caf\xe9";
        QVERIFY(::mkdir(folder.constData(), 0755) == 0 && ::chdir(folder.constData()) == 0);
        std::FILE* emulator = std::fopen("torvak.exe", "wb");
        QVERIFY(emulator && std::fclose(emulator) == 0);
        runAlone(noCatalogue);
    }

    void opensWithNothingSelected()
    {
        QVERIFY(openWindow());
        QStringList shown;
        for (int row = 0; row < m_list->count(); ++row)
            shown.append(m_list->item(row)->text());
        // Ordered for people: without regard to case, an accented letter beside its plain one.
        QCOMPARE(shown, QStringList({"Bubble Rider", "Corrupt Shot", "No Shot", "pac X, the return", "\u00dcber Shot",
                                     "Zapper"}));
        QTRY_COMPARE(QApplication::focusWidget(), m_list);
        QVERIFY(m_list->currentRow() == -1 && m_list->selectedItems().isEmpty());

        QVERIFY(!control<QPushButton>("Launch")->isEnabled() && !control<QPushButton>("InputOpt")->isEnabled());
        QVERIFY(control<QLabel>("Banner")->isVisible() && !control<QLabel>("Notpic")->isVisible());
        QVERIFY(!control<QLineEdit>("gio")->isVisible() && control<QLineEdit>("gio")->text().isEmpty());
    }

    void selectionShowsSnapshot()
    {
        QVERIFY(openWindow());
        // The set name, the picture's size (0x0 for none), and whether "no picture" shows.
        using Shown = std::tuple<QString, QSize, bool>;
        const auto shown = [this] {
            return Shown(control<QLineEdit>("gio")->text(), control<QLabel>("Snap")->pixmap().size(),
                         control<QLabel>("Notpic")->isVisible());
        };
        QVERIFY(select("Zapper")); // the JPEG wins over the BMP
        QCOMPARE(shown(), Shown("zapper", QSize(40, 30), false));
        QVERIFY(control<QPushButton>("Launch")->isEnabled() && control<QPushButton>("InputOpt")->isEnabled());
        QVERIFY(!control<QLabel>("Banner")->isVisible());
        QVERIFY(select("No Shot"));
        QCOMPARE(shown(), Shown("nothing", QSize(0, 0), true));
        QTest::keyClick(m_list, Qt::Key_Up); // Corrupt Shot: the broken JPEG gives way to the GIF
        QCOMPARE(shown(), Shown("corrupt", QSize(1, 1), false));
        QTest::keyClick(m_list, Qt::Key_Up); // Bubble Rider, zipped, PNG only
        QCOMPARE(shown(), Shown("bubble", QSize(70, 30), false));
        QVERIFY(select("pac X, the return")); // the set name's snapshot found in another letter case
        QCOMPARE(shown(), Shown("pacx", QSize(60, 30), false));

        // Once a game is selected the list keeps it: a click below the last game, or a Ctrl click on
        // the selected one, leaves it selected and highlighted.
        const QPoint below(10, m_list->viewport()->height() - 5);
        QVERIFY(!m_list->indexAt(below).isValid());
        for (const auto& [point, modifiers] : {std::pair(below, Qt::KeyboardModifiers()),
                                               std::pair(m_list->visualItemRect(m_list->currentItem()).center(),
                                                         Qt::KeyboardModifiers(Qt::ControlModifier))}) {
            QTest::mouseClick(m_list->viewport(), Qt::LeftButton, modifiers, point);
            QCOMPARE(m_list->selectedItems(), QList<QListWidgetItem*>{m_list->currentItem()});
        }
        QCOMPARE(shown(), Shown("pacx", QSize(60, 30), false));

        // A snapshot that becomes unreadable counts as missing.
        QVERIFY(QFile::remove(m_work->filePath("snapshot/zapper.jpg")));
        QVERIFY(m_work->write("snapshot/zapper.bmp", "BM broken") && select("Zapper"));
        QCOMPARE(shown(), Shown("zapper", QSize(0, 0), true));
    }

    void dialogsDisableMainWindow_data()
    {
        // The button, the dialog it opens, the button that closes it, the file that closing writes.
        QTest::addColumn<QStringList>("names");
        QTest::newRow("About") << QStringList{"About", "AboutFrm", "cmdOK", ""};
        // The dialogs get the main window's folder, and the game options dialog the selected set.
        QTest::newRow("Default Options") << QStringList{"Option", "OptionFrm", "OK", "Gantrel.ini"};
        QTest::newRow("Options For This Game") << QStringList{"InputOpt", "Inputfrm", "OK", "pacx.ini"};
    }

    void dialogsDisableMainWindow()
    {
        QFETCH(QStringList, names);
        QVERIFY(openWindow() && select("pac X, the return"));
        QCOMPARE(clippedCaptions(m_frm.data()), QStringList());
        // Twice: the dialog is made afresh at every opening.
        for (int opening = 0; opening < 2; ++opening) {
            click(names.at(0));
            QVERIFY(!m_frm->isEnabled());
            QPointer<QWidget> shown = topLevel(names.at(1));
            QVERIFY(shown && shown->parentWidget() == nullptr);
            QCOMPARE(clippedCaptions(shown), QStringList());
            // While the dialog is open the main window cannot be closed.
            QVERIFY(!m_frm->close() && m_frm->isVisible());

            QTest::mouseClick(shown->findChild<QPushButton*>(names.at(2)), Qt::LeftButton);
            QVERIFY(m_frm->isEnabled());
            QTRY_VERIFY(shown.isNull());
            // The button that opened the dialog has the keyboard again.
            QTRY_COMPARE(QApplication::focusWidget(), control<QPushButton>(qPrintable(names.at(0))));
        }
        QVERIFY(names.at(3).isEmpty() || QFileInfo::exists(m_work->filePath(names.at(3))));
    }
};

QTEST_MAIN(TestMainFrm)
#include "tst_mainfrm.moc"
