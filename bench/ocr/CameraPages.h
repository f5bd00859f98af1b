#pragma once
// The page sets of the camera-page benchmark: Chinese sheets photographed on
// a desk and cropped the way the recognition command crops them, scans
// turned a few degrees, clean pages; sheets holding digits and Latin among
// the Chinese, sheets tilted toward the camera, headlines, small print and
// sheets in a dim room, all photographed and cropped the same way; and
// English and Chinese pages in the four quarter turns for the orientation
// detector. Each set is made once.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "scene/CjkText.h"

namespace ocrbench {

constexpr int kFrameWidth = 2592, kFrameHeight = 1944;  // a 5 MP document camera

struct ReadPage {
  ReadPage(cv::Mat image, std::u32string text, std::string label, cv::Mat frame = cv::Mat())
      : image(std::move(image)), text(std::move(text)), label(std::move(label)), frame(std::move(frame)) {}
  cv::Mat image;        // what the page recogniser is given (BGR or grey)
  std::u32string text;  // the characters in reading order
  std::string label;
  cv::Mat frame;  // the camera frame it was cut from, where it was photographed
};

struct TurnedPage {
  cv::Mat image;
  int angle;  // the counter-clockwise turn that brings it upright
};

enum class ReadSet {
  kCamera, kTurnedScans, kClean, kMixed, kTilted, kHeadline, kSmallPrint, kTinyPrint, kDark, kSmallScans
};
constexpr int kReadSets = 10;
enum class TurnSet { kEnglishFlat, kEnglishDesk, kChineseFlat, kChineseDesk };

// A set's pages, made at the first call.
template <typename Set, typename Make>
const auto& CachedSet(Set set, Make make) {
  static std::map<Set, decltype(make(set))> cache;
  auto& pages = cache[set];
  if (pages.empty()) pages = make(set);
  return pages;
}

const std::vector<ReadPage>& Pages(ReadSet set);
const std::vector<TurnedPage>& Pages(TurnSet set);
const char* SetName(ReadSet set);
const char* SetName(TurnSet set);

// Chinese faces the recognition model was not made from, where installed.
std::vector<vqscene::CjkFont> UnseenChineseFonts();

// A camera frame cut and lit as the recognition command does before it reads.
cv::Mat CropForRecognition(const cv::Mat& frame);
// A camera frame cut as the orientation thread does (the whole frame when
// no page is found).
cv::Mat CropForOrientation(const cv::Mat& frame);

}  // namespace ocrbench
