#pragma once
// The CUPS side of printing: the destinations with their instances and the
// default, the page a destination prints on (medium, printable area and
// resolution, after the options the user saved for it), and jobs that
// carry those saved options.
#include <string>
#include <vector>

namespace vqplatform {

struct PrintDestination {
  std::wstring name;      // the queue, or the file printer
  std::wstring instance;  // a saved set of options of the queue; empty for the queue itself
  bool isFile = false;    // the PDF file printer
  bool isDefault = false;
  // "queue" or "queue/instance", as the dialog lists it.
  std::wstring Title() const { return instance.empty() ? name : name + L"/" + instance; }
};

// What a printer DC draws on.
struct PrinterPage {
  int dpiX = 150, dpiY = 150;
  double widthMm = 210, heightMm = 297;  // the medium
  // The unprintable edges of the medium.
  double leftMm = 0, topMm = 0, rightMm = 0, bottomMm = 0;
};

// The CUPS destinations (queues, then their instances) as libcups lists them.
std::vector<PrintDestination> ListCupsDestinations();

// The page of a CUPS destination: its saved "media" or "PageSize" option,
// else the queue's default medium, with the queue's margins for it; its
// saved resolution, else the queue's default, else 300 dpi. False when the
// destination is unknown.
bool CupsDestinationPage(const std::wstring& name, const std::wstring& instance, PrinterPage* page);

// Creates a job on a destination with the options saved for it; the job id
// (above 0), or 0 when CUPS refused.
int CreateCupsJob(const std::wstring& name, const std::wstring& instance, const std::string& title);
// Sends a PDF file as the job's only document; false when it did not reach
// the queue.
bool SendCupsDocument(const std::wstring& name, int job, const std::string& pdfPath, const std::string& title);
void CancelCupsJob(const std::wstring& name, int job);

}  // namespace vqplatform
