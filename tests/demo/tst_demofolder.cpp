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
    void listsGamesWithSnapshots()
    {
        WorkFolder work;
        const QString copy = work.filePath("demo");
        QCOMPARE(QProcess::execute("cp", {"-a", QStringLiteral(GANTREL_DEMO_DIR), copy}), 0);

        MessageBoxSpy spy;
        MainFrm frm{QDir(copy)};
        QVERIFY(frm.Form_Load());
        QCOMPARE(spy.requests().size(), 0);

        // Some games show a snapshot, some have none.
        auto* list = frm.findChild<QListWidget*>("Lista");
        int shown = 0;
        for (int row = 0; row < list->count(); ++row) {
            list->setCurrentRow(row);
            shown += frm.findChild<QLabel*>("Snap")->pixmap().isNull() ? 0 : 1;
        }
        QVERIFY2(shown > 0 && shown < list->count(),
                 qPrintable(QStringLiteral("%1 of %2").arg(shown).arg(list->count())));

        // The guide that the message about a missing catalogue names lies beside the catalogue.
        const QByteArray guide = work.read("demo/Gantrel.txt");
        QVERIFY(guide.contains("roms.txt"));
        QCOMPARE(guide.count("\r\n"), guide.count('\n'));
    }
};

QTEST_MAIN(TestDemoFolder)
#include "tst_demofolder.moc"
