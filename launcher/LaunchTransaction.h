#pragma once

#include "LaunchPlan.h"
#include "ExtractionPlan.h"
#include "LaunchRecord.h"
#include "Unzip32.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QLockFile;

// What an operation gave: its value, or the text of why it failed.
template <typename T = std::monostate> struct Result
{
    T value{};
    QString error;

    bool ok() const { return error.isEmpty(); }
    static Result failure(const QString& text) { return Result{T{}, text}; }
};

// The files of a launch as one transaction. Before a zipped set is extracted, what the extractions
// will create and replace is planned and written to a record in the working folder; the entries
// that members replace are moved aside under hidden names in their own folders; the clean-up then
// removes exactly what the record names and puts the moved entries back. A record left by a run
// that ended abnormally is undone the same way at the next start. Every step can be repeated after
// a crash at any moment and finishes the job.
//
// The extraction layer resolves relative paths against the current folder, so extracting refuses
// to run unless the current folder is the working folder.
class LaunchTransaction final
{
public:
    // Extracts one archive (as handed to the extraction layer) into a folder; returns its status.
    using ExtractFn = std::function<int(const QByteArray& archive, const QByteArray& target)>;

    enum class Lock { Taken, HeldElsewhere, NotWritable };

    // `workDir` is the working folder's absolute path.
    explicit LaunchTransaction(const QByteArray& workDir);
    ~LaunchTransaction();
    LaunchTransaction(const LaunchTransaction&) = delete;
    LaunchTransaction& operator=(const LaunchTransaction&) = delete;

    // Takes the one lock of the working folder, kept for this object's life. It is not taken in a
    // folder that cannot be written; a lock whose process has died is taken over.
    Lock lock();

    // Plans the extractions, writes the record, moves aside what members replace, then runs each
    // extraction in turn. The value is the last extraction's status; IZ_CTRLC (the user cancelled)
    // stops there, leaving the record for the clean-up. Fails, changing nothing, when the record
    // cannot be written or a record is still waiting for its clean-up.
    Result<int> extract(const QList<Extraction>& steps, const ExtractFn& extractOne);

    // Undoes the record, if there is one: the clean-up after a launch, and the recovery at start-up
    // after a run that ended abnormally. Fails, naming each entry that could not be put back and
    // where its copy is, when one could not; the copies and the record then stay.
    Result<> cleanUp();

    // Whether a record waits for its clean-up.
    bool pending() const;

    // Whether a name in the working folder or in a target folder is one of Gantrel's own files.
    static bool isOwnName(QByteArrayView name);

    // The options with which the launcher extracts: no questions, existing files replaced,
    // stored folders re-created.
    static DCL launchOptions();

    // One extraction with those options and no callbacks: the step of a launch run where no
    // window can ask or tell the user anything.
    static int extractWithoutWindow(const QByteArray& archive, const QByteArray& target);

private:
    bool currentFolderIsWorkFolder() const;
    bool inWorkFolder(const QByteArray& target) const;
    Result<> writeRecord(const LaunchRecord& record);
    // Adds what `plan` will change to the record, writes the record, then moves aside the entries
    // that the plan's members replace. A record that cannot be written gives PK_DISK.
    Result<int> prepare(const Unzip::ExtractionPlan& plan, LaunchRecord* record);
    // The bytes of the record in the working folder; none when there is no record.
    std::optional<QByteArray> recordBytes() const;
    QList<LaunchRecord::MovedAside> hiddenNames(const LaunchRecord& record, const QList<QByteArray>& paths) const;

    QByteArray m_workDir;
    int m_workFd = -1;
    std::unique_ptr<QLockFile> m_lock;
};
