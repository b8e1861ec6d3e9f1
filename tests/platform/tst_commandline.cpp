#include "CommandLine.h"

#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void split_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("arguments");

        // An empty line of the settings file gives two blanks in a row: no empty argument.
        QTest::newRow("blanks in a row") << "torvak.exe pacman  -vsync OFF "
                                         << QStringList{"torvak.exe", "pacman", "-vsync", "OFF"};
        QTest::newRow("tab") << "a\tb" << QStringList{"a", "b"};
        QTest::newRow("quotes inside a word, empty, doubled")
            << "a\"b c\"d \"\" \"a\"\"b\"" << QStringList{"ab cd", "", "a\"b"};
        QTest::newRow("unclosed quote") << "a \"b c" << QStringList{"a", "b c"};
        QTest::newRow("backslashes literal") << "C:\\games\\x\\ y" << QStringList{"C:\\games\\x\\", "y"};
        QTest::newRow("even, then odd backslashes before quote")
            << "\"a\\\\\" b \"a\\\\\\\" b\"" << QStringList{"a\\", "b", "a\\\" b"};
        QTest::newRow("only blanks") << "   " << QStringList{};
    }

    void split()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, arguments);
        QCOMPARE(Platform::splitCommandLine(line), arguments);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
