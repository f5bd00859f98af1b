// The page recogniser's list and string: insertion codes, the merge sort's
// exact order, and deep copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "ocr/OCRCandidate.h"

namespace {

std::vector<int> Items(const OCRList<int>& list) {
  std::vector<int> items;
  list.ForEach([&](int v) { items.push_back(v); });
  return items;
}

OCRList<int> ListOf(const std::vector<int>& values) {
  OCRList<int> list;
  for (int v : values) list.Append(v);
  return list;
}

}  // namespace

TEST(OCRList, InsertAtReportsBadPositionsAndKeepsTheList) {
  OCRList<int> list;
  EXPECT_EQ(OCRLIST_BAD_INDEX, list.InsertAt(1, 7));
  EXPECT_EQ(OCRLIST_BAD_INDEX, list.InsertAt(-1, 7));
  EXPECT_EQ(0, list.Count());
  EXPECT_EQ(OCRLIST_OK, list.InsertAt(0, 2));
  EXPECT_EQ(OCRLIST_OK, list.InsertAt(1, 4));  // at the count: appends
  EXPECT_EQ(OCRLIST_OK, list.InsertAt(0, 1));
  EXPECT_EQ(OCRLIST_OK, list.InsertAt(2, 3));
  EXPECT_EQ(OCRLIST_BAD_INDEX, list.InsertAt(5, 9));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), Items(list));
  EXPECT_EQ(4, list.Count());
  EXPECT_EQ(3, *list.At(2));
  EXPECT_EQ(nullptr, list.At(4));
  EXPECT_EQ(nullptr, list.At(-1));
  EXPECT_TRUE(list.RemoveAt(0));
  EXPECT_FALSE(list.RemoveAt(3));
  EXPECT_EQ((std::vector<int>{2, 3, 4}), Items(list));
  list.Clear();
  EXPECT_EQ(0, list.Count());
  EXPECT_EQ(nullptr, list.At(0));
}

TEST(OCRList, MergeSortOrderFollowsTheRelationExactly) {
  struct Case {
    std::vector<int> input;
    bool answer;
    std::vector<int> sorted;
  };
  // Always true keeps the order; always false reverses it, since every
  // merge then takes the second part first.
  for (const Case& c : {Case{{1, 2, 3, 4, 5}, true, {1, 2, 3, 4, 5}}, Case{{1, 2, 3, 4, 5}, false, {5, 4, 3, 2, 1}},
                        Case{{1, 2, 3, 4}, false, {4, 3, 2, 1}}, Case{{7}, false, {7}}, Case{{}, false, {}}}) {
    OCRList<int> list = ListOf(c.input);
    list.MergeSort([&](const int&, const int&) { return c.answer; });
    EXPECT_EQ(c.sorted, Items(list));
    EXPECT_EQ(static_cast<int>(c.input.size()), list.Count());
  }
  // "Not greater" keeps equal keys in their order: the sort is stable.
  std::mt19937 random(3);
  std::vector<int> values(200);
  for (int& v : values) v = static_cast<int>(random() % 1000) * 10;
  for (size_t i = 0; i < values.size(); ++i) values[i] += static_cast<int>(i % 10);  // tag: original order within a key
  OCRList<int> list = ListOf(values);
  list.MergeSort([](const int& a, const int& b) { return a / 10 <= b / 10; });
  std::stable_sort(values.begin(), values.end(), [](int a, int b) { return a / 10 < b / 10; });
  EXPECT_EQ(values, Items(list));
}

TEST(OCRList, CopiesAreDeep) {
  OCRCandidate candidate;
  candidate.left = 3;
  candidate.alternatives.Append(OCRAlternative{"\xC9\xCF", 0.9});
  OCRList<OCRCandidate> list;
  list.Append(candidate);
  list.At(0)->alternatives.At(0)->text = "x";
  list.At(0)->alternatives.Append(OCRAlternative{" ", 0.68});
  EXPECT_STREQ("\xC9\xCF", candidate.alternatives.At(0)->text.c_str());
  EXPECT_EQ(1, candidate.alternatives.Count());
  OCRList<OCRCandidate> copy = list;
  copy = copy;
  copy.At(0)->left = 9;
  EXPECT_EQ(3, list.At(0)->left);
  EXPECT_EQ(2, copy.At(0)->alternatives.Count());
}

TEST(OCRString, NullEmptySelfAssignmentAndConcatenation) {
  const OCRString empty(nullptr);
  EXPECT_EQ(0, empty.Length());
  EXPECT_STREQ("", empty.c_str());
  OCRString text("\xB4\xF3");
  const OCRString& same = text;
  text = same;
  EXPECT_STREQ("\xB4\xF3", text.c_str());
  const OCRString joined = text + OCRString("\xC8\xCB") + empty;
  EXPECT_EQ(4, joined.Length());
  EXPECT_STREQ("\xB4\xF3\xC8\xCB", joined.c_str());
}
