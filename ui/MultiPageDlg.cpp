#include "ui/MultiPageDlg.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "app/ImageConversions.h"
#include "imaging/ReplacingFile.h"
#include "imaging/TiffPageWriter.h"
#include "platform/mfc/CImage.h"
#include "platform/win/Encoding.h"
#include "platform/win/FileSystem.h"
#include "base/PathEncoding.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kPreviousGroup = 1093, kPreviousPage = 1091, kNextPage = 1092, kNextGroup = 1094;
constexpr int kItemLeft = 25;
constexpr int kGroup = 4;

const LanguageText kCaption{L"存为多页文件", L"儲存到多頁文件", L"Save in MultiPage File"};
const LanguageText kPreviousGroupTip{L"前一组", L"前四張", L"Last Four"};
const LanguageText kPreviousPageTip{L"前一张", L"前一張", L"Last One"};
const LanguageText kNextPageTip{L"后一张", L"後一張", L"Next One"};
const LanguageText kNextGroupTip{L"后一组", L"后四張", L"Next Four"};
const ControlText kTexts[] = {
    {1032, {L"合并图像", L"組合圖像", L"Combine"}},
    {1033, {L"取消", L"取消", L"Cancel"}},
};

}  // namespace

BEGIN_MESSAGE_MAP(CMultiPageDlg, CPageStripDlg)
ON_BN_CLICKED(kPreviousGroup, OnPreviousGroup)
ON_BN_CLICKED(kNextGroup, OnNextGroup)
END_MESSAGE_MAP()

CMultiPageDlg::CMultiPageDlg(CWnd* parent, int mode, int language)
    : CPageStripDlg(IDD, parent, mode, kItemLeft),
      caption_(kCaption.simplified),
      previousGroupTip_(kPreviousGroupTip.simplified),
      previousPageTip_(kPreviousPageTip.simplified),
      nextPageTip_(kNextPageTip.simplified),
      nextGroupTip_(kNextGroupTip.simplified) {
  language_ = language;
}

void CMultiPageDlg::SetLanguageTexts(int language) {
  if (language != 1 && language != 2) return;
  SetControlTexts(*this, language, kTexts);
  caption_ = kCaption.In(language);
  previousGroupTip_ = kPreviousGroupTip.In(language);
  previousPageTip_ = kPreviousPageTip.In(language);
  nextPageTip_ = kNextPageTip.In(language);
  nextGroupTip_ = kNextGroupTip.In(language);
}

BOOL CMultiPageDlg::OnInitDialog() {
  CPageStripDlg::OnInitDialog();
  SetLanguageTexts(language_);
  SetWindowText(caption_);
  tooltip_.Create(this);
  tooltip_.Activate(TRUE);
  tooltip_.SetTipTextColor(RGB(0, 0, 255));
  tooltip_.SetDelayTime(150);
  tooltip_.AddTool(GetDlgItem(kPreviousGroup), previousGroupTip_);
  tooltip_.AddTool(GetDlgItem(kPreviousPage), previousPageTip_);
  tooltip_.AddTool(GetDlgItem(kNextPage), nextPageTip_);
  tooltip_.AddTool(GetDlgItem(kNextGroup), nextGroupTip_);
  return TRUE;
}

BOOL CMultiPageDlg::PreTranslateMessage(MSG* msg) {
  if (tooltip_.m_hWnd) tooltip_.RelayEvent(msg);
  return CPageStripDlg::PreTranslateMessage(msg);
}

bool CMultiPageDlg::AddFile(const CString& path) {
  if (IsClosed()) return false;
  if (std::find(pages.begin(), pages.end(), path) != pages.end()) return true;
  if (mode == 1) pageTypes.push_back(settings.colorMode);
  pages.push_back(path);
  ShowPages(-1);
  return true;
}

void CMultiPageDlg::OnPreviousGroup() {
  if (PagesOverflow() && items_.size() >= kGroup && FirstShown() > 0) ShowPages(std::max(FirstShown() - kGroup, 0));
}

void CMultiPageDlg::OnNextGroup() {
  const int last = static_cast<int>(pages.size()) - kGroup;
  if (PagesOverflow() && items_.size() >= kGroup && FirstShown() < last) ShowPages(std::min(FirstShown() + kGroup, last));
}

// Pages are appended one by one to a work file beside the document, which
// becomes the document once every page is in. Pages that cannot be read
// were left out (or kept) with the user's say before; a page that cannot be
// loaded or written now fails the document, and the work file goes.
bool CMultiPageDlg::WriteTiff() {
  vq::CReplacingFile document(vq::PathToBytes(outputPath.str()));
  if (!document.Create()) return false;
  document.CloseDescriptor();
  const std::wstring work = vq::PathFromBytes(document.TempPath());
  CTiffPageWriter writer;
  if (!writer.Open(work.c_str(), 1)) return false;
  bool failed = false;
  int written = 0;
  for (size_t i = 0; i < pages.size() && !failed; ++i) {
    CImage picture;
    if (FAILED(picture.Load(pages[i])) || picture.IsNull()) {
      failed = true;
      break;
    }
    cv::Mat image = ImageToMat(picture);
    const int type = PageType(i);
    // A grey file recorded as a colour page (the colour mode changed during the run).
    if (type == TIFF_PAGE_COLOR && image.channels() == 1) cv::cvtColor(image, image, cv::COLOR_GRAY2BGR);
    if (writer.AppendPageToFile(image, work.c_str(), type)) ++written;
    else failed = true;
  }
  writer.Close();
  return !failed && written > 0 && document.Commit();
}
