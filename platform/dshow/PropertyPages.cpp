#include "platform/dshow/PropertyPages.h"

#include <algorithm>

#include "platform/win/UserLanguage.h"

namespace vq::dshow {
namespace {

using vqplatform::InUserLanguage;

struct ControlName {
  long property;
  const wchar_t* simplified;
  const wchar_t* traditional;
  const wchar_t* english;
};

const ControlName kProcAmpNames[] = {
    {VideoProcAmp_Brightness, L"亮度", L"亮度", L"Brightness"},
    {VideoProcAmp_Contrast, L"对比度", L"對比", L"Contrast"},
    {VideoProcAmp_Hue, L"色调", L"色調", L"Hue"},
    {VideoProcAmp_Saturation, L"饱和度", L"飽和度", L"Saturation"},
    {VideoProcAmp_Sharpness, L"清晰度", L"銳利度", L"Sharpness"},
    {VideoProcAmp_Gamma, L"伽玛", L"Gamma", L"Gamma"},
    {VideoProcAmp_ColorEnable, L"启用颜色", L"色彩啟用", L"Colour enable"},
    {VideoProcAmp_WhiteBalance, L"白平衡", L"白平衡", L"White balance"},
    {VideoProcAmp_BacklightCompensation, L"逆光对比", L"背光補償", L"Backlight comp."},
    {VideoProcAmp_Gain, L"增益", L"增益", L"Gain"},
};

const ControlName kCameraControlNames[] = {
    {CameraControl_Pan, L"全景", L"平移", L"Pan"},         {CameraControl_Tilt, L"倾斜", L"傾斜", L"Tilt"},
    {CameraControl_Roll, L"滚动", L"滾動", L"Roll"},       {CameraControl_Zoom, L"缩放", L"縮放", L"Zoom"},
    {CameraControl_Exposure, L"曝光", L"曝光", L"Exposure"}, {CameraControl_Iris, L"光圈", L"光圈", L"Iris"},
    {CameraControl_Focus, L"焦点", L"焦點", L"Focus"},
};

template <class Itf>
ControlAccess AccessOf(ComPtr<Itf> itf) {
  return ControlAccess{
      [itf](long p, long* min, long* max, long* step, long* dflt, long* caps) {
        return itf->GetRange(p, min, max, step, dflt, caps);
      },
      [itf](long p, long* value, long* flags) { return itf->Get(p, value, flags); },
      [itf](long p, long value, long flags) { return itf->Set(p, value, flags); }};
}

template <class Itf>
ComPtr<Itf> FindInterface(IUnknown* const* objects, ULONG count, REFIID iid) {
  for (ULONG i = 0; i < count; ++i) {
    ComPtr<Itf> found;
    if (objects[i] && SUCCEEDED(objects[i]->QueryInterface(iid, found.PutVoid()))) return found;
  }
  return {};
}

// The controls of a table the camera reports, with what they hold now.
template <size_t N>
bool AddControlRows(PropertyPage* page, const ControlName (&names)[N]);

// A control page over the first object with the interface; false when
// there is none or it reports none of the table's controls.
template <class Itf, size_t N>
bool MakeControlPage(PropertyPage* page, IUnknown* const* objects, ULONG count, REFIID iid,
                     const ControlName (&names)[N]) {
  auto itf = FindInterface<Itf>(objects, count, iid);
  if (!itf) return false;
  page->controls = AccessOf(itf);
  return AddControlRows(page, names);
}

template <size_t N>
bool AddControlRows(PropertyPage* page, const ControlName (&names)[N]) {
  for (const ControlName& n : names) {
    ControlRow row;
    row.property = n.property;
    row.name = InUserLanguage(n.simplified, n.traditional, n.english);
    if (FAILED(page->controls.range(n.property, &row.min, &row.max, &row.step, &row.dflt, &row.caps)) ||
        row.max < row.min || FAILED(page->controls.get(n.property, &row.value, &row.flags)))
      continue;
    row.step = std::max(row.step, 1L);
    page->rows.push_back(row);
  }
  return !page->rows.empty();
}

bool SameFormat(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  const VIDEOINFOHEADER* x = VideoInfo(a);
  const VIDEOINFOHEADER* y = VideoInfo(b);
  return x && y && a.subtype == b.subtype && x->bmiHeader.biWidth == y->bmiHeader.biWidth &&
         x->bmiHeader.biHeight == y->bmiHeader.biHeight;
}

bool AddFormats(PropertyPage* page) {
  int count = 0, size = 0;
  if (FAILED(page->config->GetNumberOfCapabilities(&count, &size)) || size > int(sizeof(VIDEO_STREAM_CONFIG_CAPS)))
    return false;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (page->config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type) continue;
    if (VideoInfo(*type)) page->formats.emplace_back(*type);
    DeleteMediaType(type);
  }
  AM_MEDIA_TYPE* current = nullptr;
  if (SUCCEEDED(page->config->GetFormat(&current)) && current) {
    for (size_t i = 0; i < page->formats.size(); ++i)
      if (SameFormat(page->formats[i], *current)) page->initialFormat = int(i);
    DeleteMediaType(current);
  }
  page->currentFormat = page->initialFormat;
  return !page->formats.empty();
}

}  // namespace

long ControlRow::Snap(long position) const {
  long steps = (position - min + step / 2) / step;
  return std::clamp(min + steps * step, min, max);
}

HRESULT PropertyPage::SetControl(const ControlRow& row, long value, bool automatic) const {
  // Both kinds share the flag values: 1 automatic, 2 by hand.
  return controls.set(row.property, value, automatic ? 1 : 2);
}

HRESULT PropertyPage::ReadControl(const ControlRow& row, long* value, long* flags) const {
  return controls.get(row.property, value, flags);
}

HRESULT PropertyPage::SelectFormat(int index) {
  if (!config || index < 0 || index >= int(formats.size())) return E_INVALIDARG;
  HRESULT hr = config->SetFormat(&formats[size_t(index)]);
  if (SUCCEEDED(hr)) currentFormat = index;
  return hr;
}

void PropertyPage::Restore() {
  if (kind == Kind::StreamFormat) {
    if (initialFormat >= 0 && currentFormat != initialFormat) SelectFormat(initialFormat);
    return;
  }
  for (const ControlRow& row : rows) {
    SetControl(row, row.value, false);
    if (row.flags & 1) SetControl(row, row.value, true);
  }
}

std::vector<PropertyPage> BuildPropertyPages(IUnknown* const* objects, ULONG objectCount, const GUID* ids,
                                             ULONG pageCount) {
  std::vector<PropertyPage> pages;
  if (!objects || !ids) return pages;
  for (ULONG i = 0; i < pageCount; ++i) {
    PropertyPage page;
    bool shown = false;
    if (ids[i] == CLSID_VideoProcAmpPropertyPage) {
      page.kind = PropertyPage::Kind::VideoProcAmp;
      page.title = InUserLanguage(L"视频处理放大器", L"視訊處理放大器", L"Video Proc Amp");
      shown = MakeControlPage<IAMVideoProcAmp>(&page, objects, objectCount, IID_IAMVideoProcAmp, kProcAmpNames);
    } else if (ids[i] == CLSID_CameraControlPropertyPage) {
      page.kind = PropertyPage::Kind::CameraControl;
      page.title = InUserLanguage(L"相机控制", L"相機控制", L"Camera Control");
      shown = MakeControlPage<IAMCameraControl>(&page, objects, objectCount, IID_IAMCameraControl, kCameraControlNames);
    } else if (ids[i] == CLSID_VideoStreamConfigPropertyPage) {
      page.kind = PropertyPage::Kind::StreamFormat;
      page.title = InUserLanguage(L"视频流格式", L"串流格式", L"Stream Format");
      page.config = FindInterface<IAMStreamConfig>(objects, objectCount, IID_IAMStreamConfig);
      shown = page.config && AddFormats(&page);
    }
    if (shown) pages.push_back(std::move(page));
  }
  return pages;
}

std::wstring FormatName(const AM_MEDIA_TYPE& type) {
  const VIDEOINFOHEADER* info = VideoInfo(type);
  std::wstring name = type.subtype == MEDIASUBTYPE_MJPG ? L"MJPG" : type.subtype == MEDIASUBTYPE_YUY2 ? L"YUY2" : L"RGB";
  if (info)
    name += L" " + std::to_wstring(info->bmiHeader.biWidth) + L" x " + std::to_wstring(std::abs(info->bmiHeader.biHeight));
  return name;
}

}  // namespace vq::dshow
