// The source-stream base classes: a streaming thread per connected output
// pin from Run to Stop, the end of a stream and failures.
#include <chrono>
#include <thread>

#include "platform/dshow/StandardFilters.h"
#include "tests/platform/RecordingTestSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Waiting.h"

namespace {

using vqtest::ColourSource;

using vqtest::WaitFor;

struct SourceIntoNull {
  ComPtr<CFilterGraph> graph = ComPtr<CFilterGraph>::Adopt(new CFilterGraph());
  ComPtr<ColourSource> source = ComPtr<ColourSource>::Adopt(new ColourSource(16, 8, 1000));
  ComPtr<IBaseFilter> sink = ComPtr<IBaseFilter>::Adopt(new CNullRenderer());
  SourceIntoNull() {
    graph->AddFilter(source.Get(), L"Source");
    graph->AddFilter(sink.Get(), L"Sink");
    ComPtr<IPin> out, in;
    source->FindPin(L"Out", out.Put());
    sink->FindPin(L"In", in.Put());
    EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), nullptr), S_OK);
  }
  ~SourceIntoNull() { graph->Stop(); }
};

TEST(RecordingSourceStream, StreamsFromRunToStopAndAgain) {
  SourceIntoNull g;
  auto* pin = static_cast<CSourceStream*>(g.source->GetPin(0));
  EXPECT_FALSE(pin->IsStreaming());
  ASSERT_EQ(g.graph->Run(), S_OK);
  EXPECT_TRUE(pin->IsStreaming());
  ASSERT_TRUE(WaitFor([&] { return g.source->filled >= 5; }));
  ASSERT_EQ(g.graph->Stop(), S_OK);
  EXPECT_FALSE(pin->IsStreaming());
  const long afterStop = g.source->filled;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(g.source->filled, afterStop);

  ASSERT_EQ(g.graph->Run(), S_OK);
  EXPECT_TRUE(WaitFor([&] { return g.source->filled >= afterStop + 5; }));
}

TEST(RecordingSourceStream, EndOfStreamAndFailureEndTheThread) {
  SourceIntoNull g;
  g.source->limit = 7;
  ASSERT_EQ(g.graph->Run(), S_OK);
  ASSERT_TRUE(WaitFor([&] { return g.source->filled >= 7; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(g.source->filled, 7) << "nothing after the end of the stream";
  g.graph->Stop();

  g.source->limit = -1;
  g.source->fail = E_OUTOFMEMORY;
  ASSERT_EQ(g.graph->Run(), S_OK);
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  ASSERT_EQ(g.graph->GetEvent(&code, &p1, &p2, long(std::chrono::milliseconds(vqtest::kPatience).count())), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(HRESULT(p1), E_OUTOFMEMORY);
}

TEST(RecordingSourceStream, AnUnconnectedPinDoesNotStream) {
  auto source = ComPtr<ColourSource>::Adopt(new ColourSource(16, 8, 1000));
  EXPECT_EQ(source->Run(0), S_OK);
  EXPECT_FALSE(static_cast<CSourceStream*>(source->GetPin(0))->IsStreaming());
  EXPECT_EQ(source->Stop(), S_OK);
}

}  // namespace
