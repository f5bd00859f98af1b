// CImage's drawing members, forwarding to the drawing side in CImageDraw.
#include "platform/mfc/CImage.h"
#include "platform/mfc/CImageDraw.h"

HDC CImage::GetDC() { return vqplatform::GetImageDC(*this); }

void CImage::ReleaseDC() { vqplatform::ReleaseImageDC(*this); }

BOOL CImage::Draw(HDC dst, int x, int y) { return vqplatform::DrawImage(*this, dst, x, y); }

BOOL CImage::Draw(HDC dst, const RECT& destination) { return vqplatform::DrawImage(*this, dst, destination); }

BOOL CImage::Draw(HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc, int heightSrc) {
  return vqplatform::DrawImage(*this, dst, x, y, width, height, xSrc, ySrc, widthSrc, heightSrc);
}

BOOL CImage::BitBlt(HDC dst, int x, int y, DWORD rop) {
  return vqplatform::ImageBitBlt(*this, dst, x, y, GetWidth(), GetHeight(), 0, 0, rop);
}

BOOL CImage::StretchBlt(HDC dst, int x, int y, int width, int height, DWORD rop) {
  return vqplatform::ImageStretchBlt(*this, dst, x, y, width, height, 0, 0, GetWidth(), GetHeight(), rop);
}

BOOL CImage::TransparentBlt(HDC dst, int x, int y, int width, int height, UINT key) {
  return vqplatform::ImageTransparentBlt(*this, dst, x, y, width, height, 0, 0, GetWidth(), GetHeight(), key);
}

BOOL CImage::AlphaBlend(HDC dst, int x, int y, BYTE alpha, BYTE format) {
  return vqplatform::ImageAlphaBlend(*this, dst, x, y, GetWidth(), GetHeight(), 0, 0, GetWidth(), GetHeight(), alpha,
                                     format);
}
