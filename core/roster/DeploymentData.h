#pragma once

#include <QStringView>

// The deployment rows, compiled in as constant texts. The definitions are generated at build time from
// roster/candidates.tsv by tools/embed_roster.py; index 0 holds row 1.
namespace roster::deployment {
inline constexpr int RowCount = 344;

extern const QStringView TicketNumber[RowCount];
extern const QStringView CandidateName[RowCount];
extern const QStringView IdNumber[RowCount];
extern const QStringView Score[RowCount];
} // namespace roster::deployment
