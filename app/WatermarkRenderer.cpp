#include "app/WatermarkRenderer.h"

#include <algorithm>
#include <cstring>

#include <opencv2/imgproc.hpp>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"

namespace {

constexpr DWORD kSwissDefaultPitch = 0x20;

// A memory DC with the watermark font selected; releases both.
class FontDc {
 public:
  explicit FontDc(int size)
      : dc_(CreateCompatibleDC(nullptr)),
        font_(CreateFontW(size, 0, 0, 0, 400, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, kSwissDefaultPitch,
                          L"Arial")) {
    if (dc_ && font_) oldFont_ = SelectObject(dc_, font_);
  }
  ~FontDc() {
    if (dc_ && oldFont_) SelectObject(dc_, oldFont_);
    if (font_) DeleteObject(font_);
    if (dc_) DeleteDC(dc_);
  }
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;

  bool Ok() const { return dc_ && font_; }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ oldFont_ = nullptr;
};

}  // namespace

cv::Mat RenderWatermarkTile(const CString& text, int size, int color) {
  if (text.IsEmpty()) return {};
  FontDc fontDc(size);
  if (!fontDc.Ok()) return {};
  HDC dc = fontDc.Get();
  SIZE extent{0, 0};
  if (!GetTextExtentPoint32W(dc, text, text.GetLength(), &extent) || extent.cx < 1 || extent.cy < 1) return {};

  void* bits = nullptr;
  HBITMAP tileBitmap = vqplatform::CreateTopDownDib24(dc, extent.cx, extent.cy, &bits);
  if (!tileBitmap) return {};
  HGDIOBJ oldBitmap = SelectObject(dc, tileBitmap);

  HBRUSH grey = CreateSolidBrush(RGB(kWatermarkTileGrey, kWatermarkTileGrey, kWatermarkTileGrey));
  RECT all{0, 0, extent.cx, extent.cy};
  FillRect(dc, &all, grey);
  DeleteObject(grey);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(color));
  TextOutW(dc, 0, 0, text, text.GetLength());
  GdiFlush();

  const size_t stride = vqplatform::Dib24Stride(extent.cx);
  cv::Mat tile(extent.cy, extent.cx, CV_8UC3);
  for (int y = 0; y < extent.cy; ++y)
    std::memcpy(tile.ptr(y), static_cast<const unsigned char*>(bits) + y * stride, size_t(extent.cx) * 3);

  SelectObject(dc, oldBitmap);
  DeleteObject(tileBitmap);
  return tile;
}

void BlendWatermarkTile(cv::Mat& image, const cv::Mat& tile, int position, int transparency) {
  if (image.empty() || tile.empty() || image.depth() != CV_8U || tile.type() != CV_8UC3) return;
  if (image.channels() != 1 && image.channels() != 3) return;
  const int w = image.cols, h = image.rows, cx = tile.cols, cy = tile.rows;
  int x = 0, y = 0;
  switch (position) {
    case 0: break;
    case 1: x = w - cx; break;
    case 2: y = h - cy; break;
    case 3: x = w - cx, y = h - cy; break;
    case 4: x = (w - cx) / 2, y = (h - cy) / 2; break;
    default: return;
  }
  const cv::Rect inside = cv::Rect(x, y, cx, cy) & cv::Rect(0, 0, w, h);
  if (inside.empty()) return;

  cv::Mat canvas;  // the covered part, as three channels
  if (image.channels() == 3)
    canvas = image(inside);
  else
    cv::cvtColor(image(inside), canvas, cv::COLOR_GRAY2BGR);

  const double t = transparency / 100.0;
  const uchar grey = static_cast<uchar>(kWatermarkTileGrey);
  for (int row = 0; row < inside.height; ++row) {
    const cv::Vec3b* tileRow = tile.ptr<cv::Vec3b>(inside.y - y + row) + (inside.x - x);
    cv::Vec3b* canvasRow = canvas.ptr<cv::Vec3b>(row);
    for (int col = 0; col < inside.width; ++col) {
      const cv::Vec3b& ink = tileRow[col];
      if (ink[0] == grey && ink[1] == grey && ink[2] == grey) continue;
      for (int c = 0; c < 3; ++c)
        canvasRow[col][c] = static_cast<uchar>(ink[c] * (1.0 - t) + canvasRow[col][c] * t);
    }
  }
  if (image.channels() == 1) {
    cv::Mat grey1;
    cv::cvtColor(canvas, grey1, cv::COLOR_RGB2GRAY);
    grey1.copyTo(image(inside));
  }
}
