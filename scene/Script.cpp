#include "scene/Script.h"

#include <algorithm>
#include <cmath>

#include "scene/Renderer.h"

namespace vqscene {
namespace {

// Share of a Lay step spent carrying an old sheet away when there is one.
constexpr double kSwapShare = 0.4;

double Smooth(double p) {
  p = std::clamp(p, 0.0, 1.0);
  return p * p * (3.0 - 2.0 * p);
}

// Position along the way from `from` to `to` over the phase [begin, end).
cv::Point2f Along(cv::Point2f from, cv::Point2f to, double p, double begin, double end) {
  const float t = float(Smooth((p - begin) / (end - begin)));
  return from + (to - from) * t;
}

Sheet MovedTo(Sheet sheet, cv::Point2f centre) {
  sheet.rect.center = centre;
  return sheet;
}

// A hand takes `sheet` away over the phase p in [0, 1]; draws into `scene`.
void CarryAway(Scene& scene, const Sheet& sheet, double p) {
  const Hand reach = HandReachingTo(scene.size, sheet.rect.center);
  if (p < 0.35) {
    scene.sheets.push_back(sheet);
    Hand hand = reach;
    hand.palm = Along(reach.entry, reach.palm, p, 0.0, 0.35);
    scene.hand = hand;
  } else if (p < 0.85) {
    const cv::Point2f at = Along(reach.palm, reach.entry, p, 0.35, 0.85);
    scene.sheets.push_back(MovedTo(sheet, at));
    Hand hand = reach;
    hand.palm = at;
    scene.hand = hand;
  }
}

// A hand brings `sheet` to its place and leaves over the phase p in [0, 1].
void Bring(Scene& scene, const Sheet& sheet, double p) {
  const Hand reach = HandReachingTo(scene.size, sheet.rect.center);
  if (p < 0.45) {
    const cv::Point2f at = Along(reach.entry, reach.palm, p, 0.0, 0.45);
    scene.sheets.push_back(MovedTo(sheet, at));
    Hand hand = reach;
    hand.palm = at;
    scene.hand = hand;
    return;
  }
  scene.sheets.push_back(sheet);
  if (p < 0.75) {
    Hand hand = reach;
    hand.palm = Along(reach.palm, reach.entry, p, 0.45, 0.75);
    scene.hand = hand;
  }
}

}  // namespace

SceneScript::SceneScript(const Scene& look, std::uint64_t seed) : look_(look), rng_(seed) {
  look_.sheets.clear();
  look_.hand.reset();
}

SceneScript& SceneScript::Add(Kind kind, double seconds, const Sheet& sheet, cv::Point2f reach) {
  Step step{kind, duration_, std::max(seconds, 0.0), SheetsAfter(), sheet, reach};
  steps_.push_back(step);
  duration_ += step.length;
  return *this;
}

std::vector<Sheet> SceneScript::SheetsAfter() const {
  if (steps_.empty()) return {};
  const Step& last = steps_.back();
  switch (last.kind) {
    case Kind::Clear: return {};
    case Kind::Lay: return {last.sheet};
    default: return last.before;
  }
}

SceneScript& SceneScript::Wait(double seconds) { return Add(Kind::Wait, seconds, {}, {}); }

SceneScript& SceneScript::ClearDesk(double seconds) { return Add(Kind::Clear, seconds, {}, {}); }

SceneScript& SceneScript::HandPasses(double seconds) {
  // Across the desk from the user's side, to somewhere in the upper middle.
  const cv::Point2f reach(float(rng_.uniform(0.3, 0.7) * look_.size.width),
                          float(rng_.uniform(0.25, 0.55) * look_.size.height));
  return Add(Kind::HandPasses, seconds, {}, reach);
}

SceneScript& SceneScript::LaySheet(double seconds) { return LaySheet(seconds, RandomSheet(look_.size, rng_)); }

SceneScript& SceneScript::LaySheet(double seconds, const Sheet& sheet) {
  return Add(Kind::Lay, seconds, sheet, sheet.rect.center);
}

Scene SceneScript::SceneAt(double seconds) const {
  Scene scene = look_;
  const double t = std::clamp(seconds, 0.0, duration_);
  scene.noiseSeed = look_.noiseSeed ^ (std::uint64_t(std::llround(t * 1000.0)) * 0x9E3779B97F4A7C15ull);
  if (steps_.empty()) return scene;
  auto step = std::find_if(steps_.begin(), steps_.end(), [&](const Step& s) { return t < s.start + s.length; });
  if (step == steps_.end()) {
    scene.sheets = SheetsAfter();
    return scene;
  }
  const double p = step->length > 0 ? (t - step->start) / step->length : 1.0;
  switch (step->kind) {
    case Kind::Wait:
      scene.sheets = step->before;
      break;
    case Kind::Clear:
      for (const auto& sheet : step->before) CarryAway(scene, sheet, p);
      break;
    case Kind::HandPasses: {
      scene.sheets = step->before;
      Hand hand = HandReachingTo(scene.size, step->reach);
      hand.palm = p < 0.5 ? Along(hand.entry, step->reach, p, 0.0, 0.5) : Along(step->reach, hand.entry, p, 0.5, 1.0);
      scene.hand = hand;
      break;
    }
    case Kind::Lay:
      if (step->before.empty()) {
        Bring(scene, step->sheet, p);
      } else if (p < kSwapShare) {
        for (const auto& sheet : step->before) CarryAway(scene, sheet, p / kSwapShare);
      } else {
        Bring(scene, step->sheet, (p - kSwapShare) / (1.0 - kSwapShare));
      }
      break;
  }
  return scene;
}

cv::Mat SceneScript::FrameAt(double seconds) const { return RenderScene(SceneAt(seconds)); }

}  // namespace vqscene
