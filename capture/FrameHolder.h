#pragma once
// Frame holders: one video frame as raw pixels in the frame format of the
// capture code (BGR, three bytes a pixel, rows bottom-up, no row padding).
// CBasePR is the abstract holder; CDPrgb24 the one concrete holder.
#include <vector>

#include <opencv2/core.hpp>

#include "platform/win/WinTypes.h"

class CBasePR {
 public:
  virtual ~CBasePR() = default;
  virtual bool SetFrameRotated(const BYTE* data, int width, int height, int angle);
  virtual bool RotateCopy(const BYTE* src, BYTE* dst, int width, int height, int angle);
  virtual bool ReservedOp(int a, int b, int c);
  virtual bool SaveBitmap(const wchar_t* path, const RECT* rect);
  virtual bool SaveFrameBitmap(const wchar_t* path);
  virtual BYTE* GetBuffer();
  virtual BYTE** GetBufferAddress();
  virtual bool GetSize(int* width, int* height);
  virtual cv::Mat GetMat();
  virtual cv::Mat GetMatRect(const RECT* rect);
};

class CDPrgb24 : public CBasePR {
 public:
  CDPrgb24() = default;
  ~CDPrgb24() override;
  CDPrgb24(const CDPrgb24&) = delete;
  CDPrgb24& operator=(const CDPrgb24&) = delete;

  // Copies width x height x 3 bytes; false (and empty) when the buffer
  // cannot be allocated or the arguments describe no frame.
  bool SetFrame(const BYTE* data, int width, int height);
  // The same, turned by 0, 90, 180 or 270 degrees (negative turns count
  // backwards: -90 is 270); any other angle changes nothing and fails.
  bool SetFrameRotated(const BYTE* data, int width, int height, int angle) override;
  bool RotateCopy(const BYTE* src, BYTE* dst, int width, int height, int angle) override;
  bool ReservedOp(int a, int b, int c) override;
  // Writes a rectangle (picture coordinates, origin top-left) as a 24-bit
  // BMP file at 96 dpi; every write is checked, a failed file is removed.
  bool SaveBitmap(const wchar_t* path, const RECT* rect) override;
  // Writes the whole frame as a 24-bit BMP file without a resolution.
  bool SaveFrameBitmap(const wchar_t* path) override;
  BYTE* GetBuffer() override { return buffer_; }
  BYTE** GetBufferAddress() override { return &buffer_; }
  bool GetSize(int* width, int* height) override;
  // Copies out as a top-down BGR matrix.
  cv::Mat GetMat() override;
  cv::Mat GetMatRect(const RECT* rect) override;

  // Finds the document (or takes rect when detect is false), outlines it in
  // blue in the held pixels and returns it, in bottom-up row coordinates.
  // An empty holder returns a zero rectangle and draws nothing.
  cv::RotatedRect FindAndDrawDocument(bool detect, cv::RotatedRect rect, float minAreaRatio);
  // The same for several documents; an empty holder gives an empty list.
  std::vector<cv::RotatedRect> FindAndDrawDocuments(float minAreaRatio,
                                                    std::vector<cv::RotatedRect> work = {});

 private:
  bool Reserve(int width, int height);
  bool InsideFrame(const RECT* rect) const;
  bool WriteBmp(const wchar_t* path, const RECT& rect, LONG pixelsPerMetre, bool showFailure);
  cv::Mat WrapBuffer();

  BYTE* buffer_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

namespace vqcapture {
// Normalises a quarter turn to 0, 90, 180 or 270; -1 for any other angle.
int NormaliseQuarterTurn(int angle);
// Outlines a rotated rectangle with blue lines 9 pixels thick.
void DrawDocumentOutline(cv::Mat& frame, const cv::RotatedRect& rect);
}  // namespace vqcapture
