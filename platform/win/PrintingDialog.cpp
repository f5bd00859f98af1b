// The layer's print dialog, in the user's language (UserLanguage.h).
#include <filesystem>
#include <string>
#include <system_error>

#include "base/PathEncoding.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Printing.h"
#include "platform/win/UserLanguage.h"
#include "platform/win/Window.h"

namespace vqplatform {
namespace {

enum { kDestinationsLabel = 100, kDestinations, kFileLabel, kFile, kCopiesLabel, kCopies };
constexpr int kMaxCopies = 9999;

// The dialog's words in the user's language, as the message boxes' buttons
// and the property frame have them.
struct PrintTexts {
  const wchar_t* caption;
  const wchar_t* printer;
  const wchar_t* file;
  const wchar_t* copies;
  const wchar_t* ok;
  const wchar_t* cancel;
  const wchar_t* filePrinter;  // the file printer's row
};

PrintTexts UserPrintTexts() {
  static const PrintTexts kTexts[] = {
      {L"打印", L"打印机:", L"文件:", L"份数:", L"确定", L"取消", L"PDF 文件"},
      {L"列印", L"印表機:", L"檔案:", L"份數:", L"確定", L"取消", L"PDF 檔案"},
      {L"Print", L"Printer:", L"File:", L"Number of copies:", L"OK", L"Cancel", L"PDF file"},
  };
  switch (UserLanguage()) {
    case Language::SimplifiedChinese: return kTexts[0];
    case Language::TraditionalChinese: return kTexts[1];
    default: return kTexts[2];
  }
}

// Made for each showing: the user's language is read at every call.
DialogTemplate PrintTemplate() {
  const PrintTexts texts = UserPrintTexts();
  return DialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0, 0, 0, 220, 160,
      texts.caption, L"MS Shell Dlg", 9,
      {
          {kDestinationsLabel, WC_STATIC, texts.printer, WS_VISIBLE | SS_LEFT, 0, 7, 7, 206, 9},
          {kDestinations, WC_LISTVIEW, L"", WS_VISIBLE | WS_TABSTOP | LVS_LIST | LVS_SINGLESEL, WS_EX_CLIENTEDGE, 7,
           18, 206, 70},
          {kFileLabel, WC_STATIC, texts.file, WS_VISIBLE | SS_LEFT, 0, 7, 96, 70, 9},
          {kFile, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 80, 94, 133, 14},
          {kCopiesLabel, WC_STATIC, texts.copies, WS_VISIBLE | SS_LEFT, 0, 7, 115, 70, 9},
          {kCopies, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_NUMBER, WS_EX_CLIENTEDGE, 80, 113, 30, 14},
          {IDOK, WC_BUTTON, texts.ok, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 105, 139, 50, 14},
          {IDCANCEL, WC_BUTTON, texts.cancel, WS_VISIBLE | WS_TABSTOP, 0, 163, 139, 50, 14},
      }};
}

// "print.pdf" in the home folder, or the first of "print_1.pdf", ... that
// does not exist, so the file printer overwrites nothing unasked.
std::wstring FreeOutputFile() {
  const std::wstring home = vq::PathFromEnvironment("HOME");
  const std::filesystem::path folder = home.empty() ? std::filesystem::path("/") : vq::ToFsPath(home);
  std::error_code error;
  for (int n = 0;; ++n) {
    const std::string name = n == 0 ? std::string("print.pdf") : "print_" + std::to_string(n) + ".pdf";
    const std::filesystem::path path = folder / name;
    if (!std::filesystem::exists(path, error)) return vq::FromFsPath(path);
  }
}

int SelectedRow(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageW(dialog, kDestinations, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                              LVNI_SELECTED));
}

struct PrintDialogState {
  const std::vector<PrintDestination>& destinations;
  PrintDialogChoice* choice;

  const PrintDestination* Selected(HWND dialog) const {
    const int row = SelectedRow(dialog);
    return row >= 0 && static_cast<size_t>(row) < destinations.size() ? &destinations[static_cast<size_t>(row)]
                                                                       : nullptr;
  }

  // The target file matters only for the file printer.
  void ShowSelection(HWND dialog) const {
    const PrintDestination* selected = Selected(dialog);
    const BOOL isFile = selected && selected->isFile ? TRUE : FALSE;
    EnableWindow(GetDlgItem(dialog, kFileLabel), isFile);
    EnableWindow(GetDlgItem(dialog, kFile), isFile);
  }

  void Init(HWND dialog) const {
    HWND list = GetDlgItem(dialog, kDestinations);
    for (size_t i = 0; i < destinations.size(); ++i) {
      // The file printer's row in the user's words; CUPS queues by their names.
      std::wstring title = destinations[i].isFile ? std::wstring(UserPrintTexts().filePrinter) : destinations[i].Title();
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_STATE;
      item.iItem = static_cast<int>(i);
      item.pszText = title.data();
      item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      const bool preset = destinations[i].name == choice->printer && destinations[i].instance == choice->instance;
      item.state = preset ? LVIS_SELECTED | LVIS_FOCUSED : 0;
      SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetDlgItemTextW(dialog, kFile,
                    choice->outputFile.empty() ? FreeOutputFile().c_str() : vq::PathFromBytes(choice->outputFile).c_str());
    SetDlgItemInt(dialog, kCopies, static_cast<UINT>(choice->copies), FALSE);
    ShowSelection(dialog);
  }

  // Takes the dialog's values into the choice; false leaves the dialog
  // open at the control to mend.
  bool Accept(HWND dialog) const {
    const PrintDestination* selected = Selected(dialog);
    if (!selected) {
      SetFocus(GetDlgItem(dialog, kDestinations));
      return false;
    }
    BOOL translated = FALSE;
    const UINT copies = GetDlgItemInt(dialog, kCopies, &translated, FALSE);
    if (!translated || copies < 1 || copies > kMaxCopies) {
      SetFocus(GetDlgItem(dialog, kCopies));
      return false;
    }
    wchar_t file[MAX_PATH] = {};
    GetDlgItemTextW(dialog, kFile, file, MAX_PATH);
    if (selected->isFile && !file[0]) {
      SetFocus(GetDlgItem(dialog, kFile));
      return false;
    }
    choice->printer = selected->name;
    choice->instance = selected->instance;
    choice->copies = static_cast<int>(copies);
    if (selected->isFile) choice->outputFile = vq::PathToBytes(file);
    return true;
  }
};

}  // namespace

bool RunPrintDialog(HWND owner, const std::vector<PrintDestination>& destinations, PrintDialogChoice* choice) {
  if (!choice) return false;
  PrintDialogState state{destinations, choice};
  const DialogTemplate dialogTemplate = PrintTemplate();
  HWND dialog = CreateDialogFromTemplate(
      dialogTemplate, owner,
      [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message == WM_INITDIALOG) {
          state.Init(hwnd);
          *result = TRUE;
          return true;
        }
        if (message == WM_NOTIFY) {
          auto* header = reinterpret_cast<const NMHDR*>(lParam);
          if (header->idFrom == kDestinations && header->code == NM_CLICK) state.ShowSelection(hwnd);
          return false;
        }
        if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
        if (LOWORD(wParam) == IDOK) {
          if (state.Accept(hwnd)) EndDialog(hwnd, IDOK);
          return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(hwnd, IDCANCEL);
          return true;
        }
        return false;
      },
      0);
  return dialog && RunModalDialog(dialog, owner) == IDOK;
}

}  // namespace vqplatform
