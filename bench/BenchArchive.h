#pragma once

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

// Writes a zip archive of (name, data) members, deflated; false when that fails.
inline bool writeArchive(const QString& path, const std::vector<std::pair<QByteArray, QByteArray>>& members)
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

// An archive of `count` empty stored members in folders of 1,000, written directly: libzip would
// hold every entry in memory while writing, which is not what is measured here.
inline bool writeManyMembers(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto put = [](QByteArray& out, quint64 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.append(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    QByteArray central;
    QByteArray local;
    quint64 offset = 0;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "d" + QByteArray::number(i / 1000) + "/m" + QByteArray::number(i) + ".bin";
        local.clear();
        put(local, 0x04034b50, 4);
        put(local, 20, 2);
        put(local, 0, 2 + 2 + 2);
        put(local, 0x21, 2); // 1 January 1980
        put(local, 0, 4 + 4 + 4);
        put(local, static_cast<quint64>(name.size()), 2);
        put(local, 0, 2);
        local += name;
        put(central, 0x02014b50, 4);
        put(central, 20, 2);
        put(central, 20, 2);
        put(central, 0, 2 + 2 + 2);
        put(central, 0x21, 2);
        put(central, 0, 4 + 4 + 4);
        put(central, static_cast<quint64>(name.size()), 2);
        put(central, 0, 2 + 2 + 2 + 2 + 4);
        put(central, offset, 4);
        central += name;
        offset += static_cast<quint64>(local.size());
        if (file.write(local) != local.size())
            return false;
    }
    QByteArray end;
    const quint64 end64 = offset + static_cast<quint64>(central.size());
    put(end, 0x06064b50, 4);
    put(end, 44, 8);
    put(end, 45, 2);
    put(end, 45, 2);
    put(end, 0, 4 + 4);
    put(end, static_cast<quint64>(count), 8);
    put(end, static_cast<quint64>(count), 8);
    put(end, static_cast<quint64>(central.size()), 8);
    put(end, offset, 8);
    put(end, 0x07064b50, 4);
    put(end, 0, 4);
    put(end, end64, 8);
    put(end, 1, 4);
    put(end, 0x06054b50, 4);
    put(end, 0, 2 + 2);
    put(end, 0xffff, 2);
    put(end, 0xffff, 2);
    put(end, 0xffffffff, 4);
    put(end, 0xffffffff, 4);
    put(end, 0, 2);
    return file.write(central) == central.size() && file.write(end) == end.size();
}

// Runs `write` in a child process, so that what it allocates never counts in this process's peak
// memory; false when it fails.
inline bool writtenByChild(const std::function<bool()>& write)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(write() ? 0 : 1);
    int status = 1;
    return child > 0 && ::waitpid(child, &status, 0) == child && status == 0;
}

// Runs the benchmarks that the command line selects; with `alone`, only that one, registered as
// `run` and run once in real time. Returns the program's exit status.
inline int runBenchmarks(int argc, char** argv, const char* alone = nullptr, void (*run)(benchmark::State&) = nullptr)
{
    if (alone)
        benchmark::RegisterBenchmark(alone, run)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (alone)
        benchmark::RunSpecifiedBenchmarks(nullptr, nullptr, alone);
    else
        benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The peak resident memory of this process so far.
inline double peakMiB()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}
