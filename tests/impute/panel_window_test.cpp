// A chunk run of the hmm engine on phased haplotypes holds only the panel
// columns its imputation blocks need, and gives the whole run's calls.
#include "impute/panel_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "impute/engine_fixture.h"
#include "impute/hmm_engine.h"
#include "input/genetic_map.h"

namespace snp {
namespace {

// The panel with only the columns of `window` held, as a chunk reads it.
ReferencePanel panel_window_of(const ReferencePanel& whole, MarkerWindow window) {
  ReferencePanel part = whole;
  part.haplotypes.allocate_unfilled(whole.haplotype_count, window.end, window.first);
  for (int m = window.first; m < window.end; ++m)
    std::memcpy(part.haplotypes.column(m), whole.haplotypes.column(m), static_cast<size_t>(whole.haplotype_count));
  return part;
}

TEST(PanelWindow, SpansTheBlocksOfTheRangeAndTheirRuns) {
  std::vector<int> typed;
  for (int m = 1; m < 100; m += 2) typed.push_back(m);  // 50 typed markers, blocks of 10 run 3 further
  EXPECT_EQ(hmm_panel_window(typed, {41, 45}, 100, 10, 3).first, typed[17]);
  EXPECT_EQ(hmm_panel_window(typed, {41, 45}, 100, 10, 3).end, typed[32] + 1);
  EXPECT_EQ(hmm_panel_window(typed, {0, 2}, 100, 10, 3).first, 0);  // the first block starts at marker 0
  EXPECT_EQ(hmm_panel_window(typed, {95, 97}, 100, 10, 3).end, 100);  // the last block ends at the panel's end
  EXPECT_EQ(hmm_panel_window(typed, {50, 50}, 100, 10, 3).end, 50);  // an empty range reads nothing
}

TEST(PanelWindow, ChunkOnAWindowOfThePanelGivesTheWholeRunsCalls) {
  constexpr int kHaplotypes = 40, kMarkers = 300;
  std::mt19937 rng(4);
  std::vector<std::string> panel(kHaplotypes), study;
  for (auto& h : panel)
    for (int m = 0; m < kMarkers; ++m) h += static_cast<char>('0' + (rng() >> 7) % 2);
  for (int i = 0; i < 12; ++i) {
    std::string g;
    for (size_t m = 0; m < kMarkers; ++m) {
      const int a = panel[(static_cast<size_t>(i) + m / 40) % kHaplotypes][m] - '0';
      const int b = panel[(static_cast<size_t>(3 * i) + m / 60) % kHaplotypes][m] - '0';
      g += m % 3 == 0 ? static_cast<char>('0' + a + b) : '.';
    }
    study.push_back(g);
  }
  test::EngineFixture data(panel, study);
  std::vector<int> typed;
  for (int m = 0; m < kMarkers; m += 3) typed.push_back(m);
  HmmSettings settings;
  settings.centimorgans = constant_rate_positions(data.panel.positions, 1.0);
  settings.block_markers = 30, settings.block_overlap = 8;
  for (const StateSelectionSettings selection : {StateSelectionSettings{0, 4, 3}, StateSelectionSettings{8, 4, 3}}) {
    settings.selection = selection;
    HmmEngine whole({data.panel, data.study, typed, 0.33}, settings);
    const std::vector<std::int8_t> phased = whole.phased_haplotypes();
    for (const MarkerWindow range : {MarkerWindow{95, 140}, MarkerWindow{170, kMarkers}}) {
      const MarkerWindow window = hmm_panel_window(typed, range, kMarkers, 30, 8);
      ASSERT_TRUE(window.first > 0 && window.end - window.first < kMarkers) << range.first;
      const ReferencePanel part = panel_window_of(data.panel, window);
      HmmEngine chunk({part, data.study, typed, 0.33}, settings);
      chunk.use_phased(phased);
      for (int t = range.first; t < range.end; ++t) {
        const std::vector<GenotypeCall> expected = whole.impute(t, data.console);
        const auto& calls = chunk.impute(t, data.console);
        for (size_t i = 0; i < calls.size(); ++i)
          ASSERT_EQ(calls[i].probabilities, expected[i].probabilities) << selection.states << " " << t << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace snp
