// Where glyphs lie on a line and what follows from it: the line's glyph box
// from the readings, readings of one shape told apart by size and height,
// parts of Chinese glyphs and specks yielding to the whole glyph, faint
// noise read as nothing, touching glyphs parted, letters and digits
// half-width as printed, and the geometry records of the model file.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "ocr/FileOperator.h"
#include "ocr/GlyphGeometry.h"
#include "ocr/LineBox.h"
#include "ocr/OCREngine.h"
#include "ocr/PrintedWidth.h"
#include "ocr/ShapeChecks.h"
#include "ocr/TextLineSegmentation.h"
#include "tests/ocr/ModelWriter.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/TestEnv.h"

using namespace ocrtest;

namespace {

// Labels as the model names them: full-width forms and Chinese characters.
const std::string kLowerO = Gbk("ｏ"), kUpperO = Gbk("Ｏ"), kOne = Gbk("１"), kFive = Gbk("５"), kComma = Gbk("，"),
                  kEl = Gbk("ｌ");
const std::string kGuo = Gbk("国"), kChuan = Gbk("川");

// A geometry as a model gives it: Chinese glyphs fill the box; "o" sits on
// the baseline at x-height, "O" at cap height; the comma low; "l" and "1"
// are bars.
GlyphGeometry LineGeometry() {
  const std::string labels = kGuo + kChuan + kLowerO + kUpperO + kOne + kComma + kEl + kFive;
  const std::vector<double> table = {
      0.0,  0.03, 1.0,  0.03, 0.95, 0.04,   // 国
      0.0,  0.03, 1.0,  0.03, 0.9,  0.05,   // 川
      0.35, 0.03, 0.9,  0.03, 0.5,  0.05,   // o
      0.12, 0.03, 0.9,  0.03, 0.62, 0.05,   // O
      0.12, 0.03, 0.9,  0.03, 0.3,  0.05,   // 1
      0.75, 0.04, 1.05, 0.04, 0.15, 0.04,   // ，
      0.05, 0.03, 0.9,  0.03, 0.1,  0.04,   // l
      0.12, 0.03, 0.9,  0.03, 0.45, 0.05,   // 5
  };
  ModelWriter writer;
  writer.Text("GEO").Text(labels).Doubles(8, 6, table);
  CCmmFileOperatorImp file;
  EXPECT_EQ(0, file.Open(writer.Save("geometry.tpl"), false));
  OCRMatrixPtr tag(file.ReadRecord());
  GlyphGeometry geometry;
  EXPECT_TRUE(geometry.Read(file));
  return geometry;
}

CellReadings Cell(cv::Rect rect, std::vector<std::pair<std::string, double>> readings, double ink = 200.0) {
  CellReadings cell;
  cell.rect = rect;
  cell.ink = ink;
  for (const auto& [label, distance] : readings) {
    cell.labels.push_back(label);
    cell.distances.push_back(distance);
  }
  return cell;
}

// A line of Chinese glyphs 40 pixels high from row 10, falling one row every
// 100 columns, one every 50 columns.
std::vector<CellReadings> ChineseLine(int count) {
  std::vector<CellReadings> cells;
  for (int i = 0; i < count; ++i) cells.push_back(Cell({50 * i, 10 + i / 2, 38, 40}, {{kGuo, 0.05}}));
  return cells;
}

}  // namespace

TEST(LineBox, ComesFromTheCloseReadingsAndFollowsTheLinesFall) {
  const GlyphGeometry geometry = LineGeometry();
  std::vector<CellReadings> cells = ChineseLine(8);
  cells.push_back(Cell({420, 0, 30, 12}, {{kGuo, 0.05}}));   // an odd one out, set aside
  cells.push_back(Cell({460, 30, 20, 20}, {{kGuo, 0.3}}));   // too far to tell
  LineBox box;
  ASSERT_TRUE(EstimateLineBox(cells, geometry, &box));
  EXPECT_NEAR(40.0, box.height, 0.5);
  EXPECT_NEAR(0.01, box.slope, 0.002);
  EXPECT_NEAR(10.0 + 0.01 * 19, box.TopAt(19.0), 0.6);
  // A single close reading does not make a line.
  EXPECT_FALSE(EstimateLineBox(ChineseLine(1), geometry, &box));
}

TEST(LineBox, SizeAndHeightTellReadingsOfOneShapeApart) {
  const GlyphGeometry geometry = LineGeometry();
  LineBox box;
  box.height = 40.0;
  box.top = 10.0;
  // A round letter at x-height is an "o", at cap height an "O", however
  // the shapes' distances fall.
  CellReadings small = Cell({100, 24, 20, 22}, {{kUpperO, 0.04}, {kLowerO, 0.05}});
  CellReadings tall = Cell({150, 15, 24, 31}, {{kLowerO, 0.04}, {kUpperO, 0.05}});
  RankByPlace(&small, geometry, box);
  RankByPlace(&tall, geometry, box);
  EXPECT_EQ(kLowerO, small.labels[0]);
  EXPECT_EQ(kUpperO, tall.labels[0]);
  EXPECT_LT(PlaceMismatch(small.rect, *geometry.Find(kLowerO.c_str()), box), 3.0);
  EXPECT_GT(PlaceMismatch(small.rect, *geometry.Find(kUpperO.c_str()), box), 10.0);
  // Shapes that favour the other case by more than its place costs still
  // yield to the case the place tells.
  CellReadings favoured = Cell({100, 24, 20, 22}, {{kUpperO, 0.04}, {kLowerO, 0.16}});
  RankByPlace(&favoured, geometry, box);
  SettleCaseByPlace(&favoured, geometry, box);
  EXPECT_EQ(kLowerO, favoured.labels[0]);
  // Labels the model places nowhere keep their distances.
  CellReadings unknown = Cell({100, 24, 20, 22}, {{Gbk("大"), 0.1}});
  RankByPlace(&unknown, geometry, box);
  EXPECT_EQ(0.1, unknown.distances[0]);
}

TEST(LineBox, PartsOfAChineseGlyphYieldToTheWholeAndADigitsCommaDoesNot) {
  const GlyphGeometry geometry = LineGeometry();
  const std::vector<CellReadings> line = ChineseLine(4);
  LineBox box;
  ASSERT_TRUE(EstimateLineBox(line, geometry, &box));
  // 川 read poorly as a whole (0.3) and closely as three bars: the bars yield.
  std::vector<CellReadings> cells = line;
  cells.push_back(Cell({250, 12, 36, 40}, {{kChuan, 0.3}}));
  for (int x : {250, 264, 278}) cells.push_back(Cell({x, 12, 6, 40}, {{kEl, 0.06}, {kOne, 0.08}}));
  // "5," beside a "5" read closely: a whole-looking cell over it does not
  // take the comma (nor the digits).
  cells.push_back(Cell({400, 15, 18, 31}, {{kFive, 0.05}}));
  cells.push_back(Cell({420, 15, 12, 31}, {{kFive, 0.05}}));
  cells.push_back(Cell({433, 40, 6, 12}, {{kComma, 0.08}}));
  cells.push_back(Cell({420, 15, 36, 40}, {{kGuo, 0.3}}));
  // "11" read no closer than a character is taken (0.36, as 国): its two
  // bars stay digits.
  cells.push_back(Cell({552, 14, 8, 31}, {{kOne, 0.05}}));
  cells.push_back(Cell({574, 14, 8, 31}, {{kOne, 0.06}}));
  cells.push_back(Cell({550, 12, 36, 40}, {{kGuo, 0.36}}));
  YieldToCoveringCharacters(&cells, &geometry, &box, 0.25, 0.05);
  for (size_t c = 5; c < 8; ++c) EXPECT_DOUBLE_EQ(0.35, cells[c].distances[0]) << c;
  EXPECT_EQ(kComma, cells[10].labels[0]);
  EXPECT_EQ(0.08, cells[10].distances[0]);
  EXPECT_EQ(0.05, cells[9].distances[0]);
  EXPECT_EQ(0.05, cells[12].distances[0]);
  EXPECT_EQ(0.06, cells[13].distances[0]);

  // Without the geometry only a close Chinese reading over it counts.
  std::vector<CellReadings> plain = {Cell({0, 0, 40, 40}, {{kChuan, 0.2}}), Cell({10, 0, 6, 40}, {{kOne, 0.05}}),
                                     Cell({60, 0, 40, 40}, {{kChuan, 0.3}}), Cell({70, 0, 6, 40}, {{kOne, 0.05}})};
  YieldToCoveringCharacters(&plain, nullptr, nullptr, 0.25, 0.05);
  EXPECT_DOUBLE_EQ(0.25, plain[1].distances[0]);
  EXPECT_EQ(0.05, plain[3].distances[0]);
}

TEST(LineBox, AWholeGlyphReadPoorlyIsStillAGlyphUnlessLettersLieBeside) {
  const GlyphGeometry geometry = LineGeometry();
  std::vector<CellReadings> cells = ChineseLine(4);
  LineBox box;
  ASSERT_TRUE(EstimateLineBox(cells, geometry, &box));
  const CellReadings poor = Cell({200, 12, 38, 40}, {{kGuo, 0.4}});
  EXPECT_TRUE(IsPoorlyReadGlyph(cells, poor, geometry, box, 0.45));
  EXPECT_FALSE(IsPoorlyReadGlyph(cells, Cell({200, 12, 38, 40}, {{kGuo, 0.5}}), geometry, box, 0.45)) << "too far";
  EXPECT_FALSE(IsPoorlyReadGlyph(cells, Cell({200, 12, 14, 40}, {{kGuo, 0.4}}), geometry, box, 0.45))
      << "half as wide as a glyph";
  EXPECT_FALSE(IsPoorlyReadGlyph(cells, Cell({200, 30, 38, 40}, {{kGuo, 0.4}}), geometry, box, 0.45))
      << "off the line";
  EXPECT_FALSE(IsPoorlyReadGlyph(cells, Cell({200, 12, 38, 40}, {{kFive, 0.4}}), geometry, box, 0.45))
      << "not a Chinese reading";
  // Beside a "5" read closely: "55" that touch, not a glyph.
  cells.push_back(Cell({243, 15, 18, 31}, {{kFive, 0.05}}));
  EXPECT_FALSE(IsPoorlyReadGlyph(cells, poor, geometry, box, 0.45));
}

TEST(LineBox, FaintCellsAreReadAsNothing) {
  std::vector<CellReadings> cells = ChineseLine(5);
  cells.push_back(Cell({300, 20, 4, 10}, {{Gbk("："), 0.05}, {kGuo, 0.3}}, 80.0));   // a speck of noise
  cells.push_back(Cell({320, 20, 4, 10}, {{kComma, 0.05}}, 150.0));                 // real ink
  RejectFaintCells(&cells, 0.5);
  EXPECT_GE(cells[5].distances[0], 1.0);
  EXPECT_GE(cells[5].distances[1], 1.0);
  EXPECT_EQ(0.05, cells[6].distances[0]);
  // A line without close Chinese readings keeps every cell.
  std::vector<CellReadings> signs = {Cell({0, 0, 5, 5}, {{kComma, 0.05}}, 10.0)};
  RejectFaintCells(&signs, 0.5);
  EXPECT_EQ(0.05, signs[0].distances[0]);
}

TEST(ThinPieces, TouchingGlyphsPartWhereOnlyAThinStrokeJoinsThem) {
  struct Case {
    std::vector<int> profile;
    std::vector<std::pair<int, int>> pieces;
  };
  const std::vector<Case> cases = {
      // "0-": a digit's strokes, then a hyphen three rows thick: two pieces.
      {{9, 12, 12, 9, 3, 3, 3, 3, 3, 3}, {{0, 3}, {4, 9}}},
      // "rt": a touching point one column wide, dropped between them.
      {{10, 8, 6, 2, 8, 12, 9}, {{0, 2}, {4, 6}}},
      // A glyph whose columns are all thick stays whole.
      {{9, 12, 12, 9, 8, 10}, {{0, 5}}},
      // A thin tail at the run's end is no piece.
      {{9, 12, 12, 2}, {{0, 3}}},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<int, int>> got;
    for (const ColumnRun& piece :
         ThinPieces(c.profile, {0, static_cast<int>(c.profile.size()) - 1}, 3, 5))
      got.emplace_back(piece.first, piece.last);
    EXPECT_EQ(c.pieces, got) << ::testing::PrintToString(c.profile);
  }
  // More pieces than allowed: the run alone.
  const std::vector<int> comb = {9, 1, 9, 1, 9, 1, 9, 1, 9};
  EXPECT_EQ(1u, ThinPieces(comb, {0, 8}, 3, 3).size());
  EXPECT_EQ(5u, ThinPieces(comb, {0, 8}, 3, 5).size());
}

TEST(PrintedWidth, LettersDigitsAndSignsComeOutAsPrinted) {
  struct Case {
    const char* label;  // UTF-8 of the model's label
    bool fullBox;
    const char* printed;
  };
  const Case cases[] = {
      {"Ａ", false, "A"}, {"ｚ", true, "z"}, {"７", true, "7"},      // letters and digits are half-width
      {"，", false, ","}, {"，", true, "，"},                        // a sign takes the width it stands in
      {"％", false, "%"}, {"＄", false, "$"}, {"～", false, "~"},    // "$" and "~" lie in row A1
      {"。", false, "。"}, {"国", false, "国"}, {"￥", false, "￥"},  // no half-width form
  };
  for (const Case& c : cases) EXPECT_EQ(Gbk(c.printed), AsPrinted(Gbk(c.label), c.fullBox)) << c.label;

  // A sign at a line's end beside a Chinese character is full-width.
  EXPECT_EQ(Gbk("你好，"), SettleLineEnds(Gbk("你好,")));
  EXPECT_EQ(Gbk("（你好"), SettleLineEnds(Gbk("(你好")));
  EXPECT_EQ(Gbk("共3.5%"), SettleLineEnds(Gbk("共3.5%")));
  EXPECT_EQ(Gbk("%"), SettleLineEnds(Gbk("%")));
  EXPECT_EQ("", SettleLineEnds(""));
}

// Bars and ticks standing alone among Chinese characters are strokes of a
// glyph read apart; beside letters and digits they are print.
TEST(PrintedWidth, StrayStrokesAmongChineseCharactersAreDropped) {
  const std::pair<const char*, const char*> cases[] = {
      {"你l好", "你好"},   {"你lI!好", "你好"},    {"l你好}", "你好"},  // alone, in runs, at the ends
      {"共1个", "共1个"},  {"型号Il2", "型号Il2"}, {"email", "email"},  // digits, runs with a letter
  };
  for (const auto& [read, kept] : cases) EXPECT_EQ(Gbk(kept), DropStrayStrokes(Gbk(read))) << read;
  EXPECT_EQ("l", DropStrayStrokes("l")) << "a line of one stroke is not beside a Chinese character";
}

TEST(PrintedWidth, LookalikesTakeTheKindOfTheirNeighbours) {
  const std::pair<const char*, const char*> cases[] = {
      {"电话OlO-6l023", "电话010-61023"},   // among digits, digits
      {"fiIe和emaiI", "file和email"},      // inside lower-case words, "l"
      {"OCR和lSO", "OCR和ISO"},            // among capitals, capitals
      {"Win1O", "WinlO"},                  // among letters, a digit takes their case
      {"No.7", "No.7"},                    // a letter and a digit: left as read
      {"国0国", "国0国"},                  // no neighbours of either kind
      {"XK-3O49A", "XK-3049A"},
      {"好o你好o", "好。你好。"},          // a small circle alone beside Chinese: their full stop
      {"o你", "o你"}, {"好o.", "好o."}, {"共O型", "共O型"},
  };
  for (const auto& [read, settled] : cases) EXPECT_EQ(Gbk(settled), SettleLookalikes(Gbk(read))) << read;
}

TEST(GlyphGeometry, ModelRecordsAreCheckedWhenRead) {
  struct Case {
    std::string labels;
    std::vector<double> table;
    int rows;
    bool ok;
  };
  const std::vector<double> place = {0.0, 0.03, 1.0, 0.03, 0.9, 0.05};
  std::vector<double> flat = place;
  flat[3] = 0.0;
  std::vector<double> infinite = place;
  infinite[0] = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {kGuo, place, 1, true},
      {kGuo + "x", place, 1, false},                // labels of two bytes each
      {kGuo + kChuan, place, 1, false},             // a row a label
      {kGuo, flat, 1, false},                       // spreads above zero
      {kGuo, infinite, 1, false},                   // finite values
      {std::string("\0x", 2), place, 1, false},     // no NUL in a label
  };
  for (const Case& c : cases) {
    ModelWriter writer;
    writer.Text(c.labels).Doubles(c.rows, 6, c.table);
    CCmmFileOperatorImp file;
    ASSERT_EQ(0, file.Open(writer.Save("geometry.tpl"), false));
    GlyphGeometry geometry;
    EXPECT_EQ(c.ok, geometry.Read(file)) << c.labels.size() << " bytes of labels";
    EXPECT_EQ(c.ok, geometry.Find(kGuo.c_str()) != nullptr);
  }
}

// The engine finds the places after the templates of a multi-template model
// and among the classes of an MQDF model, and a model without them has none.
TEST(GlyphGeometry, EnginesOfBothKindsReadTheirModelsPlaces) {
  const std::vector<double> place = {0.1, 0.03, 0.9, 0.03, 0.5, 0.05};
  ModelWriter templates = ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}});
  templates.Text("GEO").Text(kShang).Doubles(1, 6, place);
  ModelWriter mqdf = ScalarMQDFModel("Cos", 1.0, {{kShang, 0.9, 0.0, 1.0, 0.05}});
  mqdf.Text("GEO").Text(kShang).Doubles(1, 6, place);
  for (const auto& [name, writer] : {std::pair{"templates.tpl", templates}, std::pair{"mqdf.tpl", mqdf}}) {
    COCREngine engine;
    ASSERT_TRUE(engine.Load(writer.Save(name).c_str())) << name;
    ASSERT_NE(nullptr, engine.Geometry()) << name;
    EXPECT_EQ(0.5, engine.Geometry()->Find(kShang.c_str())->width);
    EXPECT_EQ(nullptr, engine.Geometry()->Find(kXia.c_str()));
  }
  COCREngine plain;
  ASSERT_TRUE(plain.Load(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}).Save("plain.tpl").c_str()));
  EXPECT_EQ(nullptr, plain.Geometry());
  // A broken geometry record fails the load.
  ModelWriter broken = ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}});
  broken.Text("GEO").Text(kShang).Doubles(1, 5, {0, 1, 1, 1, 1});
  COCREngine refused;
  EXPECT_FALSE(refused.Load(broken.Save("broken.tpl").c_str()));
}
