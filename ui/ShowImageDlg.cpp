#include "ui/ShowImageDlg.h"

#include <algorithm>

#include "app/ImageOutput.h"
#include "app/ImagePrinter.h"
#include "platform/mfc/CDC.h"
#include "platform/mfc/CImage.h"
#include "platform/win/FileSystem.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Menu.h"
#include "platform/win/Shell.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kSwap = 1020, kArrangement = 1021, kPrint = 1032;
// Captures are 4:3; the item takes that shape, at least this wide.
constexpr double kItemRatio = 0.75;
constexpr int kMinimumItemWidth = 360;
constexpr int kPrintGap = 10;
constexpr int kPrintJpegQuality = 80;

const ControlText kTexts[] = {
    {kPrint, {L"打印", L"列印", L"Print"}},
    {kSwap, {L"交换位置", L"交換順序", L"Swap"}},
    {IDCANCEL, {L"取消", L"取消", L"Cancel"}},
    {IDOK, {L"确定", L"確認", L"OK"}},
};
const LanguageText kCaption{L"图像合并", L"圖像合併", L"Image combination"};
const LanguageText kLeftRight{L"左右合并", L"左右合併", L"Horizontal"};
const LanguageText kTopBottom{L"上下合并", L"上下合併", L"Vertical"};
const LanguageText kTwoImages{L"需要2张图片才能合并", L"需要2張圖片才能合併", L"You need 2 pictures for combination"};

// The print work file lives in the per-machine data folder.
CString PrintWorkName() {
  const CString folder = vq::MachineDataFolder();
  SHCreateDirectoryExW(nullptr, folder, nullptr);
  return vq::JoinPath(folder, L"PTmp.bmp");
}

}  // namespace

BEGIN_MESSAGE_MAP(CShowImageDlg, CDialog)
ON_WM_PAINT()
ON_BN_CLICKED(kSwap, OnSwap)
ON_BN_CLICKED(kArrangement, OnToggleArrangement)
ON_BN_CLICKED(kPrint, OnPrint)
ON_WM_DESTROY()
ON_WM_MOUSEMOVE()
ON_WM_RBUTTONDOWN()
ON_MESSAGE(WM_THUMB_NOTIFY, OnThumbNotify)
ON_COMMAND(ID_THUMB_DELETE, OnClearItem)
ON_COMMAND(ID_THUMB_OPEN, OnViewItem)
END_MESSAGE_MAP()

CShowImageDlg::CShowImageDlg(int topBottom, CWnd* parent, int language)
    : CDialog(IDD, parent),
      language_(language),
      leftRightText_(kLeftRight.simplified),
      topBottomText_(kTopBottom.simplified),
      twoImagesText_(kTwoImages.simplified),
      parent_(parent),
      topBottom_(topBottom) {
  vqres::LoadResources();
  for (int id = 0; id < 2; ++id) {
    auto* item = new CThumbItem(id);
    item->Init(WM_THUMB_NOTIFY, id, 0, 0, 1, 1, this, true);
    items_.push_back(item);
  }
}

CShowImageDlg::~CShowImageDlg() {
  deleting_ = true;
  if (m_hWnd) DestroyWindow();
  DeleteItems();
}

void CShowImageDlg::DeleteItems() {
  for (CThumbItem* item : items_) delete item;
  items_.clear();
}

CMergeDialogOwner* CShowImageDlg::Owner() const { return dynamic_cast<CMergeDialogOwner*>(parent_); }

void CShowImageDlg::SetSettings(CSysSettings settings) { settings_ = std::move(settings); }

void CShowImageDlg::SetLanguageTexts(int language) {
  if (language != 1 && language != 2) return;
  SetWindowText(kCaption.In(language));
  SetControlTexts(*this, language, kTexts);
  leftRightText_ = kLeftRight.In(language);
  topBottomText_ = kTopBottom.In(language);
  twoImagesText_ = kTwoImages.In(language);
}

void CShowImageDlg::AddImage(const CString& path) {
  if (items_.size() != 2) return;
  if (imagesAdded_ == 0) {
    CImage image;
    if (FAILED(image.Load(path)) || image.IsNull()) return;
    int width = kItemSize, height = static_cast<int>(kItemSize * kItemRatio);
    if (image.GetWidth() <= image.GetHeight()) {
      width = static_cast<int>(kItemSize * kItemRatio);
      height = kItemSize;
    }
    width = std::max(width, kMinimumItemWidth);
    itemRect_.SetRect(0, 0, width, height);
    for (CThumbItem* item : items_) item->SetRect(0, 0, width, height);
  }
  ++imagesAdded_;
  for (int i = 0; i < 2; ++i) {
    if (items_[static_cast<size_t>(i)]->GetFilePath().IsEmpty()) {
      items_[static_cast<size_t>(i)]->LoadFile(path);
      nextItem_ = 1 - i;
      return;
    }
  }
  items_[static_cast<size_t>(nextItem_)]->LoadFile(path);
  nextItem_ = 1 - nextItem_;
}

void CShowImageDlg::RedrawAll() { Invalidate(TRUE); }

BOOL CShowImageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetLanguageTexts(language_);
  Layout();
  // Over the main window's middle, not over its title bar at the corner.
  CenterWindow(parent_);
  // Return merges from the start: the focus is on OK, not on the first
  // button of the row.
  if (HWND ok = ::GetDlgItem(m_hWnd, IDOK)) ::SetFocus(ok);
  return FALSE;
}

void CShowImageDlg::Layout() {
  if (items_.size() != 2) return;
  const int m = kMargin, W = itemRect_.Width(), H = itemRect_.Height();
  CRect button, window, client;
  if (CWnd* ok = GetDlgItem(IDOK)) ok->GetWindowRect(&button);
  GetWindowRect(&window);
  GetClientRect(&client);
  const int B = button.Height(), dx = window.Width() - client.Width(), dy = window.Height() - client.Height();
  First()->SetRect(m, B + 2 * m, m + W, B + 2 * m + H);
  int width, height;
  if (topBottom_) {
    SetDlgItemText(kArrangement, leftRightText_);
    Second()->SetRect(m, B + 3 * m + H, m + W, B + 3 * m + 2 * H);
    width = W + dx + 2 * m;
    height = 2 * H + dy + B + 4 * m;
  } else {
    SetDlgItemText(kArrangement, topBottomText_);
    Second()->SetRect(2 * m + W, B + 2 * m, 2 * m + 2 * W, B + 2 * m + H);
    width = 2 * W + dx + 3 * m;
    height = H + dy + B + 3 * m;
  }
  // The other arrangement keeps the window's corner where it is.
  MoveWindow(window.left, window.top, width, height, TRUE);
  Invalidate(TRUE);
}

void CShowImageDlg::OnToggleArrangement() {
  topBottom_ = !topBottom_;
  Layout();
  Invalidate(TRUE);
}

void CShowImageDlg::OnSwap() {
  order_ = !order_;
  Layout();
  Invalidate(TRUE);
}

bool CShowImageDlg::CheckTwoImages() {
  if (items_.size() == 2 && !items_[0]->GetFilePath().IsEmpty() && !items_[1]->GetFilePath().IsEmpty()) return true;
  MessageBox(twoImagesText_, L"", MB_ICONEXCLAMATION);
  return false;
}

void CShowImageDlg::OnOK() {
  if (!CheckTwoImages() || outputName.IsEmpty()) return;
  const CString first = First()->GetFilePath(), second = Second()->GetFilePath();
  CImageOutput output(language_);
  output.SetSettings(settings_);
  CString merged;
  output.MergeFiles(merged, first, second, outputName, topBottom_ != 0, 0);
  if (CMergeDialogOwner* owner = Owner()) owner->SetMergedFilePath(merged);
  merged_ = !merged.IsEmpty();
  if (!merged.IsEmpty() && !settings_.keepMergeSources) {
    DeleteFileW(first);
    DeleteFileW(second);
  }
  EndDialog(IDOK);
  DestroyWindow();
}

void CShowImageDlg::OnPrint() {
  if (!CheckTwoImages()) return;
  // Printed in colour at a fixed quality; the merges of OK keep the
  // settings the owner handed over.
  CSysSettings printSettings = settings_;
  printSettings.colorMode = 0;
  printSettings.jpgQuality = kPrintJpegQuality;
  CImageOutput output(language_);
  output.SetSettings(printSettings);
  CString merged;
  output.MergeFiles(merged, First()->GetFilePath(), Second()->GetFilePath(), PrintWorkName(), topBottom_ != 0,
                    kPrintGap);
  if (merged.IsEmpty()) return;
  CImagePrinter printer(printSettings.language);
  printer.settings = printSettings;
  printer.Print(merged);
  DeleteFileW(merged);
}

void CShowImageDlg::OnCancel() {
  if (CMergeDialogOwner* owner = Owner()) owner->SetMergedFilePath(CString());
  EndDialog(IDCANCEL);
  DestroyWindow();
}

std::vector<CString> CShowImageDlg::UnmergedPictures() const {
  std::vector<CString> held;
  if (merged_) return held;
  for (const CThumbItem* item : items_) {
    const CString path = item->GetFilePath();
    if (path.IsEmpty() || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) continue;
    if (std::find(held.begin(), held.end(), path) == held.end()) held.push_back(path);
  }
  return held;
}

void CShowImageDlg::OnDestroy() {
  if (parent_ && parent_->GetSafeHwnd())
    ::PostMessageW(parent_->GetSafeHwnd(), WM_MERGE_FINISHED, reinterpret_cast<WPARAM>(this), 0);
  const std::vector<CString> unmerged = UnmergedPictures();
  if (CMergeDialogOwner* owner = Owner()) {
    if (!unmerged.empty()) owner->KeepUnmergedFiles(unmerged, outputName);
    owner->MergeDialogClosing(this);
  }
  DeleteItems();
}

// Nothing reaches the object after its last message.
void CShowImageDlg::PostNcDestroy() {
  if (!deleting_) delete this;
}

void CShowImageDlg::OnPaint() {
  CPaintDC dc(this);
  for (CThumbItem* item : items_) item->Draw(&dc);
}

void CShowImageDlg::OnMouseMove(UINT, CPoint point) { mousePoint_ = point; }

void CShowImageDlg::OnRButtonDown(UINT flags, CPoint point) {
  mousePoint_ = point;
  for (CThumbItem* item : items_) item->OnRButtonDown(flags, point.x, point.y);
}

LRESULT CShowImageDlg::OnThumbNotify(WPARAM wParam, LPARAM lParam) {
  if (lParam != CThumbItem::kThumbContextMenu) return 0;
  menuItem_ = static_cast<int>(wParam);
  TrackThumbMenu(m_hWnd, mousePoint_, TPM_LEFTALIGN | TPM_RIGHTBUTTON);
  return 0;
}

void CShowImageDlg::OnClearItem() {
  if (menuItem_ < 0 || menuItem_ >= static_cast<int>(items_.size())) return;
  items_[static_cast<size_t>(menuItem_)]->Clear();
  items_[static_cast<size_t>(menuItem_)]->Redraw();
  menuItem_ = -1;
}

void CShowImageDlg::OnViewItem() {
  if (menuItem_ < 0 || menuItem_ >= static_cast<int>(items_.size())) return;
  ShellExecuteW(m_hWnd, L"open", items_[static_cast<size_t>(menuItem_)]->GetFilePath(), nullptr, nullptr,
                SW_SHOWMAXIMIZED);
  menuItem_ = -1;
}
