#include "ArchiveMaker.h"
#include "ArchiveReader.h"
#include "Handles.h"
#include "LocalText.h"

#include <QFile>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <tuple>

namespace {

// What libzip tells of one entry: name, index, size, compressed size, CRC, time, methods of compression and
// encryption, then the entry's data and the error that reading it gave.
using Entry = std::tuple<QByteArray, zip_uint64_t, zip_uint64_t, zip_uint64_t, zip_uint32_t, time_t, quint16, quint16,
                         QByteArray, int>;

Entry entryOf(zip_t* archive, zip_uint64_t local, zip_uint64_t offset)
{
    zip_stat_t stat;
    if (zip_stat_index(archive, local, ZIP_FL_ENC_RAW, &stat) != 0)
        return {};
    const Unzip::ZipFilePtr file(zip_fopen_index_encrypted(archive, local, 0, "secret"));
    thread_local QByteArray buffer(200000, '\0'); // large reads of stored data reach the archive's source as they are
    QByteArray data;
    zip_int64_t got = 0;
    while (file && (got = zip_fread(file.get(), buffer.data(), zip_uint64_t(buffer.size()))) > 0)
        data.append(buffer.constData(), static_cast<qsizetype>(got));
    const int readError = !file     ? zip_error_code_zip(zip_get_error(archive))
                          : got < 0 ? zip_error_code_zip(zip_file_get_error(file.get()))
                                    : 0;
    return {stat.name,        stat.index + offset,    stat.size, stat.comp_size, stat.crc, stat.mtime,
            stat.comp_method, stat.encryption_method, data,      readError};
}

Entry entryThrough(Unzip::ArchiveReader* reader, zip_uint64_t index)
{
    zip_uint64_t local = 0;
    int error = ZIP_ER_OK;
    zip_t* archive = reader->archiveFor(index, &local, &error);
    return archive ? entryOf(archive, local, index - local) : Entry{{}, 0, 0, 0, 0, 0, 0, 0, {}, error};
}

} // namespace

class TestArchiveReader : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithWholeArchive_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<zip_uint64_t>("sliceSize");
        QTest::addColumn<bool>("sliced"); // read slice by slice, or left to libzip whole

        const QDateTime time(QDate(2001, 2, 3), QTime(4, 5, 6));
        QByteArray stored;
        for (int i = 0; i < 30000; ++i)
            stored += QByteArray::number(i * 7919 % 10007);
        const QByteArray mixed = archiveBytes({{"plain.txt", QByteArray(3000, 'p'), 0, time},
                                               {"stored.bin", stored, Stored},
                                               {"secret.txt", "hidden words", Encrypted},
                                               {"dir/"},
                                               {"link", "plain.txt", Symlink},
                                               {"empty"},
                                               {"caf\u00e9 s\u00e9t.txt", "accents", Stored, time}});
        for (const zip_uint64_t size : {zip_uint64_t(1), zip_uint64_t(3), Unzip::ArchiveReader::DefaultSliceSize})
            QTest::addRow("members, slices of %d", int(size)) << mixed << size << true;
        QByteArray commented = mixed;
        commented[commented.size() - 2] = 5;
        QTest::addRow("comment") << commented + "hello" << zip_uint64_t(3) << true;
        // More entries than a plain end record can count, so libzip writes zip64 end records.
        const QByteArray many = archiveBytes(emptyMembers(70000));
        QTest::addRow("zip64, default slices") << many << Unzip::ArchiveReader::DefaultSliceSize << true;

        // Its local header claims an extra field that ends near the end of the archive, or past it.
        for (const int past : {-2, 10}) {
            QByteArray overlong = archiveBytes({{"a", "abc", Stored}});
            qToLittleEndian<quint16>(quint16(overlong.size() - 31 + past), overlong.data() + 28);
            QTest::addRow("member data from %d bytes past the end", past) << overlong << zip_uint64_t(1) << true;
        }
        QTest::addRow("cut short") << mixed.chopped(30) << zip_uint64_t(3) << false;
        commented[commented.size() - 2] = 26;
        QTest::addRow("end signature in the comment")
            << commented + "PK\5\6" + QByteArray(22, '\0') << zip_uint64_t(3) << false;
        QByteArray counted = mixed;
        counted[counted.size() - 12] = counted[counted.size() - 14] = 8;
        QTest::addRow("count off by one") << counted << zip_uint64_t(3) << false;
        QTest::addRow("zip64 count off by one")
            << many.left(many.size() - 66) + '\x71' + many.right(65) << zip_uint64_t(3) << false;
    }

    void agreesWithWholeArchive()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(zip_uint64_t, sliceSize);
        QTemporaryDir dir;
        QFile file(dir.filePath("set.zip"));
        QVERIFY(!bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const QByteArray path = Platform::encodeLocal(file.fileName());

        int wholeError = ZIP_ER_OK;
        const Unzip::ZipArchivePtr whole(zip_open(path.constData(), ZIP_RDONLY, &wholeError));
        Unzip::ArchiveReader first;
        int readerError = ZIP_ER_OK;
        QCOMPARE(first.open(path, &readerError, sliceSize), bool(whole));
        QCOMPARE(readerError, wholeError);
        QTEST(first.sliced(), "sliced");
        if (!whole)
            return;
        int commentLength = -1;
        zip_get_archive_comment(whole.get(), &commentLength, ZIP_FL_ENC_RAW);
        QCOMPARE(first.commentLength(), commentLength);
        QCOMPARE(first.entryCount(), zip_uint64_t(zip_get_num_entries(whole.get(), 0)));

        // Forwards through the reader, and at the same time backwards through its copy on another thread.
        Unzip::ArchiveReader second = first.sharedCopy();
        QList<Entry> expected, forwards, backwards;
        const zip_uint64_t count = first.entryCount();
        std::thread other([&] {
            for (zip_uint64_t i = count; i > 0; --i)
                backwards.prepend(entryThrough(&second, i - 1));
        });
        for (zip_uint64_t i = 0; i < count; ++i) {
            expected.append(entryOf(whole.get(), i, 0));
            forwards.append(entryThrough(&first, i));
        }
        other.join();
        QCOMPARE(forwards, expected);
        QCOMPARE(backwards, expected);
    }
};

QTEST_GUILESS_MAIN(TestArchiveReader)
#include "tst_archivereader.moc"
