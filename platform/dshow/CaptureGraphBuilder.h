#pragma once
// The capture graph builder: renders a camera's capture, preview or still
// stream through an optional filter into a sink (a tee stands in for a
// missing preview pin; each free input of the sink is tried in turn), puts
// the ASF writer for an output file into the graph, and finds pins and
// interfaces by pin category.
#include "platform/dshow/Interfaces.h"

class CCaptureGraphBuilder2 : public ICaptureGraphBuilder2 {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_COM_REFCOUNT

  HRESULT SetFiltergraph(IGraphBuilder* graph) override;
  HRESULT GetFiltergraph(IGraphBuilder** graph) override;
  HRESULT SetOutputFileName(const GUID* type, LPCOLESTR fileName, IBaseFilter** multiplexer,
                            IFileSinkFilter** sink) override;
  HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                       IBaseFilter* sink) override;
  HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                        void** out) override;
  HRESULT FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID* type, BOOL unconnected,
                  int index, IPin** pin) override;

 private:
  ~CCaptureGraphBuilder2() override;
  HRESULT SourcePin(const GUID* category, const GUID* type, IUnknown* source, IPin** pin);
  HRESULT PreviewThroughTee(IBaseFilter* source, const GUID* type, IPin** pin);

  vq::dshow::RefCount refs_;
  IGraphBuilder* graph_ = nullptr;  // referenced
};
