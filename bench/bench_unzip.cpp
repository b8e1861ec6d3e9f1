// Extracting a large and a many-membered ROM archive with the program's extraction layer, beside
// the command-line `unzip` doing the same work and a plain copy of the extracted files (the floor:
// the disk making the files), in one run. At the end the medians are compared. With --million, an
// archive of 1,000,000 empty members is extracted once instead, and with --deep one of twenty members
// 32,000 folders deep, each with the peak memory of the process.

#include "BenchArchive.h"
#include "Unzip32.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

extern char** environ;

namespace {

constexpr int LargeMembers = 50;
constexpr int LargeMemberSize = 4 * 1024 * 1024; // 50 x 4 MiB = 200 MiB
constexpr int SmallMembers = 2000;

// ROM-like bytes: stretches of noise (code, samples) between runs and short repeating patterns
// (empty space, tile data), so that deflate roughly halves them.
QByteArray romImage(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray data(size, Qt::Uninitialized);
    int at = 0;
    while (at < size) {
        const int run = std::min(size - at, 256 + static_cast<int>(random() % 4096));
        const unsigned kind = random() % 4;
        for (int i = 0; i < run; ++i) {
            if (kind < 2)
                data[at + i] = static_cast<char>(random());
            else if (kind == 2)
                data[at + i] = static_cast<char>(i % 16 < 8 ? 0xff : 0x00);
            else
                data[at + i] = '\0';
        }
        at += run;
    }
    return data;
}

struct Fixture
{
    QTemporaryDir dir;
    QString large;
    QString small;
    QString smallTree; // the small archive, extracted: what the copy copies
};

const Fixture& fixture()
{
    static Fixture f;
    static bool laid = false;
    if (laid)
        return f;
    laid = true;
    f.large = f.dir.filePath(QStringLiteral("large.zip"));
    f.small = f.dir.filePath(QStringLiteral("small.zip"));

    std::vector<std::pair<QByteArray, QByteArray>> members;
    for (int i = 0; i < LargeMembers; ++i)
        members.emplace_back("big/rom" + QByteArray::number(i) + ".bin",
                             romImage(LargeMemberSize, 1000u + unsigned(i)));
    if (!writeArchive(f.large, members))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.large));

    members.clear();
    std::mt19937 sizes(7);
    for (int i = 0; i < SmallMembers; ++i)
        members.emplace_back("set" + QByteArray::number(i % 20) + "/tile" + QByteArray::number(i) + ".bin",
                             romImage(1024 + static_cast<int>(sizes() % 15360), 5000u + unsigned(i)));
    if (!writeArchive(f.small, members))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.small));
    f.smallTree = f.dir.filePath(QStringLiteral("small-tree"));
    return f;
}

// Copies the files and folders of `from` into the new folder `to`, as a copy program does.
bool copyTree(const QByteArray& from, const QByteArray& to)
{
    if (::mkdir(to.constData(), 0777) != 0)
        return false;
    DIR* dir = ::opendir(from.constData());
    if (!dir)
        return false;
    static std::vector<char> buffer(256 * 1024);
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray source = from + '/' + name;
        const QByteArray target = to + '/' + name;
        if (entry->d_type == DT_DIR) {
            ok = copyTree(source, target) && ok;
            continue;
        }
        const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        ssize_t got = 0;
        while (in >= 0 && out >= 0 && (got = ::read(in, buffer.data(), buffer.size())) > 0)
            ok = ::write(out, buffer.data(), static_cast<size_t>(got)) == got && ok;
        ok = in >= 0 && out >= 0 && got == 0 && ok;
        if (in >= 0)
            ::close(in);
        if (out >= 0)
            ok = ::close(out) == 0 && ok;
    }
    ::closedir(dir);
    return ok;
}

QString messages;

int collect(char* buffer, unsigned long size)
{
    messages += QString::fromLocal8Bit(buffer, static_cast<qsizetype>(size));
    return 0;
}

// The launcher's call: every member, folders kept, existing files replaced, all messages.
int extractOurs(const QString& archive, const QString& target)
{
    QByteArray zip = QFile::encodeName(archive);
    QByteArray dir = QFile::encodeName(target);
    DCL options = {};
    options.ndflag = 1;
    options.noflag = 1;
    options.lpszZipFN = zip.data();
    options.lpszExtractDir = dir.data();
    USERFUNCTIONS callbacks = {};
    callbacks.print = collect;
    messages.clear();
    return windll_unzip(0, nullptr, 0, nullptr, &options, &callbacks);
}

int extractWithUnzip(const QString& archive, const QString& target)
{
    QByteArray zip = QFile::encodeName(archive);
    QByteArray dir = QFile::encodeName(target);
    char program[] = "unzip";
    char overwrite[] = "-o";
    char quiet[] = "-qq";
    char into[] = "-d";
    char* argv[] = {program, overwrite, quiet, zip.data(), into, dir.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QMap<QString, std::vector<double>> timings;

void run(benchmark::State& state, int (*extract)(const QString&, const QString&), bool large, const char* key)
{
    const Fixture& f = fixture();
    const QString archive = large ? f.large : f.small;
    // Every extraction goes to a new folder, as in the launcher, where the clean-up has removed the
    // last one; the folders are removed only after the timed runs.
    static int runs = 0;
    QStringList targets;
    for (auto _ : state) {
        const QString target = f.dir.filePath(QStringLiteral("out%1").arg(++runs));
        targets.append(target);
        QElapsedTimer clock;
        clock.start();
        const int status = extract(archive, target);
        timings[QLatin1String(key)].push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (status != 0) {
            state.SkipWithError("extraction failed");
            break;
        }
    }
    for (const QString& target : targets)
        QDir(target).removeRecursively();
}

// The floor: the already extracted files of the small archive, copied to a new folder.
int copyExtracted(const QString& archive, const QString& target)
{
    const Fixture& f = fixture();
    static const bool laid = extractOurs(archive, f.smallTree) == 0;
    return laid && copyTree(QFile::encodeName(f.smallTree), QFile::encodeName(target)) ? 0 : 1;
}

void BM_Ours_Large(benchmark::State& state)
{
    run(state, extractOurs, true, "ours large");
}
void BM_Unzip_Large(benchmark::State& state)
{
    run(state, extractWithUnzip, true, "unzip large");
}
void BM_Ours_Small(benchmark::State& state)
{
    run(state, extractOurs, false, "ours small");
}
void BM_Unzip_Small(benchmark::State& state)
{
    run(state, extractWithUnzip, false, "unzip small");
}

void BM_Copy_Small(benchmark::State& state)
{
    run(state, copyExtracted, false, "copy small");
}

// Extracts, once, an archive that `write` makes, and reports the peak memory of the process. The
// archive is written by a child process, so that the peak is the extraction's.
void extractOnce(benchmark::State& state, bool (*write)(const QString& path))
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("once.zip"));
    if (!writtenByChild([&] { return write(archive); })) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    for (auto _ : state) {
        // Members skipped on purpose (too deep) give status 1.
        if (extractOurs(archive, dir.filePath(QStringLiteral("out"))) > 1)
            state.SkipWithError("extraction failed");
    }
    state.counters["peak_MiB"] = peakMiB();
}

void BM_Ours_Million(benchmark::State& state)
{
    extractOnce(state, [](const QString& path) { return writeManyMembers(path, 1000000); });
}

// Twenty members, each 32,000 folders deep.
void BM_Ours_Deep(benchmark::State& state)
{
    extractOnce(state, [](const QString& path) {
        std::vector<std::pair<QByteArray, QByteArray>> members;
        for (int i = 0; i < 20; ++i)
            members.emplace_back(QByteArray("a/").repeated(32000) + "f" + QByteArray::number(i), "x");
        return writeArchive(path, members);
    });
}

BENCHMARK(BM_Ours_Large)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unzip_Large)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ours_Small)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unzip_Small)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Copy_Small)->Unit(benchmark::kMillisecond)->UseRealTime();

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    // --million or --deep: one extraction of that archive alone, with its peak memory.
    if (argc > 1 && std::strcmp(argv[argc - 1], "--million") == 0)
        return runBenchmarks(argc - 1, argv, "BM_Ours_Million", BM_Ours_Million);
    if (argc > 1 && std::strcmp(argv[argc - 1], "--deep") == 0)
        return runBenchmarks(argc - 1, argv, "BM_Ours_Deep", BM_Ours_Deep);
    if (const int status = runBenchmarks(argc, argv))
        return status;
    for (const char* size : {"large", "small"}) {
        const double ours = median(timings.value(QStringLiteral("ours %1").arg(QLatin1String(size))));
        const double unzip = median(timings.value(QStringLiteral("unzip %1").arg(QLatin1String(size))));
        if (ours > 0 && unzip > 0)
            std::printf("%s archive: ours %.1f ms, unzip %.1f ms, ratio ours/unzip %.2f\n", size, ours, unzip,
                        ours / unzip);
    }
    const double ours = median(timings.value(QStringLiteral("ours small")));
    const double copy = median(timings.value(QStringLiteral("copy small")));
    if (ours > 0 && copy > 0)
        std::printf("small archive: ours %.1f ms, copy of its files %.1f ms, ratio ours/copy %.2f\n", ours, copy,
                    ours / copy);
    return 0;
}
