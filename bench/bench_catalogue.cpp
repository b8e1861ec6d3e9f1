// Loading a large catalogue against a large emulator folder, beside the floor that any load must
// pay: reading the catalogue file and listing the working folder and roms/ once.

#include "Catalogue.h"
#include "FolderListing.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int Records = 50000;
constexpr int Folders = 20000;
constexpr int Zips = 20000;

QString setName(int i)
{
    return QStringLiteral("game%1").arg(i, 5, 10, QLatin1Char('0'));
}

// Records 0..49999; even records below 40000 are unpacked folders, odd ones zips, the rest absent.
// A third of the folders and archives are spelt in capitals, as copies from other systems often are.
const QTemporaryDir& emulatorFolder()
{
    static QTemporaryDir dir;
    static bool laid = false;
    if (laid)
        return dir;
    laid = true;

    QByteArray roms;
    for (int i = 0; i < Records; ++i)
        roms += setName(i).toLatin1() + ",\"Generated Game " + QByteArray::number(i) + ", Deluxe\"\r\n";
    QFile file(dir.filePath(QStringLiteral("roms.txt")));
    if (!file.open(QIODevice::WriteOnly) || file.write(roms) != roms.size())
        std::perror("roms.txt");
    file.close();

    QDir root(dir.path());
    root.mkdir(QStringLiteral("roms"));
    for (int i = 0; i < Folders; ++i) {
        const QString name = setName(2 * i);
        root.mkdir(i % 3 == 0 ? name.toUpper() : name);
    }
    for (int i = 0; i < Zips; ++i) {
        const QString name = setName(2 * i + 1) + QStringLiteral(".zip");
        QFile zip(root.filePath(QStringLiteral("roms/") + (i % 3 == 0 ? name.toUpper() : name)));
        if (!zip.open(QIODevice::WriteOnly))
            std::perror("zip");
    }
    return dir;
}

void BM_Floor(benchmark::State& state)
{
    const QString path = emulatorFolder().path();
    for (auto _ : state) {
        QFile file(path + QStringLiteral("/roms.txt"));
        file.open(QIODevice::ReadOnly);
        QByteArray data = file.readAll();
        benchmark::DoNotOptimize(data);
        qsizetype entries = 0;
        for (const QString& folder : {path, path + QStringLiteral("/roms")})
            Platform::listFolder(folder,
                                 [&entries](QByteArrayView name, Platform::ListedKind) { entries += name.size(); });
        benchmark::DoNotOptimize(entries);
    }
}

void BM_ReadCatalogue(benchmark::State& state)
{
    const QDir dir(emulatorFolder().path());
    for (auto _ : state) {
        Catalogue catalogue = readCatalogue(dir);
        if (catalogue.table.count() != GameTable::SlotCount)
            state.SkipWithError("unexpected table");
        benchmark::DoNotOptimize(catalogue);
    }
}

} // namespace

BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCatalogue)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
