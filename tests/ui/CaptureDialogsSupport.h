#pragma once
// What the tests of the merge, multipage and page-list dialogs share:
// capture files on disk, an owner window that records what the dialogs
// tell it, and answers for popup menus and message boxes.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/mfc/CWnd.h"
#include "platform/win/Menu.h"
#include "ui/ShowImageDlg.h"

namespace vqtest {

// A white picture with a black block (x, y, width, height in fractions of
// the picture) saved as JPEG, or G4 TIFF for a ".tif" name; the path.
std::string WriteCapture(const std::string& name, cv::Size size, cv::Scalar colour, cv::Rect2d block = {});
CString Wide(const std::string& path);

// The main window's part: receives WM_MERGE_FINISHED and
// WM_MULTIPAGE_CLOSED, and holds the merge dialog as the main window does;
// WM_APP stands for a capture, which hands its file to the dialog it holds.
class OwnerWindow : public CWnd, public CMergeDialogOwner {
 public:
  OwnerWindow();
  ~OwnerWindow() override;
  void SetMergedFilePath(const CString& path) override;
  void MergeDialogClosing(CShowImageDlg* dialog) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  CShowImageDlg* mergeDialog = nullptr;
  std::vector<CString> mergedPaths;
  int closingCalls = 0;
  std::vector<MSG> posted;  // WM_MERGE_FINISHED and WM_MULTIPAGE_CLOSED
  std::vector<CShowImageDlg*> captureSaw;  // the dialog each WM_APP found
  int Count(UINT message) const;
};

// Dispatches what is queued for the thread, a few rounds.
void Pump(HWND dialog = nullptr);

// Answers popup menus with a fixed id (0 dismisses) and keeps the top-level
// texts of the last one; message boxes are answered with their default, or
// questions (Yes and No) with `question` when set, and logged.
class MenuAndBoxAnswers {
 public:
  MenuAndBoxAnswers();
  ~MenuAndBoxAnswers();
  UINT choice = 0;
  int question = 0;
  std::vector<std::wstring> offered;
  std::vector<std::wstring> BoxTexts() const;
};

// A right click at a client point of a window.
void RightClickAt(HWND window, POINT point);

// Shows the build's generated pictures (the empty page slot) as bitmap
// resources for the lifetime of the object.
class SkinBitmaps {
 public:
  SkinBitmaps();
  ~SkinBitmaps();
};

}  // namespace vqtest
