#include "platform/win/WindowRegistry.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <unordered_map>

#include "platform/display/Presenter.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Window.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct Registry {
  std::unordered_map<uintptr_t, std::shared_ptr<WindowObject>> windows;
  std::vector<WindowObject*> topLevel;
  uintptr_t next = 0x10010;
};

Registry& TheRegistry() {
  static auto* registry = MakeSingleton<Registry>();
  return *registry;
}

template <class Container, class Predicate>
void EraseIf(Container& container, Predicate predicate) {
  container.erase(std::remove_if(container.begin(), container.end(), predicate), container.end());
}

}  // namespace

WindowObject* FindWindowObject(HWND hwnd) {
  auto& windows = TheRegistry().windows;
  auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == windows.end() ? nullptr : it->second.get();
}

WindowObject* AddWindowObject(std::shared_ptr<WindowObject> window) {
  Registry& registry = TheRegistry();
  uintptr_t value = registry.next;
  registry.next += 2;
  window->handle = reinterpret_cast<HWND>(value);
  WindowObject* raw = window.get();
  registry.windows.emplace(value, std::move(window));
  if (raw->parent)
    raw->parent->children.push_back(raw);
  else
    registry.topLevel.insert(registry.topLevel.begin(), raw);
  return raw;
}

std::shared_ptr<WindowObject> RemoveWindowObject(WindowObject* window) {
  Registry& registry = TheRegistry();
  auto it = registry.windows.find(reinterpret_cast<uintptr_t>(window->handle));
  if (it == registry.windows.end()) return nullptr;
  std::shared_ptr<WindowObject> removed = std::move(it->second);
  registry.windows.erase(it);
  auto& siblings = SiblingsOf(window);
  EraseIf(siblings, [window](WindowObject* w) { return w == window; });
  for (WindowObject* child : window->children) child->parent = nullptr;
  window->children.clear();
  HWND hwnd = window->handle;
  ThreadContext& thread = *window->thread;
  EraseIf(thread.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  EraseIf(thread.timers, [hwnd](const QueueTimer& t) { return t.hwnd == hwnd; });
  EraseIf(thread.invalidWindows, [hwnd](HWND h) { return h == hwnd; });
  // Senders still waiting for this window are answered with 0.
  EraseIf(thread.sentInbox, [hwnd](const std::shared_ptr<SentMessage>& sent) {
    if (sent->hwnd != hwnd) return false;
    sent->result = 0;
    sent->done = true;
    Dispatcher::Wake(*sent->sender);
    return true;
  });
  return removed;
}

std::vector<WindowObject*>& TopLevelWindows() { return TheRegistry().topLevel; }

std::vector<WindowObject*>& SiblingsOf(WindowObject* window) {
  return window->parent ? window->parent->children : TheRegistry().topLevel;
}

bool IsVisibleOnScreen(const WindowObject* window) {
  for (const WindowObject* w = window; w; w = w->parent)
    if (!(w->style & WS_VISIBLE)) return false;
  return true;
}

bool IsDescendant(const WindowObject* ancestor, const WindowObject* window) {
  for (const WindowObject* w = window ? window->parent : nullptr; w; w = w->parent)
    if (w == ancestor) return true;
  return false;
}

POINT ScreenOrigin(const WindowObject* window) {
  POINT origin{0, 0};
  for (const WindowObject* w = window; w; w = w->parent) {
    origin.x += w->rect.left;
    origin.y += w->rect.top;
  }
  return origin;
}

RECT WithFrame(const RECT& client, const RECT& frame) {
  return RECT{client.left - frame.left, client.top - frame.top, client.right + frame.right,
              client.bottom + frame.bottom};
}

// A window too small for its frame keeps an empty client area.
RECT WithoutFrame(const RECT& window, const RECT& frame) {
  RECT client{window.left + frame.left, window.top + frame.top, window.right - frame.right,
              window.bottom - frame.bottom};
  client.right = std::max(client.right, client.left);
  client.bottom = std::max(client.bottom, client.top);
  return client;
}

void UpdateRegion::Add(const RECT& r) {
  cairo_rectangle_int_t c{r.left, r.top, r.right - r.left, r.bottom - r.top};
  cairo_region_union_rectangle(region_, &c);
}

void UpdateRegion::Subtract(const RECT& r) {
  cairo_rectangle_int_t c{r.left, r.top, r.right - r.left, r.bottom - r.top};
  cairo_region_subtract_rectangle(region_, &c);
}

void UpdateRegion::Clear() {
  cairo_region_destroy(region_);
  region_ = cairo_region_create();
}

RECT UpdateRegion::Bounds() const {
  cairo_rectangle_int_t c;
  cairo_region_get_extents(region_, &c);
  return RECT{c.x, c.y, c.x + c.width, c.y + c.height};
}

std::vector<RECT> UpdateRegion::Rectangles() const {
  std::vector<RECT> out;
  for (int i = 0, n = cairo_region_num_rectangles(region_); i < n; ++i) {
    cairo_rectangle_int_t c;
    cairo_region_get_rectangle(region_, i, &c);
    out.push_back(RECT{c.x, c.y, c.x + c.width, c.y + c.height});
  }
  return out;
}

void MarkInvalid(WindowObject* window, const RECT* area, bool erase) {
  RECT client{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  RECT add = area ? *area : client;
  add.left = std::max(add.left, client.left);
  add.top = std::max(add.top, client.top);
  add.right = std::min(add.right, client.right);
  add.bottom = std::min(add.bottom, client.bottom);
  if (add.left >= add.right || add.top >= add.bottom) return;
  window->update.Add(add);
  if (!window->invalid) {
    window->invalid = true;
    window->thread->invalidWindows.push_back(window->handle);
  }
  window->eraseBackground = window->eraseBackground || erase;
  Dispatcher::Wake(*window->thread);
  if (!window->parent) NotifyPresenter();  // a top-level window is about to be drawn
  // Children of other threads draw into surfaces of their own.
  if (window->style & WS_CLIPCHILDREN) return;
  for (WindowObject* child : window->children) {
    if (!(child->style & WS_VISIBLE) || child->destroying || child->thread != window->thread) continue;
    RECT inChild{add.left - child->rect.left, add.top - child->rect.top, add.right - child->rect.left,
                 add.bottom - child->rect.top};
    MarkInvalid(child, &inChild, erase);
  }
}

void MarkValid(WindowObject* window, const RECT* area) {
  if (!window->invalid) return;
  if (area) {
    window->update.Subtract(*area);
    if (!window->update.IsEmpty()) return;
  }
  window->invalid = false;
  window->eraseBackground = false;
  window->update.Clear();
  HWND hwnd = window->handle;
  EraseIf(window->thread->invalidWindows, [hwnd](HWND h) { return h == hwnd; });
}

bool IsOwnedByCaller(HWND hwnd) {
  ThreadContext& self = Dispatcher::Current();
  return WithWindow(hwnd, false, [&](WindowObject& w) { return w.thread.get() == &self; });
}

size_t CopyText(const std::wstring& text, LPWSTR buffer, size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  size_t count = std::min(text.size(), capacity - 1);
  std::wmemcpy(buffer, text.data(), count);
  buffer[count] = L'\0';
  return count;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    if (WindowObject* window = FindWindowObject(hwnd)) proc = window->proc;
  }
  if (!proc) return 0;
  HandlerScope handler(hwnd);
  return proc(hwnd, message, wParam, lParam);
}

void RemoveWindowsOfEndedThread(ThreadContext& thread) {
  std::vector<std::shared_ptr<WindowObject>> removed;  // released after the lock
  std::lock_guard lock(Dispatcher::Mutex());
  std::vector<WindowObject*> pending;
  for (auto& [value, window] : TheRegistry().windows)
    if (window->thread.get() == &thread) pending.push_back(window.get());
  // Remove whole subtrees, children first, skipping what is already gone.
  std::vector<HWND> handles;
  for (WindowObject* w : pending) handles.push_back(w->handle);
  for (HWND hwnd : handles) {
    std::vector<WindowObject*> order;
    if (WindowObject* root = FindWindowObject(hwnd)) order.push_back(root);
    for (size_t i = 0; i < order.size(); ++i)
      for (WindowObject* child : order[i]->children) order.push_back(child);
    for (auto it = order.rbegin(); it != order.rend(); ++it) removed.push_back(RemoveWindowObject(*it));
  }
}

}  // namespace vqplatform
