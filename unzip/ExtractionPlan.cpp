#include "ExtractionPlan.h"

#include "Extraction.h"

#include <new>

namespace Unzip {

// The launcher moves every MoveAside entry away before the first archive is extracted, so the
// plan must hold for a disk without them from the start: a member before the one that replaces
// a link may otherwise pass through it in the plan and make a folder in its place on disk. The
// archives are therefore planned again without the entries found so far, until no new one turns
// up; each round takes at least one more entry away, so this ends.
ExtractionPlan planExtractions(const QList<QByteArray>& archives, const QByteArray& extractDir, const DCL& options)
{
    ExtractionPlan plan;
    QList<PlannedChange> movedAside;
    QSet<QByteArray> absent;
    DCL dcl = options;
    QByteArray dir = extractDir;
    dcl.lpszExtractDir = dir.data();
    try {
        for (;;) {
            PlanTarget target;
            target.moveAside = true;
            target.record = true;
            target.absent = absent;
            Extraction(dcl, nullptr).openTargetForPlan(&target);
            plan.targetFolder = target.path;
            plan.targetExists = target.exists;
            plan.status = PK_OK;
            for (const QByteArray& archive : archives) {
                QByteArray zip = archive;
                dcl.lpszZipFN = zip.data();
                const int status = Extraction(dcl, nullptr).planInto(&target);
                if (status != PK_OK && (plan.status == PK_OK || plan.status == PK_WARN))
                    plan.status = status;
            }
            if (target.movedAside.isEmpty()) {
                // Moved when it can be: the list of a million members is large.
                plan.changes = movedAside.isEmpty() ? std::move(target.changes) : movedAside + target.changes;
                break;
            }
            for (const PlannedChange& change : target.movedAside)
                absent.insert(change.path);
            movedAside += target.movedAside;
        }
    } catch (const std::bad_alloc&) {
        plan.status = PK_MEM;
        plan.changes.clear();
    }
    return plan;
}

} // namespace Unzip
