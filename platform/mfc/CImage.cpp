#include "platform/mfc/CImage.h"

// The layer's Win32 types stand in for the ones FreeImage would declare.
#define _WINDOWS_
#include <FreeImage.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "base/PathEncoding.h"
#include "imaging/PictureFile.h"
#include "platform/win/Encoding.h"

namespace {

constexpr int kMaxSide = 1 << 16;

struct FreeImageDeleter {
  void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};
using FreeImagePtr = std::unique_ptr<FIBITMAP, FreeImageDeleter>;

bool SupportedDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

FREE_IMAGE_FORMAT FormatForExtension(const std::wstring& path) {
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos) return FIF_UNKNOWN;
  std::wstring ext = path.substr(dot + 1);
  for (wchar_t& c : ext) c = vq::ToLowerChar(c);
  if (ext == L"jpg" || ext == L"jpeg" || ext == L"jpe") return FIF_JPEG;
  if (ext == L"png") return FIF_PNG;
  if (ext == L"bmp") return FIF_BMP;
  if (ext == L"tif" || ext == L"tiff") return FIF_TIFF;
  if (ext == L"gif") return FIF_GIF;
  return FIF_UNKNOWN;
}

}  // namespace

BOOL CImage::Create(int width, int height, int bitsPerPixel, DWORD) {
  if (width <= 0 || height == 0 || width > kMaxSide || std::abs(height) > kMaxSide ||
      !SupportedDepth(bitsPerPixel))
    return FALSE;
  Destroy();
  width_ = width;
  height_ = std::abs(height);
  topDown_ = height < 0;
  bpp_ = bitsPerPixel;
  stride_ = ((width * bitsPerPixel + 31) / 32) * 4;
  pixels_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
  if (bpp_ <= 8) {
    int n = 1 << bpp_;
    colors_.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      BYTE v = static_cast<BYTE>(i * 255 / (n - 1));
      colors_[static_cast<size_t>(i)] = RGBQUAD{v, v, v, 0};
    }
  }
  return TRUE;
}

void CImage::Destroy() {
  width_ = height_ = bpp_ = stride_ = 0;
  topDown_ = false;
  std::vector<uint8_t>().swap(pixels_);
  colors_.clear();
}

uint8_t* CImage::Row(int y) {
  return pixels_.data() + static_cast<size_t>(topDown_ ? y : height_ - 1 - y) * stride_;
}

const uint8_t* CImage::Row(int y) const { return const_cast<CImage*>(this)->Row(y); }

void* CImage::GetBits() { return IsNull() ? nullptr : Row(0); }

const void* CImage::GetBits() const { return IsNull() ? nullptr : Row(0); }

void* CImage::GetPixelAddress(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  return Row(y) + (static_cast<size_t>(x) * bpp_) / 8;
}

void CImage::GetColorTable(UINT first, UINT count, RGBQUAD* colors) const {
  for (UINT i = 0; i < count && first + i < colors_.size(); ++i) colors[i] = colors_[first + i];
}

void CImage::SetColorTable(UINT first, UINT count, const RGBQUAD* colors) {
  for (UINT i = 0; i < count && first + i < colors_.size(); ++i) colors_[first + i] = colors[i];
}

COLORREF CImage::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* row = Row(y);
  if (bpp_ <= 8) {
    int bit = x * bpp_;
    int index = (row[bit / 8] >> (8 - bpp_ - bit % 8)) & ((1 << bpp_) - 1);
    const RGBQUAD& c = colors_[static_cast<size_t>(index)];
    return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
  }
  if (bpp_ == 16) {
    uint16_t v = static_cast<uint16_t>(row[x * 2] | (row[x * 2 + 1] << 8));
    auto five = [](int c) { return static_cast<BYTE>((c << 3) | (c >> 2)); };
    return RGB(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
  }
  const uint8_t* p = row + x * (bpp_ / 8);
  return RGB(p[2], p[1], p[0]);
}

void CImage::SetPixel(int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint8_t* row = Row(y);
  if (bpp_ <= 8) {
    // The nearest entry of the colour table.
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < colors_.size(); ++i) {
      long dr = colors_[i].rgbRed - GetRValue(color), dg = colors_[i].rgbGreen - GetGValue(color),
           db = colors_[i].rgbBlue - GetBValue(color);
      long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) best = static_cast<int>(i), bestDistance = d;
    }
    int bit = x * bpp_;
    int shift = 8 - bpp_ - bit % 8;
    uint8_t mask = static_cast<uint8_t>(((1 << bpp_) - 1) << shift);
    row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~mask) | (best << shift));
    return;
  }
  if (bpp_ == 16) {
    uint16_t v = static_cast<uint16_t>(((GetRValue(color) >> 3) << 10) |
                                       ((GetGValue(color) >> 3) << 5) | (GetBValue(color) >> 3));
    row[x * 2] = static_cast<uint8_t>(v);
    row[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
    return;
  }
  uint8_t* p = row + x * (bpp_ / 8);
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
}

HRESULT CImage::Load(LPCWSTR path) {
  if (!path) return E_POINTER;
  vq::Picture picture;
  if (vq::ReadPictureFile(vq::PathToBytes(path), &picture) != vq::PictureResult::kLoaded) return E_FAIL;
  const cv::Mat& pixels = picture.pixels;
  const int channels = pixels.channels();
  if (!Create(pixels.cols, pixels.rows, picture.bilevel ? 1 : channels * 8)) return E_FAIL;
  for (int y = 0; y < pixels.rows; ++y) {
    const uint8_t* in = pixels.ptr(y);
    uint8_t* out = Row(y);
    if (!picture.bilevel) {
      std::memcpy(out, in, static_cast<size_t>(pixels.cols) * channels);
      continue;
    }
    // Pixels are 0 or 255; white is entry 1 of the two-entry grey table.
    const int whole = pixels.cols / 8;
    for (int i = 0; i < whole; ++i, in += 8)
      out[i] = static_cast<uint8_t>((in[0] & 0x80) | (in[1] & 0x40) | (in[2] & 0x20) | (in[3] & 0x10) |
                                    (in[4] & 0x08) | (in[5] & 0x04) | (in[6] & 0x02) | (in[7] & 0x01));
    for (int x = whole * 8; x < pixels.cols; ++x, ++in)
      out[whole] = static_cast<uint8_t>(out[whole] | (*in & (0x80 >> (x & 7))));
  }
  return S_OK;
}

HRESULT CImage::Save(LPCWSTR path, int jpegQuality) const {
  if (!path || IsNull()) return E_FAIL;
  FREE_IMAGE_FORMAT format = FormatForExtension(path);
  if (format == FIF_UNKNOWN) return E_FAIL;
  FreeImagePtr bitmap(FreeImage_Allocate(width_, height_, bpp_, 0x7C00, 0x03E0, 0x001F));
  if (!bitmap) return E_FAIL;
  size_t lineBytes = std::min<size_t>(FreeImage_GetLine(bitmap.get()), static_cast<size_t>(stride_));
  for (int i = 0; i < height_; ++i)
    std::memcpy(FreeImage_GetScanLine(bitmap.get(), i), Row(height_ - 1 - i), lineBytes);
  if (RGBQUAD* palette = reinterpret_cast<RGBQUAD*>(FreeImage_GetPalette(bitmap.get())))
    std::copy(colors_.begin(), colors_.end(), palette);
  if ((format == FIF_JPEG && bpp_ != 8 && bpp_ != 24) || (format == FIF_GIF && bpp_ > 8)) {
    bitmap = FreeImagePtr(FreeImage_ConvertTo24Bits(bitmap.get()));
    if (bitmap && format == FIF_GIF)
      bitmap = FreeImagePtr(FreeImage_ColorQuantize(bitmap.get(), FIQ_WUQUANT));
    if (!bitmap) return E_FAIL;
  }
  int flags = format == FIF_JPEG ? std::clamp(jpegQuality, 1, 100) : 0;
  return FreeImage_Save(format, bitmap.get(), vq::PathToBytes(path).c_str(), flags) ? S_OK : E_FAIL;
}
