#include "roster/CandidateRoster.h"

#include "roster/DeploymentData.h"

namespace roster {

static_assert(deployment::RowCount == RowCount, "the embedded table must have exactly one text per row");

namespace {

// The constants live in read-only data for the life of the process, so a slot can share them instead of
// copying; writing to the slot later would detach it like any other QString.
void fillColumn(RosterColumn& column, const QStringView (&texts)[RowCount])
{
    for (int row = 1; row <= RowCount; ++row) {
        const QStringView text = texts[row - 1];
        column(row) = QString::fromRawData(text.data(), text.size());
    }
}

} // namespace

void chushi(CandidateRoster& roster)
{
    fillColumn(roster.TicketNumber, deployment::TicketNumber);
    fillColumn(roster.CandidateName, deployment::CandidateName);
    fillColumn(roster.Score, deployment::Score);
}

void fillIdNumbers(CandidateRoster& roster)
{
    fillColumn(roster.IdNumber, deployment::IdNumber);
}

void FindCandidate(const CandidateRoster& roster, QStringView idText, QStringView ticketText, Int16Counter& CurrentRow)
{
    CurrentRow = 1;
    while (CurrentRow <= RowCount) {
        // Both comparisons for every row, ticket first: neither cuts the other short.
        const bool ticketMatches = roster.TicketNumber(CurrentRow) == ticketText;
        const bool idMatches = roster.IdNumber(CurrentRow) == idText;
        if (ticketMatches && idMatches)
            return;
        CurrentRow.step();
    }
}

} // namespace roster
