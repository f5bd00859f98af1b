#pragma once
// The graph behind a recording: the preview's pictures through the push
// source into the ASF writer, with the first sound input (through a tee)
// where there is one, else picture only.
#include <string>

#include "platform/dshow/Interfaces.h"
#include "platform/dshow/WmProfile.h"

class CShowVideoPro;

// Each member holds one reference, null when absent.
struct RecordingGraph {
  IGraphBuilder* graph;
  ICaptureGraphBuilder2* builder;
  IMediaControl* control;  // non-null once the graph has been built
  IBaseFilter* source;     // the push source
  IFileSinkFilter* file;   // the writer's file
};

// Builds and runs the graph writing `path`: width x height at fps frames per
// second and bitRate bits per second. The result of the first failing step,
// else of running the graph; what was made stays in the record until
// StopRecordingGraph.
HRESULT BuildRecordingGraph(RecordingGraph* record, CShowVideoPro* preview, const wchar_t* path, int width,
                            int height, int fps, int bitRate);
// Stops the graph (completing the file) and releases every member: the
// result of stopping, S_FALSE when there was no media control. *written,
// when given, receives where the file went (a free name beside the one
// asked for when that was taken meanwhile).
HRESULT StopRecordingGraph(RecordingGraph* record, std::wstring* written = nullptr);
// False when the device enumerator is missing or the audio input category is
// empty; otherwise true, with the first device bound as a filter in *out
// (or null when its name cannot be read).
bool FindAudioCaptureDevice(IBaseFilter** out);
// The writer's profile edited for the recording and configured into it:
// with sound the video stream is at index 1; without, the sound stream
// (number 1) is removed first and video is at index 0.
HRESULT ConfigureAudioVideoProfile(IWMProfile* profile, IConfigAsfWriter* writer, int width, int height, int fps,
                                   int bitRate);
HRESULT ConfigureVideoOnlyProfile(IWMProfile* profile, IConfigAsfWriter* writer, int width, int height, int fps,
                                  int bitRate);
