#include "capture/CameraFormatProbe.h"

namespace {
const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }
}  // namespace

CCameraFormatProbe::CCameraFormatProbe() { CoInitialize(nullptr); }

CCameraFormatProbe::~CCameraFormatProbe() {
  Close();
  CoUninitialize();
}

void CCameraFormatProbe::Close() {
  graph_.Release();
  camera_.Reset();
  vendorId_.Empty();
  productId_.Empty();
  deviceIndex_ = 0;
}

int CCameraFormatProbe::Bind(const wchar_t* vid, const wchar_t* pid, int index) {
  if (graph_.Exist() && (index != deviceIndex_ || vendorId_.Compare(OrEmpty(vid)) != 0 ||
                         productId_.Compare(OrEmpty(pid)) != 0))
    Close();
  if (graph_.Exist() && camera_) return 0;
  vendorId_ = OrEmpty(vid);
  productId_ = OrEmpty(pid);
  deviceIndex_ = index;
  const int code = vqcapture::CreateQueryGraph(graph_, camera_, vid, pid, index);
  if (code < 0) Close();
  return code;
}

int CCameraFormatProbe::GetFormatCount(const wchar_t* vid, const wchar_t* pid, int index) {
  const int code = Bind(vid, pid, index);
  if (code < 0) return code;
  return vqcapture::CountYuy2Formats(graph_.builder.Get(), camera_.Get());
}

int CCameraFormatProbe::GetFormatSize(int i, int* width, int* height) {
  if (!graph_.Exist() || !camera_) return -1;
  return vqcapture::Yuy2FormatSize(graph_.builder.Get(), camera_.Get(), i, width, height);
}
