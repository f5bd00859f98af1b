// Chinese paragraphs with the half-width runs documents hold: set by
// SetMixedParagraphs (PrintedPage.h).
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "scene/PrintedPage.h"

namespace vqscene {

namespace {

constexpr double kMarginShare = 0.08;

// A piece of a line: Chinese characters and full-width signs, one em box
// each, breakable anywhere; or a half-width run set in the face's own
// proportional glyphs, never broken.
struct Piece {
  std::u32string text;
  bool halfWidth;
};

const char32_t* const kWords[] = {U"USB",    U"PDF",    U"camera", U"Windows", U"Linux",   U"email", U"office",
                                  U"report", U"OCR",    U"JPEG",   U"Excel",   U"data",    U"scanner", U"OK",
                                  U"iPhone", U"Wi-Fi",  U"Word",   U"version", U"online",  U"print", U"page",
                                  U"file",   U"TIFF",   U"HDMI",   U"LED",     U"video",   U"photo", U"Beijing",
                                  U"quality", U"budget", U"system", U"Monday",  U"meeting", U"light", U"zoom"};

class SentenceMaker {
 public:
  SentenceMaker(const std::u32string& pool, cv::RNG& rng) : pool_(pool), rng_(rng) {}

  void Sentence(std::vector<Piece>* pieces) {
    pieces_ = pieces;
    const int clauses = rng_.uniform(1, 4);
    for (int c = 0; c < clauses; ++c) {
      Chinese(rng_.uniform(2, 9));
      if (rng_.uniform(0, 3) > 0) Token();
      if (rng_.uniform(0, 4) == 0) Quoted();
      Chinese(rng_.uniform(1, 6));
      if (c + 1 < clauses) Full(Pick(U"，，，、；："));
    }
    const int end = rng_.uniform(0, 10);
    if (end == 0) Full(U"……");
    else if (end == 1) Full(U"——");
    else Full(Pick(U"。。。。。？！"));
  }

 private:
  std::u32string Pick(const std::u32string& choices) {
    return std::u32string(1, choices[rng_.uniform(0, static_cast<int>(choices.size()))]);
  }
  std::u32string Number(int digits) {
    std::u32string n(1, static_cast<char32_t>(U'1' + rng_.uniform(0, 9)));
    for (int i = 1; i < digits; ++i) n.push_back(static_cast<char32_t>(U'0' + rng_.uniform(0, 10)));
    return n;
  }
  std::u32string Capitals(int count) {
    std::u32string c;
    for (int i = 0; i < count; ++i) c.push_back(static_cast<char32_t>(U'A' + rng_.uniform(0, 26)));
    return c;
  }
  std::u32string Word() { return kWords[rng_.uniform(0, static_cast<int>(std::size(kWords)))]; }

  void Full(const std::u32string& text) { pieces_->push_back({text, false}); }
  void Half(const std::u32string& text) { pieces_->push_back({text, true}); }
  void Chinese(int count) {
    std::u32string text;
    for (int i = 0; i < count; ++i) text.push_back(pool_[rng_.uniform(0, static_cast<int>(pool_.size()))]);
    Full(text);
  }

  // A date, an amount, a share, a part number, a standard, a time, a phone
  // number or English words.
  void Token() {
    switch (rng_.uniform(0, 9)) {
      case 0:
        Half(U"20" + Number(2).substr(0, 1) + Number(1));
        Full(U"年");
        Half(Number(rng_.uniform(1, 3)).substr(0, 1));
        Full(U"月");
        Half(Number(2).substr(0, rng_.uniform(1, 3)));
        Full(U"日");
        break;
      case 1:
        Half(Number(rng_.uniform(1, 4)) + U"," + Number(3).substr(0, 1) + Number(2) + U"." + Number(2));
        Full(Pick(U"元元万"));
        break;
      case 2: Half(Number(rng_.uniform(1, 3)) + U"." + Number(1) + U"%"); break;
      case 3: Half(Capitals(2) + U"-" + Number(4) + Capitals(1)); break;
      case 4: Half(U"GB/T " + Number(4) + U"-20" + Number(2)); break;
      case 5: Half(Number(1) + U":" + Number(2)); break;
      case 6: Half(U"010-" + Number(8)); break;
      case 7: Half(rng_.uniform(0, 2) ? Word() : Word() + U" " + Word()); break;
      default:
        Full(U"（");
        Half(Word());
        Full(U"）");
        break;
    }
  }
  void Quoted() {
    static const char32_t* const kPairs[] = {U"“”", U"‘’", U"《》", U"【】", U"（）"};
    const std::u32string pair = kPairs[rng_.uniform(0, static_cast<int>(std::size(kPairs)))];
    Full(pair.substr(0, 1));
    Chinese(rng_.uniform(2, 6));
    if (rng_.uniform(0, 4) == 0) Full(U"·");
    if (rng_.uniform(0, 4) == 0) Chinese(2);
    Full(pair.substr(1, 1));
  }

  const std::u32string& pool_;
  cv::RNG& rng_;
  std::vector<Piece>* pieces_ = nullptr;
};

// Sets pieces from left to right on lines `pitch` per em box, half-width runs
// by their advances with `gap` on either side; starts a new line where a
// piece does not fit.
class LineSetter {
 public:
  LineSetter(CjkTextRenderer& renderer, cv::Mat& page, int em, int gap)
      : renderer_(renderer), page_(page), em_(em), pitch_(em + std::max(1, em / 10)), gap_(gap) {
    left_ = static_cast<int>(kMarginShare * page.cols);
    right_ = page.cols - left_;
    top_ = static_cast<int>(kMarginShare * page.rows);
    bottom_ = page.rows - top_;
    x_ = left_;
    y_ = top_;
  }

  bool Full() const { return y_ + em_ > bottom_; }

  // A new paragraph indented two em boxes; false when the page is full.
  bool Paragraph() {
    if (x_ != left_) NewLine();
    x_ = left_ + 2 * pitch_;
    return !Full();
  }

  // Sets one piece and adds what was printed to `text`; false once the page is full.
  bool Set(const Piece& piece, std::u32string* text) {
    if (piece.halfWidth) {
      cv::Mat scratch(1, 1, CV_8U);
      const int width = renderer_.DrawProportional(scratch, piece.text, {0, -em_}, em_);
      if (x_ + gap_ + width > right_) NewLine();
      if (Full()) return false;
      if (x_ != left_) x_ += gap_;
      x_ = renderer_.DrawProportional(page_, piece.text, {x_, y_ + em_ * 88 / 100}, em_) + gap_;
      for (char32_t c : piece.text)
        if (c != U' ') text->push_back(c);
      return true;
    }
    for (char32_t c : piece.text) {
      if (x_ + pitch_ > right_) NewLine();
      if (Full()) return false;
      renderer_.DrawLine(page_, std::u32string(1, c), {x_, y_}, em_, pitch_);
      text->push_back(c);
      x_ += pitch_;
    }
    return true;
  }

 private:
  void NewLine() {
    x_ = left_;
    y_ += em_ * 17 / 10;
  }

  CjkTextRenderer& renderer_;
  cv::Mat& page_;
  int em_, pitch_, gap_;
  int left_ = 0, right_ = 0, top_ = 0, bottom_ = 0, x_ = 0, y_ = 0;
};

}  // namespace

PrintedText SetMixedParagraphs(CjkTextRenderer& renderer, cv::Size size, int em, const std::u32string& pool,
                               cv::RNG& rng) {
  PrintedText page;
  page.print = cv::Mat(size, CV_8U, cv::Scalar::all(255));
  if (pool.empty() || em <= 0 || size.width < 12 * em) return page;
  // Some documents keep a quarter em between Chinese and half-width runs.
  LineSetter setter(renderer, page.print, em, rng.uniform(0, 2) ? em / 4 : 0);
  SentenceMaker maker(pool, rng);
  while (setter.Paragraph()) {
    std::vector<Piece> pieces;
    for (int s = rng.uniform(1, 5); s > 0; --s) maker.Sentence(&pieces);
    for (const Piece& piece : pieces)
      if (!setter.Set(piece, &page.text)) return page;
  }
  return page;
}

}  // namespace vqscene
