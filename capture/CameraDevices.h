#pragma once
// Device code shared by the USB camera source and the format probe: the
// enumeration of video-input devices, USB identity matching on device paths,
// the graph interfaces a source holds, and the capability queries on a
// bound camera.
#include <functional>
#include <string>
#include <vector>

#include "platform/dshow/Interfaces.h"

namespace vqcapture {

// Lower-case narrow text (system code page) of at most 255 bytes; false
// when the text is null or does not fit.
bool NarrowLower(const wchar_t* text, std::string* out);

// True when a device path carries vid and pid (4 characters each, after
// "vid" + 4 and "pid" + 4) and, when extraId is given, extraId from
// character 34 on. Never reads past the path.
bool PathMatches(const wchar_t* path, const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId);

// Calls visit with each video-input device's moniker and property bag (in
// order; devices whose bag cannot be read are skipped) until it returns
// false. False when the devices cannot be enumerated.
bool ForEachVideoDevice(const std::function<bool(IMoniker*, IPropertyBag*)>& visit);

// A string property of a bag; false when it cannot be read.
bool ReadBagString(IPropertyBag* bag, const wchar_t* name, std::wstring* out);

// Binds the index-th device whose path matches (extraId may be null).
ComPtr<IBaseFilter> BindDeviceById(const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId, int index);
// Binds the first device whose friendly name equals name exactly.
ComPtr<IBaseFilter> BindDeviceByName(const wchar_t* name);

// The graph interfaces of a source: a filter graph, a capture graph builder
// given that graph, and the graph's control, video window and event
// interfaces.
struct GraphInterfaces {
  ComPtr<IGraphBuilder> graph;
  ComPtr<ICaptureGraphBuilder2> builder;
  ComPtr<IMediaControl> control;
  ComPtr<IVideoWindow> window;
  ComPtr<IMediaEventEx> events;

  HRESULT Create();
  // Stops the graph, hides and detaches the video window, releases everything.
  void Release();
  bool Exist() const { return graph || builder || control || window || events; }
};

// Makes an empty graph and binds the index-th camera matching the ids into
// it, for the device-format queries: 0, -2 when the graph cannot be made,
// -3 when no camera matches.
int CreateQueryGraph(GraphInterfaces& graph, ComPtr<IBaseFilter>& camera, const wchar_t* vid, const wchar_t* pid,
                     int index);

// Capability queries on the capture pin of a bound camera, with the codes
// of the device-format operations.
// The number of YUY2 capabilities; -6 when one cannot be read.
int CountYuy2Formats(ICaptureGraphBuilder2* builder, IBaseFilter* camera);
// 0 and the i-th YUY2 size; -4 no capabilities, -5 i beyond them, -6 unreadable or no such size.
int Yuy2FormatSize(ICaptureGraphBuilder2* builder, IBaseFilter* camera, int i, int* width, int* height);
// 0 (YUY2) and then 1 (MJPG) when any capability has them; false when one cannot be read.
bool FormatSubtypes(ICaptureGraphBuilder2* builder, IBaseFilter* camera, std::vector<int>& out);

}  // namespace vqcapture
