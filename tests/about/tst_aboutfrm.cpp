#include "AboutFrm.h"
#include "DialogForm.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestAboutFrm : public QObject
{
    Q_OBJECT

private slots:
    // Clicking OK is the main window's suite's, which opens the box from its button.
    void closesAndEnablesMainWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("close box") << 0;
    }

    void closesAndEnablesMainWindow()
    {
        QFETCH(int, key);
        QWidget mainWindow;
        mainWindow.show();
        QPointer<AboutFrm> about = new AboutFrm(&mainWindow);
        Platform::showDialog(&mainWindow, about);
        QVERIFY(!mainWindow.isEnabled() && about->isVisible());
        if (key)
            QTest::keyClick(about->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::Key(key));
        else
            about->close();
        QVERIFY(mainWindow.isEnabled());
        QTRY_VERIFY(about.isNull());
    }
};

QTEST_MAIN(TestAboutFrm)
#include "tst_aboutfrm.moc"
