#include "tests/ui/CaptureDialogsSupport.h"

#include <cstdlib>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/ImageOutput.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "platform/win/TestInput.h"
#include "tests/support/TestEnv.h"
#include "ui/PageStripDlg.h"
#include "tests/support/Windows.h"

namespace vqtest {

CString Wide(const std::string& path) { return CString(vq::Utf8ToWide(path).c_str()); }

std::string WriteCapture(const std::string& name, cv::Size size, cv::Scalar colour, cv::Rect2d block) {
  cv::Mat picture(size, CV_8UC3, colour);
  if (block.area() > 0)
    picture(cv::Rect(static_cast<int>(block.x * size.width), static_cast<int>(block.y * size.height),
                     static_cast<int>(block.width * size.width), static_cast<int>(block.height * size.height)))
        .setTo(cv::Scalar::all(0));
  const std::string path = TempPath(name).string();
  if (path.size() > 4 && path.substr(path.size() - 4) == ".tif") {
    CImageOutput output(0);
    CString written;
    cv::Mat grey;
    cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    output.SaveTiffG4(written, grey, Wide(path.substr(0, path.size() - 4)));
  } else {
    cv::imwrite(path, picture, {cv::IMWRITE_JPEG_QUALITY, 95});
  }
  return path;
}

OwnerWindow::OwnerWindow() {
  CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0);
}

OwnerWindow::~OwnerWindow() {
  if (m_hWnd) DestroyWindow();
}

void OwnerWindow::SetMergedFilePath(const CString& path) { mergedPaths.push_back(path); }

void OwnerWindow::MergeDialogClosing(CShowImageDlg* dialog) {
  ++closingCalls;
  if (dialog == mergeDialog) mergeDialog = nullptr;
}

LRESULT OwnerWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MERGE_FINISHED || message == WM_MULTIPAGE_CLOSED)
    posted.push_back(MSG{m_hWnd, message, wParam, lParam, 0, {0, 0}});
  if (message == WM_APP) {
    captureSaw.push_back(mergeDialog);
    if (mergeDialog) mergeDialog->RedrawAll();
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

int OwnerWindow::Count(UINT message) const {
  int count = 0;
  for (const MSG& msg : posted) count += msg.message == message;
  return count;
}

void Pump(HWND dialog) {
  vqtest::DispatchQueued(dialog);
}

MenuAndBoxAnswers::MenuAndBoxAnswers() {
  vqplatform::ClearMessageBoxLog();
  vqplatform::SetMessageBoxAnswer([this](const vqplatform::MessageBoxRecord& box) {
    if (question && (box.type & MB_TYPEMASK) == MB_YESNO) return question;
    return vqplatform::DefaultMessageBoxAnswer(box.type);
  });
  vqplatform::SetPopupMenuAnswer([this](const vqplatform::PopupMenuRecord& menu) {
    offered = menu.texts;
    return choice;
  });
}

MenuAndBoxAnswers::~MenuAndBoxAnswers() {
  vqplatform::SetPopupMenuAnswer(nullptr);
  vqplatform::SetMessageBoxAnswer(nullptr);
  vqplatform::ClearMessageBoxLog();
}

std::vector<std::wstring> MenuAndBoxAnswers::BoxTexts() const {
  std::vector<std::wstring> texts;
  for (const auto& box : vqplatform::MessageBoxLog()) texts.push_back(box.text);
  return texts;
}

void RightClickAt(HWND window, POINT point) {
  PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
  PostMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  Pump(window);
}

SkinBitmaps::SkinBitmaps() {
#ifdef VQ_SKIN_BITMAP_DIR
  setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
#endif
}

SkinBitmaps::~SkinBitmaps() { unsetenv("VQ_BITMAP_DIR"); }

}  // namespace vqtest
