// A whole launch of a zipped set: its extraction and its clean-up, for a 2,000-member archive
// extracted into the user's existing shared folder and into a new folder. Each is measured with the
// launch record (LaunchTransaction) and with the earlier way, kept below for the comparison: note
// the shared folder's entries before, keep a second name (hard link) for each of its files in a
// hidden folder, and afterwards remove what was not there before and give back the kept files.
// Run with --benchmark_enable_random_interleaving=true so that both alternate on a noisy machine.
// With --million, one launch of a 1,000,000-member set into a new folder is measured instead, with
// the peak memory of the process, keeping the extraction's messages as the window does.

#include "BenchArchive.h"
#include "LaunchPlan.h"
#include "LaunchTransaction.h"
#include "LocalText.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

constexpr int Members = 2000;
constexpr int UserFiles = 300; // in the shared folder; every tenth is replaced by a member
constexpr QDir::Filters everything = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

struct Fixture
{
    QTemporaryDir dir;
};

// The working folder: roms/shared.zip and roms/fresh.zip with the same 2,000 members in 20 folders,
// the user's shared folder "shared" with files of its own, and no folder "fresh".
const Fixture& fixture()
{
    static Fixture f;
    static bool laid = false;
    if (!laid) {
        laid = true;
        std::mt19937 random(7);
        std::vector<std::pair<QByteArray, QByteArray>> members;
        for (int i = 0; i < Members; ++i) {
            QByteArray data(512 + static_cast<int>(random() % 4096), Qt::Uninitialized);
            for (char& c : data)
                c = static_cast<char>(random() % 16);
            members.emplace_back("part" + QByteArray::number(i % 20) + "/rom" + QByteArray::number(i) + ".bin", data);
        }
        const QDir work(f.dir.path());
        work.mkpath(QStringLiteral("roms"));
        writeArchive(work.filePath(QStringLiteral("roms/shared.zip")), members);
        writeArchive(work.filePath(QStringLiteral("roms/fresh.zip")), members);
        for (int i = 0; i < UserFiles; ++i) {
            const QString name = i % 10 == 0 ? QStringLiteral("shared/part%1/rom%2.bin").arg(i % 20).arg(i)
                                             : QStringLiteral("shared/user%1.dat").arg(i);
            work.mkpath(QFileInfo(work.filePath(name)).path());
            QFile file(work.filePath(name));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(2048, 'u'));
        }
        QDir::setCurrent(f.dir.path());
    }
    return f;
}

// The earlier way, as it was.
class KeptFolder
{
public:
    void begin(const QDir& workDir, const QString& folder)
    {
        m_workDir = workDir;
        m_root = workDir.filePath(folder);
        m_existed = QFileInfo(m_root).isDir();
        if (!m_existed)
            return;
        m_keptPath = workDir.filePath(QStringLiteral(".gantrel-kept-") + folder);
        ::mkdir(QFile::encodeName(m_keptPath).constData(), 0777);
        const QDir root(m_root);
        const QDir kept(m_keptPath);
        QDirIterator it(m_root, everything, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            const QString relative = root.relativeFilePath(entry);
            m_before.insert(relative);
            const QFileInfo info = it.fileInfo();
            if (info.isFile() && !info.isSymLink()) {
                const QString keptFile = kept.filePath(relative);
                kept.mkpath(QFileInfo(keptFile).path());
                ::link(QFile::encodeName(entry).constData(), QFile::encodeName(keptFile).constData());
            }
        }
    }

    void clean()
    {
        QDir root(m_root);
        if (!m_existed) {
            root.removeRecursively();
            return;
        }
        QStringList newFiles;
        QStringList newFolders;
        QDirIterator it(m_root, everything, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString relative = root.relativeFilePath(it.next());
            if (m_before.contains(relative))
                continue;
            const QFileInfo info = it.fileInfo();
            (info.isDir() && !info.isSymLink() ? newFolders : newFiles).append(relative);
        }
        for (const QString& file : std::as_const(newFiles))
            root.remove(file);
        std::sort(newFolders.begin(), newFolders.end(),
                  [](const QString& a, const QString& b) { return a.count(u'/') > b.count(u'/'); });
        for (const QString& folder : std::as_const(newFolders))
            root.rmdir(folder);
        const QDir kept(m_keptPath);
        QStringList folders;
        QDirIterator keptIt(m_keptPath, everything, QDirIterator::Subdirectories);
        while (keptIt.hasNext()) {
            const QString keptFile = keptIt.next();
            const QString relative = kept.relativeFilePath(keptFile);
            if (keptIt.fileInfo().isDir()) {
                folders.append(relative);
                continue;
            }
            const QString original = root.filePath(relative);
            struct stat a = {};
            struct stat b = {};
            if (::stat(QFile::encodeName(original).constData(), &a) == 0 &&
                ::stat(QFile::encodeName(keptFile).constData(), &b) == 0 && a.st_ino == b.st_ino)
                QFile::remove(keptFile);
            else
                std::rename(QFile::encodeName(keptFile).constData(), QFile::encodeName(original).constData());
        }
        std::sort(folders.begin(), folders.end(),
                  [](const QString& a, const QString& b) { return a.count(u'/') > b.count(u'/'); });
        for (const QString& folder : std::as_const(folders))
            kept.rmdir(folder);
        m_workDir.rmdir(m_keptPath);
    }

private:
    QDir m_workDir;
    QString m_root;
    bool m_existed = false;
    QSet<QString> m_before;
    QString m_keptPath;
};

void launchWithRecord(benchmark::State& state, const char* set)
{
    const QByteArray work = QFile::encodeName(fixture().dir.path());
    LaunchTransaction launch(work);
    const QString name = QString::fromLatin1(set);
    const QList<Extraction> steps{{QStringLiteral(".\\roms\\") + name + QStringLiteral(".zip"), name}};
    for (auto _ : state) {
        const Result<int> extracted = launch.extract(steps, LaunchTransaction::extractWithoutWindow);
        const Result<> cleaned = launch.cleanUp();
        if (!extracted.ok() || extracted.value != PK_OK || !cleaned.ok())
            state.SkipWithError("the launch failed");
    }
}

void launchWithKeptFolder(benchmark::State& state, const char* set)
{
    const QDir work(fixture().dir.path());
    const QString name = QString::fromLatin1(set);
    const QByteArray archive = ".\\roms\\" + QByteArray(set) + ".zip";
    for (auto _ : state) {
        KeptFolder kept;
        kept.begin(work, name);
        if (LaunchTransaction::extractWithoutWindow(archive, QByteArray(set)) != PK_OK)
            state.SkipWithError("the extraction failed");
        kept.clean();
    }
}

void BM_SharedFolder_Record(benchmark::State& state)
{
    launchWithRecord(state, "shared");
}
void BM_SharedFolder_KeptLinks(benchmark::State& state)
{
    launchWithKeptFolder(state, "shared");
}
void BM_NewFolder_Record(benchmark::State& state)
{
    launchWithRecord(state, "fresh");
}
void BM_NewFolder_KeptLinks(benchmark::State& state)
{
    launchWithKeptFolder(state, "fresh");
}

// The window's extraction module keeps every message of the extraction as text.
QString messages;
int keepMessage(char* buffer, unsigned long size)
{
    messages += QString::fromLocal8Bit(buffer, static_cast<qsizetype>(qstrnlen(buffer, size)));
    return 0;
}

int extractKeepingMessages(const QByteArray& archive, const QByteArray& target)
{
    DCL options = LaunchTransaction::launchOptions();
    QByteArray zip = archive;
    QByteArray into = target;
    options.lpszZipFN = zip.data();
    options.lpszExtractDir = into.data();
    USERFUNCTIONS callbacks = {};
    callbacks.print = keepMessage;
    messages.clear();
    return windll_unzip(0, nullptr, 0, nullptr, &options, &callbacks);
}

// The archive is written by a child process, so that the peak memory is the launch's.
void BM_Million_Record(benchmark::State& state)
{
    QTemporaryDir dir;
    if (!writtenByChild([&] {
            return QDir(dir.path()).mkdir(QStringLiteral("roms")) &&
                   writeManyMembers(dir.filePath(QStringLiteral("roms/million.zip")), 1000000);
        })) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    const QByteArray work = QFile::encodeName(dir.path());
    const QByteArray previous = QFile::encodeName(QDir::currentPath());
    if (::chdir(work.constData()) != 0) {
        state.SkipWithError("cannot enter the working folder");
        return;
    }
    LaunchTransaction launch(work);
    const QList<Extraction> steps{{QStringLiteral(".\\roms\\million.zip"), QStringLiteral("million")}};
    for (auto _ : state) {
        const Result<int> extracted = launch.extract(steps, extractKeepingMessages);
        const Result<> cleaned = launch.cleanUp();
        if (!extracted.ok() || extracted.value != PK_OK || !cleaned.ok())
            state.SkipWithError("the launch failed");
    }
    state.counters["peak_MiB"] = peakMiB();
    if (::chdir(previous.constData()) != 0)
        state.SkipWithError("cannot leave the working folder");
}

} // namespace

BENCHMARK(BM_SharedFolder_Record)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SharedFolder_KeptLinks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NewFolder_Record)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NewFolder_KeptLinks)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[argc - 1], "--million") == 0)
        return runBenchmarks(argc - 1, argv, "BM_Million_Record", BM_Million_Record);
    return runBenchmarks(argc, argv);
}
