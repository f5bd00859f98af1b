#include "platform/win/PrintingDestinations.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/win/Encoding.h"

namespace vqplatform {
namespace {

constexpr int kFallbackDpi = 300;

struct DestFree {
  void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestFree>;
struct InfoFree {
  void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};
using InfoPtr = std::unique_ptr<cups_dinfo_t, InfoFree>;

// The destination with the options saved for it (lpoptions), the
// instance's on top of the queue's; null for a queue or an instance that
// is not there.
DestPtr NamedDest(const std::wstring& name, const std::wstring& instance) {
  const std::string queue = vq::WideToUtf8(name);
  const std::string saved = vq::WideToUtf8(instance);
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  cups_dest_t* found = cupsGetDest(queue.c_str(), saved.empty() ? nullptr : saved.c_str(), count, dests);
  cups_dest_t* copy = nullptr;
  if (found && cupsCopyDest(found, 0, &copy) != 1) copy = nullptr;
  cupsFreeDests(count, dests);
  return DestPtr(copy);
}

// "600dpi", "600x300dpi" or "236dpcm" as dots per inch.
bool ParseResolution(const char* text, int* x, int* y) {
  if (!text) return false;
  char unit[8] = {};
  int first = 0, second = 0;
  if (std::sscanf(text, "%dx%d%7s", &first, &second, unit) != 3) {
    if (std::sscanf(text, "%d%7s", &first, unit) != 2) return false;
    second = first;
  }
  if (first <= 0 || second <= 0) return false;
  if (std::strcmp(unit, "dpcm") == 0) {
    first = static_cast<int>(first * 2.54 + 0.5);
    second = static_cast<int>(second * 2.54 + 0.5);
  } else if (std::strcmp(unit, "dpi") != 0) {
    return false;
  }
  *x = first;
  *y = second;
  return true;
}

// A medium named the PWG, the legacy IPP or the PPD way.
pwg_media_t* MediaByAnyName(const std::string& name) {
  if (pwg_media_t* media = pwgMediaForPWG(name.c_str())) return media;
  if (pwg_media_t* media = pwgMediaForLegacy(name.c_str())) return media;
  return pwgMediaForPPD(name.c_str());
}

// The medium the destination prints on, with the queue's margins for it.
bool FindMedium(cups_dest_t* dest, cups_dinfo_t* info, cups_size_t* size) {
  std::vector<std::string> names;
  for (const char* option : {"media", "PageSize"}) {
    // "media" may list a size with a source and a type: "A4,tray1".
    if (const char* value = cupsGetOption(option, dest->num_options, dest->options)) {
      std::string list = value;
      for (size_t start = 0; start <= list.size();) {
        const size_t comma = std::min(list.find(',', start), list.size());
        names.push_back(list.substr(start, comma - start));
        start = comma + 1;
      }
    }
  }
  if (info) {
    if (ipp_attribute_t* fallback = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "media"))
      if (const char* text = ippGetString(fallback, 0, nullptr)) names.push_back(text);
  }
  for (const std::string& name : names) {
    pwg_media_t* media = MediaByAnyName(name);
    if (!media) continue;
    if (info && cupsGetDestMediaBySize(CUPS_HTTP_DEFAULT, dest, info, media->width, media->length, 0, size))
      return true;
    *size = cups_size_t{};  // a medium the queue does not list: no margins known
    std::snprintf(size->media, sizeof size->media, "%s", media->pwg);
    size->width = media->width;
    size->length = media->length;
    return true;
  }
  return info && cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest, info, 0, 0, size);
}

bool FindResolution(cups_dest_t* dest, cups_dinfo_t* info, int* x, int* y) {
  for (const char* option : {"printer-resolution", "Resolution"})
    if (ParseResolution(cupsGetOption(option, dest->num_options, dest->options), x, y)) return true;
  if (!info) return false;
  ipp_attribute_t* fallback = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution");
  if (!fallback || ippGetValueTag(fallback) != IPP_TAG_RESOLUTION) return false;
  ipp_res_t units = IPP_RES_PER_INCH;
  int second = 0;
  const int first = ippGetResolution(fallback, 0, &second, &units);
  if (first <= 0 || second <= 0) return false;
  const double perInch = units == IPP_RES_PER_CM ? 2.54 : 1.0;
  *x = static_cast<int>(first * perInch + 0.5);
  *y = static_cast<int>(second * perInch + 0.5);
  return true;
}

}  // namespace

std::vector<PrintDestination> ListCupsDestinations() {
  std::vector<PrintDestination> list;
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  for (int i = 0; i < count; ++i) {
    PrintDestination destination;
    destination.name = vq::Utf8ToWide(dests[i].name);
    if (dests[i].instance) destination.instance = vq::Utf8ToWide(dests[i].instance);
    destination.isDefault = dests[i].is_default != 0;
    list.push_back(std::move(destination));
  }
  cupsFreeDests(count, dests);
  return list;
}

bool CupsDestinationPage(const std::wstring& name, const std::wstring& instance, PrinterPage* page) {
  DestPtr dest = NamedDest(name, instance);
  if (!dest) return false;
  InfoPtr info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
  PrinterPage result;
  cups_size_t size{};
  if (FindMedium(dest.get(), info.get(), &size) && size.width > 0 && size.length > 0) {
    // cups_size_t is in hundredths of millimetres.
    result.widthMm = size.width / 100.0;
    result.heightMm = size.length / 100.0;
    result.leftMm = size.left / 100.0;
    result.rightMm = size.right / 100.0;
    result.topMm = size.top / 100.0;
    result.bottomMm = size.bottom / 100.0;
  }
  if (!FindResolution(dest.get(), info.get(), &result.dpiX, &result.dpiY)) result.dpiX = result.dpiY = kFallbackDpi;
  *page = result;
  return true;
}

int CreateCupsJob(const std::wstring& name, const std::wstring& instance, const std::string& title) {
  DestPtr dest = NamedDest(name, instance);
  if (!dest) return 0;
  // As lp does: every option saved for the destination goes with the job;
  // libcups leaves out the queue's own attributes.
  return cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, title.c_str(), dest->num_options, dest->options);
}

bool SendCupsDocument(const std::wstring& name, int job, const std::string& pdfPath, const std::string& title) {
  const std::string queue = vq::WideToUtf8(name);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(pdfPath.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  if (cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, title.c_str(), CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE)
    return false;
  char buffer[65536];
  bool written = true;
  size_t count = 0;
  while (written && (count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    written = cupsWriteRequestData(CUPS_HTTP_DEFAULT, buffer, count) == HTTP_STATUS_CONTINUE;
  written = written && !std::ferror(file.get());
  // Finishing also reads the answer, so the connection stays usable.
  const ipp_status_t status = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str());
  return written && status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

void CancelCupsJob(const std::wstring& name, int job) {
  cupsCancelJob2(CUPS_HTTP_DEFAULT, vq::WideToUtf8(name).c_str(), job, 0);
}

}  // namespace vqplatform
