#pragma once

#include "ArchiveReader.h"
#include "ExtractionPlan.h"
#include "FolderIndex.h"
#include "Handles.h"
#include "MemberWriter.h"
#include "Unzip32.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include <zip.h>

namespace Unzip {

class SecondWriter;

// A folder below the target, as planning sees it: what it holds on disk and what the extraction
// adds to it.
struct PlanFolder
{
    PlanFolder* parent = nullptr;
    QByteArray name;     // on disk, in the parent
    bool onDisk = false; // found on disk: its names are listed when first needed
    bool listed = false;
    bool made = false;   // exists now; a planned folder is made when the extraction reaches it
    bool failed = false; // could not be made or read: the members below it fail at once
    FolderIndex index;
    std::map<QByteArray, std::unique_ptr<PlanFolder>> children; // by name on disk
};

// The target folder and everything planned into it, kept across the archives of one plan.
struct PlanTarget
{
    QByteArray path; // absolute, spelt as on disk where it exists
    bool exists = false;
    UniqueFd fd; // the open target folder, when it exists
    PlanFolder root;
    // Planning for the launcher: an existing file or link that a member replaces is moved aside
    // before anything is extracted, and the member is then written as a new file.
    bool moveAside = false;
    QSet<QByteArray> absent; // entries taken as already moved aside, by path below the target
    bool record = false;     // keep the changes below
    QList<PlannedChange> movedAside;
    QList<PlannedChange> changes;
};

// Finds `given` ('/' or '\' between names, relative to the current folder unless absolute)
// without regard to case, following links. The parts that do not exist keep the spelling given.
struct FoundPath
{
    QByteArray path;
    bool exists = false;
};
FoundPath findPath(const QByteArray& given, bool wantFolder);

// The members a call works on, in archive order: all of them (held as a count, however many there
// are), or the ones its names choose.
class MemberSelection
{
public:
    explicit MemberSelection(zip_uint64_t all = 0) : m_all(all) {}
    void choose(zip_uint64_t index) { m_chosen.push_back(index); }
    void chooseOnly()
    {
        m_all = 0;
        m_some = true;
    }
    std::size_t size() const { return m_some ? m_chosen.size() : static_cast<std::size_t>(m_all); }
    bool empty() const { return size() == 0; }
    zip_uint64_t at(std::size_t k) const { return m_some ? m_chosen[k] : k; }

private:
    zip_uint64_t m_all = 0;
    bool m_some = false;
    std::vector<zip_uint64_t> m_chosen;
};

// One call of windll_unzip, or the planning of one archive into a shared PlanTarget.
class Extraction
{
public:
    Extraction(const DCL& options, USERFUNCTIONS* callbacks);
    ~Extraction();
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    // Extracts (or lists) the archive: plans every member first, then writes.
    int run(const QStringList& includes, const QStringList& excludes);
    // Plans the archive into `target` without writing anything; no callback is called.
    int planInto(PlanTarget* target);
    // Finds the target folder for a plan, without making it.
    void openTargetForPlan(PlanTarget* target) { openTarget(target, false); }

private:
    // One thing to do on disk, in plan order.
    // Small, as there is one for every member: the file's name is the last name of the member's
    // path unless m_names says otherwise.
    struct Step
    {
        PlanFolder* folder = nullptr; // the folder to make, or the one the file goes into
        zip_uint64_t index = 0;
        quint32 ordinal = 0; // the members finished once this one is
        qint16 password = -1;
        bool file = false; // a member to write; otherwise `folder` is to be made
        bool ask = false;  // the replace query decides whether the file is replaced
    };
    enum class Replace { No, Yes, Ask };

    void print(const QString& text, int level = 0);
    void warn();
    void fail(int status);
    bool progress(long long done);

    bool openArchive();
    zip_t* archiveFor(zip_uint64_t index, zip_uint64_t* local);
    bool statMember(zip_uint64_t index, zip_stat_t* stat);
    MemberSelection selectMembers(const QStringList& includes, const QStringList& excludes, std::vector<bool>* hits);
    void list(const MemberSelection& members);
    bool openTarget(PlanTarget* target, bool create);
    bool planAll(const MemberSelection& members);
    void planMember(zip_uint64_t index, quint32 ordinal);
    PlanFolder* folderFor(const QList<QByteArray>& parts, qsizetype count, const QString& shown);
    bool ensureListed(PlanFolder* folder);
    Replace mayReplace(PlanFolder* folder, const IndexEntry& existing, const zip_stat_t& stat);
    bool askReplace(const QString& display);
    bool askPassword(zip_t* archive, const zip_stat_t& stat, const QString& shown, qint32* slot);
    QByteArray temporaryName(const PlanFolder* folder, const QByteArray& name) const;
    void record(PlannedChange::Kind kind, const PlanFolder* folder, const QByteArray& name);
    void writeAll();
    bool mayOverlap(const PlanFolder* folder, const WriteJob& job) const;
    int openFolder(PlanFolder* folder);

    DCL m_options;
    USERFUNCTIONS* m_callbacks;
    bool m_planOnly = false;
    QByteArray m_zipPath;
    ArchiveReader m_reader;
    bool m_unreadable = false; // a part of the archive's directory could not be read
    int m_status = PK_OK;
    long long m_total = 0;
    bool m_cancelled = false;
    bool m_aborted = false;
    Qt::CaseSensitivity m_nameCase = Qt::CaseSensitive;

    PlanTarget* m_target = nullptr;
    std::unique_ptr<PlanTarget> m_ownTarget;
    std::deque<Step> m_steps;                 // in blocks: a million steps are never copied to grow
    QHash<quint32, QByteArray> m_temporaries; // by step: the file written before it replaces the step's file
    QHash<quint32, QByteArray> m_names;       // by step: the file's name, when another spelling is on disk
    QList<QByteArray> m_passwords;
    bool m_skipExisting = false; // "none" was answered to a replace query
    bool m_replaceAll = false;

    // The open folders from the target down to the last one written into.
    std::vector<std::pair<PlanFolder*, UniqueFd>> m_open;
    std::unique_ptr<SecondWriter> m_second;     // started with the first large member
    const PlanFolder* m_secondFolder = nullptr; // where the second writer's member goes
};

} // namespace Unzip
