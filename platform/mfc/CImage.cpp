#include "platform/mfc/CImage.h"

// The layer's Win32 types stand in for the ones FreeImage would declare.
#define _WINDOWS_
#include <FreeImage.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "platform/win/Encoding.h"
#include "platform/win/PathEncoding.h"

namespace {

constexpr int kMaxSide = 1 << 16;

struct FreeImageDeleter {
  void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};
using FreeImagePtr = std::unique_ptr<FIBITMAP, FreeImageDeleter>;

bool SupportedDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// A FreeImage bitmap of a depth a DIB holds, converting where needed.
FreeImagePtr AsDibDepth(FreeImagePtr bitmap) {
  if (!bitmap) return bitmap;
  int bpp = static_cast<int>(FreeImage_GetBPP(bitmap.get()));
  if (FreeImage_GetImageType(bitmap.get()) == FIT_BITMAP && bpp != 16 && SupportedDepth(bpp))
    return bitmap;
  return FreeImagePtr(FreeImage_ConvertTo24Bits(bitmap.get()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
  std::string file = vq::PathToBytes(path);
  std::string bytes = ReadBytes(file);
  if (bytes.empty()) return E_FAIL;

  FIMEMORY* memory =
      FreeImage_OpenMemory(reinterpret_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory, 0);
  FreeImagePtr bitmap;
  if (format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(format))
    bitmap = AsDibDepth(FreeImagePtr(FreeImage_LoadFromMemory(format, memory, 0)));
  FreeImage_CloseMemory(memory);

  if (bitmap) {
    int w = static_cast<int>(FreeImage_GetWidth(bitmap.get()));
    int h = static_cast<int>(FreeImage_GetHeight(bitmap.get()));
    int bpp = static_cast<int>(FreeImage_GetBPP(bitmap.get()));
    if (!Create(w, h, bpp)) return E_FAIL;
    size_t lineBytes = std::min<size_t>(FreeImage_GetLine(bitmap.get()), static_cast<size_t>(stride_));
    // FreeImage keeps rows bottom-up, like this image's memory.
    for (int i = 0; i < h; ++i)
      std::memcpy(pixels_.data() + static_cast<size_t>(i) * stride_,
                  FreeImage_GetScanLine(bitmap.get(), i), lineBytes);
    if (RGBQUAD* palette = reinterpret_cast<RGBQUAD*>(FreeImage_GetPalette(bitmap.get()))) {
      UINT n = std::min<UINT>(FreeImage_GetColorsUsed(bitmap.get()), static_cast<UINT>(colors_.size()));
      SetColorTable(0, n, palette);
    }
    return S_OK;
  }

  // Formats FreeImage does not know, through OpenCV.
  try {
    cv::Mat raw(1, static_cast<int>(bytes.size()), CV_8UC1, bytes.data());
    cv::Mat m = cv::imdecode(raw, cv::IMREAD_UNCHANGED | cv::IMREAD_IGNORE_ORIENTATION);
    if (m.empty() || m.depth() != CV_8U) return E_FAIL;
    int channels = m.channels();
    if (channels != 1 && channels != 3 && channels != 4) return E_FAIL;
    if (!Create(m.cols, -m.rows, channels * 8)) return E_FAIL;
    for (int y = 0; y < m.rows; ++y)
      std::memcpy(Row(y), m.ptr(y), static_cast<size_t>(m.cols) * channels);
    return S_OK;
  } catch (const cv::Exception&) {
    Destroy();
    return E_FAIL;
  }
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
