#pragma once
// The window messages of the video sources, the preview windows and the
// preview canvas, in one place so that every side includes the same numbers.
#include "platform/win/WinTypes.h"

// Posted by the secondary source: pull its frame into the sub-image box.
constexpr UINT WM_VIDEO_SUB_FRAME = 0x0400 + 100;
// Posted by the still pin to the main window when the snapshot button fires.
constexpr UINT WM_VIDEO_STILL_READY = 0x0400 + 101;
// Posted by the canvas to its parent on a double click, and on to the
// preview's parent.
constexpr UINT WM_PREVIEW_DBLCLK = 0x0400 + 102;
// Posted by the main source: a new frame can be pulled.
constexpr UINT WM_VIDEO_FRAME = 0x0400 + 103;

// Preview commands, sent to the preview window.
// wParam 0: lParam null adds an unplaced selection, else a PreviewSelectionRecord*;
// 1: RECT* sub-image box; 2: WaterMarkParams*.
constexpr UINT WM_PREVIEW_ADD_OBJECT = 0x0400 + 104;
// wParam 0 selection, 1 sub-image box, 2 watermark.
constexpr UINT WM_PREVIEW_REMOVE_OBJECT = 0x0400 + 105;
// At the preview: wParam 2 cv::Mat*, 3 std::vector<cv::Mat>*, 4 CImage*.
// At the canvas: lParam CImage* (wParam ignored) gets the overlays rendered in;
// 1 when lParam is null or the picture empty, else 0.
constexpr UINT WM_PREVIEW_COPY_OUT = 0x0400 + 106;
// Sent by the preview's worker after each processed frame.
constexpr UINT WM_PREVIEW_FRAME_READY = 0x0400 + 107;
// wParam 0: lParam RECT* margins; 1: lParam the angle; 5: lParam 0 zoom in, else out.
constexpr UINT WM_PREVIEW_SETTING = 0x0400 + 108;
// wParam 0 selection (RECT*), 1 sub-image box (RECT*), 2 watermark (WaterMarkParams*);
// 0 when the object exists, else 1.
constexpr UINT WM_PREVIEW_QUERY_OBJECT = 0x0400 + 109;

// To the canvas. wParam null: nothing, result 1. lParam 0: wParam is a
// cv::Mat* to show. lParam non-zero: wParam points to bottom-up RGB24 pixels
// without row padding for the sub-image box, LOWORD(lParam) width,
// HIWORD(lParam) height. Result 0.
constexpr UINT WM_CANVAS_SHOW_IMAGE = 0x0400 + 110;

// The selection record of WM_PREVIEW_ADD_OBJECT with wParam 0: the rectangle
// in picture coordinates and whether it keeps its aspect ratio when resized.
struct PreviewSelectionRecord {
  int left;
  int top;
  int right;
  int bottom;
  bool constrained;
};
