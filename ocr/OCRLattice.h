#pragma once
// The lattice of a line's candidate cells and the search for its best paths.
// A path from "<s>" to "</s>" reads one cell after another from left to
// right; paths are ranked by the mean score of their readings.
#include "ocr/OCRCandidate.h"

struct OCRLatticeNode;

struct OCRLatticeArc {
  double weight = 0.0;
  int targetGroup = 0;
  int targetIndex = 0;
  OCRLatticeNode* source = nullptr;
  OCRLatticeArc* next = nullptr;  // next arc into the same target
};

struct OCRLatticeNode {
  OCRLatticeArc* inArcs = nullptr;
  OCRLatticeNode* next = nullptr;  // creation order
  int group = 0;                   // -1 for "<s>", -2 for "</s>"
  int index = 0;                   // running number within the group
  OCRString text;
  double score = 0.0;              // already scaled by 10
  OCRLatticeArc* bestArc = nullptr;
  double average = 0.0;            // mean score of the best path ending here
  int length = 0;                  // nodes on that path, "<s>" not counted
  int predecessorGroup = -1;       // -1: "<s>"
};

// Owns its nodes; each node owns its in-arcs.
class OCRLattice {
 public:
  OCRLattice() = default;
  OCRLattice(const OCRLattice&) = delete;
  OCRLattice& operator=(const OCRLattice&) = delete;
  ~OCRLattice() { Clear(); }

  // Appends a node carrying the reading; sentinels have length 0, readings 1.
  void AddNode(const OCRAlternative& reading, int group, int index, int predecessorGroup);
  // Puts an arc at the front of the target's in-list; nothing when either node is missing.
  void AddArc(int sourceGroup, int sourceIndex, int targetGroup, int targetIndex);
  OCRLatticeNode* Find(int group, int index) const;
  OCRLatticeNode* First() const { return first_; }
  bool Empty() const { return first_ == nullptr; }
  void Clear();

 private:
  OCRLatticeNode* first_ = nullptr;
  OCRLatticeNode* last_ = nullptr;
};

// A partial path of the search; it owns its list, not the nodes.
struct OCRPathHypothesis {
  OCRList<OCRLatticeNode*> path;  // earliest node first
  double g = 0.0;
  double f = 0.0;
};

// The average given to a node that no arc reaches: half the largest double, negated.
constexpr double kUnreachableAverage = -8.98846567431158e307;
constexpr int kArcsKeptPerGroup = 10;
constexpr int kPathsWanted = 5;

// The line's texts, best first (the candidate list is sorted on the way).
void FindBestLatticePath(OCRList<OCRCandidate>* candidates, OCRLattice* lattice, OCRList<OCRString>* results);

void ScaleCandidateScores(OCRList<OCRCandidate>* candidates);
bool BuildCandidateLattice(OCRLattice* lattice, OCRList<OCRCandidate>* candidates, int* groupCount);
void ScoreLatticeGroup(OCRLattice* lattice, int group);
void SearchBestPaths(OCRLattice* lattice, OCRList<OCRString>* results);
void RemoveSpaces(OCRList<OCRString>* results);

// a may come before b: a's right edge is not greater than b's.
bool CompareRightEdge(const OCRCandidate& a, const OCRCandidate& b);
// -1 when a comes first, 1 when b does, 0 for equals.
int CompareArcWeight(const OCRLatticeArc* a, const OCRLatticeArc* b);
int CompareHypothesisScore(const OCRPathHypothesis* a, const OCRPathHypothesis* b);
