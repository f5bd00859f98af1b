#pragma once
// Held-out page families: pages the recognition was never tuned on, made with
// seeds and faces that the tuned sets (CameraPages) and the model never used.
// Each family is one function of a seed; the benchmark reports them apart
// from the tuned sets, beside Tesseract on the same pixels.
//
// - DimPhotos: sheets photographed in a dim room (exposure 0.2-0.35, sensor
//   noise sigma 5-8), the frame JPEG-compressed as a camera sends it, then
//   cut as the recognition command cuts it: body text, or (`smallPrint`)
//   print small enough to be enlarged; (`kOtherBody`) other sizes, exposures
//   and noise in other faces, a validation set kept apart from the first.
// - NotesBesideSheets: a desk holding a sticky note (about 1 % of the frame)
//   beside the sheet or touching it.
// - ChineseColumns / EnglishColumns: two or three columns of paragraphs.
// - ChineseTables / EnglishTables: ruled tables of names, quantities, prices
//   and dates.
// - JpegScans: scans saved at JPEG quality 20-40, and the same scans
//   uncompressed to compare with.
// - PagesWithPhotos: dark photos and dark blocks beside the text, one page
//   holding only a caption line beside two photos.
// - SmallPrintTurns: 10-pixel Chinese print in the four quarter turns;
//   EnglishDeskTurns: English sheets on the desk in the four turns.
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "bench/ocr/CameraPages.h"
#include "scene/CjkText.h"

namespace ocrbench {

// Chinese faces used neither by the model nor by the tuned sets: other
// regional forms and weights of the installed families.
std::vector<vqscene::CjkFont> HeldOutChineseFonts();
// Latin faces the tuned sets do not use.
std::vector<vqscene::CjkFont> HeldOutLatinFonts();

enum class DimPrint { kBody, kSmall, kOtherBody };
std::vector<ReadPage> DimPhotos(uint64_t seed, DimPrint print);
std::vector<ReadPage> NotesBesideSheets(uint64_t seed);
std::vector<ReadPage> ChineseColumns(int columns, uint64_t seed);
std::vector<ReadPage> EnglishColumns(int columns, uint64_t seed);
std::vector<ReadPage> ChineseTables(uint64_t seed);
std::vector<ReadPage> EnglishTables(uint64_t seed);
// `compressed`: saved at JPEG quality 20 to 40; else the same scans as they were.
std::vector<ReadPage> JpegScans(uint64_t seed, bool compressed);
std::vector<ReadPage> PagesWithPhotos(uint64_t seed);
std::vector<TurnedPage> SmallPrintTurns(uint64_t seed);
std::vector<TurnedPage> EnglishDeskTurns(uint64_t seed);

// Lines of Chinese holding web and mail addresses, model and serial
// numbers, versions, dates, times, measures and English words, half-width
// in the face's own glyphs: photographed and scanned. MixedLinePages: the
// benchmark's pages of them, made once.
std::vector<ReadPage> MixedLines(uint64_t seed);
const std::vector<ReadPage>& MixedLinePages();

// The held-out sets as the benchmark runs them, each with its seed.
enum class HeldOutSet {
  kDimPhotos, kNotesBesideSheets, kTwoColumnsChinese, kThreeColumnsChinese, kTablesChinese, kJpegScans,
  kUncompressedScans, kPagesWithPhotos, kTwoColumnsEnglish, kThreeColumnsEnglish, kTablesEnglish, kDimSmallPrint, kDimSecondSeeds
};
constexpr int kHeldOutSets = 13;
enum class HeldOutTurnSet { kSmallPrintChinese, kEnglishDesk };
constexpr int kHeldOutTurnSets = 2;

const std::vector<ReadPage>& Pages(HeldOutSet set);
const std::vector<TurnedPage>& Pages(HeldOutTurnSet set);
const char* SetName(HeldOutSet set);
const char* SetName(HeldOutTurnSet set);
// English pages: read by the program's English path (Tesseract), not its own engine.
bool IsEnglish(HeldOutSet set);

}  // namespace ocrbench
