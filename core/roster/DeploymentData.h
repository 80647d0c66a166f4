#pragma once

#include <string_view>

// The deployment rows, compiled in as constant texts. The definitions are generated at build time from
// core/roster/candidates.tsv by tools/embed_roster.py; index 0 holds row 1.
namespace roster::deployment {
inline constexpr int RowCount = 344;

extern const std::u16string_view TicketNumber[RowCount];
extern const std::u16string_view CandidateName[RowCount];
extern const std::u16string_view IdNumber[RowCount];
extern const std::u16string_view Score[RowCount];
} // namespace roster::deployment
