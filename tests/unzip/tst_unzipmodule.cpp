#include <QTest>
class TestUnzipModule final : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(TestUnzipModule)
#include "tst_unzipmodule.moc"
