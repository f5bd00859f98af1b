#include "ui/MultiPageDlg.h"

#include <algorithm>

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
  const BOOL focusFirst = CPageStripDlg::OnInitDialog();
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
  return focusFirst;
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
