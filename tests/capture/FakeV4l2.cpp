#include "tests/capture/FakeV4l2.h"

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dshow/FrameConversion.h"
#include "platform/dshow/VirtualFrameSource.h"

namespace fs = std::filesystem;

namespace vqtest {

namespace {

constexpr off_t kOffsetStep = 1 << 24;

void WriteText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

}  // namespace

struct FakeV4l2::Handle {
  std::string name;
  bool button = false;
  int fd = -1;
  uint32_t pixelFormat = 0, width = 0, height = 0;
  std::vector<std::vector<uint8_t>> buffers;
  std::deque<uint32_t> queued;
  bool streaming = false;
};

v4l2_frmsizeenum DiscreteSize(uint32_t width, uint32_t height) {
  v4l2_frmsizeenum s{};
  s.type = V4L2_FRMSIZE_TYPE_DISCRETE;
  s.discrete = {width, height};
  return s;
}

v4l2_frmsizeenum StepwiseSize(uint32_t minW, uint32_t maxW, uint32_t stepW, uint32_t minH, uint32_t maxH,
                              uint32_t stepH) {
  v4l2_frmsizeenum s{};
  s.type = V4L2_FRMSIZE_TYPE_STEPWISE;
  s.stepwise = {minW, maxW, stepW, minH, maxH, stepH};
  return s;
}

FakeV4l2Control MakeControl(uint32_t id, int32_t min, int32_t max, int32_t step, int32_t dflt, int32_t value) {
  FakeV4l2Control c{};
  c.query.id = id;
  c.query.minimum = min;
  c.query.maximum = max;
  c.query.step = step;
  c.query.default_value = dflt;
  c.value = value;
  return c;
}

cv::Mat FakeV4l2::Picture(int width, int height) { return vq::dshow::RenderDeskWithSheet(cv::Size(width, height)); }

FakeV4l2::FakeV4l2(std::string root) : root_(std::move(root)) { fs::create_directories(root_ + "/dev/input"); }

FakeV4l2::~FakeV4l2() {
  for (auto& [fd, h] : handles_) ::close(fd);
  for (auto& [name, p] : buttons_) {
    ::close(p[0]);
    ::close(p[1]);
  }
}

vq::dshow::V4l2Environment FakeV4l2::Environment() {
  vq::dshow::V4l2Environment e;
  e.devRoot = root_ + "/dev";
  e.sysRoot = root_ + "/sys";
  return e;  // the caller sets io to the shared pointer it holds
}

void FakeV4l2::Add(const std::string& name, FakeV4l2Node node) {
  const fs::path usb = fs::path(root_) / "sys/devices/pci0000:00/0000:00:14.0" / node.usbPort;
  WriteText(usb / "idVendor", node.vendorId);
  WriteText(usb / "idProduct", node.productId);
  char iface[16];
  std::snprintf(iface, sizeof iface, ":1.%d", node.interfaceNumber);
  const fs::path interfaceDir = usb / (usb.filename().string() + iface);
  char number[8];
  std::snprintf(number, sizeof number, "%02x", node.interfaceNumber);
  WriteText(interfaceDir / "bInterfaceNumber", number);
  if (!node.inputEvent.empty()) {
    fs::create_directories(interfaceDir / "input/input9" / node.inputEvent);
    std::array<int, 2> p{};
    if (::pipe2(p.data(), O_NONBLOCK | O_CLOEXEC) == 0) {
      std::lock_guard lock(lock_);
      buttons_[node.inputEvent] = p;
    }
    WriteText(fs::path(root_) / "dev/input" / node.inputEvent, "");
  }
  const fs::path classDir = fs::path(root_) / "sys/class/video4linux" / name;
  fs::create_directories(classDir);
  fs::create_symlink(interfaceDir, classDir / "device");
  {
    std::lock_guard lock(lock_);
    nodes_[name] = std::move(node);
    present_[name] = true;
  }
  WriteText(fs::path(root_) / "dev" / name, "");
}

void FakeV4l2::Unplug(const std::string& name) {
  {
    std::lock_guard lock(lock_);
    present_[name] = false;
  }
  fs::remove(fs::path(root_) / "dev" / name);
}

void FakeV4l2::Replug(const std::string& name) {
  {
    std::lock_guard lock(lock_);
    present_[name] = true;
  }
  WriteText(fs::path(root_) / "dev" / name, "");
}

void FakeV4l2::PressButton(const std::string& inputEvent) {
  std::lock_guard lock(lock_);
  auto it = buttons_.find(inputEvent);
  if (it == buttons_.end()) return;
  input_event events[3]{};
  events[0].type = EV_KEY;
  events[0].code = KEY_CAMERA;
  events[0].value = 1;
  events[1].type = EV_SYN;
  events[2].type = EV_KEY;
  events[2].code = KEY_CAMERA;
  events[2].value = 0;
  if (::write(it->second[1], events, sizeof events) < 0) {
  }
}

int32_t FakeV4l2::ControlValue(const std::string& name, uint32_t id) {
  std::lock_guard lock(lock_);
  return nodes_.at(name).controls.at(id).value;
}

int FakeV4l2::Open(const std::string& path, int) {
  const std::string prefix = root_ + "/dev/";
  if (path.rfind(prefix, 0) != 0) return errno = ENOENT, -1;
  const std::string name = path.substr(prefix.size());
  std::lock_guard lock(lock_);
  auto h = std::make_unique<Handle>();
  h->name = name;
  if (name.rfind("input/", 0) == 0) {
    auto it = buttons_.find(name.substr(6));
    if (it == buttons_.end()) return errno = ENOENT, -1;
    h->button = true;
    h->fd = ::fcntl(it->second[0], F_DUPFD_CLOEXEC, 0);
  } else {
    if (!nodes_.count(name) || !present_[name]) return errno = ENOENT, -1;
    h->fd = ::eventfd(0, EFD_CLOEXEC);
  }
  if (h->fd < 0) return -1;
  const int fd = h->fd;
  handles_[fd] = std::move(h);
  return fd;
}

int FakeV4l2::Close(int fd) {
  std::lock_guard lock(lock_);
  if (!handles_.erase(fd)) return errno = EBADF, -1;
  return ::close(fd);
}

int FakeV4l2::Ioctl(int fd, unsigned long request, void* arg) {
  std::lock_guard lock(lock_);
  auto it = handles_.find(fd);
  if (it == handles_.end() || it->second->button) return errno = ENOTTY, -1;
  Handle& h = *it->second;
  if (!present_[h.name]) return errno = ENODEV, -1;
  return IoctlLocked(h, nodes_.at(h.name), request, arg);
}

int FakeV4l2::IoctlLocked(Handle& h, FakeV4l2Node& node, unsigned long request, void* arg) {
  auto findFormat = [&](uint32_t pixelFormat) -> const FakeV4l2Format* {
    for (const auto& f : node.formats)
      if (f.pixelFormat == pixelFormat) return &f;
    return nullptr;
  };
  switch (request) {
    case VIDIOC_QUERYCAP: {
      auto* cap = static_cast<v4l2_capability*>(arg);
      *cap = {};
      // A long name fills the field without a terminator, as drivers may.
      std::memcpy(cap->card, node.card.data(), std::min(node.card.size(), sizeof cap->card));
      cap->device_caps = node.deviceCaps;
      cap->capabilities = node.deviceCaps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_META_CAPTURE;
      return 0;
    }
    case VIDIOC_ENUM_FMT: {
      auto* d = static_cast<v4l2_fmtdesc*>(arg);
      if (d->index >= node.formats.size()) return errno = EINVAL, -1;
      d->pixelformat = node.formats[d->index].pixelFormat;
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      auto* s = static_cast<v4l2_frmsizeenum*>(arg);
      const FakeV4l2Format* f = findFormat(s->pixel_format);
      if (!f || s->index >= f->sizes.size()) return errno = EINVAL, -1;
      const uint32_t index = s->index;
      *s = f->sizes[index];
      s->index = index;
      s->pixel_format = f->pixelFormat;
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      auto* iv = static_cast<v4l2_frmivalenum*>(arg);
      const FakeV4l2Format* f = findFormat(iv->pixel_format);
      if (!f || iv->index > 0) return errno = EINVAL, -1;
      iv->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      iv->discrete = f->interval;
      return 0;
    }
    case VIDIOC_QUERYCTRL: {
      auto* q = static_cast<v4l2_queryctrl*>(arg);
      auto c = node.controls.find(q->id);
      if (c == node.controls.end()) return errno = EINVAL, -1;
      *q = c->second.query;
      return 0;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
      auto* v = static_cast<v4l2_control*>(arg);
      auto c = node.controls.find(v->id);
      if (c == node.controls.end()) return errno = EINVAL, -1;
      if (request == VIDIOC_G_CTRL) {
        v->value = c->second.value;
      } else {
        const auto& q = c->second.query;
        if (v->value < q.minimum || v->value > q.maximum) return errno = ERANGE, -1;
        c->second.value = v->value;
      }
      return 0;
    }
    case VIDIOC_S_FMT: {
      auto* f = static_cast<v4l2_format*>(arg);
      const FakeV4l2Format* format = findFormat(f->fmt.pix.pixelformat);
      if (!format || h.streaming) return errno = EBUSY, -1;
      h.pixelFormat = f->fmt.pix.pixelformat;
      h.width = f->fmt.pix.width;
      h.height = f->fmt.pix.height;
      f->fmt.pix.sizeimage = h.width * h.height * 2;
      return 0;
    }
    case VIDIOC_S_PARM:
      return 0;
    case VIDIOC_REQBUFS: {
      auto* r = static_cast<v4l2_requestbuffers*>(arg);
      h.queued.clear();
      h.buffers.assign(r->count, std::vector<uint8_t>(size_t(h.width) * h.height * 2));
      return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (b->index >= h.buffers.size()) return errno = EINVAL, -1;
      b->length = uint32_t(h.buffers[b->index].size());
      b->m.offset = b->index * kOffsetStep;
      if (request == VIDIOC_QBUF) h.queued.push_back(b->index);
      return 0;
    }
    case VIDIOC_DQBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (!h.streaming || h.queued.empty()) return errno = EAGAIN, -1;
      b->index = h.queued.front();
      h.queued.pop_front();
      const cv::Mat picture = Picture(int(h.width), int(h.height));
      const std::vector<BYTE> payload = h.pixelFormat == V4L2_PIX_FMT_YUYV ? vq::dshow::BgrToYuy2(picture)
                                                                           : vq::dshow::BgrToMjpg(picture, 90);
      auto& buffer = h.buffers[b->index];
      const size_t n = std::min(payload.size(), buffer.size());
      std::memcpy(buffer.data(), payload.data(), n);
      b->bytesused = uint32_t(n);
      b->length = uint32_t(buffer.size());
      b->flags = 0;
      return 0;
    }
    case VIDIOC_STREAMON:
      h.streaming = true;
      return 0;
    case VIDIOC_STREAMOFF:
      h.streaming = false;
      return 0;
    default:
      return errno = ENOTTY, -1;
  }
}

void* FakeV4l2::Mmap(size_t length, int fd, off_t offset) {
  std::lock_guard lock(lock_);
  auto it = handles_.find(fd);
  if (it == handles_.end()) return nullptr;
  const size_t index = size_t(offset / kOffsetStep);
  if (index >= it->second->buffers.size() || it->second->buffers[index].size() < length) return nullptr;
  return it->second->buffers[index].data();
}

int FakeV4l2::Munmap(void*, size_t) { return 0; }

ssize_t FakeV4l2::Read(int fd, void* buffer, size_t size) { return ::read(fd, buffer, size); }

int FakeV4l2::WaitReadable(int fd, int wakeFd, int timeoutMs) {
  bool button;
  {
    std::lock_guard lock(lock_);
    auto it = handles_.find(fd);
    if (it == handles_.end()) return errno = EBADF, -1;
    button = it->second->button;
  }
  if (button) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) < 0) return -1;
    return (fds[0].revents & POLLIN) ? 1 : 0;
  }
  // Frames come at most every 10 ms while buffers are queued.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd wake{wakeFd, POLLIN, 0};
    if (::poll(&wake, 1, 10) > 0) return 0;
    {
      std::lock_guard lock(lock_);
      Handle& h = *handles_.at(fd);
      if (!present_[h.name]) return errno = ENODEV, -1;
      if (h.streaming && !h.queued.empty()) return 1;
    }
    if (std::chrono::steady_clock::now() >= end) return 0;
  }
}

}  // namespace vqtest
