#pragma once
// The image page of the settings sheet: output dpi, JPEG quality, the
// capture size of the current camera (from the sizes the camera reports),
// trim margins and the image format.
#include <vector>

#include "app/CameraModels.h"
#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

class CImageParaDialog : public CDialog {
 public:
  enum { IDD = IDD_IMAGE_PAGE };
  explicit CImageParaDialog(CWnd* parent = nullptr);

  // Loads the page; false when the camera reported no sizes (the other
  // fields are loaded all the same).
  bool SetSettings(CSysSettings settings);
  // Stores the page; false, with the range message shown, when a field
  // holds no valid value.
  bool Save(CSysSettings* out);
  // Resets quality, margins and format, and for a known model (0..6) its
  // dpi and capture size; false for an unknown model.
  bool Defaults(int cameraModel);
  // The sizes of the first camera with the ids, each once, then the extra
  // sizes of its model; false when the camera reported none.
  bool BuildResolutionList(const CString& vendorId, const CString& productId);
  bool HasResolution(int width, int height) const;
  const std::vector<ResolutionEntry>& Resolutions() const { return resolutions_; }
  void SetLanguageTexts(int language);

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;

 private:
  void SelectResolution(int width, int height);
  void CheckFormat(int format);

  int xDpi_ = 215;
  int yDpi_ = 215;
  int jpgQuality_ = 70;
  CComboBox resolutionBox_;
  int cutLeft_ = 0, cutTop_ = 0, cutRight_ = 0, cutBottom_ = 0;
  int language_ = 0;
  std::vector<ResolutionEntry> resolutions_;
};
