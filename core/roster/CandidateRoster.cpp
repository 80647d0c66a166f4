#include "core/roster/CandidateRoster.h"

#include "core/roster/DeploymentData.h"

namespace roster {

static_assert(deployment::RowCount == RowCount, "the embedded table must have exactly one text per row");

namespace {

void fillColumn(RosterColumn& column, const std::u16string_view (&texts)[RowCount])
{
    for (int row = 1; row <= RowCount; ++row)
        column(row) = SlotText::constant(texts[row - 1]);
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

void FindCandidate(const CandidateRoster& roster, std::u16string_view idText, std::u16string_view ticketText,
                   Int16Counter& CurrentRow)
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
