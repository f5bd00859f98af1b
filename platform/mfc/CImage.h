#pragma once
// The data side of ATL's CImage: a device-independent bitmap of 1, 4, 8,
// 16, 24 or 32 bits per pixel with rows padded to 4 bytes, bottom-up or
// top-down, with a colour table for the indexed depths. GetBits points at
// the top row; for a bottom-up image GetPitch is negative, as in ATL.
// Load reads through the guarded picture loader (imaging/PictureFile.h):
// the formats the programs write, recognised by content (a ".GIF" holding
// JPEG data loads as JPEG), pixels as stored (no EXIF rotation); 1-bit
// pages load as 1-bit, grey ones as 8-bit, colour ones as 24-bit images.
#include <cstdint>
#include <vector>

#include "platform/win/WinTypes.h"

class CImage {
 public:
  static constexpr DWORD createAlphaChannel = 0x01;

  CImage() = default;
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;
  CImage(CImage&&) noexcept = default;
  CImage& operator=(CImage&&) noexcept = default;
  ~CImage() = default;

  // A positive height makes a bottom-up image, a negative one a top-down
  // image of that height. Pixels start zero; indexed images get a grey
  // ramp as their colour table. FALSE for a size or depth out of range.
  BOOL Create(int width, int height, int bitsPerPixel, DWORD flags = 0);
  void Destroy();

  bool IsNull() const { return width_ == 0; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  int GetBPP() const { return bpp_; }
  int GetPitch() const { return topDown_ ? stride_ : -stride_; }
  bool IsDIBSection() const { return !IsNull(); }
  void* GetBits();
  const void* GetBits() const;
  void* GetPixelAddress(int x, int y);

  bool IsIndexed() const { return bpp_ <= 8 && !IsNull(); }
  int GetMaxColorTableEntries() const { return IsIndexed() ? 1 << bpp_ : 0; }
  void GetColorTable(UINT first, UINT count, RGBQUAD* colors) const;
  void SetColorTable(UINT first, UINT count, const RGBQUAD* colors);

  // 0x00BBGGRR colour of a pixel (through the colour table when indexed).
  COLORREF GetPixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF color);

  // S_OK, or E_FAIL when the file is missing, not a picture the loader
  // takes, too large or broken; the image is then left as it was.
  HRESULT Load(LPCWSTR path);
  // Drawing (CImageMembers.cpp, over CImageDraw.h): a DC drawing into the
  // image (every GetDC needs a ReleaseDC), and the image drawn onto a DC.
  HDC GetDC();
  void ReleaseDC();
  BOOL Draw(HDC dst, int x, int y);
  BOOL Draw(HDC dst, const RECT& destination);
  BOOL Draw(HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc, int heightSrc);
  BOOL BitBlt(HDC dst, int x, int y, DWORD rop = 0x00CC0020);
  BOOL StretchBlt(HDC dst, int x, int y, int width, int height, DWORD rop = 0x00CC0020);
  BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, UINT key);
  BOOL AlphaBlend(HDC dst, int x, int y, BYTE alpha = 0xFF, BYTE format = 0);
  // Writes the format named by the extension (.jpg/.jpeg, .png, .bmp,
  // .tif/.tiff, .gif); JPEG quality 75 unless given (1..100).
  HRESULT Save(LPCWSTR path, int jpegQuality = 75) const;

 private:
  uint8_t* Row(int y);
  const uint8_t* Row(int y) const;

  int width_ = 0;
  int height_ = 0;
  int bpp_ = 0;
  int stride_ = 0;
  bool topDown_ = false;
  std::vector<uint8_t> pixels_;  // rows in memory order
  std::vector<RGBQUAD> colors_;
};
