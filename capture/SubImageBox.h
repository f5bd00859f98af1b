#pragma once
// CSubImageBox: the picture of a secondary camera in a box over the live
// preview. The user moves the box by dragging it (it is not resized). When
// turned, the preview shows a green outline turned by the document's skew,
// and captures carry the picture turned by that angle.
#include <opencv2/core/types.hpp>

#include "capture/TrackRectangle.h"

class CSubImageBox : public CTrackRectangle {
 public:
  CSubImageBox();

  bool OnLButtonDown(UINT flags, int x, int y, float s) override;
  void OnMouseMove(UINT flags, int x, int y, float s) override;
  void OnLButtonUp(UINT flags, int x, int y, float s) override;
  void Draw(CImage* target, RECT view, float s) override;
  // Renders the picture into a full-size 24-bit picture of the frame.
  virtual void DrawSubImage(CImage* target);

  // Bottom-up RGB24 pixels without row padding (the frame holder's layout).
  void SetSubImage(const BYTE* pixels, int width, int height);
  bool HasSubImage() const { return !m_picture.IsNull(); }
  // Set by the preview after each shown frame: turned follows the detected
  // document; angle in radians.
  void SetTurn(bool turned, double angle) {
    m_turned = turned;
    m_angle = angle;
  }
  bool IsTurned() const { return m_turned; }
  double GetAngle() const { return m_angle; }

  // The turn actually applied: an angle of 45 degrees or more either way is
  // replaced by its difference to 90 degrees, turned the other way.
  static double EffectiveTurn(double angle);
  // The white square that holds a picture of this size at any turn, and
  // where the unturned picture sits in it.
  struct TurnSquare {
    int side = 0;
    cv::Point offset;
  };
  static TurnSquare TurnSquareFor(int width, int height);

 private:
  bool m_turned = false;
  double m_angle = 0.0;
  float m_lastScale = 1.0f;  // zoom of the last Draw
  CImage m_picture;          // 24-bit, top-down
};
