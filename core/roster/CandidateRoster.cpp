#include "core/roster/CandidateRoster.h"

#include "core/roster/DeploymentData.h"

namespace roster {

static_assert(deployment::RowCount == RowCount, "the embedded table must have exactly one text per row");

namespace {

void fillColumn(RosterColumn& column, std::span<const std::u16string_view, RowCount> texts)
{
    for (int row = 1; row <= RowCount; ++row)
        column(row) = SlotText::constant(texts[std::size_t(row - 1)]);
}

} // namespace

void chushi(CandidateRoster& roster)
{
    if (const SealedTable* sealed = deployment::Sealed) {
        useSealedRows(roster, *sealed);
        return;
    }
    fillColumn(roster.TicketNumber, deployment::Plain->TicketNumber);
    fillColumn(roster.CandidateName, deployment::Plain->CandidateName);
    fillColumn(roster.Score, deployment::Plain->Score);
}

void fillIdNumbers(CandidateRoster& roster)
{
    if (deployment::Plain)
        fillColumn(roster.IdNumber, deployment::Plain->IdNumber);
}

void useSealedRows(CandidateRoster& roster, const SealedTable& rows)
{
    roster.sealedRows = &rows;
    roster.openedRow = 0;
}

void FindCandidate(CandidateRoster& roster, std::u16string_view idText, std::u16string_view ticketText,
                   Int16Counter& CurrentRow)
{
    if (roster.sealedRows)
        return findSealedCandidate(roster, idText, ticketText, CurrentRow);
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
