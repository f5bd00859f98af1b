// Saving the pages of a capture, barcode naming, and merging two files.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>

#include <opencv2/imgproc.hpp>

#include "app/BarcodeNames.h"
#include "app/ImageConversions.h"
#include "app/ImageOutput.h"
#include "base/PathEncoding.h"
#include "imaging/BarcodeReader.h"
#include "imaging/G4TiffDocument.h"
#include "imaging/ImageFiles.h"
#include "imaging/ReplacingFile.h"
#include "platform/win/Encoding.h"
#include "platform/win/FileSystem.h"
#include "platform/win/MessageBox.h"

namespace {

enum ImageFormat { kJpeg = 0, kBmp = 1, kJpegAlways = 2, kPng = 3, kTiff = 4, kGif = 5 };

// A page's name is chosen from a look at its folder: a file another writer
// made there since is kept, and the page takes the next free name.
constexpr vq::CReplacingFile::Placing kNewFile = vq::CReplacingFile::Placing::kFreeName;

bool FileExists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The extension a page gets by the format and the colour mode.
const wchar_t* PageExtension(int format, int colorMode) {
  const bool blackAndWhite = colorMode == 2;
  switch (format) {
    case kBmp: return L".BMP";
    case kPng: return L".PNG";
    case kTiff: return blackAndWhite ? L".tif" : L".TIF";
    case kGif: return L".GIF";
    case kJpegAlways: return L".jpg";
    default: return blackAndWhite ? L".tif" : L".jpg";
  }
}

// Base of page `index` of `count`: "_%02d" is added when there are several.
CString PageBase(const CString& base, size_t index, size_t count) {
  if (count <= 1) return base;
  wchar_t suffix[32];
  std::swprintf(suffix, 32, L"_%02zu", index);
  CString paged = base;
  paged += suffix;
  return paged;
}

CString FolderOf(const CString& path) {
  const int slash = path.ReverseFind(L'/');
  return slash < 0 ? CString() : path.Left(slash + 1);
}

// True when the folder accepts the name: an existing file of that name is
// left alone; otherwise a probe file is made and removed again.
bool FolderAcceptsName(const CString& probePath) {
  if (FileExists(probePath)) return true;
  const std::string narrow = vq::PathToBytes(probePath.str());
  const int fd = ::open(narrow.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(narrow.c_str());
  return true;
}

void ShowMessage(const CString& text, UINT icon) { MessageBoxW(nullptr, text, L"", MB_OK | icon); }

}  // namespace

CString CImageOutput::BarcodeBase(const std::string& codeText, const CString& basePath, size_t pageCount) {
  // The code's own bytes are checked: a conversion would hide what is not UTF-8.
  const std::string name = Utf8ToAnsi(codeText);
  const CString folder = FolderOf(basePath);
  CString base = folder + CString(name.c_str());
  if (!IsUsableBarcodeName(codeText) || !FolderAcceptsName(base + L".txt")) {
    ShowMessage(specialCharactersMessage_, MB_ICONERROR);
    return basePath;
  }
  // Never overwrite the pages of an earlier capture with the same code.
  const wchar_t* extension = PageExtension(settings_.imgFormat, settings_.colorMode);
  auto taken = [&](const CString& candidate) {
    for (size_t i = 0; i < pageCount; ++i)
      if (FileExists(PageBase(candidate, i, pageCount) + extension)) return true;
    return false;
  };
  for (int n = 1; taken(base); ++n) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L"(%d)", n);
    base = folder + CString(name.c_str()) + suffix;
  }
  return base;
}

void CImageOutput::WriteBarcodeFile(const std::vector<std::string>& codes, const CString& basePath) {
  std::string json;
  if (!BarcodesToJson(codes, &json)) return;
  const CString textPath = basePath + L".txt";
  const std::string narrow = vq::PathToBytes(textPath.str());
  const std::string bytes = Utf8ToAnsi(json);
  // Written beside an old file, which it replaces once complete.
  if (!vq::WriteReplacing(narrow, bytes.data(), bytes.size())) return;
  ShowMessage(savedInMessage_ + L" " + textPath + L" !", MB_ICONINFORMATION);
}

CString CImageOutput::ApplyBarcodes(const std::vector<cv::Mat>& pages, const CString& basePath) {
  std::vector<std::string> codes;
  BarcodeParams params;
  for (const cv::Mat& page : pages) {
    std::vector<std::string> found;
    if (DecodeBarcodes(page, &found, &params, settings_.colorMode == 2))
      codes.insert(codes.end(), found.begin(), found.end());
  }
  if (settings_.pdfOrTif != 0 || settings_.merge) {
    for (size_t i = 1; i < codes.size(); i += 2)
      if (IsUsableBarcodeName(codes[i])) barcodeTexts.push_back(codes[i]);
    return basePath;
  }
  if (codes.size() < 2) {
    ShowMessage(notRecognisedMessage_, 0);
    return basePath;
  }
  if (!settings_.barcodeToFile) return BarcodeBase(codes[1], basePath, pages.size());
  WriteBarcodeFile(codes, basePath);
  return basePath;
}

CString CImageOutput::WritePage(const cv::Mat& page, const CString& base) {
  CString written;
  const int format = settings_.imgFormat;
  const bool blackAndWhite = settings_.colorMode == 2;
  std::string saved;
  if (format == kBmp || format == kPng || (format == kTiff && !blackAndWhite)) {
    const CString path = base + PageExtension(format, settings_.colorMode);
    if (WriteImageW(path, page, &saved, kNewFile)) written = saved.c_str();
  } else if (blackAndWhite && (format == kTiff || format == kJpeg)) {
    SaveTiffG4(written, page, base);
  } else if (format == kGif) {
    // JPEG data under the ".GIF" name, written in one step.
    const CString path = base + L".GIF";
    if (::SaveJpeg(path, page, &saved, static_cast<short>(settings_.xDpi), static_cast<short>(settings_.yDpi),
                   settings_.jpgQuality, kNewFile))
      written = saved.c_str();
  } else {
    SaveJpeg(written, page, base);
  }
  return written;
}

int CImageOutput::SaveImages(const std::vector<cv::Mat>& pages, const CString& basePath,
                             std::vector<CString>* saved) {
  CString base = basePath;
  if (settings_.recognize) base = ApplyBarcodes(pages, basePath);
  for (size_t i = 0; i < pages.size(); ++i) {
    const CString path = WritePage(pages[i], PageBase(base, i, pages.size()));
    if (path.GetLength() > 4 && saved) saved->push_back(path);
  }
  return 0;
}

void CImageOutput::SaveJpeg(CString& out, const cv::Mat& page, const CString& path) {
  out.Empty();
  if (path.IsEmpty() || page.empty()) return;
  std::string saved;
  if (::SaveJpeg(path + L".jpg", page, &saved, static_cast<short>(settings_.xDpi),
                 static_cast<short>(settings_.yDpi), settings_.jpgQuality, kNewFile))
    out = saved.c_str();
}

void CImageOutput::SaveTiffG4(CString& out, const cv::Mat& page, const CString& path) {
  out.Empty();
  if (path.IsEmpty() || page.empty()) return;
  CG4TiffDocument document;
  document.SetResolution(settings_.xDpi, settings_.yDpi);
  const CString target = path + L".tif";
  if (!document.SetFileName(target)) return;
  document.firstPlacing = kNewFile;
  if (document.AddPage(page) == CG4TiffDocument::ADD_WRITTEN) out = document.fileName.c_str();
}

void CImageOutput::MergeFiles(CString& out, const CString& first, const CString& second, const CString& target,
                              bool stacked, int gap) {
  out.Empty();
  if (first.IsEmpty() || second.IsEmpty() || target.IsEmpty()) return;
  gap = std::max(gap, 0);
  cv::Mat a = LoadImageAsMat(first), b = LoadImageAsMat(second);
  if (a.empty() || b.empty()) return;

  const int mode = settings_.colorMode;
  const bool oneChannel = mode == 1 || mode == 2;
  auto prepare = [&](cv::Mat& image) {
    if (!oneChannel) return;
    if (image.channels() != 1) cv::cvtColor(image, image, cv::COLOR_RGB2GRAY);
    if (mode == 2) cv::threshold(image, image, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
  };
  prepare(a);
  prepare(b);

  const int width = stacked ? std::max(a.cols, b.cols) : a.cols + gap + b.cols;
  const int height = stacked ? a.rows + gap + b.rows : std::max(a.rows, b.rows);
  cv::Mat canvas(height, width, oneChannel ? CV_8UC1 : CV_8UC3, cv::Scalar::all(255));
  a.copyTo(canvas(cv::Rect(0, 0, a.cols, a.rows)));
  const cv::Point at = stacked ? cv::Point(0, a.rows + gap) : cv::Point(a.cols + gap, 0);
  b.copyTo(canvas(cv::Rect(at.x, at.y, b.cols, b.rows)));

  if (mode == 2)
    SaveTiffG4(out, canvas, target);
  else
    SaveJpeg(out, canvas, target);
}
