// The candidate lattice: groups and arcs, the ten arcs kept per group, and
// which path wins.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ocr/OCRLattice.h"

namespace {

OCRCandidate Cell(int left, int width, const std::vector<std::pair<const char*, double>>& readings) {
  OCRCandidate c;
  c.left = left;
  c.width = width;
  c.top = 0;
  c.height = 20;
  for (const auto& [text, score] : readings) c.alternatives.Append(OCRAlternative{text, score});
  return c;
}

std::vector<std::string> BestTexts(const std::vector<OCRCandidate>& cells) {
  OCRList<OCRCandidate> candidates;
  for (const OCRCandidate& c : cells) candidates.Append(c);
  OCRLattice lattice;
  OCRList<OCRString> results;
  FindBestLatticePath(&candidates, &lattice, &results);
  std::vector<std::string> texts;
  results.ForEach([&](const OCRString& s) { texts.push_back(s.c_str()); });
  return texts;
}

int InArcs(const OCRLatticeNode* node) {
  int n = 0;
  for (const OCRLatticeArc* arc = node->inArcs; arc; arc = arc->next) ++n;
  return n;
}

}  // namespace

TEST(Lattice, OneCellGivesItsReading) {
  const std::vector<std::string> texts = BestTexts({Cell(0, 10, {{"A", 0.9}})});
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ("A", texts[0]);
}

TEST(Lattice, CellsEndingTogetherFormOneGroupThatFeedsTheNext) {
  OCRList<OCRCandidate> candidates;
  candidates.Append(Cell(0, 10, {{"A", 0.9}}));   // ends at 9
  candidates.Append(Cell(12, 8, {{"C", 0.8}}));   // ends at 19
  candidates.Append(Cell(5, 5, {{"B", 0.7}}));    // ends at 9 too
  OCRLattice lattice;
  int groups = 0;
  ASSERT_TRUE(BuildCandidateLattice(&lattice, &candidates, &groups));
  EXPECT_EQ(2, groups);
  const OCRLatticeNode* a = lattice.Find(0, 0);
  const OCRLatticeNode* b = lattice.Find(0, 1);
  const OCRLatticeNode* c = lattice.Find(1, 0);
  ASSERT_TRUE(a && b && c);
  EXPECT_STREQ("B", b->text.c_str());
  EXPECT_EQ(-1, b->predecessorGroup) << "nothing ends left of column 5 but the first column itself";
  EXPECT_EQ(0, c->predecessorGroup);
  EXPECT_EQ(2, InArcs(c));
  EXPECT_EQ(1, InArcs(lattice.Find(-2, 0)));
  EXPECT_EQ(0, InArcs(lattice.Find(-1, 0)));
}

TEST(Lattice, OnlyTheTenBestArcsIntoAGroupSurvive) {
  OCRList<OCRCandidate> candidates;
  for (int i = 0; i < 12; ++i) candidates.Append(Cell(0, 10, {{"A", 0.1 * (i + 1)}}));
  OCRLattice lattice;
  int groups = 0;
  ASSERT_TRUE(BuildCandidateLattice(&lattice, &candidates, &groups));
  ScoreLatticeGroup(&lattice, 0);
  int arcs = 0, unreachable = 0;
  for (int i = 0; i < 12; ++i) {
    const OCRLatticeNode* node = lattice.Find(0, i);
    arcs += InArcs(node);
    if (node->average == kUnreachableAverage) {
      ++unreachable;
      EXPECT_LT(i, 2) << "a weakest reading lost its arc";
    } else {
      EXPECT_DOUBLE_EQ(0.1 * (i + 1), node->average);
      EXPECT_EQ(1, node->length);
    }
  }
  EXPECT_EQ(10, arcs);
  EXPECT_EQ(2, unreachable);
}

TEST(Lattice, RejectedCellsLeaveNoText) {
  const std::vector<std::string> texts = BestTexts({Cell(0, 10, {{" ", 0.68}}), Cell(12, 10, {{" ", 0.68}})});
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ("", texts[0]);
  // The last cell without a reading: nothing reaches the end.
  EXPECT_TRUE(BestTexts({Cell(0, 10, {{"A", 0.9}}), Cell(12, 10, {})}).empty());
}

TEST(Lattice, WideCellRanksAgainstTheMeanOfItsHalves) {
  auto best = [](double wide, double left, double right) {
    return BestTexts({Cell(0, 10, {{"L", left}}), Cell(0, 21, {{"W", wide}}), Cell(11, 10, {{"R", right}})})[0];
  };
  EXPECT_EQ("W", best(0.8, 0.9, 0.6));   // halves average 0.75
  EXPECT_EQ("LR", best(0.8, 0.9, 0.8));  // halves average 0.85
  EXPECT_EQ("W", best(0.9, 0.95, 0.8));
}

TEST(Lattice, SeveralReadingsPerCellAreSearched) {
  const std::vector<std::string> texts =
      BestTexts({Cell(0, 10, {{"A", 0.9}, {"a", 0.5}}), Cell(12, 10, {{"B", 0.4}, {"b", 0.8}})});
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ("Ab", texts[0]);
  EXPECT_EQ(4u, texts.size());
}
