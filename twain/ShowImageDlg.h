#pragma once
// CShowImageDlg of the data source (template 6020): one scanned page large
// in the zoomable view, with buttons for 1:1 and for fitting the view. Run
// modally when a selected page thumbnail is clicked; closing changes nothing.
#include <opencv2/core.hpp>

#include "platform/mfc/CDialog.h"
#include "twain/ShowImageStatic.h"

namespace strenvik {

class CShowImageDlg : public CDialog {
 public:
  enum { IDD = 6020 };
  explicit CShowImageDlg(CWnd* parent = nullptr);

  // The page shares its pixels with the matrix; call before DoModal.
  void SetImage(cv::Mat page) { m_page = page; }
  const CShowImageStatic& View() const { return m_view; }

 protected:
  BOOL OnInitDialog() override;
  void OnActualSize();
  void OnFitToScreen();
  DECLARE_MESSAGE_MAP()

 private:
  cv::Mat m_page;
  CShowImageStatic m_view;
};

}  // namespace strenvik
