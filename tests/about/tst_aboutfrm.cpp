#include "AboutFrm.h"
#include "DialogForm.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestAboutFrm : public QObject
{
    Q_OBJECT

private slots:
    void showsTitleAndVersion();
    void versionWithoutLeadingZeros();
    void closesAndEnablesMainWindow_data();
    void closesAndEnablesMainWindow();
};

void TestAboutFrm::showsTitleAndVersion()
{
    QWidget mainWindow;
    auto* about = new AboutFrm(&mainWindow);
    QCOMPARE(about->windowTitle(), QStringLiteral("About Gantrel"));
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Gantrel"));
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 1.2.1"));
    QVERIFY(about->parentWidget() == nullptr);
    QCOMPARE(about->findChildren<QWidget*>(QStringLiteral("Line1")).size(), 2);
    delete about;
}

void TestAboutFrm::versionWithoutLeadingZeros()
{
    QCOMPARE(AboutFrm::versionText(1, 2, 1), QStringLiteral("Version 1.2.1"));
    QCOMPARE(AboutFrm::versionText(1, 2, 10), QStringLiteral("Version 1.2.10"));
    QCOMPARE(AboutFrm::versionText(10, 0, 0), QStringLiteral("Version 10.0.0"));
}

void TestAboutFrm::closesAndEnablesMainWindow_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK button") << QStringLiteral("click");
    QTest::newRow("Enter") << QStringLiteral("enter");
    QTest::newRow("Esc") << QStringLiteral("escape");
    QTest::newRow("close box") << QStringLiteral("close");
}

void TestAboutFrm::closesAndEnablesMainWindow()
{
    QFETCH(QString, how);
    QWidget mainWindow;
    mainWindow.show();
    QPointer<AboutFrm> about = new AboutFrm(&mainWindow);
    Platform::showDialog(&mainWindow, about);
    QVERIFY(!mainWindow.isEnabled());
    QVERIFY(about->isVisible());

    auto* ok = about->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    if (how == QLatin1String("click"))
        QTest::mouseClick(ok, Qt::LeftButton);
    else if (how == QLatin1String("enter"))
        QTest::keyClick(ok, Qt::Key_Return);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(ok, Qt::Key_Escape);
    else
        about->close();

    QVERIFY(mainWindow.isEnabled());
    QTRY_VERIFY(about.isNull());
}

QTEST_MAIN(TestAboutFrm)
#include "tst_aboutfrm.moc"
