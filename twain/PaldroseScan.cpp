// The camera window's captures: processed pages into the list, the upload
// to the host, and the capture without a window.
#include <exception>
#include <iostream>

#include "capture/CaptureController.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/ModalLoops.h"
#include "twain/PaldroseDlg.h"
#include "twain/TWAIN_UI.h"

namespace strenvik {

std::vector<cv::Mat> CPaldroseDlg::CaptureImages() {
  if (!m_mainController) return {};
  if (m_ui) {
    m_settings.XDPI = static_cast<int>(m_ui->GetCapFloat(ICAP_XRESOLUTION));
    m_settings.YDPI = static_cast<int>(m_ui->GetCapFloat(ICAP_YRESOLUTION));
  }
  CCaptureController* controller = CurrentController();
  if (!controller) return {};
  CaptureOptions options;
  options.cameraMode = m_settings.cameraMode;
  options.cropType = m_settings.cameraMode == 1 ? m_settings.secondaryCropType : m_settings.CUTPAGETYPE;
  options.multiCut = m_settings.MULTICUT;
  options.twoImagesInOne = m_settings.TwoImagesInOne != FALSE;
  options.resolutionWidth = m_settings.ResolutionWidth;
  options.resolutionHeight = m_settings.ResolutionHeight;
  if (IsDlgButtonChecked(6004) == BST_CHECKED) options.colour = PageColour::Grey;
  if (IsDlgButtonChecked(6005) == BST_CHECKED) options.colour = PageColour::BlackWhite;
  options.stamp.color = m_settings.Color;
  options.stamp.text = m_settings.GetWatermarkText();
  options.stamp.position = 3;
  options.stamp.transparency = m_settings.Transparency;
  options.stamp.size = m_settings.Size;
  ControllerCamera camera(controller);
  try {
    return ProcessCapture(camera, options);
  } catch (const std::exception& error) {
    // An image library's failure loses this capture, never the host.
    std::cerr << "ds: capture failed: " << error.what() << std::endl;
    return {};
  }
}

void CPaldroseDlg::AddPages(const std::vector<cv::Mat>& pages) {
  m_pageCount += static_cast<int>(pages.size());
  m_pages.insert(m_pages.end(), pages.begin(), pages.end());
}

void CPaldroseDlg::OnScan() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  // One capture at a time: a trigger during a capture is dropped.
  if (m_capturing) return;
  m_capturing = true;
  std::vector<cv::Mat> pages = CaptureImages();
  m_capturing = false;
  // A capture that found no frame says so, into the merge dialog or not.
  if (pages.empty()) {
    MessageBox(L"获取图像失败！", nullptr, MB_OK);
    return;
  }
  if (IsDlgButtonChecked(6024) == BST_CHECKED) {
    AddPagesToMergeDialog(pages);
    return;
  }
  AddPages(pages);
  ShowPageCount();
  RefreshThumbnailsAfterAdding();
  if (IsDlgButtonChecked(6027) != BST_CHECKED) OnUpload();
}

void CPaldroseDlg::OnUpload() {
  if (m_pageCount == 0 || !m_ui) return;
  // An upload that announced nothing (the pages could not be prepared, or
  // the host refused the announcement) must not leave the buttons disabled.
  if (!m_ui->Scan()) PostMessage(WM_DS_TRANSFER_STATE, kTransferNotStarted, 0);
}

bool CPaldroseDlg::CaptureWithoutUI() {
  std::vector<cv::Mat> pages = CaptureImages();
  if (m_cameraJustOpened) {
    m_cameraJustOpened = false;
    // A camera just opened may deliver its first frames late.
    for (int attempt = 0; attempt < 5; ++attempt) {
      // A wait ended early (the host disables or closes the source) ends
      // the attempts.
      if (!PumpMessages(2000)) return false;
      pages = CaptureImages();
      if (!pages.empty()) break;
    }
  }
  if (pages.empty()) return false;
  AddPages(pages);
  OnUpload();
  return true;
}

bool CPaldroseDlg::PumpMessages(DWORD milliseconds) {
  // A modal loop of the layer: the host's calls that arrive meanwhile are
  // handled as under any dialog of the source.
  return vqplatform::DispatchFor(milliseconds);
}

}  // namespace strenvik
