#include "ocr/OCRLattice.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr int kStartGroup = -1;
constexpr int kEndGroup = -2;

bool IsRealNode(const OCRLatticeNode* node) { return node->group >= 0; }

// Hypotheses and candidates are ordered with the list's merge sort, which is
// safe for relations that are not strict orders.
bool HypothesisMayPrecede(OCRPathHypothesis* const& a, OCRPathHypothesis* const& b) {
  return CompareHypothesisScore(a, b) <= 0;
}

void FreeHypotheses(OCRList<OCRPathHypothesis*>& list) {
  list.ForEach([](OCRPathHypothesis* h) { delete h; });
  list.Clear();
}

}  // namespace

void OCRLattice::AddNode(const OCRAlternative& reading, int group, int index, int predecessorGroup) {
  auto* node = new OCRLatticeNode;
  node->group = group;
  node->index = index;
  node->text = reading.text;
  node->score = reading.score;
  node->length = group >= 0 ? 1 : 0;
  node->predecessorGroup = predecessorGroup;
  if (last_)
    last_->next = node;
  else
    first_ = node;
  last_ = node;
}

OCRLatticeNode* OCRLattice::Find(int group, int index) const {
  for (OCRLatticeNode* node = first_; node; node = node->next)
    if (node->group == group && node->index == index) return node;
  return nullptr;
}

void OCRLattice::AddArc(int sourceGroup, int sourceIndex, int targetGroup, int targetIndex) {
  OCRLatticeNode* source = Find(sourceGroup, sourceIndex);
  OCRLatticeNode* target = Find(targetGroup, targetIndex);
  if (!source || !target) return;
  target->inArcs = new OCRLatticeArc{0.0, targetGroup, targetIndex, source, target->inArcs};
}

void OCRLattice::Clear() {
  while (first_) {
    OCRLatticeNode* node = first_;
    first_ = node->next;
    while (OCRLatticeArc* arc = node->inArcs) {
      node->inArcs = arc->next;
      delete arc;
    }
    delete node;
  }
  last_ = nullptr;
}

bool CompareRightEdge(const OCRCandidate& a, const OCRCandidate& b) { return a.Right() <= b.Right(); }

int CompareArcWeight(const OCRLatticeArc* a, const OCRLatticeArc* b) {
  if (a->weight > b->weight) return -1;
  if (a->weight < b->weight) return 1;
  return 0;
}

int CompareHypothesisScore(const OCRPathHypothesis* a, const OCRPathHypothesis* b) {
  int realA = 0, realB = 0;
  a->path.ForEach([&](OCRLatticeNode* n) { realA += IsRealNode(n) ? 1 : 0; });
  b->path.ForEach([&](OCRLatticeNode* n) { realB += IsRealNode(n) ? 1 : 0; });
  if (realA == 0 || realB == 0) return 0;
  const double perNodeA = a->f / realA, perNodeB = b->f / realB;
  if (perNodeA > perNodeB) return -1;
  if (perNodeA < perNodeB) return 1;
  return 0;
}

void ScaleCandidateScores(OCRList<OCRCandidate>* candidates) {
  candidates->ForEach([](OCRCandidate& c) { c.alternatives.ForEach([](OCRAlternative& a) { a.score *= 10.0; }); });
}

bool BuildCandidateLattice(OCRLattice* lattice, OCRList<OCRCandidate>* candidates, int* groupCount) {
  if (!lattice->Empty()) lattice->Clear();
  *groupCount = 0;
  if (candidates->Count() == 0) return false;
  candidates->MergeSort(CompareRightEdge);

  std::vector<const OCRCandidate*> sorted;
  candidates->ForEach([&](const OCRCandidate& c) { sorted.push_back(&c); });
  const size_t n = sorted.size();
  int minLeft = 1000000;
  for (const OCRCandidate* c : sorted) minLeft = std::min(minLeft, c->left);

  // A group holds the candidates that end at the same column.
  std::vector<int> group(n);
  int groups = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && sorted[i]->Right() != sorted[i - 1]->Right()) ++groups;
    group[i] = groups;
  }
  *groupCount = groups + 1;

  // The group of the cells ending nearest before a candidate's left edge.
  std::vector<int> predecessor(n, kStartGroup);
  for (size_t p = 0; p < n; ++p) {
    if (sorted[p]->left == minLeft) continue;
    int best = -1;
    for (size_t q = 0; q < n; ++q) {
      const int right = sorted[q]->Right();
      if (right < sorted[p]->left && right > minLeft && group[q] < group[p] &&
          (best < 0 || right > sorted[best]->Right()))
        best = static_cast<int>(q);
    }
    if (best >= 0) predecessor[p] = group[best];
  }

  lattice->AddNode(OCRAlternative{"<s>", 0.0}, kStartGroup, 0, kStartGroup);
  std::vector<int> nodesInGroup(static_cast<size_t>(*groupCount), 0);
  for (size_t p = 0; p < n; ++p)
    sorted[p]->alternatives.ForEach([&](const OCRAlternative& reading) {
      lattice->AddNode(reading, group[p], nodesInGroup[group[p]]++, predecessor[p]);
    });
  lattice->AddNode(OCRAlternative{"</s>", 0.0}, kEndGroup, 0, *groupCount - 1);

  for (OCRLatticeNode* node = lattice->First(); node; node = node->next) {
    if (node->predecessorGroup == node->group) continue;
    if (node->predecessorGroup == kStartGroup) {
      lattice->AddArc(kStartGroup, 0, node->group, node->index);
      continue;
    }
    for (int i = 0; i < nodesInGroup[node->predecessorGroup]; ++i)
      lattice->AddArc(node->predecessorGroup, i, node->group, node->index);
  }
  return true;
}

void ScoreLatticeGroup(OCRLattice* lattice, int group) {
  std::vector<OCRLatticeArc*> arcs;
  for (OCRLatticeNode* node = lattice->First(); node; node = node->next) {
    if (node->group != group) continue;
    for (OCRLatticeArc* arc = node->inArcs; arc; arc = arc->next) {
      const OCRLatticeNode* source = arc->source;
      arc->weight = (source->length * source->average + node->score) / (source->length + 1);
      arcs.push_back(arc);
    }
  }
  std::stable_sort(arcs.begin(), arcs.end(),
                   [](const OCRLatticeArc* a, const OCRLatticeArc* b) { return CompareArcWeight(a, b) < 0; });

  // The limit holds for the whole group, not per node.
  if (arcs.size() > static_cast<size_t>(kArcsKeptPerGroup)) {
    const std::unordered_set<OCRLatticeArc*> dropped(arcs.begin() + kArcsKeptPerGroup, arcs.end());
    for (OCRLatticeNode* node = lattice->First(); node; node = node->next) {
      if (node->group != group) continue;
      for (OCRLatticeArc** link = &node->inArcs; *link;) {
        if (dropped.count(*link)) {
          OCRLatticeArc* arc = *link;
          *link = arc->next;
          delete arc;
        } else {
          link = &(*link)->next;
        }
      }
    }
  }

  for (OCRLatticeNode* node = lattice->First(); node; node = node->next) {
    if (node->group != group) continue;
    if (!node->inArcs) {
      node->average = kUnreachableAverage;
      node->bestArc = nullptr;
      continue;
    }
    OCRLatticeArc* best = node->inArcs;
    for (OCRLatticeArc* arc = best->next; arc; arc = arc->next)
      if (arc->weight > best->weight) best = arc;
    node->bestArc = best;
    node->average = best->weight;
    node->length = best->source->length + 1;
  }
}

void SearchBestPaths(OCRLattice* lattice, OCRList<OCRString>* results) {
  OCRLatticeNode* end = lattice->Find(kEndGroup, 0);
  if (!end) return;
  OCRList<OCRPathHypothesis*> open, done;
  auto* first = new OCRPathHypothesis;
  first->path.Append(end);
  first->f = end->average;
  open.Append(first);
  int doneCount = 0;

  while (open.Count() > 0) {
    int bestPosition = 0, position = 0;
    OCRPathHypothesis* best = nullptr;
    open.ForEach([&](OCRPathHypothesis* h) {
      if (!best || h->f > best->f) {
        best = h;
        bestPosition = position;
      }
      ++position;
    });
    OCRLatticeNode* frontier = *best->path.At(0);
    for (OCRLatticeArc* arc = frontier->inArcs; arc; arc = arc->next) {
      auto* longer = new OCRPathHypothesis;
      longer->path.Append(arc->source);
      best->path.ForEach([&](OCRLatticeNode* n) { longer->path.Append(n); });
      longer->g = best->g + frontier->score;
      longer->f = longer->g + arc->source->average;
      open.Append(longer);
    }
    open.RemoveAt(bestPosition);
    delete best;

    for (int i = open.Count() - 1; i >= 0; --i) {
      OCRPathHypothesis* h = *open.At(i);
      if ((*h->path.At(0))->group != kStartGroup) continue;
      done.Append(h);
      open.RemoveAt(i);
      ++doneCount;
    }
    open.MergeSort(HypothesisMayPrecede);
    const int keep = std::max(0, kPathsWanted - doneCount);
    while (open.Count() > keep) {
      delete *open.At(keep);
      open.RemoveAt(keep);
    }
    if (doneCount >= kPathsWanted) break;
  }

  done.MergeSort(HypothesisMayPrecede);
  done.ForEach([&](OCRPathHypothesis* h) {
    OCRString text;
    h->path.ForEach([&](OCRLatticeNode* n) {
      if (IsRealNode(n)) text = text + n->text;
    });
    results->Append(text);
  });
  FreeHypotheses(done);
  FreeHypotheses(open);
}

void RemoveSpaces(OCRList<OCRString>* results) {
  results->ForEach([](OCRString& text) {
    std::string kept(text.c_str());
    kept.erase(std::remove(kept.begin(), kept.end(), ' '), kept.end());
    text = OCRString(kept.c_str());
  });
}

void FindBestLatticePath(OCRList<OCRCandidate>* candidates, OCRLattice* lattice, OCRList<OCRString>* results) {
  ScaleCandidateScores(candidates);
  int groups = 0;
  if (!BuildCandidateLattice(lattice, candidates, &groups)) return;
  for (int g = 0; g < groups; ++g) ScoreLatticeGroup(lattice, g);
  ScoreLatticeGroup(lattice, kEndGroup);
  SearchBestPaths(lattice, results);
  RemoveSpaces(results);
}
