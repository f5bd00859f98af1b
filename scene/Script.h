#pragma once
// A timed sequence of scenes for the virtual camera and the tests of
// continuous shooting: an empty desk, a hand moving in and out, a sheet laid
// down that then lies still, the sheet swapped for another. Every frame is a
// function of the script, its seed and the time alone.
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "scene/Scene.h"

namespace vqscene {

class SceneScript {
 public:
  // `look` gives the frame size, desk, shadows, noise and blur of every frame.
  SceneScript(const Scene& look, std::uint64_t seed);

  // Nothing but the desk (and whatever sheet already lies there) for a while.
  SceneScript& Wait(double seconds);
  // Takes any sheet away and leaves the desk empty.
  SceneScript& ClearDesk(double seconds);
  // A hand reaches in over the desk and leaves again; nothing else changes.
  SceneScript& HandPasses(double seconds);
  // A hand brings a new random sheet, lays it down and leaves; the sheet then
  // rests. A sheet already there is carried away first (a swap).
  SceneScript& LaySheet(double seconds);
  // The same with a given sheet.
  SceneScript& LaySheet(double seconds, const Sheet& sheet);

  double Duration() const { return duration_; }

  // The scene at a time in seconds from the start (clamped to the script).
  Scene SceneAt(double seconds) const;
  // RenderScene(SceneAt(seconds)).
  cv::Mat FrameAt(double seconds) const;

 private:
  enum class Kind { Wait, Clear, HandPasses, Lay };
  struct Step {
    Kind kind;
    double start;
    double length;
    std::vector<Sheet> before;  // the sheets lying there when the step starts
    Sheet sheet;                // the sheet a Lay step brings
    cv::Point2f reach;          // where the hand goes
  };

  SceneScript& Add(Kind kind, double seconds, const Sheet& sheet, cv::Point2f reach);
  std::vector<Sheet> SheetsAfter() const;

  Scene look_;
  cv::RNG rng_;
  std::vector<Step> steps_;
  double duration_ = 0.0;
};

}  // namespace vqscene
