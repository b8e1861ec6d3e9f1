#include "UnzipModule.h"

#include "AppInfo.h"
#include "LocalText.h"
#include "MessageBox.h"
#include "UnzipProgress.h"
#include "UnzipWorker.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

#include <QApplication>
#include <QTimer>

DCL UnzipOptions = {};
USERFUNCTIONS UnzipCallbacks = {};
UzpVer2 UnzipVersionInfo = {};
std::array<QString, 100> UnzipIncludeNames;
std::array<QString, 100> UnzipExcludeNames;
QString UnzipMessages;
QString UnzipListing;
QString UnzipNewLine;
qint32 UnzipListCount = 0;
int UnzipStatus = 0;

namespace {

constexpr unsigned long LastMessageIndex = 32800;
constexpr int LastNameIndex = 255;
constexpr int RepaintMilliseconds = 40;

int progressDelay = 500;

// The message and listing callbacks run on the extraction's thread; this keeps their appends whole.
std::mutex stateMutex;

// The library keeps the record's pointers; these keep the bytes they point to alive between calls.
QByteArray zipPathBytes;
QByteArray extractDirBytes;
std::array<QByteArray, 100> includeBytes;
std::array<QByteArray, 100> excludeBytes;
std::array<char*, 100> includePointers;
std::array<char*, 100> excludePointers;

// What the extraction's thread reports and the window's thread reads, and the user's Cancel.
struct Progress
{
    std::atomic<long long> done{0};
    std::atomic<long long> total{0};
    std::atomic<bool> cancelled{false};
    const UnzipWorker* worker = nullptr;
};

int onProgress(void* context, long long done, long long total)
{
    auto* progress = static_cast<Progress*>(context);
    progress->done.store(done, std::memory_order_relaxed);
    progress->total.store(total, std::memory_order_relaxed);
    // A program that quits while the extraction runs stops it too.
    return progress->cancelled.load() || progress->worker->abandoned() ? 1 : 0;
}

// The progress window of the running extraction and what it shows; used on the window's thread only.
UnzipProgress* shownWindow = nullptr;
const Progress* shownProgress = nullptr;

void showProgress()
{
    if (shownWindow)
        shownWindow->setProgress(shownProgress->done, shownProgress->total);
}

// The archive's own name for the progress window, whichever separator the path uses.
QString archiveName(const QString& zipPath)
{
    return zipPath.mid(std::max(zipPath.lastIndexOf(QLatin1Char('/')), zipPath.lastIndexOf(QLatin1Char('\\'))) + 1);
}

// Bytes of a library buffer from index 0 up to `last` at most, ending before the first NUL.
QString collect(const char* buffer, unsigned long last)
{
    if (!buffer)
        return {};
    unsigned long length = 0;
    while (length <= last && buffer[length] != '\0')
        ++length;
    return Platform::decodeLocal(QByteArrayView(buffer, static_cast<qsizetype>(length)));
}

// The number as text, with a blank where a minus sign would stand.
QString signedText(unsigned long value)
{
    return QLatin1Char(' ') + QString::number(value);
}

QString lastOf(const QString& text, qsizetype count)
{
    return text.size() <= count ? text : text.right(count);
}

QString twoDigits(unsigned value)
{
    return lastOf(QLatin1Char('0') + signedText(value).trimmed(), 2);
}

void place(QString& line, int column, const QString& text)
{
    line.replace(column - 1, text.size(), text);
}

void fillNames(const std::array<QString, 100>& names, std::array<QByteArray, 100>& bytes,
               std::array<char*, 100>& pointers)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        bytes[i] = Platform::encodeLocal(names[i]);
        pointers[i] = names[i].isNull() ? nullptr : bytes[i].data();
    }
}

} // namespace

void setUnzipProgressDelay(int milliseconds)
{
    progressDelay = milliseconds;
}

void UnzipArchive(const QString& zipPath, const QString& extractDir, qint16 prompt, qint16 overwrite, qint16 list,
                  qint16 dirs, qint32 includeCount, qint32 excludeCount)
{
    zipPathBytes = Platform::encodeLocal(zipPath);
    extractDirBytes = Platform::encodeLocal(extractDir);
    UnzipOptions = DCL{};
    UnzipOptions.PromptToOverwrite = prompt;
    UnzipOptions.nvflag = list;
    UnzipOptions.ndflag = dirs;
    UnzipOptions.noflag = overwrite;
    UnzipOptions.lpszZipFN = zipPath.isNull() ? nullptr : zipPathBytes.data();
    UnzipOptions.lpszExtractDir = extractDir.isNull() ? nullptr : extractDirBytes.data();

    UnzipCallbacks = USERFUNCTIONS{};
    UnzipCallbacks.print = UnzipPrintCallback;
    UnzipCallbacks.sound = nullptr;
    UnzipCallbacks.replace = UnzipReplaceCallback;
    UnzipCallbacks.password = UnzipPasswordCallback;
    UnzipCallbacks.SendApplicationMessage = UnzipListCallback;

    UnzipVersionInfo = UzpVer2{};
    UnzipVersionInfo.structlen = 64;
    std::memset(UnzipVersionInfo.betalevel, ' ', 9);
    std::memset(UnzipVersionInfo.date, ' ', 19);
    std::memset(UnzipVersionInfo.zlib_version, ' ', 9);
    UzpVersion2(&UnzipVersionInfo);

    // A count beyond the tables would hand the library pointers that do not exist.
    const int includes = std::clamp(includeCount, 0, static_cast<qint32>(UnzipIncludeNames.size()));
    const int excludes = std::clamp(excludeCount, 0, static_cast<qint32>(UnzipExcludeNames.size()));
    fillNames(UnzipIncludeNames, includeBytes, includePointers);
    fillNames(UnzipExcludeNames, excludeBytes, excludePointers);

    // The library runs on a thread of its own while this thread waits in an event loop: the windows
    // repaint, the progress window takes its Cancel, and the disabled main window drops its input.
    UnzipWorker worker;
    Progress progress;
    progress.worker = &worker;
    std::unique_ptr<UnzipProgress> window;
    QTimer showWindow;
    QTimer repaint;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Shown by a timer of the waiting loop, so that it also comes while the library is still
        // reading a long list of members.
        showWindow.setSingleShot(true);
        QObject::connect(&showWindow, &QTimer::timeout, [&] {
            window = std::make_unique<UnzipProgress>(archiveName(zipPath));
            QObject::connect(window.get(), &UnzipProgress::cancelled, [&progress] { progress.cancelled = true; });
            shownWindow = window.get();
            shownProgress = &progress;
            showProgress();
            window->show();
            repaint.start(RepaintMilliseconds);
        });
        QObject::connect(&repaint, &QTimer::timeout, showProgress);
        showWindow.start(progressDelay);
    }
    windll_set_progress(onProgress, &progress);
    const int status = worker.run([&] {
        return windll_unzip(includes, includePointers.data(), excludes, excludePointers.data(), &UnzipOptions,
                            &UnzipCallbacks);
    });
    windll_set_progress(nullptr, nullptr);
    shownWindow = nullptr;
    shownProgress = nullptr;
    window.reset();
    UnzipStatus = status;

    // A cancelled extraction needs no box: the user asked for it.
    if (status != PK_OK && status != IZ_CTRLC)
        Platform::messageBox(QString::number(status), Platform::appTitle(), Platform::MessageButtons::Ok,
                             UnzipMessages);
}

int UnzipPrintCallback(char* buffer, unsigned long size)
{
    try {
        const QString text = collect(buffer, std::min(size, LastMessageIndex));
        const std::lock_guard<std::mutex> lock(stateMutex);
        UnzipMessages += text;
    } catch (...) {
        // Nothing may reach the library.
    }
    return 0;
}

int UnzipReplaceCallback(char* fileName)
{
    try {
        const QString name = collect(fileName, LastNameIndex);
        // The box is the window thread's: the extraction waits for the answer. A program that quits
        // meanwhile answers Cancel.
        Platform::MessageAnswer answer = Platform::MessageAnswer::Cancel;
        const std::function<void()> ask = [&] {
            showProgress(); // up to the member asked about
            answer = Platform::messageBox(QStringLiteral("Overwrite ") + name + QLatin1Char('?'),
                                          QStringLiteral("VBUnzip - File already exists"),
                                          Platform::MessageButtons::YesNoCancel);
        };
        if (UnzipWorker* worker = UnzipWorker::current())
            worker->callOnWaitingThread(ask);
        else
            ask();
        switch (answer) {
        case Platform::MessageAnswer::Yes:
            return IDM_REPLACE_YES;
        case Platform::MessageAnswer::No:
            return IDM_REPLACE_NO;
        default:
            return IDM_REPLACE_NONE;
        }
    } catch (...) {
        return IDM_REPLACE_NONE;
    }
}

int UnzipPasswordCallback(char* passwordBuffer, int size, const char* prompt, const char* name)
{
    Q_UNUSED(passwordBuffer);
    Q_UNUSED(size);
    Q_UNUSED(prompt);
    Q_UNUSED(name);
    return 1;
}

void UnzipListCallback(unsigned long uncompressedSize, unsigned long compressedSize, unsigned factor, unsigned month,
                       unsigned day, unsigned year, unsigned hour, unsigned minute, char flag, const char* name,
                       const char* method, unsigned long crc, char encrypted)
{
    Q_UNUSED(compressedSize);
    Q_UNUSED(factor);
    Q_UNUSED(flag);
    Q_UNUSED(method);
    Q_UNUSED(crc);
    Q_UNUSED(encrypted);
    try {
        const std::lock_guard<std::mutex> lock(stateMutex);
        const QString blank(80, QLatin1Char(' '));
        QString line = blank;
        if (UnzipListCount == 0) {
            place(line, 1, QStringLiteral("Filename:"));
            place(line, 53, QStringLiteral("Size"));
            place(line, 62, QStringLiteral("Date"));
            place(line, 71, QStringLiteral("Time"));
            UnzipListing = line + UnzipNewLine;
            line = blank;
        }
        place(line, 1, collect(name, LastNameIndex).left(50));
        place(line, 51, lastOf(QString(8, QLatin1Char(' ')) + signedText(uncompressedSize), 7));
        place(line, 60, lastOf(signedText(day), 2) + QLatin1Char('/'));
        place(line, 63, twoDigits(month) + QLatin1Char('/'));
        place(line, 66, twoDigits(year));
        place(line, 70, lastOf(signedText(hour), 2) + QLatin1Char(':'));
        place(line, 73, twoDigits(minute));
        UnzipListing += line + UnzipNewLine;
        ++UnzipListCount;
    } catch (...) {
        // Nothing may reach the library.
    }
}
