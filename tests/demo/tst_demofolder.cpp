#include "MainFrm.h"
#include "MessageBoxSpy.h"
#include "WorkFolder.h"

#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTest>

// The demo folder that the run command starts the program in.
class TestDemoFolder : public QObject
{
    Q_OBJECT

private slots:
    void listsSortedGamesWithSnapshots()
    {
        WorkFolder work;
        const QString copy = work.filePath("demo");
        QCOMPARE(QProcess::execute("cp", {"-a", QStringLiteral(GANTREL_DEMO_DIR), copy}), 0);

        MessageBoxSpy spy;
        MainFrm frm{QDir(copy)};
        QVERIFY(frm.Form_Load() && spy.requests().isEmpty());
        frm.show();

        auto* list = frm.findChild<QListWidget*>("Lista");
        QVERIFY(list->count() >= 10);

        // Some games show a snapshot, some have none.
        QList<int> pictures{0, 0};
        for (int row = 0; row < list->count(); ++row) {
            list->setCurrentRow(row);
            ++pictures[frm.findChild<QLabel*>("Snap")->pixmap().isNull()];
        }
        QVERIFY(!pictures.contains(0));

        // The guide that the message about a missing catalogue names lies beside the catalogue.
        const QByteArray guide = work.read("demo/Gantrel.txt");
        QVERIFY(guide.contains("roms.txt") && guide.contains("gantrel.ini"));
        QCOMPARE(guide.count("\r\n"), guide.count('\n'));
    }
};

QTEST_MAIN(TestDemoFolder)
#include "tst_demofolder.moc"
