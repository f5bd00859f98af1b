// A 3264 x 2448 colour page handed over by native, memory and file transfer:
// the page prepared, the transfer buffer filled and the DIB, the strips or
// the file written; and the camera window on the virtual camera, from the
// enable to the first frame shown and from the capture to MSG_XFERREADY.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <opencv2/core.hpp>
#include <vector>

#include "capture/CaptureController.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "twain/PaldroseDlg.h"

#include "twain/DSMBinding.h"
#include "twain/TWAINDS_FreeImage.h"
#include "twain/TWAIN_UI.h"
#include "platform/win/ModalLoops.h"

namespace {

constexpr int kWidth = 3264;
constexpr int kHeight = 2448;

// A bridge that holds one page and uploads it when asked to capture.
class PageBridge : public CTWAIN_UI {
 public:
  using CTWAIN_UI::CTWAIN_UI;
  bool OpenCameraWindow(bool) override { return true; }
  std::vector<cv::Mat> GetImages() override { return {Page()}; }
  bool CaptureWithoutUI() override { return Scan(); }
  static const cv::Mat& Page() {
    static const cv::Mat page = [] {
      cv::Mat m(kHeight, kWidth, CV_8UC3);
      cv::randu(m, 0, 255);
      return m;
    }();
    return page;
  }
};

CTWAIN_UI* MakeBridge(CTWAINDS_FreeImage* ds) { return new PageBridge(ds); }

TW_UINT16 NoManager(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF) {
  return TWRC_SUCCESS;
}

// A source in state 6 with the page announced.
class Session {
 public:
  Session() : m_ds(Host()) {
    TW_ENTRYPOINT entry{};
    entry.Size = sizeof entry;
    entry.DSM_Entry = NoManager;
    SetDSMEntryPoints(&entry);
    m_ds.Initialize();
    TW_IDENTITY source = DSIdentity;
    source.Id = 2;
    Send(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
  }
  ~Session() { SetDSMEntryPoints(nullptr); }
  CTWAINDS_FreeImage& Source() { return m_ds; }
  TW_UINT16 Send(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
    TW_IDENTITY origin = Host();
    return m_ds.DispatchTriplet(&origin, DG, DAT, MSG, data);
  }
  bool Announce() {
    TW_USERINTERFACE ui{0, 0, nullptr};
    return Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS;
  }
  void Finish() {
    TW_PENDINGXFERS pending{};
    Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    TW_USERINTERFACE ui{};
    Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  }

 private:
  static TW_IDENTITY Host() {
    TW_IDENTITY host{};
    host.Id = 1;
    host.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    return host;
  }
  CTWAINDS_FreeImage m_ds;
};

void BM_NativeTransferColourPage(benchmark::State& state) {
  setenv("VQ_COMMON_APPDATA", "/tmp/vq-twain-bench", 0);
  SetUIFactory(MakeBridge);
  PageBridge::Page();
  {
    Session session;
    for (auto _ : state) {
      if (!session.Announce()) state.SkipWithError("no page announced");
      TW_HANDLE dib = nullptr;
      if (session.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib) != TWRC_XFERDONE)
        state.SkipWithError("native transfer failed");
      FreeDSMMemory(dib);
      session.Finish();
    }
  }
  SetUIFactory(nullptr);
  state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 3);
}
BENCHMARK(BM_NativeTransferColourPage)->Unit(benchmark::kMillisecond);

void BM_MemoryTransferColourPage(benchmark::State& state) {
  setenv("VQ_COMMON_APPDATA", "/tmp/vq-twain-bench", 0);
  SetUIFactory(MakeBridge);
  PageBridge::Page();
  std::vector<uint8_t> buffer(65536);
  {
    Session session;
    for (auto _ : state) {
      if (!session.Announce()) state.SkipWithError("no page announced");
      TW_UINT16 rc = TWRC_SUCCESS;
      while (rc == TWRC_SUCCESS) {
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory = TW_MEMORY{TWMF_POINTER | TWMF_APPOWNS, 65536, buffer.data()};
        rc = session.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
      }
      if (rc != TWRC_XFERDONE) state.SkipWithError("memory transfer failed");
      session.Finish();
    }
  }
  SetUIFactory(nullptr);
  state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 3);
}
BENCHMARK(BM_MemoryTransferColourPage)->Unit(benchmark::kMillisecond);

// Format TWFF_BMP or TWFF_JFIF.
void BM_FileTransferColourPage(benchmark::State& state) {
  setenv("VQ_COMMON_APPDATA", "/tmp/vq-twain-bench", 0);
  SetUIFactory(MakeBridge);
  PageBridge::Page();
  const std::string path = std::filesystem::temp_directory_path() / "vq-twain-bench-page";
  {
    Session session;
    for (auto _ : state) {
      if (!session.Announce()) state.SkipWithError("no page announced");
      TW_SETUPFILEXFER setup{};
      std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
      setup.Format = static_cast<TW_UINT16>(state.range(0));
      session.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
      if (session.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr) != TWRC_XFERDONE)
        state.SkipWithError("file transfer failed");
      session.Finish();
    }
  }
  std::filesystem::remove(path);
  SetUIFactory(nullptr);
  state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 3);
}
BENCHMARK(BM_FileTransferColourPage)->Arg(TWFF_BMP)->Arg(TWFF_JFIF)->Unit(benchmark::kMillisecond);

// The real camera window on a virtual document camera of model A.
struct VirtualDocumentCamera {
  VirtualDocumentCamera() {
    setenv("VQ_COMMON_APPDATA", "/tmp/vq-twain-bench", 0);
    setenv("VQ_HEADLESS", "1", 1);
    auto config = vq::dshow::VirtualCameraConfig::Document();
    config.vendorId = L"2E1A";
    config.productId = L"0101";
    config.sizes = {{1280, 960}, {2592, 1944}};
    vq::dshow::PlugInVirtualCamera(config);
  }
  ~VirtualDocumentCamera() { vq::dshow::RemoveVirtualCameras(); }
};

strenvik::CPaldroseDlg& WindowOf(Session& session) {
  return *static_cast<CMFC_UI*>(session.Source().GetUI())->CameraWindow();
}

void PumpUntil(const std::function<bool()>& done) {
  // The layer's modal loop, looking at the condition again at least every 2 ms.
  vqplatform::ModalLoop loop;
  loop.done = done;
  loop.idle = [] {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    return true;
  };
  loop.timeoutMs = 200000;
  vqplatform::RunModalLoop(loop);
}

void BM_EnableToFirstFrameShown(benchmark::State& state) {
  VirtualDocumentCamera camera;
  for (auto _ : state) {
    Session session;
    TW_USERINTERFACE ui{1, 0, nullptr};
    if (session.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
      state.SkipWithError("the camera window did not open");
    CCaptureController* controller = WindowOf(session).MainController();
    PumpUntil([&] { return controller && !controller->GetFrame().empty(); });
    state.PauseTiming();
    session.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EnableToFirstFrameShown)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CaptureToXferReady(benchmark::State& state) {
  VirtualDocumentCamera camera;
  Session session;
  TW_USERINTERFACE ui{1, 0, nullptr};
  if (session.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) {
    state.SkipWithError("the camera window did not open");
    return;
  }
  strenvik::CPaldroseDlg& window = WindowOf(session);
  PumpUntil([&] { return !window.MainController()->GetFrame().empty(); });
  CheckDlgButton(window.GetSafeHwnd(), 6027, BST_UNCHECKED);  // each capture is uploaded at once
  window.OnMultiShotCheck();
  for (auto _ : state) {
    window.OnScan();
    if (session.Source().GetState() != 6) state.SkipWithError("no MSG_XFERREADY");
    state.PauseTiming();
    TW_PENDINGXFERS pending{};
    session.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    PumpUntil([&] { return window.Pages().empty(); });
    state.ResumeTiming();
  }
  session.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
}
BENCHMARK(BM_CaptureToXferReady)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
