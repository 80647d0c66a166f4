#pragma once

#include "core/roster/Sealing.h"

#include <span>
#include <string_view>

// The deployment rows, compiled in. The definitions are generated at build time from core/roster/candidates.tsv:
// by tools/embed_roster.py as constant texts (the default build), or by tools/seal_roster.py as sealed rows (a
// build for publishing). Exactly one of the two pointers is set.
namespace roster::deployment {
inline constexpr int RowCount = 344;

// One text per row and column; index 0 holds row 1.
struct PlainColumns {
    std::span<const std::u16string_view, RowCount> TicketNumber;
    std::span<const std::u16string_view, RowCount> CandidateName;
    std::span<const std::u16string_view, RowCount> IdNumber;
    std::span<const std::u16string_view, RowCount> Score;
};

extern const PlainColumns* const Plain;
extern const SealedTable* const Sealed;
} // namespace roster::deployment
