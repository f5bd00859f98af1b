#pragma once
// Interfaces of the DirectShow subset, with the members the system calls.
#include "platform/dshow/MediaType.h"

struct IBaseFilter;
struct IFilterGraph;
struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
using OAFilterState = long;
using OAHWND = LONG_PTR;
using OAEVENT = LONG_PTR;

constexpr int MAX_FILTER_NAME = 128;
constexpr int MAX_PIN_NAME = 128;

struct PIN_INFO {
  IBaseFilter* pFilter;  // holds a reference
  PIN_DIRECTION dir;
  wchar_t achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
  wchar_t achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;  // holds a reference
};

struct ALLOCATOR_PROPERTIES {
  long cBuffers;
  long cbBuffer;
  long cbAlign;
  long cbPrefix;
};

struct IMediaSample : IUnknown {
  virtual HRESULT GetPointer(BYTE** buffer) = 0;
  virtual long GetSize() = 0;
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
  virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL on) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL on) = 0;
  virtual long GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(long length) = 0;
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL on) = 0;
  virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
};

struct IMemAllocator : IUnknown {
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT Commit() = 0;
  virtual HRESULT Decommit() = 0;
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;
};

struct IPin : IUnknown {
  virtual HRESULT Connect(IPin* receiver, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
};

struct IEnumPins : IUnknown {
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
};

struct IEnumMediaTypes : IUnknown {
  virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
};

struct IMemInputPin : IUnknown {
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
  virtual HRESULT Receive(IMediaSample* sample) = 0;
};

// Pin categories are read through this property set (AMPROPSETID_Pin).
struct IKsPropertySet : IUnknown {
  virtual HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength,
                      DWORD* returned) = 0;
};

struct IMediaFilter : IUnknown {
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
};

struct IBaseFilter : IMediaFilter {
  virtual HRESULT EnumPins(IEnumPins** pins) = 0;
  virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
};

struct IFilterGraph : IUnknown {
  virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
  virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT Disconnect(IPin* pin) = 0;
};

struct IGraphBuilder : IFilterGraph {
  // Connects two pins, inserting a decoder or converter when needed.
  virtual HRESULT Connect(IPin* out, IPin* in) = 0;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG timeoutMs, OAFilterState* state) = 0;
};

struct IMediaEvent : IUnknown {
  virtual HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) = 0;
  virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;
};

struct IMediaEventEx : IMediaEvent {
  virtual HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) = 0;
};

struct IMediaEventSink : IUnknown {
  virtual HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) = 0;
};

// Graph events.
#define EC_COMPLETE 0x01
#define EC_ERRORABORT 0x03
#define EC_DEVICE_LOST 0x1F

struct IVideoWindow : IUnknown {
  virtual HRESULT put_Visible(long visible) = 0;
  virtual HRESULT put_Owner(OAHWND owner) = 0;
};

// A filter that writes a file.
struct IFileSinkFilter : IUnknown {
  virtual HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
  // The name is task memory the caller frees.
  virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;
};

struct ICaptureGraphBuilder2 : IUnknown {
  virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
  virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
  // Puts the multiplexer and file writer for a file type into the graph
  // (MEDIASUBTYPE_Asf: the ASF writer, which is both).
  virtual HRESULT SetOutputFileName(const GUID* type, LPCOLESTR fileName, IBaseFilter** multiplexer,
                                    IFileSinkFilter** sink) = 0;
  virtual HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                               IBaseFilter* sink) = 0;
  virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                                void** out) = 0;
  virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID* type,
                          BOOL unconnected, int index, IPin** pin) = 0;
};

struct IAMStreamConfig : IUnknown {
  virtual HRESULT SetFormat(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT GetFormat(AM_MEDIA_TYPE** type) = 0;
  virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
  virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) = 0;
};

enum VideoProcAmpProperty {
  VideoProcAmp_Brightness = 0,
  VideoProcAmp_Contrast = 1,
  VideoProcAmp_Hue = 2,
  VideoProcAmp_Saturation = 3,
  VideoProcAmp_Sharpness = 4,
  VideoProcAmp_Gamma = 5,
  VideoProcAmp_ColorEnable = 6,
  VideoProcAmp_WhiteBalance = 7,
  VideoProcAmp_BacklightCompensation = 8,
  VideoProcAmp_Gain = 9
};
enum VideoProcAmpFlags { VideoProcAmp_Flags_Auto = 1, VideoProcAmp_Flags_Manual = 2 };
enum CameraControlProperty {
  CameraControl_Pan = 0,
  CameraControl_Tilt = 1,
  CameraControl_Roll = 2,
  CameraControl_Zoom = 3,
  CameraControl_Exposure = 4,
  CameraControl_Iris = 5,
  CameraControl_Focus = 6
};
enum CameraControlFlags { CameraControl_Flags_Auto = 1, CameraControl_Flags_Manual = 2 };
enum VideoControlFlags {
  VideoControlFlag_FlipHorizontal = 1,
  VideoControlFlag_FlipVertical = 2,
  VideoControlFlag_ExternalTriggerEnable = 4,
  VideoControlFlag_Trigger = 8
};

struct IAMVideoProcAmp : IUnknown {
  virtual HRESULT GetRange(long property, long* min, long* max, long* step, long* dflt, long* caps) = 0;
  virtual HRESULT Set(long property, long value, long flags) = 0;
  virtual HRESULT Get(long property, long* value, long* flags) = 0;
};

struct IAMCameraControl : IUnknown {
  virtual HRESULT GetRange(long property, long* min, long* max, long* step, long* dflt, long* caps) = 0;
  virtual HRESULT Set(long property, long value, long flags) = 0;
  virtual HRESULT Get(long property, long* value, long* flags) = 0;
};

struct IAMVideoControl : IUnknown {
  virtual HRESULT GetCaps(IPin* pin, long* caps) = 0;
  virtual HRESULT SetMode(IPin* pin, long mode) = 0;
  virtual HRESULT GetMode(IPin* pin, long* mode) = 0;
};

struct IMoniker;
struct IEnumMoniker : IUnknown {
  virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
};

struct IMoniker : IUnknown {
  virtual HRESULT BindToObject(void* bindContext, IMoniker* left, REFIID iid, void** out) = 0;
  virtual HRESULT BindToStorage(void* bindContext, IMoniker* left, REFIID iid, void** out) = 0;
};

struct IPropertyBag : IUnknown {
  virtual HRESULT Read(LPCOLESTR name, VARIANT* value, void* errorLog) = 0;
};

struct ICreateDevEnum : IUnknown {
  // S_FALSE and no enumerator when the category is empty.
  virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD flags) = 0;
};

struct ISampleGrabberCB : IUnknown {
  virtual HRESULT SampleCB(double sampleTime, IMediaSample* sample) = 0;
  virtual HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) = 0;
};

struct ISampleGrabber : IUnknown {
  virtual HRESULT SetOneShot(BOOL oneShot) = 0;
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT SetBufferSamples(BOOL buffer) = 0;
  virtual HRESULT GetCurrentBuffer(long* size, long* buffer) = 0;
  virtual HRESULT GetCurrentSample(IMediaSample** sample) = 0;
  // which: 0 SampleCB, 1 BufferCB.
  virtual HRESULT SetCallback(ISampleGrabberCB* callback, long which) = 0;
};

struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};

struct ISpecifyPropertyPages : IUnknown {
  virtual HRESULT GetPages(CAUUID* pages) = 0;
};

// Shows the layer's property frame for the objects: a modal dialog with a
// tab per page the layer knows (video proc amp, camera control, stream
// format; other pages are left out) whose settings apply at once and are
// put back on Cancel. Headless it shows only while a test drives modal
// dialogs (SetModalIdleHandler). E_INVALIDARG when no page can be shown.
HRESULT OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const GUID* pages, DWORD locale,
                               DWORD reserved, void* reserved2);
