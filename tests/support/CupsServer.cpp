#include "tests/support/CupsServer.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Waiting.h"

namespace vqtest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string FindCupsd() {
  for (const char* path : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
    if (::access(path, X_OK) == 0) return path;
  return "";
}

bool Accepts(const std::string& socketPath) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

}  // namespace

CupsServer::CupsServer() {
  const std::string cupsd = FindCupsd();
  if (cupsd.empty()) {
    problem_ = "cupsd is not installed (scripts/setup installs cups-daemon)";
    return;
  }
  root_ = TempPath("cups").string();
  socket_ = root_ + "/cups.sock";
  std::error_code error;
  for (const char* sub : {"etc/ppd", "spool", "tmp", "cache", "state", "log", "out"})
    fs::create_directories(fs::path(root_) / sub, error);
  // Run as root, cupsd starts its filters as "lp": they must reach the spool.
  fs::permissions(TempDir(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::replace, error);
  fs::permissions(fs::path(root_) / "tmp", fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace, error);
  WriteFile(root_ + "/etc/cups-files.conf",
            "ServerRoot " + root_ + "/etc\nRequestRoot " + root_ + "/spool\nTempDir " + root_ + "/tmp\nCacheDir " +
                root_ + "/cache\nStateDir " + root_ + "/state\nErrorLog " + root_ + "/log/error_log\nAccessLog " +
                root_ + "/log/access_log\nPageLog " + root_ + "/log/page_log\nPrintcap " + root_ +
                "/state/printcap\nFileDevice Yes\n");
  WriteFile(root_ + "/etc/cupsd.conf", "Listen " + socket_ +
                                           "\nLogLevel info\nBrowsing No\nWebInterface No\n"
                                           "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                                           // Every operation open to everyone: a user who is no
                                           // printer administrator sets up the queues too.
                                           "<Policy default>\nJobPrivateValues none\n"
                                           "<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");

  SpawnOptions options;
  options.errorLog = root_ + "/log/cupsd.out";
  options.outputToo = true;
  pid_ = Spawn({cupsd, "-f", "-c", root_ + "/etc/cupsd.conf", "-s", root_ + "/etc/cups-files.conf"}, options);
  if (pid_ <= 0) {
    problem_ = "cupsd could not be started";
    return;
  }
  bool exited = false;
  if (!WaitFor([&] { return Accepts(socket_) || (exited = HasEnded(pid_)); }) || exited) {
    if (!exited) WaitForEnd(pid_, 0s);
    pid_ = -1;
    problem_ = "cupsd did not come up: " + ReadFile(options.errorLog) + ReadFile(root_ + "/log/error_log");
    return;
  }
  // This thread's libcups, and everything the test starts, use this server
  // and keep options and defaults in the test's home folder.
  ::setenv("CUPS_SERVER", socket_.c_str(), 1);
  ::setenv("CUPS_SERVERROOT", (root_ + "/etc").c_str(), 1);
  cupsSetServer(socket_.c_str());
}

CupsServer::~CupsServer() {
  if (pid_ <= 0) return;
  cupsSetServer(nullptr);
  ::unsetenv("CUPS_SERVER");
  ::unsetenv("CUPS_SERVERROOT");
  ::kill(pid_, SIGTERM);
  WaitForEnd(pid_, 5s);
}

bool CupsServer::AddLetterAndA4Queues() {
  const std::string ppd = (SourceDir() / "tests/support/pdf-queue.ppd").string();
  return Command("lpadmin -p VQ_LETTER -E -v file://" + OutputOf("VQ_LETTER") + " -P " + ppd) &&
         Command("lpadmin -p VQ_A4 -E -v file://" + OutputOf("VQ_A4") + " -P " + ppd +
                 " -o PageSize=A4 -o PageRegion=A4 -o Resolution=600dpi");
}

std::string CupsServer::OutputOf(const std::string& name) const { return root_ + "/out/" + name + ".pdf"; }

bool CupsServer::Command(const std::string& commandLine) const {
  if (!Running()) return false;
  // lpadmin and cupsreject live in sbin, which a user's PATH may lack.
  return std::system(("PATH=/usr/sbin:/usr/bin:$PATH " + commandLine + " >>" + root_ + "/log/commands 2>&1").c_str()) ==
         0;
}

bool CupsServer::WaitForJob(int job) const {
  const auto limit = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < limit) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    for (int i = 0; i < count; ++i)
      if (jobs[i].id == job) state = jobs[i].state;
    cupsFreeJobs(count, jobs);
    if (state >= IPP_JSTATE_CANCELED) return state == IPP_JSTATE_COMPLETED;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

std::map<std::string, std::string> CupsServer::JobAttributes(int job) const {
  std::map<std::string, std::string> attributes;
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
    if (!ippGetName(a) || ippGetGroupTag(a) != IPP_TAG_JOB) continue;
    char value[1024];
    ippAttributeString(a, value, sizeof value);
    attributes[ippGetName(a)] = value;
  }
  ippDelete(response);
  return attributes;
}

void OnFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

}  // namespace vqtest
