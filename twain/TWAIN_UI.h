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
  // Creates the camera window once and opens its camera. Not `interactive`
  // (a host that wants no user interface), a failure shows no message box:
  // the reason goes to the standard error stream.
  virtual bool OpenCameraWindow(bool /*interactive*/) { return false; }
  // The window's pages, last one first.
  virtual std::vector<cv::Mat> GetImages() { return {}; }
  virtual bool OnTransferStart() { return false; }
  virtual bool OnTransferEnd() { return false; }
  virtual bool CaptureWithoutUI() { return false; }
  // The host refused the announcement of an upload that waited to be sent:
  // the window's pages stay and its controls work again.
  virtual void OnTransferNotStarted() { m_transferAnnounced = false; }

  // Capability accessors for the window.
  int GetCapCurrentIndex(TW_UINT16 cap);
  float GetCapFloat(TW_UINT16 cap);
  int GetCapInt(TW_UINT16 cap);
  bool SetCapFloat(TW_UINT16 cap, float value);
  bool SetCapInt(TW_UINT16 cap, int value);

  bool IsTransferAnnounced() const { return m_transferAnnounced; }

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
// enable and owns. The window and its cameras go only from the source
// thread's own loop, never under one of its modal loops (dialogs, message
// boxes, popup menus): a disable or close that arrives inside one ends the
// loops and runs once they have unwound (CDSUiThread::Call), so no code after
// a loop finds its window or camera gone.
class CMFC_UI : public CTWAIN_UI {
 public:
  explicit CMFC_UI(CTWAINDS_FreeImage* ds);
  ~CMFC_UI() override;
  TW_INT16 ShowUI(TW_USERINTERFACE ui, bool uiOnly, bool indicators) override;
  void HideUI() override;
  bool OpenCameraWindow(bool interactive) override;
  std::vector<cv::Mat> GetImages() override;
  bool OnTransferStart() override;
  bool OnTransferEnd() override;
  bool CaptureWithoutUI() override;
  void OnTransferNotStarted() override;
  void CreateCameraWindow();
  strenvik::CPaldroseDlg* CameraWindow() const { return m_window; }

 private:
  // Whether a shown window reaches the screen: it has a display to go to.
  static bool WindowsReachAPerson();
  // How long the display may take to show the window.
  static constexpr int kPresenterWaitMs = 20000;
  strenvik::CPaldroseDlg* m_window = nullptr;
};

// Creates the bridge of a data source object; tests replace the factory.
using UIFactory = CTWAIN_UI* (*)(CTWAINDS_FreeImage* ds);
void SetUIFactory(UIFactory factory);
CTWAIN_UI* CreateUI(CTWAINDS_FreeImage* ds);
void DestroyUI(CTWAIN_UI* ui);
