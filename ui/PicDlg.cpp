#include "ui/PicDlg.h"

#include <string>

#include "platform/display/Cursors.h"
#include "platform/win/Menu.h"
#include "platform/win/Shell.h"
#include "ui/DocumentPages.h"

namespace {

constexpr int kList = 1066, kCount = 1064;
const wchar_t kCountFormat[] = L"当前已经拍摄 %d 张";

}  // namespace

BEGIN_MESSAGE_MAP(CPicDlg, CDialog)
ON_NOTIFY(NM_RCLICK, kList, OnListRightClick)
ON_COMMAND(ID_THUMB_DELETE, OnDeleteFile)
ON_COMMAND(ID_THUMB_OPEN, OnOpenFile)
END_MESSAGE_MAP()

CPicDlg::CPicDlg(CWnd* parent) : CDialog(IDD, parent) { vqres::LoadResources(); }

CPicDlg::~CPicDlg() {
  if (m_hWnd) DestroyWindow();
}

void CPicDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kList, list);
  DDX_Text(dx, kCount, countText);
}

BOOL CPicDlg::OnInitDialog() {
  countText.Format(kCountFormat, 0);
  CDialog::OnInitDialog();
  list.InsertColumn(0, L"文件名");
  if (thumbWidth && thumbHeight) {
    imageList.Create(thumbWidth, thumbHeight, ILC_COLOR24, 0, 1);
    list.SetImageList(&imageList, LVSIL_NORMAL);
  }
  CString caption;
  caption.Format(L"存为:%s", static_cast<const wchar_t*>(outputPath));
  SetWindowText(caption);
  return TRUE;
}

void CPicDlg::NotifyOwner() {
  if (m_pParentWnd && m_pParentWnd->GetSafeHwnd()) ::PostMessageW(m_pParentWnd->GetSafeHwnd(), WM_MULTIPAGE_CLOSED, 0, 0);
}

void CPicDlg::OnListRightClick(NMHDR* header, LRESULT*) {
  auto* click = reinterpret_cast<NMITEMACTIVATE*>(header);
  if (click->iItem == -1) return;
  selectedItem = click->iItem;
  POINT screen = click->ptAction;
  ::ClientToScreen(click->hdr.hwndFrom, &screen);
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_THUMB_MENU));
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
}

// Removes the shot from the list; its file stays on disk.
void CPicDlg::OnDeleteFile() {
  if (selectedItem < 0 || selectedItem >= static_cast<int>(files.size())) return;
  const int removed = selectedItem;
  const int image = list.GetItemImage(removed);
  list.DeleteItem(removed);
  if (image >= 0 && imageList.Remove(image)) {
    // Later pictures moved up one place: so do the items that show them.
    for (int i = 0; i < list.GetItemCount(); ++i)
      if (list.GetItemImage(i) > image) list.SetItemImage(i, list.GetItemImage(i) - 1);
  }
  files.erase(files.begin() + removed);
  if (removed < static_cast<int>(colorModes.size())) colorModes.erase(colorModes.begin() + removed);
  selectedItem = -1;
  shotCount = static_cast<int>(files.size());
  countText.Format(kCountFormat, shotCount);
  UpdateData(FALSE);
  list.EnsureVisible(list.GetItemCount() - 1, FALSE);
}

void CPicDlg::OnOpenFile() {
  if (selectedItem < 0 || selectedItem >= static_cast<int>(files.size())) return;
  ShellExecuteW(m_hWnd, L"open", files[static_cast<size_t>(selectedItem)], nullptr, nullptr, SW_SHOWMAXIMIZED);
}

// Shots that cannot be read are named first; kept, nothing is written and
// the list stays as it is. A document that is not written is said so.
void CPicDlg::OnOK() {
  if (files.empty() || (mode != 2 && mode != 3)) {
    NotifyOwner();
    return;
  }
  std::vector<size_t> leftOut;
  if (!ChooseReadablePages(m_hWnd, true, 0, files, mode == 2, outputPath, &leftOut)) return;
  std::vector<CString> shots;
  std::vector<int> modes;
  for (size_t i = 0, next = 0; i < files.size(); ++i) {
    if (next < leftOut.size() && leftOut[next] == i) {
      ++next;
      continue;
    }
    shots.push_back(files[i]);
    modes.push_back(i < colorModes.size() ? colorModes[i] : settings.colorMode);
  }
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const bool written = mode == 3 ? WriteTiffDocument(outputPath, shots, modes, settings.xDpi, settings.yDpi,
                                                     settings.jpgQuality)
                                  : WritePdfDocument(outputPath, shots);
  SetCursor(previous);
  if (!written) {
    ReportDocumentNotSaved(m_hWnd, 0, outputPath);
    return;
  }
  NotifyOwner();
}

void CPicDlg::OnCancel() { NotifyOwner(); }
