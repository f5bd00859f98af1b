#include "platform/dshow/V4l2Camera.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/videodev2.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/dshow/Interfaces.h"

namespace vq::dshow {

namespace {

constexpr HRESULT kTransferFailed = HRESULT(0x8007001FL);
constexpr int kBufferCount = 4;
constexpr int kEnumLimit = 256;         // guards every enumeration against a driver that never ends it
constexpr size_t kSizeLimit = 64;       // sizes listed per format from a stepwise range
constexpr REFERENCE_TIME kDefaultInterval = 333333;

struct ControlMapping {
  ControlKind kind;
  long property;
  uint32_t cid;
  uint32_t autoCid;  // 0: no automatic mode
};

constexpr ControlMapping kControls[] = {
    {ControlKind::VideoProcAmp, VideoProcAmp_Brightness, V4L2_CID_BRIGHTNESS, 0},
    {ControlKind::VideoProcAmp, VideoProcAmp_Contrast, V4L2_CID_CONTRAST, 0},
    {ControlKind::VideoProcAmp, VideoProcAmp_Hue, V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {ControlKind::VideoProcAmp, VideoProcAmp_Saturation, V4L2_CID_SATURATION, 0},
    {ControlKind::VideoProcAmp, VideoProcAmp_Sharpness, V4L2_CID_SHARPNESS, 0},
    {ControlKind::VideoProcAmp, VideoProcAmp_Gamma, V4L2_CID_GAMMA, 0},
    {ControlKind::VideoProcAmp, VideoProcAmp_WhiteBalance, V4L2_CID_WHITE_BALANCE_TEMPERATURE,
     V4L2_CID_AUTO_WHITE_BALANCE},
    {ControlKind::VideoProcAmp, VideoProcAmp_BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {ControlKind::VideoProcAmp, VideoProcAmp_Gain, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
    {ControlKind::CameraControl, CameraControl_Pan, V4L2_CID_PAN_ABSOLUTE, 0},
    {ControlKind::CameraControl, CameraControl_Tilt, V4L2_CID_TILT_ABSOLUTE, 0},
    {ControlKind::CameraControl, CameraControl_Zoom, V4L2_CID_ZOOM_ABSOLUTE, 0},
    {ControlKind::CameraControl, CameraControl_Exposure, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {ControlKind::CameraControl, CameraControl_Iris, V4L2_CID_IRIS_ABSOLUTE, 0},
    {ControlKind::CameraControl, CameraControl_Focus, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
};

const ControlMapping* FindControl(ControlKind kind, long property) {
  for (const auto& c : kControls)
    if (c.kind == kind && c.property == property) return &c;
  return nullptr;
}

bool IsExposure(const ControlMapping& m) { return m.cid == V4L2_CID_EXPOSURE_ABSOLUTE; }

// Closes a descriptor of the seam when it goes out of scope.
class NodeHandle {
 public:
  NodeHandle(V4l2Io& io, int fd) : io_(io), fd_(fd) {}
  ~NodeHandle() {
    if (fd_ >= 0) io_.Close(fd_);
  }
  NodeHandle(const NodeHandle&) = delete;
  NodeHandle& operator=(const NodeHandle&) = delete;
  int get() const { return fd_; }

 private:
  V4l2Io& io_;
  int fd_;
};

GUID SubtypeOf(uint32_t pixelFormat) {
  if (pixelFormat == V4L2_PIX_FMT_YUYV) return MEDIASUBTYPE_YUY2;
  if (pixelFormat == V4L2_PIX_FMT_MJPEG) return MEDIASUBTYPE_MJPG;
  return GUID_NULL;
}

uint32_t PixelFormatOf(const GUID& subtype) {
  if (subtype == MEDIASUBTYPE_YUY2) return V4L2_PIX_FMT_YUYV;
  if (subtype == MEDIASUBTYPE_MJPG) return V4L2_PIX_FMT_MJPEG;
  return 0;
}

// The sizes of a stepwise range: the usual camera sizes that the range
// allows, plus its smallest and largest.
std::vector<std::pair<int, int>> ExpandStepwise(const v4l2_frmsize_stepwise& s) {
  static constexpr std::pair<int, int> kCommon[] = {
      {160, 120},  {320, 240},  {352, 288},   {640, 480},   {800, 600},   {1024, 768},  {1280, 720},
      {1280, 960}, {1280, 1024}, {1600, 1200}, {1920, 1080}, {2048, 1536}, {2592, 1944}, {3264, 2448}};
  auto fits = [&](int w, int h) {
    const uint32_t sw = std::max<uint32_t>(s.step_width, 1), sh = std::max<uint32_t>(s.step_height, 1);
    return uint32_t(w) >= s.min_width && uint32_t(w) <= s.max_width && uint32_t(h) >= s.min_height &&
           uint32_t(h) <= s.max_height && (uint32_t(w) - s.min_width) % sw == 0 &&
           (uint32_t(h) - s.min_height) % sh == 0;
  };
  std::vector<std::pair<int, int>> sizes;
  auto add = [&](int w, int h) {
    if (w > 0 && h > 0 && sizes.size() < kSizeLimit &&
        std::find(sizes.begin(), sizes.end(), std::make_pair(w, h)) == sizes.end())
      sizes.emplace_back(w, h);
  };
  add(int(s.min_width), int(s.min_height));
  for (auto [w, h] : kCommon)
    if (fits(w, h)) add(w, h);
  add(int(std::min<uint32_t>(s.max_width, 1u << 15)), int(std::min<uint32_t>(s.max_height, 1u << 15)));
  return sizes;
}

REFERENCE_TIME FirstInterval(V4l2Io& io, int fd, uint32_t pixelFormat, int w, int h) {
  v4l2_frmivalenum iv{};
  iv.index = 0;
  iv.pixel_format = pixelFormat;
  iv.width = uint32_t(w);
  iv.height = uint32_t(h);
  if (io.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) != 0) return kDefaultInterval;
  const v4l2_fract f = iv.type == V4L2_FRMIVAL_TYPE_DISCRETE ? iv.discrete : iv.stepwise.min;
  if (f.numerator == 0 || f.denominator == 0) return kDefaultInterval;
  return REFERENCE_TIME(10000000.0 * f.numerator / f.denominator + 0.5);
}

}  // namespace

std::wstring V4l2DevicePath(const V4l2Identity& id) {
  wchar_t mi[8];
  std::swprintf(mi, 8, L"%02x", unsigned(id.interfaceNumber) & 0xff);
  return L"\\\\?\\usb#vid_" + id.vendorId + L"&pid_" + id.productId + L"&mi_" + mi + L"#6&" + id.instance +
         L"&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

long ExposureToV4l2(long log2Seconds) {
  return std::lround(10000.0 * std::ldexp(1.0, int(std::clamp(log2Seconds, -30L, 30L))));
}

long ExposureFromV4l2(long units) {
  if (units <= 0) return -14;  // below 100 µs
  return std::lround(std::log2(double(units) / 10000.0));
}

V4l2Camera::V4l2Camera(V4l2Environment env, V4l2Identity identity)
    : env_(std::move(env)), identity_(std::move(identity)), path_(V4l2DevicePath(identity_)) {
  StartButtonWatch();
}

V4l2Camera::~V4l2Camera() { StopButtonWatch(); }

std::string V4l2Camera::Node() const {
  std::lock_guard lock(lock_);
  return identity_.node;
}

int V4l2Camera::OpenNode() const {
  if (!present_) return -1;
  return env_.io->Open(Node(), O_RDWR | O_NONBLOCK);
}

void V4l2Camera::Attach(const V4l2Identity& identity) {
  {
    std::lock_guard lock(lock_);
    identity_.node = identity.node;
    identity_.inputEventNode = identity.inputEventNode;
    formatsRead_ = false;
  }
  if (present_.exchange(true)) return;
  StartButtonWatch();
  NotifyListeners([](CaptureDeviceListener* l) { l->DeviceBack(); });
}

void V4l2Camera::Detach() {
  if (!present_.exchange(false)) return;
  StopButtonWatch();
  NotifyListeners([](CaptureDeviceListener* l) { l->DeviceLost(); });
}

std::vector<CaptureFormat> V4l2Camera::Formats() const {
  {
    std::lock_guard lock(lock_);
    if (formatsRead_) return formats_;
  }
  NodeHandle node(*env_.io, OpenNode());
  if (node.get() < 0) return {};
  V4l2Io& io = *env_.io;
  std::vector<CaptureFormat> formats;
  for (uint32_t f = 0; f < kEnumLimit; ++f) {
    v4l2_fmtdesc desc{};
    desc.index = f;
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io.Ioctl(node.get(), VIDIOC_ENUM_FMT, &desc) != 0) break;
    const GUID subtype = SubtypeOf(desc.pixelformat);
    if (subtype == GUID_NULL) continue;
    std::vector<std::pair<int, int>> sizes;
    for (uint32_t s = 0; s < kEnumLimit; ++s) {
      v4l2_frmsizeenum size{};
      size.index = s;
      size.pixel_format = desc.pixelformat;
      if (io.Ioctl(node.get(), VIDIOC_ENUM_FRAMESIZES, &size) != 0) break;
      if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        sizes.emplace_back(int(size.discrete.width), int(size.discrete.height));
      } else {
        sizes = ExpandStepwise(size.stepwise);
        break;
      }
    }
    for (auto [w, h] : sizes)
      formats.push_back(CaptureFormat{subtype, w, h, FirstInterval(io, node.get(), desc.pixelformat, w, h)});
  }
  std::lock_guard lock(lock_);
  formats_ = formats;
  formatsRead_ = true;
  return formats;
}

bool V4l2Camera::HasStillPin() const {
  std::lock_guard lock(lock_);
  return !identity_.inputEventNode.empty();
}

HRESULT V4l2Camera::GetControl(ControlKind kind, long property, ControlState* state) {
  if (!state) return E_POINTER;
  const ControlMapping* m = FindControl(kind, property);
  if (!m) return E_PROP_ID_UNSUPPORTED_VALUE;
  NodeHandle node(*env_.io, OpenNode());
  if (node.get() < 0) return HRESULT_DEVICE_NOT_CONNECTED;
  V4l2Io& io = *env_.io;
  v4l2_queryctrl q{};
  q.id = m->cid;
  if (io.Ioctl(node.get(), VIDIOC_QUERYCTRL, &q) != 0 || (q.flags & V4L2_CTRL_FLAG_DISABLED))
    return E_PROP_ID_UNSUPPORTED_VALUE;
  v4l2_control value{};
  value.id = m->cid;
  if (io.Ioctl(node.get(), VIDIOC_G_CTRL, &value) != 0) return E_FAIL;
  ControlState s{property, q.minimum, q.maximum, std::max(q.step, 1), q.default_value, 0, value.value, 0};
  bool autoOn = false, hasAuto = false;
  if (m->autoCid) {
    v4l2_control a{};
    a.id = m->autoCid;
    if (io.Ioctl(node.get(), VIDIOC_G_CTRL, &a) == 0) {
      hasAuto = true;
      autoOn = m->autoCid == V4L2_CID_EXPOSURE_AUTO ? a.value != V4L2_EXPOSURE_MANUAL : a.value != 0;
    }
  }
  if (IsExposure(*m)) {
    s.min = ExposureFromV4l2(q.minimum);
    s.max = ExposureFromV4l2(q.maximum);
    if (ExposureToV4l2(s.min) < q.minimum) ++s.min;
    if (ExposureToV4l2(s.max) > q.maximum) --s.max;
    s.step = 1;
    s.dflt = std::clamp(ExposureFromV4l2(q.default_value), s.min, s.max);
    s.value = ExposureFromV4l2(value.value);
  }
  s.caps = VideoProcAmp_Flags_Manual | (hasAuto ? VideoProcAmp_Flags_Auto : 0);
  s.flags = autoOn ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
  *state = s;
  return S_OK;
}

HRESULT V4l2Camera::SetControl(ControlKind kind, long property, long value, long flags) {
  const ControlMapping* m = FindControl(kind, property);
  if (!m) return E_PROP_ID_UNSUPPORTED_VALUE;
  ControlState current{};
  HRESULT hr = GetControl(kind, property, &current);
  if (FAILED(hr)) return hr;
  const bool wantAuto = (flags & VideoProcAmp_Flags_Auto) != 0;
  if (wantAuto && !(current.caps & VideoProcAmp_Flags_Auto)) return E_INVALIDARG;
  if (!wantAuto && (value < current.min || value > current.max)) return E_INVALIDARG;
  NodeHandle node(*env_.io, OpenNode());
  if (node.get() < 0) return HRESULT_DEVICE_NOT_CONNECTED;
  V4l2Io& io = *env_.io;
  auto set = [&](uint32_t id, long v) {
    v4l2_control c{};
    c.id = id;
    c.value = int32_t(v);
    return io.Ioctl(node.get(), VIDIOC_S_CTRL, &c) == 0;
  };
  if (m->autoCid && (current.caps & VideoProcAmp_Flags_Auto)) {
    bool ok;
    if (m->autoCid == V4L2_CID_EXPOSURE_AUTO)
      ok = wantAuto ? (set(m->autoCid, V4L2_EXPOSURE_APERTURE_PRIORITY) || set(m->autoCid, V4L2_EXPOSURE_AUTO))
                    : set(m->autoCid, V4L2_EXPOSURE_MANUAL);
    else
      ok = set(m->autoCid, wantAuto ? 1 : 0);
    if (!ok) return E_FAIL;
  }
  if (wantAuto) return S_OK;
  return set(m->cid, IsExposure(*m) ? ExposureToV4l2(value) : value) ? S_OK : E_FAIL;
}

// Memory-mapped streaming of one format; frames are handed out raw.
class V4l2Camera::Stream : public CaptureStream {
 public:
  Stream(V4l2Camera& camera, int fd) : camera_(camera), io_(*camera.env_.io), fd_(fd) {
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  }

  ~Stream() override {
    if (streaming_) {
      int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      io_.Ioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
    for (auto& b : buffers_) io_.Munmap(b.first, b.second);
    if (!buffers_.empty()) {
      v4l2_requestbuffers none{};
      none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      none.memory = V4L2_MEMORY_MMAP;
      io_.Ioctl(fd_, VIDIOC_REQBUFS, &none);
    }
    io_.Close(fd_);
    if (wake_ >= 0) ::close(wake_);
  }

  HRESULT Start(const CaptureFormat& format) {
    if (wake_ < 0) return E_FAIL;
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.width = uint32_t(format.width);
    f.fmt.pix.height = uint32_t(format.height);
    f.fmt.pix.pixelformat = PixelFormatOf(format.subtype);
    f.fmt.pix.field = V4L2_FIELD_NONE;
    if (f.fmt.pix.pixelformat == 0 || io_.Ioctl(fd_, VIDIOC_S_FMT, &f) != 0) return VFW_E_INVALIDMEDIATYPE;
    // The driver may settle on another size or format; the graph was built for this one.
    if (f.fmt.pix.width != uint32_t(format.width) || f.fmt.pix.height != uint32_t(format.height) ||
        f.fmt.pix.pixelformat != PixelFormatOf(format.subtype))
      return VFW_E_INVALIDMEDIATYPE;
    pixelFormat_ = f.fmt.pix.pixelformat;
    frameBytes_ = size_t(format.width) * size_t(format.height) * 2;
    if (format.frameInterval > 0) {
      v4l2_streamparm p{};
      p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      p.parm.capture.timeperframe = {uint32_t(format.frameInterval), 10000000u};
      io_.Ioctl(fd_, VIDIOC_S_PARM, &p);  // a camera with a fixed rate refuses; that is fine
    }
    v4l2_requestbuffers req{};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (io_.Ioctl(fd_, VIDIOC_REQBUFS, &req) != 0 || req.count < 2) return E_FAIL;
    for (uint32_t i = 0; i < req.count && i < 32; ++i) {
      v4l2_buffer b{};
      b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      b.memory = V4L2_MEMORY_MMAP;
      b.index = i;
      if (io_.Ioctl(fd_, VIDIOC_QUERYBUF, &b) != 0 || b.length == 0) return E_FAIL;
      void* p = io_.Mmap(b.length, fd_, off_t(b.m.offset));
      if (!p) return E_OUTOFMEMORY;
      buffers_.emplace_back(p, b.length);
      if (io_.Ioctl(fd_, VIDIOC_QBUF, &b) != 0) return E_FAIL;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io_.Ioctl(fd_, VIDIOC_STREAMON, &type) != 0) return E_FAIL;
    streaming_ = true;
    return S_OK;
  }

  HRESULT ReadFrame(BYTE* buffer, long capacity, long* length, DWORD timeoutMs) override {
    if (!buffer || !length) return E_POINTER;
    if (!camera_.present_) return HRESULT_DEVICE_NOT_CONNECTED;
    const int ready = io_.WaitReadable(fd_, wake_, int(std::min<DWORD>(timeoutMs, 60000)));
    if (ready < 0) return Failure(errno);
    if (ready == 0) {
      uint64_t drained;
      while (::read(wake_, &drained, sizeof drained) > 0) {
      }
      return camera_.present_ ? S_FALSE : HRESULT_DEVICE_NOT_CONNECTED;
    }
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    if (io_.Ioctl(fd_, VIDIOC_DQBUF, &b) != 0) return errno == EAGAIN ? S_FALSE : Failure(errno);
    if (b.index >= buffers_.size()) return kTransferFailed;
    const size_t used = std::min<size_t>(b.bytesused, buffers_[b.index].second);
    HRESULT hr = S_OK;
    if ((b.flags & V4L2_BUF_FLAG_ERROR) || used == 0 || (pixelFormat_ == V4L2_PIX_FMT_YUYV && used < frameBytes_)) {
      hr = S_FALSE;  // a damaged or short frame is dropped
    } else if (used > size_t(capacity)) {
      hr = VFW_E_BUFFER_OVERFLOW;
    } else {
      const size_t n = pixelFormat_ == V4L2_PIX_FMT_YUYV ? frameBytes_ : used;
      std::memcpy(buffer, buffers_[b.index].first, n);
      *length = long(n);
    }
    if (io_.Ioctl(fd_, VIDIOC_QBUF, &b) != 0 && hr == S_OK) hr = Failure(errno);
    return hr;
  }

  void Interrupt() override {
    const uint64_t one = 1;
    if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
    }
  }

 private:
  // A node that is gone means the camera was unplugged: that is reported as
  // the camera's loss before the stream ends.
  HRESULT Failure(int error) const {
    if (error != ENODEV) return kTransferFailed;
    camera_.Detach();
    return HRESULT_DEVICE_NOT_CONNECTED;
  }

  V4l2Camera& camera_;
  V4l2Io& io_;
  int fd_;
  int wake_ = -1;
  bool streaming_ = false;
  uint32_t pixelFormat_ = 0;
  size_t frameBytes_ = 0;
  std::vector<std::pair<void*, size_t>> buffers_;
};

std::unique_ptr<CaptureStream> V4l2Camera::OpenStream(const CaptureFormat& format, HRESULT* result) {
  HRESULT dummy;
  HRESULT& hr = result ? *result : dummy;
  const int fd = OpenNode();
  if (fd < 0) {
    hr = HRESULT_DEVICE_NOT_CONNECTED;
    return nullptr;
  }
  auto stream = std::make_unique<Stream>(*this, fd);
  hr = stream->Start(format);
  if (FAILED(hr)) return nullptr;
  return stream;
}

void V4l2Camera::StartButtonWatch() {
  std::lock_guard watch(buttonLock_);
  std::string node;
  {
    std::lock_guard lock(lock_);
    node = identity_.inputEventNode;
  }
  if (node.empty() || buttonThread_.joinable()) return;
  buttonWake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (buttonWake_ < 0) return;
  buttonThread_ = std::thread([this, node] { WatchButton(node); });
}

void V4l2Camera::StopButtonWatch() {
  std::lock_guard watch(buttonLock_);
  if (!buttonThread_.joinable()) return;
  const uint64_t one = 1;
  if (::write(buttonWake_, &one, sizeof one) < 0) {
  }
  buttonThread_.join();
  ::close(buttonWake_);
  buttonWake_ = -1;
}

// Reads key events of the camera's input device until woken; a press of
// KEY_CAMERA is the snapshot button.
void V4l2Camera::WatchButton(std::string node) {
  V4l2Io& io = *env_.io;
  const int fd = io.Open(node, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return;
  NodeHandle handle(io, fd);
  for (;;) {
    const int ready = io.WaitReadable(fd, buttonWake_, -1);
    if (ready <= 0) return;  // woken, or the device went away
    input_event events[16];
    const ssize_t n = io.Read(fd, events, sizeof events);
    if (n < 0 && errno == EAGAIN) continue;
    if (n <= 0) return;
    for (size_t i = 0; i < size_t(n) / sizeof(input_event); ++i)
      if (events[i].type == EV_KEY && events[i].code == KEY_CAMERA && events[i].value == 1)
        NotifyListeners([](CaptureDeviceListener* l) { l->StillButtonPressed(); });
  }
}

}  // namespace vq::dshow
