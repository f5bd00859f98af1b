// The capture command and its variants (to PDF, print), and the mode check
// boxes that decide where a capture goes: the strip, the merge dialog or
// the multipage dialog.
#include <algorithm>
#include <memory>

#include "app/FileNaming.h"
#include "app/ImageOutput.h"
#include "app/ImagePrinter.h"
#include "app/SettingsRanges.h"
#include "app/VorquellDlg.h"
#include "imaging/ImageFiles.h"
#include "platform/win/FileSystem.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Sound.h"
#include "ui/LanguageTexts.h"
#include "ui/MultiPageDlg.h"

namespace {

constexpr const wchar_t* kShutterSound = L"paizhao.wav";

const LanguageText kMultiPageNotOpened{L"无法打开多页文件窗口，图像保存在：\n%s",
                                       L"無法開啟多頁文件視窗，圖像儲存在：\n%s",
                                       L"The multipage window could not be opened; the picture is kept in:\n%s"};

const LanguageText kPdfNotSaved{L"PDF文件没有保存：\n%s\n图像保存在：\n%s", L"PDF檔案沒有儲存：\n%s\n圖像儲存在：\n%s",
                                L"The PDF file could not be saved:\n%s\nThe picture is kept in:\n%s"};

// Everything up to and including the last separator.
CString FolderPart(const CString& path) {
  const int slash = std::max(path.ReverseFind(L'/'), path.ReverseFind(L'\\'));
  return path.Left(slash + 1);
}

}  // namespace

bool CVorquellDlg::CaptureDropped(const char* request) {
  if (!captureBusy_) return false;
  if (!captureLogOpen_ && !dataFolder_.IsEmpty()) {
    captureLog_.Open(dataFolder_ + L"capture.log");
    captureLog_.SetTimeStamp(1);
    captureLogOpen_ = true;
  }
  captureLog_.Write("%s dropped: a capture is still running", request);
  return true;
}

void CVorquellDlg::PlayShutterSound() {
  if (settings_.playSound) PlaySoundW(kShutterSound, nullptr, SND_FILENAME | SND_ASYNC);
}

CString CVorquellDlg::CaptureBaseName() {
  if (IsDlgButtonChecked(IDC_MULTIPAGE_TIF) || IsDlgButtonChecked(IDC_ONE_PDF) || IsDlgButtonChecked(IDC_MERGE))
    return settings_.MakeWorkFileName();
  CString name;
  settings_.MakeFileName(name);
  return name;
}

CString CVorquellDlg::ResultName(const CImageOutput& output, const wchar_t* extension) {
  CString name;
  settings_.MakeFileName(name);
  if (name.IsEmpty()) return name;
  if (settings_.recognize) {
    if (!output.barcodeTexts.empty())
      name = UnusedBasePath(FolderPart(name) + CString(output.barcodeTexts.front().c_str()));
    else
      ShowMessage(MSG_BARCODE_NOT_NAME, MB_ICONERROR);
  }
  return name + extension;
}

bool CVorquellDlg::InOwnModalLoop(const CWnd* dialog) {
  return dialog && vqplatform::WaitsInModalLoop(dialog->GetSafeHwnd());
}

void CVorquellDlg::CloseMultiPageDialog() {
  std::unique_ptr<CMultiPageDlg> dialog = std::move(multiPageDlg_);
  if (dialog && dialog->GetSafeHwnd()) dialog->DestroyWindow();
  // Its own handlers may still be further down the stack.
  vqplatform::DeleteAtTopLevel(std::move(dialog));
}

bool CVorquellDlg::AddToMultiPage(const CImageOutput& output, const CString& page, int mode, bool pdfVariant) {
  // A dialog that closed before its message arrived takes no page: the page
  // starts a new document instead of being lost.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!multiPageDlg_) {
      const CString name = ResultName(output, mode == 1 ? L".tif" : L".pdf");
      if (name.IsEmpty()) return false;
      // Capture to PDF opens the dialog in the first language whatever the
      // configured one.
      auto dialog = std::make_unique<CMultiPageDlg>(this, mode, pdfVariant ? 0 : settings_.language);
      dialog->settings = settings_;
      dialog->outputPath = name;
      if (!dialog->Create(CMultiPageDlg::IDD, this)) {
        // The page stays a file of its own, shown in the strip.
        CString text;
        text.Format(kMultiPageNotOpened.In(settings_.language), page.GetString());
        MessageBox(text, L"", MB_OK | MB_ICONERROR);
        AddFilesToStrip(page, StripItems(), 0, nullptr);
        return true;
      }
      dialog->ShowWindow(SW_SHOW);
      multiPageDlg_ = std::move(dialog);
      AddFilesToStrip(name, StripItems(), 0, page);
    }
    if (multiPageDlg_->AddFile(page)) return true;
    CloseMultiPageDialog();
  }
  return true;
}

bool CVorquellDlg::RouteCapture(const CImageOutput& output, const std::vector<CString>& written) {
  if (IsDlgButtonChecked(IDC_MERGE) && !written.empty()) {
    if (!mergeDlg_) {
      const CString name = ResultName(output, L"");
      if (name.IsEmpty()) return false;
      auto* dialog = new CShowImageDlg(1, this, settings_.language);
      dialog->SetSettings(settings_);
      for (const CString& path : written) dialog->AddImage(path);
      dialog->SetSettings(settings_);
      dialog->outputName = name;
      if (!dialog->Create(CShowImageDlg::IDD, nullptr)) {
        delete dialog;  // no window: it cannot delete itself
        return true;
      }
      mergeDlg_ = dialog;
      dialog->ShowWindow(SW_SHOW);
      SetFocus();
    } else {
      for (const CString& path : written) mergeDlg_->AddImage(path);
    }
    if (mergeDlg_) mergeDlg_->RedrawAll();
  }
  for (const int box : {IDC_ONE_PDF, IDC_MULTIPAGE_TIF}) {
    if (!IsDlgButtonChecked(box)) continue;
    for (const CString& page : written)
      if (!AddToMultiPage(output, page, box == IDC_ONE_PDF ? 0 : 1, false)) return false;
  }
  if (settings_.merge == 0 && settings_.pdfOrTif == 0) {
    for (const CString& path : written) AddFilesToStrip(path, StripItems(), 0, nullptr);
    if (!written.empty()) SetLastSavedPage(written.back());
  }
  return true;
}

void CVorquellDlg::AdvanceImageCounter() {
  settings_.imageIndex = NextImageIndex(settings_.imageIndex);
  imageCounter_ = NextImageIndex(imageCounter_);
  UpdateData(FALSE);
}

void CVorquellDlg::RemoveWorkFiles() {
  // Absolute in the data folder: never whatever folder the program started in.
  if (dataFolder_.IsEmpty()) return;
  DeleteFileW(dataFolder_ + L"tmp.bmp");
  DeleteFileW(dataFolder_ + L"tmp.jpg");
}

void CVorquellDlg::OnCapture() {
  if (CaptureDropped("capture")) return;
  CaptureScope running(captureBusy_);
  UpdateData(TRUE);
  UpdateSettingsFromUi();
  if (!documentController_) return;
  PlayShutterSound();
  const CString base = CaptureBaseName();
  if (base.IsEmpty()) return;
  const std::vector<cv::Mat> pages = GrabAndProcess();
  if (pages.empty()) return;
  UpdateData(TRUE);
  CImageOutput output(settings_.language);
  output.SetSettings(settings_);
  std::vector<CString> written;
  output.SaveImages(pages, base, &written);
  // Pages that could not be written are told of; with none written the
  // counter stays where it is.
  if (written.size() < pages.size()) ReportUnsavedPages(base);
  if (written.empty()) return;
  if (!RouteCapture(output, written)) return;
  AdvanceImageCounter();
  RemoveWorkFiles();
}

LRESULT CVorquellDlg::OnStillImage(WPARAM, LPARAM) {
  OnCapture();
  return 0;
}

void CVorquellDlg::CaptureToPdf() {
  if (!documentController_ || CaptureDropped("capture to PDF")) return;
  CaptureScope running(captureBusy_);
  UpdateData(TRUE);
  UpdateSettingsFromUi();
  CImageOutput output(settings_.language);
  const CString base = CaptureBaseName();
  if (base.IsEmpty()) return;
  PlayShutterSound();
  const std::vector<cv::Mat> pages = GrabAndProcess();
  if (pages.empty()) return;
  UpdateData(TRUE);
  output.SetSettings(settings_);
  std::vector<CString> written;
  output.SaveImages(pages, base, &written);
  UpdateData(TRUE);
  if (written.size() < pages.size()) ReportUnsavedPages(base);
  if (written.empty()) return;
  if (IsDlgButtonChecked(IDC_ONE_PDF)) {
    for (const CString& page : written)
      if (!AddToMultiPage(output, page, 0, true)) return;
  } else if (!ConvertPagesToPdf(written)) {
    return;  // told; the counter stays
  }
  AdvanceImageCounter();
}

bool CVorquellDlg::ConvertPagesToPdf(const std::vector<CString>& pages) {
  CImagePrinter printer(settings_.language);
  bool allWritten = true;
  for (const CString& page : pages) {
    const CString pdf = page.Left(page.ReverseFind(L'.')) + L".pdf";
    if (printer.SaveFileAsPdf(page) == 0) {
      AddFilesToStrip(pdf, StripItems(), 0, page);
      DeleteFileW(page);
      continue;
    }
    // The page whose PDF could not be written stays, the strip shows it,
    // and the user is told which.
    allWritten = false;
    AddFilesToStrip(page, StripItems(), 0, nullptr);
    CString text;
    text.Format(kPdfNotSaved.In(settings_.language), pdf.GetString(), page.GetString());
    MessageBox(text, L"", MB_OK | MB_ICONERROR);
  }
  return allWritten;
}

void CVorquellDlg::CaptureAndPrint() {
  if (!documentController_ || CaptureDropped("capture and print")) return;
  CaptureScope running(captureBusy_);
  UpdateData(TRUE);
  UpdateSettingsFromUi();
  PlayShutterSound();
  const std::vector<cv::Mat> pages = GrabAndProcess();
  if (pages.empty()) return;
  UpdateData(TRUE);
  CImagePrinter printer(settings_.language);
  const CString workName = settings_.MakeWorkFileName();
  const CString printPath = workName + L".bmp";
  printer.settings = settings_;
  for (const cv::Mat& page : pages) {
    // A page that cannot be written would print blank.
    if (!WriteImageW(printPath, page)) {
      ReportUnsavedPages(workName);
      return;
    }
    printer.Print(printPath);
    DeleteFileW(printPath);
  }
}

void CVorquellDlg::OnMergeBox() {
  // Without the camera no mode is taken up; one is still put down.
  if (!documentController_ && IsDlgButtonChecked(IDC_MERGE)) {
    CheckDlgButton(IDC_MERGE, BST_UNCHECKED);
    return;
  }
  if (!IsDlgButtonChecked(IDC_MERGE) && InOwnModalLoop(mergeDlg_)) {
    CheckDlgButton(IDC_MERGE, BST_CHECKED);
    return;
  }
  if (multiPageDlg_ && (IsDlgButtonChecked(IDC_ONE_PDF) || IsDlgButtonChecked(IDC_MULTIPAGE_TIF))) {
    CheckDlgButton(IDC_MERGE, BST_UNCHECKED);
    ShowMessage(IsDlgButtonChecked(IDC_ONE_PDF) ? MSG_MAKING_PDF : MSG_MAKING_TIF, MB_ICONINFORMATION);
    return;
  }
  for (const int box : {IDC_ONE_PDF, IDC_MULTIPAGE_TIF}) {
    if (!IsDlgButtonChecked(box)) continue;
    CheckDlgButton(box, BST_UNCHECKED);
    settings_.pdfOrTif = 0;
  }
  const bool ticked = IsDlgButtonChecked(IDC_MERGE) != 0;
  if (!ticked && mergeDlg_) {
    // Its window goes first; MergeDialogClosing forgets it.
    CShowImageDlg* dialog = mergeDlg_;
    mergeDlg_ = nullptr;
    delete dialog;
  }
  settings_.merge = ticked ? 1 : 0;
}

void CVorquellDlg::OnOnePdfBox() { OnCollectBox(IDC_ONE_PDF, IDC_MULTIPAGE_TIF, MSG_MAKING_TIF, 2); }

void CVorquellDlg::OnMultiPageTiffBox() {
  UpdateData(TRUE);
  OnCollectBox(IDC_MULTIPAGE_TIF, IDC_ONE_PDF, MSG_MAKING_PDF, 1);
}

void CVorquellDlg::OnCollectBox(int box, int otherBox, MessageId otherMessage, int pdfOrTif) {
  if (!documentController_ && IsDlgButtonChecked(box)) {
    CheckDlgButton(box, BST_UNCHECKED);
    return;
  }
  // No change while the other mode's dialog is still open.
  const bool otherOpen = IsDlgButtonChecked(otherBox) ? multiPageDlg_ != nullptr : false;
  if (otherOpen || (IsDlgButtonChecked(IDC_MERGE) && mergeDlg_)) {
    CheckDlgButton(box, BST_UNCHECKED);
    ShowMessage(otherOpen ? otherMessage : MSG_COMBINING, MB_ICONINFORMATION);
    return;
  }
  CheckDlgButton(otherBox, BST_UNCHECKED);
  if (IsDlgButtonChecked(IDC_MERGE)) {
    CheckDlgButton(IDC_MERGE, BST_UNCHECKED);
    settings_.merge = 0;
  }
  const bool ticked = IsDlgButtonChecked(box) != 0;
  // Cleared with pages collected: the user says what becomes of them, or
  // goes back to collecting.
  if (!ticked && !SettleCollectedPages()) {
    CheckDlgButton(box, BST_CHECKED);
    return;
  }
  settings_.pdfOrTif = ticked ? pdfOrTif : 0;
  if (!ticked) CloseMultiPageDialog();
}

void CVorquellDlg::OnBarcodeBox() {
  UpdateData(TRUE);
  settings_.recognize = IsDlgButtonChecked(IDC_BARCODE) ? 1 : 0;
}
