// The layer's property frame: a modal dialog with a tab control and one
// child page per property page. Control pages show a row per control
// (name, slider over the control's range in its steps, the value, and an
// "auto" box where the camera can set the control itself); the stream
// format page lists the capture pin's formats. Every change applies at
// once; Cancel puts back what the frame found.
#include <memory>

#include "platform/display/Headless.h"
#include "platform/dshow/PropertyPages.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/UserLanguage.h"
#include "platform/win/Window.h"

namespace vq::dshow {
namespace {

using vqplatform::InUserLanguage;

constexpr int kTabId = 100;
constexpr int kDefaultId = 90;
constexpr int kFormatId = 91;
constexpr int kRowIdBase = 1000;  // per row: name, slider, value, auto box
constexpr short kPageWidth = 250, kRowHeight = 18, kMargin = 6, kButtonWidth = 50, kButtonHeight = 14;

int RowId(size_t row, int part) { return kRowIdBase + int(row) * 4 + part; }

short PageHeight(const PropertyPage& page) {
  if (page.kind == PropertyPage::Kind::StreamFormat) return 60;
  return short(kMargin + page.rows.size() * kRowHeight + 4 + kButtonHeight + kMargin);
}

DialogTemplate PageTemplate(const PropertyPage& page, short height) {
  DialogTemplate t{WS_CHILD | DS_CONTROL | DS_SETFONT, 0, 0, 0, kPageWidth, height, L"", L"MS Shell Dlg", 9, {}};
  if (page.kind == PropertyPage::Kind::StreamFormat) {
    t.items.push_back({-1, WC_STATIC, InUserLanguage(L"视频格式：", L"視訊格式：", L"Video format:"),
                       WS_VISIBLE | SS_LEFT, 0, kMargin, 10, 70, 8});
    t.items.push_back({kFormatId, WC_COMBOBOX, L"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 80, 8, 120, 80});
    return t;
  }
  for (size_t i = 0; i < page.rows.size(); ++i) {
    short y = short(kMargin + i * kRowHeight);
    t.items.push_back({RowId(i, 0), WC_STATIC, page.rows[i].name, WS_VISIBLE | SS_LEFT, 0, kMargin, short(y + 4), 64, 8});
    t.items.push_back({RowId(i, 1), TRACKBAR_CLASS, L"", WS_VISIBLE | WS_TABSTOP | TBS_NOTICKS | TBS_BOTH, 0, 72, y,
                       110, 15});
    t.items.push_back({RowId(i, 2), WC_STATIC, L"", WS_VISIBLE | SS_RIGHT, 0, 184, short(y + 4), 26, 8});
    t.items.push_back({RowId(i, 3), WC_BUTTON, InUserLanguage(L"自动", L"自動", L"Auto"),
                       WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 216, short(y + 3), 32, 10});
  }
  t.items.push_back({kDefaultId, WC_BUTTON, InUserLanguage(L"默认值", L"預設值", L"Default"),
                     WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, short(kPageWidth - kMargin - kButtonWidth),
                     short(height - kMargin - kButtonHeight), kButtonWidth, kButtonHeight});
  return t;
}

// One page's window and what it does with its controls.
class PageView {
 public:
  explicit PageView(PropertyPage* page) : page_(page) {}

  HWND Create(HWND frame, short height, POINT at) {
    DialogTemplate t = PageTemplate(*page_, height);
    t.x = short(at.x);
    t.y = short(at.y);
    window_ = vqplatform::CreateDialogFromTemplate(
        t, frame, [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
          return Handle(hwnd, message, wParam, lParam, result);
        },
        0);
    return window_;
  }
  HWND Window() const { return window_; }

 private:
  bool Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
      case WM_INITDIALOG:
        window_ = hwnd;
        Fill();
        *result = FALSE;
        return true;
      case WM_HSCROLL:
        Slid(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        return true;
      case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return true;
      default: return false;
    }
  }

  void Fill() {
    if (page_->kind == PropertyPage::Kind::StreamFormat) {
      for (const CMediaType& f : page_->formats)
        SendDlgItemMessageW(window_, kFormatId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FormatName(f).c_str()));
      SendDlgItemMessageW(window_, kFormatId, CB_SETCURSEL, WPARAM(page_->currentFormat), 0);
      return;
    }
    for (size_t i = 0; i < page_->rows.size(); ++i) {
      const ControlRow& row = page_->rows[i];
      HWND slider = GetDlgItem(window_, RowId(i, 1));
      SendMessageW(slider, TBM_SETRANGEMIN, FALSE, row.min);
      SendMessageW(slider, TBM_SETRANGEMAX, FALSE, row.max);
      SendMessageW(slider, TBM_SETLINESIZE, 0, row.step);
      SendMessageW(slider, TBM_SETPAGESIZE, 0, std::max(row.step, row.Snap(row.min + (row.max - row.min) / 10) - row.min));
      EnableWindow(GetDlgItem(window_, RowId(i, 3)), row.CanBeAutomatic());
      Show(i);
    }
  }

  // Shows a control as the camera reports it now.
  void Show(size_t i) {
    const ControlRow& row = page_->rows[i];
    long value = row.value, flags = row.flags;
    page_->ReadControl(row, &value, &flags);
    bool automatic = (flags & 1) != 0;
    SendDlgItemMessageW(window_, RowId(i, 1), TBM_SETPOS, TRUE, value);
    SetDlgItemInt(window_, RowId(i, 2), UINT(value), TRUE);
    CheckDlgButton(window_, RowId(i, 3), automatic ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(window_, RowId(i, 1)), !automatic);
  }

  bool RowOf(int id, int part, size_t* row) const {
    if (id < kRowIdBase || (id - kRowIdBase) % 4 != part) return false;
    *row = size_t((id - kRowIdBase) / 4);
    return *row < page_->rows.size();
  }

  void Slid(int id) {
    size_t i;
    if (!RowOf(id, 1, &i)) return;
    const ControlRow& row = page_->rows[i];
    long position = long(SendDlgItemMessageW(window_, id, TBM_GETPOS, 0, 0));
    page_->SetControl(row, row.Snap(position), false);
    Show(i);
  }

  void Command(int id, int code) {
    size_t i;
    if (id == kFormatId && code == CBN_SELCHANGE) {
      int chosen = int(SendDlgItemMessageW(window_, kFormatId, CB_GETCURSEL, 0, 0));
      if (FAILED(page_->SelectFormat(chosen)))
        SendDlgItemMessageW(window_, kFormatId, CB_SETCURSEL, WPARAM(page_->currentFormat), 0);
    } else if (id == kDefaultId && code == BN_CLICKED) {
      for (size_t r = 0; r < page_->rows.size(); ++r) {
        page_->SetControl(page_->rows[r], page_->rows[r].dflt, false);
        Show(r);
      }
    } else if (code == BN_CLICKED && RowOf(id, 3, &i)) {
      const ControlRow& row = page_->rows[i];
      bool automatic = IsDlgButtonChecked(window_, id) == BST_CHECKED;
      long position = long(SendDlgItemMessageW(window_, RowId(i, 1), TBM_GETPOS, 0, 0));
      page_->SetControl(row, row.Snap(position), automatic);
      Show(i);
    }
  }

  PropertyPage* page_;
  HWND window_ = nullptr;
};

class Frame {
 public:
  Frame(std::vector<PropertyPage> pages, std::wstring caption) : pages_(std::move(pages)), caption_(std::move(caption)) {
    for (PropertyPage& p : pages_) views_.push_back(std::make_unique<PageView>(&p));
  }

  void Run(HWND owner) {
    short pageHeight = 0;
    for (const PropertyPage& p : pages_) pageHeight = std::max(pageHeight, PageHeight(p));
    const short tabHeight = short(16 + pageHeight + 4);
    const short width = short(kMargin + 4 + kPageWidth + 4 + kMargin);
    const short height = short(kMargin + tabHeight + kMargin + kButtonHeight + kMargin);
    DialogTemplate t{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
                     0, 0, 0, width, height, caption_, L"MS Shell Dlg", 9, {}};
    t.items.push_back({kTabId, WC_TABCONTROL, L"", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, kMargin, kMargin,
                       short(width - 2 * kMargin), tabHeight});
    const short buttonsTop = short(height - kMargin - kButtonHeight);
    t.items.push_back({IDOK, WC_BUTTON, vqplatform::ButtonCaption(IDOK), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                       0, short(width - 2 * (kMargin + kButtonWidth)), buttonsTop, kButtonWidth, kButtonHeight});
    t.items.push_back({IDCANCEL, WC_BUTTON, vqplatform::ButtonCaption(IDCANCEL), WS_VISIBLE | WS_TABSTOP, 0,
                       short(width - kMargin - kButtonWidth), buttonsTop, kButtonWidth, kButtonHeight});
    HWND frame = vqplatform::CreateDialogFromTemplate(
        t, owner,
        [this, pageHeight](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
          return Handle(hwnd, message, wParam, lParam, result, pageHeight);
        },
        0);
    if (!frame) return;
    vqplatform::RunModalDialog(frame, owner);
  }

 private:
  bool Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, short pageHeight) {
    switch (message) {
      case WM_INITDIALOG: {
        HWND tab = GetDlgItem(hwnd, kTabId);
        for (size_t i = 0; i < pages_.size(); ++i) {
          TCITEMW item{};
          item.mask = TCIF_TEXT;
          item.pszText = pages_[i].title.data();
          SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
          // Pages lie over the tab control, which leaves them alone.
          HWND page = views_[i]->Create(hwnd, pageHeight, POINT{kMargin + 4, kMargin + 16});
          SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        ShowPage(0);
        *result = TRUE;
        return true;
      }
      case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == UINT_PTR(kTabId) && header->code == TCN_SELCHANGE)
          ShowPage(int(SendDlgItemMessageW(hwnd, kTabId, TCM_GETCURSEL, 0, 0)));
        return true;
      }
      case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return false;
        if (LOWORD(wParam) == IDCANCEL)
          for (PropertyPage& p : pages_) p.Restore();
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, LOWORD(wParam));
        return true;
      default: return false;
    }
  }

  void ShowPage(int shown) {
    for (size_t i = 0; i < views_.size(); ++i) ShowWindow(views_[i]->Window(), int(i) == shown ? SW_SHOW : SW_HIDE);
  }

  std::vector<PropertyPage> pages_;
  std::vector<std::unique_ptr<PageView>> views_;
  std::wstring caption_;
};

}  // namespace
}  // namespace vq::dshow

// The frame opens centred on its owner, wherever the caller asks for it.
HRESULT OleCreatePropertyFrame(HWND owner, UINT, UINT, LPCOLESTR caption, ULONG objectCount, IUnknown** objects,
                               ULONG pageCount, const GUID* pages, DWORD, DWORD, void*) {
  std::vector<vq::dshow::PropertyPage> shown = vq::dshow::BuildPropertyPages(objects, objectCount, pages, pageCount);
  if (shown.empty()) return E_INVALIDARG;
  // Without a display only a test driving modal dialogs answers the frame.
  if (vqplatform::IsHeadless() && !vqplatform::CurrentModalIdleHandler()) return S_OK;
  std::wstring title = caption && *caption ? std::wstring(caption) + L" " : L"";
  title += vqplatform::InUserLanguage(L"属性", L"內容", L"Properties");
  vq::dshow::Frame(std::move(shown), title).Run(owner);
  return S_OK;
}
