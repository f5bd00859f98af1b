#pragma once
// The seam between a data source object and its user interface. The data
// source calls it to open, show and hide the camera window and to fetch the
// captured pages; the window calls it to upload, cancel and reach the
// capabilities through the same checks as a host.
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "platform/twain/Twain.h"

class CTWAINDS_FreeImage;

class CTWAIN_UI {
 public:
  explicit CTWAIN_UI(CTWAINDS_FreeImage* ds);
  virtual ~CTWAIN_UI() = default;
  CTWAIN_UI(const CTWAIN_UI&) = delete;
  CTWAIN_UI& operator=(const CTWAIN_UI&) = delete;

  virtual TW_INT16 ShowUI(TW_USERINTERFACE ui, bool uiOnly, bool indicators);
  virtual void HideUI();
  virtual void StringHook(TW_UINT32, TW_UINT32, TW_UINT32, std::string) {}
  // Upload of the camera window's pages: prepares them and tells the host.
  virtual bool Scan();
  // The window's cancel: cancels an announced transfer and asks to close.
  virtual bool Cancel();
  virtual bool ConfirmClose();
  virtual int StringPairHook(std::string, std::string, TW_UINT32) { return 0; }
  virtual bool IsDSEvent(TW_EVENT*) { return false; }
  virtual bool OpenCameraWindow() { return false; }
  // The window's pages, last one first.
  virtual std::vector<cv::Mat> GetImages() { return {}; }
  virtual bool OnTransferStart() { return false; }
  virtual bool OnTransferEnd() { return false; }
  virtual bool CaptureWithoutUI() { return false; }

  // Capability accessors for the window.
  int GetCapCurrentIndex(TW_UINT16 cap);
  float GetCapFloat(TW_UINT16 cap);
  int GetCapInt(TW_UINT16 cap);
  bool SetCapFloat(TW_UINT16 cap, float value);
  bool SetCapInt(TW_UINT16 cap, int value);

  bool IsTransferAnnounced() const { return m_transferAnnounced; }
  // While the window pumps messages inside a triplet, the host's calls are refused.
  void SetRefusingTriplets(bool on);

 protected:
  CTWAINDS_FreeImage* m_ds;
  bool m_transferAnnounced = false;

 private:
  bool SetCapOneValue(TW_UINT16 cap, TW_UINT32 blockSize, TW_UINT16 itemType, TW_UINT32 item);
};

namespace strenvik {
class CPaldroseDlg;
}

// The bridge onto the camera window, which it creates hidden at the first
// enable and owns.
class CMFC_UI : public CTWAIN_UI {
 public:
  explicit CMFC_UI(CTWAINDS_FreeImage* ds);
  ~CMFC_UI() override;
  TW_INT16 ShowUI(TW_USERINTERFACE ui, bool uiOnly, bool indicators) override;
  void HideUI() override;
  bool OpenCameraWindow() override;
  std::vector<cv::Mat> GetImages() override;
  bool OnTransferStart() override;
  bool OnTransferEnd() override;
  bool CaptureWithoutUI() override;
  void CreateCameraWindow();
  strenvik::CPaldroseDlg* CameraWindow() const { return m_window; }

 private:
  strenvik::CPaldroseDlg* m_window = nullptr;
};

// Creates the bridge of a data source object; tests replace the factory.
using UIFactory = CTWAIN_UI* (*)(CTWAINDS_FreeImage* ds);
void SetUIFactory(UIFactory factory);
CTWAIN_UI* CreateUI(CTWAINDS_FreeImage* ds);
void DestroyUI(CTWAIN_UI* ui);
