// Extracting a large and a many-membered ROM archive with the program's extraction layer, beside
// the command-line `unzip` doing the same work, in one run. At the end the medians are compared.

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

#include <spawn.h>
#include <sys/wait.h>
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

bool writeArchive(const QString& path, const std::vector<std::pair<QByteArray, QByteArray>>& members)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const auto& [name, data] : members) {
        zip_source_t* source = zip_source_buffer(archive, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        if (!source || zip_file_add(archive, name.constData(), source, 0) < 0) {
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

struct Fixture
{
    QTemporaryDir dir;
    QString large;
    QString small;
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
    return f;
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

BENCHMARK(BM_Ours_Large)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unzip_Large)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ours_Small)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unzip_Small)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* size : {"large", "small"}) {
        const double ours = median(timings.value(QStringLiteral("ours %1").arg(QLatin1String(size))));
        const double unzip = median(timings.value(QStringLiteral("unzip %1").arg(QLatin1String(size))));
        if (ours > 0 && unzip > 0)
            std::printf("%s archive: ours %.1f ms, unzip %.1f ms, ratio ours/unzip %.2f\n", size, ours, unzip,
                        ours / unzip);
    }
    return 0;
}
