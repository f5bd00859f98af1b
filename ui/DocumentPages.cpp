#include "ui/DocumentPages.h"

#include <string>

#include "app/PdfMaker.h"
#include "app/PdfPages.h"
#include "imaging/PictureFile.h"
#include "imaging/ReplacingFile.h"
#include "imaging/TiffPageWriter.h"
#include "platform/win/MessageBox.h"
#include "base/PathEncoding.h"
#include "ui/LanguageTexts.h"

namespace {

const LanguageText kUnreadable{L"这些页面无法读取：\n%s", L"這些頁面無法讀取：\n%s", L"These pages cannot be read:\n%s"};
const LanguageText kPageLine{L"第%d页：%s", L"第%d頁：%s", L"Page %d: %s"};
const LanguageText kWithoutThem{L"不含这些页面写入文档吗？\n是：写入其余页面\n否：保留全部页面",
                                L"不含這些頁面寫入文件嗎？\n是：寫入其餘頁面\n否：保留全部頁面",
                                L"Write the document without them?\nYes: write the other pages\nNo: keep every page"};
const LanguageText kNotSaved{L"多页文件保存失败：\n%s\n收集的页面仍保留在窗口中。",
                             L"多頁文件儲存失敗：\n%s\n收集的頁面仍保留在視窗中。",
                             L"The multipage file could not be saved:\n%s\nThe collected pages stay in the window."};

CString FileNameOf(const CString& path) { return path.Mid(path.ReverseFind(L'/') + 1); }

bool Readable(const CString& page, bool pdf) {
  const std::string path = vq::PathToBytes(page.str());
  vq::Picture picture;
  if (path.empty() || vq::ReadPictureFile(path, &picture) != vq::PictureResult::kLoaded) return false;
  return !pdf || PdfPageDocument::FitsPage(picture.pixels.cols, picture.pixels.rows);
}

CString UnreadableText(const std::vector<CString>& pages, const std::vector<size_t>& unreadable, int language) {
  CString lines;
  for (size_t index : unreadable) {
    CString line;
    line.Format(kPageLine.In(language), static_cast<int>(index + 1), FileNameOf(pages[index]).GetString());
    lines += line + L"\n";
  }
  CString text;
  text.Format(kUnreadable.In(language), lines.GetString());
  return text;
}

CString NotSavedText(int language, const CString& document) {
  CString text;
  text.Format(kNotSaved.In(language), document.GetString());
  return text;
}

std::vector<size_t> UnreadablePages(const std::vector<CString>& pages, bool pdf) {
  std::vector<size_t> unreadable;
  for (size_t i = 0; i < pages.size(); ++i)
    if (!Readable(pages[i], pdf)) unreadable.push_back(i);
  return unreadable;
}

}  // namespace

bool ChooseReadablePages(HWND owner, bool mayAsk, int language, const std::vector<CString>& pages, bool pdf,
                         const CString& document, std::vector<size_t>* leftOut) {
  *leftOut = UnreadablePages(pages, pdf);
  if (leftOut->empty()) return true;
  const CString named = UnreadableText(pages, *leftOut, language);
  if (leftOut->size() == pages.size()) {
    if (mayAsk) ::MessageBoxW(owner, named + NotSavedText(language, document), L"", MB_OK | MB_ICONERROR);
    return false;
  }
  if (!mayAsk) return true;
  return ::MessageBoxW(owner, named + kWithoutThem.In(language), L"", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ReportDocumentNotSaved(HWND owner, int language, const CString& document) {
  ::MessageBoxW(owner, NotSavedText(language, document), L"", MB_OK | MB_ICONERROR);
}

bool WritePdfDocument(const CString& document, const std::vector<CString>& pages) {
  CPdfMaker pdf;
  if (!pdf.SetPath(document)) return false;
  std::vector<std::string> files;
  for (const CString& page : pages) {
    std::string path = vq::PathToBytes(page.str());
    if (path.empty()) return false;
    files.push_back(std::move(path));
  }
  return pdf.WriteFiles(files) == 0;
}

bool WriteTiffDocument(const CString& document, const std::vector<CString>& pages, const std::vector<int>& types,
                       int xDpi, int yDpi, int jpegQuality) {
  vq::CReplacingFile file(vq::PathToBytes(document.str()));
  if (pages.empty() || types.size() != pages.size() || !file.Create() || !file.CloseDescriptor()) return false;
  const std::wstring work = vq::PathFromBytes(file.TempPath());
  CTiffPageWriter writer;
  if (!writer.Open(work.c_str(), static_cast<int>(pages.size()))) return false;
  writer.SetResolution(xDpi, yDpi);
  writer.SetJpegQuality(jpegQuality);
  bool written = true;
  for (size_t i = 0; i < pages.size() && written; ++i)
    written = writer.WritePageFromFile(pages[i], types[i]);
  writer.Close();
  return written && file.Commit();
}
