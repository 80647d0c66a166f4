// Micro-benchmarks of the candidate roster: the lookup (best, last-row and full-scan cases), on the plain rows and on
// the rows sealed as a program for publishing carries them, and the load-time fill of a fresh table.

#include "core/roster/CandidateRoster.h"
#include "core/roster/DeploymentData.h"
#include "core/shell/Int16Counter.h"
#include "frontends/qt/OpenSslSealing.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace roster::testing {
extern const SealedTable SealedForBench;
}

namespace {

roster::CandidateRoster& filledRoster()
{
    static const auto roster = [] {
        auto filled = std::make_unique<roster::CandidateRoster>();
        roster::chushi(*filled);
        roster::fillIdNumbers(*filled);
        return filled;
    }();
    return *roster;
}

roster::CandidateRoster& sealedRoster()
{
    static frontend::OpenSslSealing sealing;
    static const auto roster = [] {
        roster::setSealing(&sealing);
        auto sealed = std::make_unique<roster::CandidateRoster>();
        roster::useSealedRows(*sealed, roster::testing::SealedForBench);
        return sealed;
    }();
    return *roster;
}

// The inputs arrive as the text boxes' own strings, so copy the constants into fresh strings as the window does.
void runLookup(benchmark::State& state, const std::u16string& idText, const std::u16string& ticketText, int expectedRow,
               roster::CandidateRoster& roster = filledRoster())
{
    Int16Counter CurrentRow;
    for (auto _ : state) {
        roster::FindCandidate(roster, idText, ticketText, CurrentRow);
        benchmark::DoNotOptimize(CurrentRow);
        benchmark::ClobberMemory();
    }
    if (int(CurrentRow) != expectedRow)
        state.SkipWithError("the lookup did not yield the expected row");
    state.counters["rows_scanned"] = double(int(CurrentRow) > roster::RowCount ? roster::RowCount : int(CurrentRow));
}

std::u16string idOfRow(int row)
{
    return std::u16string(roster::deployment::Plain->IdNumber[std::size_t(row - 1)]);
}
std::u16string ticketOfRow(int row)
{
    return std::u16string(roster::deployment::Plain->TicketNumber[std::size_t(row - 1)]);
}

void BM_FindCandidate_NoMatchFullScan(benchmark::State& state)
{
    // Lengths equal everywhere, so no row is rejected by its length alone; row 1 matches the ticket in full
    // and row 344 the identity-card number in full.
    runLookup(state, idOfRow(roster::RowCount), ticketOfRow(1), roster::NotFound);
}

void BM_FindCandidate_NoMatchEmptyInputs(benchmark::State& state)
{
    // For contrast: every comparison stops at the length check.
    runLookup(state, std::u16string(), std::u16string(), roster::NotFound);
}

void BM_FindCandidate_MatchRow1(benchmark::State& state)
{
    runLookup(state, idOfRow(1), ticketOfRow(1), 1);
}

void BM_FindCandidate_MatchRow344(benchmark::State& state)
{
    runLookup(state, idOfRow(roster::RowCount), ticketOfRow(roster::RowCount), roster::RowCount);
}

// One sealed lookup: the key derivation of the typed pair, the comparison with all 344 tags and the opening of the
// row found; the derivation is nearly all of it.
void BM_FindCandidate_Sealed_MatchRow344(benchmark::State& state)
{
    runLookup(state, idOfRow(roster::RowCount), ticketOfRow(roster::RowCount), roster::RowCount, sealedRoster());
    state.counters["iterations_per_derivation"] = double(roster::testing::SealedForBench.iterations);
}

void BM_FindCandidate_Sealed_NoMatch(benchmark::State& state)
{
    runLookup(state, idOfRow(roster::RowCount), ticketOfRow(1), roster::NotFound, sealedRoster());
}

// The load-time fill alone: the fresh table is built and destroyed outside the timed region.
void BM_Fill_ChushiAndIdNumbers(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto roster = std::make_unique<roster::CandidateRoster>();
        benchmark::DoNotOptimize(roster.get());
        state.ResumeTiming();

        roster::chushi(*roster);
        roster::fillIdNumbers(*roster);
        benchmark::DoNotOptimize(roster.get());
        benchmark::ClobberMemory();

        state.PauseTiming();
        roster.reset();
        state.ResumeTiming();
    }
    state.counters["slots_written"] = 4.0 * roster::RowCount;
}

// Construction, fill and destruction together: what one window load costs the table, with no pause overhead.
void BM_ConstructFillDestroy(benchmark::State& state)
{
    for (auto _ : state) {
        auto roster = std::make_unique<roster::CandidateRoster>();
        roster::chushi(*roster);
        roster::fillIdNumbers(*roster);
        benchmark::DoNotOptimize(roster.get());
        benchmark::ClobberMemory();
    }
}

// Construction and destruction of an empty table, to read the fill's share off the inclusive figure.
void BM_ConstructDestroyEmpty(benchmark::State& state)
{
    for (auto _ : state) {
        auto roster = std::make_unique<roster::CandidateRoster>();
        benchmark::DoNotOptimize(roster.get());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_FindCandidate_NoMatchFullScan);
BENCHMARK(BM_FindCandidate_NoMatchEmptyInputs);
BENCHMARK(BM_FindCandidate_MatchRow1);
BENCHMARK(BM_FindCandidate_MatchRow344);
BENCHMARK(BM_FindCandidate_Sealed_MatchRow344)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindCandidate_Sealed_NoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill_ChushiAndIdNumbers);
BENCHMARK(BM_ConstructFillDestroy);
BENCHMARK(BM_ConstructDestroyEmpty);

BENCHMARK_MAIN();
