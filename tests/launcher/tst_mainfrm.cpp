#include "LocalText.h"
#include "MainFrmTest.h"
#include "MessageBoxSpy.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The smallest well-formed GIF: one white pixel.
const QByteArray onePixelGif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");

const QByteArray catalogue = "zapper,Zapper\r\n"
                             "pacx,\"pac X, the return\"\r\n"
                             "corrupt,Corrupt Shot\r\n"
                             "nothing,No Shot\r\n"
                             "uber,\u00dcber Shot\r\n";

} // namespace

class TestMainFrm : public MainFrmTest
{
    Q_OBJECT

    template <typename T> T* control(const char* name) const { return m_frm->findChild<T*>(QLatin1String(name)); }
private slots:
    void init()
    {
        QVERIFY(m_work->layEmulator(catalogue));
        for (const char* name : {"zapper", "pacx", "corrupt", "nothing", "uber"})
            QVERIFY(m_work->makeFolder(QLatin1String(name)));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(m_work->makeFolder("snapshot") && image.save(m_work->filePath("snapshot/zapper.jpg"), "JPG"));
        QVERIFY(m_work->write("snapshot/corrupt.jpg", "not a picture"));
        QVERIFY(m_work->write("snapshot/corrupt.gif", onePixelGif));
    }

    // Each start stops with one box and no window: without the emulator (a folder of its name is no
    // substitute for the file), and without the catalogue in a folder whose name is not UTF-8, which is
    // still searched under its own name (the emulator is found there).
    void startupFailures()
    {
        MessageBoxSpy spy;
        QVERIFY(QFile::remove(m_work->filePath("torvak.exe")) && m_work->makeFolder("TORVAK.EXE"));
        QVERIFY(QDir::setCurrent(m_work->path()));
        QCOMPARE(MainFrm::run(), 1);
        const QByteArray folder = Platform::encodeLocal(m_work->path()) + "/caf\xe9";
        QVERIFY(::mkdir(folder.constData(), 0755) == 0 && ::chdir(folder.constData()) == 0);
        QVERIFY(QFile(QStringLiteral("torvak.exe")).open(QIODevice::WriteOnly));
        QCOMPARE(MainFrm::run(), 1);

        QStringList texts;
        for (const Platform::MessageRequest& box : spy.requests())
            texts.append(box.text);
        QCOMPARE(texts, QStringList({"File Torvak.exe Not Found! Unzip The Gantrel in the same directory of Torvak!!",
                                     "File Roms.txt Not Found! This file is needed by Gantrel. Re-extract from the zip "
                                     "file or Manually edit one (Read the Gantrel.txt to know how!)"}));
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); }));
    }

    void selectionShowsSnapshot()
    {
        QVERIFY(openWindow());
        QStringList listed;
        for (int row = 0; row < m_list->count(); ++row)
            listed.append(m_list->item(row)->text());
        // Ordered for people: without regard to case, an accented letter beside its plain one.
        QCOMPARE(listed, QStringList({"Corrupt Shot", "No Shot", "pac X, the return", "\u00dcber Shot", "Zapper"}));
        QTRY_COMPARE(QApplication::focusWidget(), m_list);
        QVERIFY(m_list->currentRow() == -1 && m_list->selectedItems().isEmpty());

        // The set name, the picture's size (0x0 for none), whether "no picture" and the banner show, and whether
        // both buttons for a game are enabled.
        using Shown = std::tuple<QString, QSize, bool, bool, bool>;
        const auto shown = [this] {
            return Shown(control<QLineEdit>("gio")->text(), control<QLabel>("Snap")->pixmap().size(),
                         control<QLabel>("Notpic")->isVisible(), control<QLabel>("Banner")->isVisible(),
                         control<QPushButton>("Launch")->isEnabled() && control<QPushButton>("InputOpt")->isEnabled());
        };
        QCOMPARE(shown(), Shown("", QSize(0, 0), false, true, false));
        QVERIFY(select("Zapper"));
        QCOMPARE(shown(), Shown("zapper", QSize(40, 30), false, false, true));
        QVERIFY(select("No Shot"));
        QCOMPARE(shown(), Shown("nothing", QSize(0, 0), true, false, true));
        QTest::keyClick(m_list, Qt::Key_Up); // Corrupt Shot: the broken JPEG gives way to the GIF
        QCOMPARE(shown(), Shown("corrupt", QSize(1, 1), false, false, true));

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
    }

    void dialogsDisableMainWindow_data()
    {
        // The button, the dialog it opens, the button that closes it, the file that closing writes.
        QTest::addColumn<QStringList>("names");
        // The dialogs get the main window's folder, and the game options dialog the selected set.
        QTest::newRow("Default Options") << QStringList{"Option", "OptionFrm", "OK", "Gantrel.ini"};
        QTest::newRow("Options For This Game") << QStringList{"InputOpt", "Inputfrm", "OK", "pacx.ini"};
    }

    void dialogsDisableMainWindow()
    {
        QFETCH(QStringList, names);
        QVERIFY(openWindow() && select("pac X, the return"));
        // Twice: the dialog is made afresh at every opening.
        for (int opening = 0; opening < 2; ++opening) {
            click(names.at(0));
            QPointer<QWidget> shown = topLevel(names.at(1));
            QVERIFY(shown && shown->parentWidget() == nullptr);
            // While the dialog is open the main window is disabled and cannot be closed.
            QVERIFY(!m_frm->close() && m_frm->isVisible());

            QTest::mouseClick(shown->findChild<QPushButton*>(names.at(2)), Qt::LeftButton);
            QTRY_VERIFY(shown.isNull());
            // The main window is enabled again, and the button that opened the dialog has the keyboard.
            QTRY_COMPARE(QApplication::focusWidget(), control<QPushButton>(qPrintable(names.at(0))));
        }
        QVERIFY(QFileInfo::exists(m_work->filePath(names.at(3))));
    }
};

QTEST_MAIN(TestMainFrm)
#include "tst_mainfrm.moc"
