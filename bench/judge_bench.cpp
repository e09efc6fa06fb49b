// RefreshMarks over a fixed set of generated midgame positions, and the
// slowest single JudgePoint we know how to build.
//
// The positions grow like real games: stones land near earlier stones, black
// and white alternate, and black builds lines (twos and threes next to its own
// stones) so that threes, fours and forbidden points occur.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "game/judge.h"
#include "game/line_pattern.h"
#include "game/text_board.h"

namespace {

using namespace tessaro;

struct Midgame {
  Board board;
  size_t records;
};

std::vector<Midgame> GenerateMidgames(size_t count) {
  std::mt19937 random(20261208);
  std::vector<Midgame> games;
  games.reserve(count);
  while (games.size() < count) {
    Board board;
    const int stones = 10 + static_cast<int>(random() % 51);
    int placed = 0;
    int cx = 7, cy = 7;
    for (int attempt = 0; placed < stones && attempt < 4000; ++attempt) {
      const uint32_t colour = placed % 2 == 0 ? Black : White;
      int x, y;
      if (placed == 0) {
        x = 7;
        y = 7;
      } else if (colour == Black && random() % 3 != 0) {
        // Extend a black line: one or two steps from a black stone.
        const int d = static_cast<int>(random() % 4);
        const int step = random() % 2 ? 1 : 2;
        const int sign = random() % 2 ? 1 : -1;
        x = cx + sign * step * kStepX[static_cast<size_t>(d)];
        y = cy + sign * step * kStepY[static_cast<size_t>(d)];
      } else {
        x = cx + static_cast<int>(random() % 5) - 2;
        y = cy + static_cast<int>(random() % 5) - 2;
      }
      if (!OnBoard(x, y) || board.at(x, y) != Empty) {
        // Wander to another stone of the cluster and try again.
        const int index = static_cast<int>(random() % kCellCount);
        if (board.cells[static_cast<size_t>(index)] == Black) {
          cx = index / kBoardSize;
          cy = index % kBoardSize;
        }
        continue;
      }
      board.at(x, y) = colour;
      ++placed;
      if (colour == Black) {
        cx = x;
        cy = y;
      }
    }
    games.push_back({board, static_cast<size_t>(placed)});
  }
  return games;
}

const std::vector<Midgame>& Midgames() {
  static const std::vector<Midgame> games = [] {
    auto generated = GenerateMidgames(1000);
    size_t forbidden = 0, withForbidden = 0;
    for (const Midgame& game : generated) {
      Board board = game.board;
      RefreshBoardMarks(board, game.records);
      size_t marks = 0;
      for (uint32_t cell : board.cells)
        marks += cell == ForbiddenMark;
      forbidden += marks;
      withForbidden += marks > 0;
    }
    std::fprintf(stderr, "%zu positions, %zu with forbidden points, %zu forbidden points\n",
                 generated.size(), withForbidden, forbidden);
    return generated;
  }();
  return games;
}

void BM_RefreshMarks(benchmark::State& state) {
  const auto& games = Midgames();
  size_t i = 0;
  for (auto _ : state) {
    Board board = games[i].board;
    RefreshBoardMarks(board, games[i].records);
    benchmark::DoNotOptimize(board);
    if (++i == games.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_RefreshMarks);

// A whole pass over the set, so that the time per position is an average
// over the same 1,000 positions every run.
void BM_RefreshMarksAllPositions(benchmark::State& state) {
  const auto& games = Midgames();
  for (auto _ : state) {
    for (const Midgame& game : games) {
      Board board = game.board;
      RefreshBoardMarks(board, game.records);
      benchmark::DoNotOptimize(board);
    }
  }
  state.counters["us_per_position"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(games.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BM_RefreshMarksAllPositions)->Unit(benchmark::kMillisecond);

// The median over the 1,000 positions of each position's own time (the mean
// of 50 refreshes of it), so that a few slow positions cannot hide in an
// average.
void BM_RefreshMarksMedianPosition(benchmark::State& state) {
  const auto& games = Midgames();
  std::vector<double> perPosition(games.size());
  for (auto _ : state) {
    for (size_t i = 0; i < games.size(); ++i) {
      constexpr int kRuns = 50;
      const auto start = std::chrono::steady_clock::now();
      for (int run = 0; run < kRuns; ++run) {
        Board board = games[i].board;
        RefreshBoardMarks(board, games[i].records);
        benchmark::DoNotOptimize(board);
      }
      const std::chrono::duration<double, std::micro> elapsed =
          std::chrono::steady_clock::now() - start;
      perPosition[i] = elapsed.count() / kRuns;
    }
    std::sort(perPosition.begin(), perPosition.end());
    state.counters["median_us"] = perPosition[perPosition.size() / 2];
    state.counters["p90_us"] = perPosition[perPosition.size() * 9 / 10];
    state.counters["max_us"] = perPosition.back();
  }
}
BENCHMARK(BM_RefreshMarksMedianPosition)->Unit(benchmark::kMillisecond)->Iterations(3);

// The point whose verdict takes the deepest recursion we could build: two
// threes whose completion points are themselves double-three candidates.
const char* const kSlowPosition =
    "...............\n"
    "...............\n"
    "...............\n"
    "...............\n"
    "...............\n"
    "..x.x..x..x....\n"
    "...xx..x.x.....\n"
    ".....xx........\n"
    "........x......\n"
    "........x......\n"
    "...............\n"
    "...............\n"
    "...............\n"
    "...............\n"
    "...............\n";

void BM_SlowestJudgePoint(benchmark::State& state) {
  const Board board = ParsePosition(kSlowPosition).board;
  for (auto _ : state) {
    Board copy = board;
    benchmark::DoNotOptimize(JudgePoint(copy, 7, 7));
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_SlowestJudgePoint);

}  // namespace

BENCHMARK_MAIN();
