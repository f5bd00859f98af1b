#include "platform/display/FrameMemory.h"

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace vqplatform {
namespace {

// What the window manager's frame depends on.
using FrameKey = std::tuple<std::string, long, long, int>;

FrameKey KeyOf(const WindowLook& look) {
  MotifHints hints = MotifHintsOf(look);
  return FrameKey{WindowTypeOf(look), hints.functions, hints.decorations, static_cast<int>(SizingOf(look))};
}

std::mutex g_mutex;
std::map<FrameKey, RECT> g_frames;

}  // namespace

RECT ExpectedFrame(const WindowLook& look) {
  if (IsOverrideRedirect(look)) return RECT{};
  std::lock_guard lock(g_mutex);
  auto found = g_frames.find(KeyOf(look));
  return found == g_frames.end() ? RECT{} : found->second;
}

void RememberFrame(const WindowLook& look, const RECT& frame) {
  if (IsOverrideRedirect(look)) return;
  std::lock_guard lock(g_mutex);
  g_frames[KeyOf(look)] = frame;
}

void ForgetFrames() {
  std::lock_guard lock(g_mutex);
  g_frames.clear();
}

}  // namespace vqplatform
