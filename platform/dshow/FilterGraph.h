#pragma once
// The filter graph: holds named filters, connects pins (inserting the video
// decoder where two pins do not agree), starts and stops the filters in
// order, and queues the events the filters raise.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/BaseFilter.h"

#define VFW_S_DUPLICATE_NAME ((HRESULT)0x0004022DL)
#define E_ABORT ((HRESULT)0x80004004L)

class CFilterGraph : public IGraphBuilder,
                     public IMediaControl,
                     public IMediaEventEx,
                     public IMediaEventSink,
                     public IVideoWindow {
 public:
  CFilterGraph() = default;
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_COM_REFCOUNT

  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
  HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect(IPin* pin) override;
  HRESULT Connect(IPin* out, IPin* in) override;

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG timeoutMs, OAFilterState* state) override;

  HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) override;
  HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) override;
  HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) override;
  HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) override;

  HRESULT put_Visible(long visible) override;
  HRESULT put_Owner(OAHWND owner) override;

  // Filters in the order they were added.
  std::vector<ComPtr<IBaseFilter>> Filters();

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::wstring name;
  };
  struct Event {
    long code;
    LONG_PTR param1, param2;
  };
  ~CFilterGraph() override;
  std::wstring UniqueName(const std::wstring& wanted);
  // Sources (filters without input pins) last, for starting and for stopping.
  std::vector<ComPtr<IBaseFilter>> InStartOrder();
  HRESULT StopFilters();

  vq::dshow::RefCount refs_;
  std::recursive_mutex lock_;
  std::vector<Entry> filters_;
  FILTER_STATE state_ = State_Stopped;
  std::mutex eventLock_;
  std::condition_variable eventReady_;
  std::deque<Event> events_;
  OAHWND notifyWindow_ = 0;
  long notifyMessage_ = 0;
  LONG_PTR notifyInstance_ = 0;
};

namespace vq::dshow {
// The layer's video decoder: YUY2 or MJPG in, bottom-up RGB24 out.
IBaseFilter* CreateVideoDecoder();
}  // namespace vq::dshow

namespace vq::dshow {

// Negotiates again every connection downstream of `outputs` after `change`
// alters what those pins offer: the connections are taken down, `change`
// runs, and they are made again in the same order. When `change` fails or
// a connection cannot be made again, `undo` runs, the old connections come
// back and the failure is returned. The graph must be stopped.
HRESULT RenegotiateDownstream(IFilterGraph* graph, const std::vector<IPin*>& outputs,
                              const std::function<HRESULT()>& change, const std::function<void()>& undo);

}  // namespace vq::dshow
