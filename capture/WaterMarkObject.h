#pragma once
// CWaterMarkObject: a watermark over the live picture: a line of text, a
// picture file, the date and time, or the date and time followed by a text,
// blended in with a transparency, on screen and into the copies the preview
// takes. Its shape is the four corners of a turned box (picture
// coordinates). A click inside its turned outline or on a corner selects
// it; then its body moves it and each corner turns it about its centre
// (corners never resize it).
#include <vector>

#include <opencv2/core.hpp>

#include "capture/TrackRectangle.h"
#include "capture/WaterMarkParams.h"
#include "platform/mfc/CString.h"

class CWaterMarkObject : public CTrackRectangle {
 public:
  enum Kind { kText = 0, kImageFile = 1, kDateTime = 2, kDateTimeAndText = 3 };

  CWaterMarkObject();

  // Places the mark centred on the parameters' rectangle, turned by their
  // angle. Content that measures nothing (an empty text, a picture that
  // cannot be loaded) leaves the corners as they were.
  void SetParams(WaterMarkParams params);
  // The parameters with the current bounds as the rectangle and the turns
  // made with the mouse added to the angle.
  WaterMarkParams GetParams();

  // Moving the mouse and hit tests are the selection rectangle's, with the
  // corners as handles (DragHandle below).
  bool OnLButtonDown(UINT flags, int x, int y, float s) override;
  void OnLButtonUp(UINT flags, int x, int y, float s) override;
  void Draw(CImage* target, RECT view, float s) override;

  // The text the mark shows now: kinds 2 and 3 carry the local time.
  CString BuildText() const;

 protected:
  // The outline through the corners and a circle on each.
  void DrawHandles(CDC* dc, float s) override;
  // The body moves the corners; a corner turns them about their mean.
  void DragHandle(float s, int lastX, int lastY, int x, int y, int grabbed) override;
  // The size-all cursor for the body and every corner.
  void ShowGrabCursor() const override;
  // The text's extent in the mark's font, or the picture file's size
  // (loading it); 0 x 0 for nothing.
  SIZE MeasureContent();
  // The turned and scaled mask (and picture), rebuilt only when the zoom or
  // the angle moved by 0.01 or more or the text changed.
  void RenderContent(float s);

  WaterMarkParams m_params;
  float m_renderedScale = -1.0f;
  float m_renderedAngle = 0.0f;
  CString m_renderedText;
  CString m_text;
  cv::Mat m_rendered;  // picture marks: the picture turned and scaled
  cv::Mat m_mask;      // 255 where the mark covers, turned and scaled
  cv::Mat m_image;     // picture marks: the file as loaded

 private:
  void RenderText(float s);
  void RenderImage(float s);
  void TurnPoints(cv::Point2f centre, float angle);
  // The corners at scale s, for the outline and the hit tests.
  void RebuildHandlePoints(float s);
};

// Paints `colour` (0x00BBGGRR) over the target wherever the mask is not 0,
// keeping `weight` of the old pixel: the mask's pixel (i, j) lands on target
// pixel (destination.left + j - view.left, destination.top + i - view.top).
void BlendMaskColor(const cv::Mat& mask, CImage* target, RECT view, RECT destination, COLORREF colour,
                    double weight);
// Even-odd rule.
bool PointInPolygon(int x, int y, const std::vector<POINT>& points);
