#include "AboutFrm.h"
#include "DialogForm.h"

#include <QPointer>
#include <QTest>

class TestAboutFrm : public QObject
{
    Q_OBJECT

private slots:
    // Enter presses OK, and Esc closes the box as well: the main window is enabled again and the box goes.
    // The close box closes through close(), as the option dialogs' Cancel buttons do.
    void closesAndEnablesMainWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    void closesAndEnablesMainWindow()
    {
        QFETCH(int, key);
        QWidget mainWindow;
        QPointer<AboutFrm> about = new AboutFrm(&mainWindow);
        Platform::showDialog(&mainWindow, about);
        QVERIFY(!mainWindow.isEnabled());
        // Wherever the keyboard is in the box, not only on the button.
        about->setFocus();
        QTest::keyClick(about, Qt::Key(key));
        QVERIFY(mainWindow.isEnabled());
        QTRY_VERIFY(about.isNull());
    }

    void versionInOrder() { QCOMPARE(AboutFrm::versionText(1, 20, 300), QStringLiteral("Version 1.20.300")); }
};

QTEST_MAIN(TestAboutFrm)
#include "tst_aboutfrm.moc"
