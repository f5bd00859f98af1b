#pragma once
// What the property frame shows of a camera: one page per known page id,
// with the controls the camera reports (range, step, default, automatic
// mode) or the formats of its capture pin, and what each held when the
// frame opened, so that Cancel can put it back.
#include <functional>
#include <string>
#include <vector>

#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"

namespace vq::dshow {

// IAMVideoProcAmp and IAMCameraControl have the same members.
struct ControlAccess {
  std::function<HRESULT(long property, long* min, long* max, long* step, long* dflt, long* caps)> range;
  std::function<HRESULT(long property, long* value, long* flags)> get;
  std::function<HRESULT(long property, long value, long flags)> set;
};

struct ControlRow {
  long property = 0;
  std::wstring name;
  long min = 0, max = 0, step = 1, dflt = 0, caps = 0;
  long value = 0, flags = 0;  // when the frame opened
  bool CanBeAutomatic() const { return (caps & 1) != 0; }
  // The nearest value on the control's steps, within its range.
  long Snap(long position) const;
};

struct PropertyPage {
  enum class Kind { VideoProcAmp, CameraControl, StreamFormat };
  Kind kind = Kind::VideoProcAmp;
  std::wstring title;
  // Control pages.
  ControlAccess controls;
  std::vector<ControlRow> rows;
  // The stream format page.
  ComPtr<IAMStreamConfig> config;
  std::vector<CMediaType> formats;
  int initialFormat = -1;  // index into formats, -1 when the current one is not listed
  int currentFormat = -1;

  // Sets a control by hand, or hands it to the camera (automatic).
  HRESULT SetControl(const ControlRow& row, long value, bool automatic) const;
  // The control's value and flags now.
  HRESULT ReadControl(const ControlRow& row, long* value, long* flags) const;
  HRESULT SelectFormat(int index);
  // Puts back what every control or the format held when the frame opened.
  void Restore();
};

// The pages for a list of page ids over the objects: ids the layer does
// not know, and pages with nothing to show, are left out. Names and titles
// are in the user's language.
std::vector<PropertyPage> BuildPropertyPages(IUnknown* const* objects, ULONG objectCount, const GUID* pages,
                                             ULONG pageCount);

// "YUY2 640 x 480"
std::wstring FormatName(const AM_MEDIA_TYPE& type);

}  // namespace vq::dshow
