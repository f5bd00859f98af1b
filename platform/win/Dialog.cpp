#include "platform/win/Dialog.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/display/FrameMemory.h"
#include "platform/win/Controls.h"
#include "platform/win/DialogKeys.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Singletons.h"
#include "platform/win/SysColors.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"

namespace vqplatform {
namespace {

struct DialogState {
  DialogHandler handler;
  HFONT font = nullptr;
  bool ended = false;
  INT_PTR result = 0;
  HWND savedFocus = nullptr;     // the control that had the focus when the dialog was deactivated
  HWND disabledOwner = nullptr;  // the owner the modal loop disabled, enabled again by EndDialog
  ~DialogState() {
    if (font) DeleteObject(font);
  }
};

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}
// Copies, kept with the layer's tables: a registration does not depend on
// its caller's table living on.
std::map<int, DialogTemplate>& Templates() {
  static auto* templates = vqplatform::MakeSingleton<std::map<int, DialogTemplate>>();
  return *templates;
}

std::mutex idleMutex;
ModalIdleHandler idleHandler;

std::shared_ptr<DialogState> StateOf(HWND dialog) {
  return std::static_pointer_cast<DialogState>(GetWindowAttachment(dialog, "dialog"));
}

// The state of the dialog this thread is creating; its window takes it with
// its first message, so the handler sees WM_NCCREATE and WM_CREATE.
thread_local std::shared_ptr<DialogState> stateBeingCreated;

std::shared_ptr<DialogState> StateOrPending(HWND dialog) {
  std::shared_ptr<DialogState> state = StateOf(dialog);
  if (!state && stateBeingCreated) {
    state = std::move(stateBeingCreated);
    SetWindowAttachment(dialog, "dialog", state);
  }
  return state;
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

// Gives the focus back to the control that had it when the dialog was
// deactivated. Mere activation leaves it alone when there is none; gaining
// the focus itself falls back on the first control of the tab order.
void RestoreFocus(HWND dialog, DialogState* state, bool justActivated) {
  if (!state || state->ended || IsIconic(dialog)) return;
  HWND saved = state->savedFocus;
  state->savedFocus = nullptr;
  if (saved && IsWindow(saved) && IsChild(dialog, saved)) {
    if (justActivated)
      SetFocus(saved);
    else
      FocusControl(saved);
    return;
  }
  if (!justActivated) FocusControl(GetNextDlgTabItem(dialog, nullptr, FALSE));
}

LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<DialogState> state = StateOrPending(hwnd);
  LRESULT result = 0;
  bool handled = state && state->handler && state->handler(hwnd, message, wParam, lParam, &result);
  if (!handled) result = DefDlgProcW(hwnd, message, wParam, lParam);
  return result;
}

void RegisterDialogClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW windowClass{};
    windowClass.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_SAVEBITS;
    windowClass.lpfnWndProc = DialogClassProc;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.lpszClassName = WC_DIALOG;
    RegisterClassW(&windowClass);
  });
}

// The dialog's window rectangle: the template gives the client area's size
// and the window's position, in its owner's client area. A dialog the
// template does not place (DS_CENTER, or at 0, 0 with an owner) is centred
// on its owner (below the owner's title bar).
RECT PlaceDialog(const DialogTemplate& dialogTemplate, const DialogBaseUnits& base, HWND parent) {
  RECT units{dialogTemplate.x, dialogTemplate.y, dialogTemplate.x + dialogTemplate.cx,
             dialogTemplate.y + dialogTemplate.cy};
  RECT rect = DialogUnitsToPixels(units, base);
  bool child = (dialogTemplate.style & WS_CHILD) != 0;
  if (child) return rect;
  DWORD exStyle = static_cast<DWORD>(dialogTemplate.exStyle | WS_EX_CONTROLPARENT);
  RECT frame = ExpectedFrame(WindowLook{dialogTemplate.style, exStyle, parent != nullptr, WC_DIALOG, rect});
  int width = rect.right - rect.left + frame.left + frame.right;
  int height = rect.bottom - rect.top + frame.top + frame.bottom;
  bool unplaced = dialogTemplate.x == 0 && dialogTemplate.y == 0 && parent;
  if ((dialogTemplate.style & DS_CENTER) || unplaced) return CentredOnOwner(SIZE{width, height}, parent);
  POINT origin{0, 0};
  if (parent) ClientToScreen(parent, &origin);
  return RECT{rect.left + origin.x, rect.top + origin.y, rect.left + origin.x + width, rect.top + origin.y + height};
}

}  // namespace

RECT CentredRect(SIZE size, HWND over) {
  const RECT area = GetWorkArea();
  RECT target = area;
  if (over && IsWindowVisible(over) && !IsIconic(over)) GetWindowRect(over, &target);
  LONG left = target.left + ((target.right - target.left) - size.cx) / 2;
  LONG top = target.top + ((target.bottom - target.top) - size.cy) / 2;
  // Its title bar stays on the screen.
  left = std::max(area.left, std::min(left, area.right - size.cx));
  top = std::max(area.top, std::min(top, area.bottom - size.cy));
  return RECT{left, top, left + size.cx, top + size.cy};
}

RECT CentredOnOwner(SIZE size, HWND owner) {
  RECT placed = CentredRect(size, owner);
  if (!owner || !IsWindowVisible(owner) || IsIconic(owner)) return placed;
  // Below the owner's title bar, so the owner can still be seen and moved,
  // as far as the work area has room.
  POINT ownerClient{0, 0};
  ClientToScreen(owner, &ownerClient);
  const LONG lowest = GetWorkArea().bottom - size.cy;
  const LONG top = std::max(placed.top, std::min(ownerClient.y, lowest));
  placed.bottom += top - placed.top;
  placed.top = top;
  return placed;
}

void RegisterDialogTemplate(int id, const DialogTemplate* dialogTemplate) {
  std::lock_guard lock(RegistryMutex());
  if (dialogTemplate) Templates()[id] = *dialogTemplate;
}

const DialogTemplate* FindDialogTemplate(int id) {
  std::lock_guard lock(RegistryMutex());
  auto found = Templates().find(id);
  return found == Templates().end() ? nullptr : &found->second;
}

HWND CreateDialogFromTemplate(const DialogTemplate& dialogTemplate, HWND parent, DialogHandler handler, LPARAM param) {
  RegisterStandardControls();
  RegisterDialogClass();
  auto state = std::make_shared<DialogState>();
  state->font = CreateDialogFont(dialogTemplate.fontFace.c_str(), dialogTemplate.pointSize);
  DialogBaseUnits base = BaseUnitsOfFont(state->font);
  RECT rect = PlaceDialog(dialogTemplate, base, parent);
  DWORD style = dialogTemplate.style & ~WS_VISIBLE;
  state->handler = std::move(handler);
  stateBeingCreated = state;
  HWND dialog = CreateWindowExW(dialogTemplate.exStyle | WS_EX_CONTROLPARENT, WC_DIALOG, dialogTemplate.caption.c_str(),
                                style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                nullptr, nullptr, nullptr);
  stateBeingCreated.reset();
  if (!dialog) return nullptr;
  for (const DialogItemTemplate& item : dialogTemplate.items) {
    RECT units{item.x, item.y, item.x + item.cx, item.y + item.cy};
    RECT place = DialogUnitsToPixels(units, base);
    HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD,
                                   place.left, place.top, place.right - place.left, place.bottom - place.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), nullptr, nullptr);
    if (!control) {
      DestroyWindow(dialog);
      return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
  }
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  LRESULT focusDefault = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(dialog)) return nullptr;
  if (focusDefault) FocusControl(GetNextDlgTabItem(dialog, nullptr, FALSE));
  if (dialogTemplate.style & WS_VISIBLE) ShowWindow(dialog, SW_SHOW);
  return dialog;
}

bool IsModalDialogEnded(HWND dialog) {
  std::shared_ptr<DialogState> state = StateOf(dialog);
  return !state || state->ended;
}

INT_PTR RunModalDialog(HWND dialog, HWND owner, const std::function<void()>& destroy) {
  std::shared_ptr<DialogState> state = StateOf(dialog);
  if (!state) return -1;
  // A loop told to end before it starts ends as a cancel, unseen.
  if (ModalLoopsEnding()) {
    state->ended = true;
    state->result = IDCANCEL;
  }
  bool disabledOwner = owner && IsWindowEnabled(owner) && !state->ended;
  state->disabledOwner = disabledOwner ? owner : nullptr;
  if (disabledOwner) EnableWindow(owner, FALSE);
  if (!state->ended) {
    ShowWindow(dialog, SW_SHOW);
    ModalLoop loop;
    loop.done = [&] { return state->ended || !IsWindow(dialog); };
    loop.idle = [&] {
      ModalIdleHandler handler = CurrentModalIdleHandler();
      if (handler) handler(dialog);
      return handler != nullptr;
    };
    if (RunModalLoop(loop) == LoopEnd::kEnding) {
      state->ended = true;
      state->result = IDCANCEL;
    }
  }
  INT_PTR result = -1;
  if (state->ended) result = state->result;
  if (disabledOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (destroy && IsWindow(dialog)) destroy();
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return result;
}

void SetModalIdleHandler(ModalIdleHandler handler) {
  std::lock_guard lock(idleMutex);
  idleHandler = std::move(handler);
}

ModalIdleHandler CurrentModalIdleHandler() {
  std::lock_guard lock(idleMutex);
  return idleHandler;
}

void RepaintWindowTree(HWND window) {
  if (!IsWindowVisible(window)) return;
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    RepaintWindowTree(child);
}

}  // namespace vqplatform

using vqplatform::DialogHandler;

namespace {

DialogHandler AdaptProc(DLGPROC proc) {
  if (!proc) return nullptr;
  return [proc](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
    INT_PTR answer = proc(hwnd, message, wParam, lParam);
    if (!answer) return false;
    bool direct = message == WM_INITDIALOG || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
                  message == WM_QUERYDRAGICON;
    *result = direct ? answer : GetWindowLongPtrW(hwnd, DWLP_MSGRESULT);
    return true;
  };
}

const DialogTemplate* TemplateByName(LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  return vqplatform::FindDialogTemplate(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
}

}  // namespace

HWND CreateDialogIndirectParamW(HINSTANCE, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param) {
  if (!dialogTemplate) return nullptr;
  return vqplatform::CreateDialogFromTemplate(*dialogTemplate, parent, AdaptProc(proc), param);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  return CreateDialogIndirectParamW(instance, TemplateByName(templateName), parent, proc, param);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param) {
  if (!dialogTemplate) return -1;
  DialogTemplate hidden = *dialogTemplate;
  hidden.style &= ~WS_VISIBLE;
  HWND dialog = vqplatform::CreateDialogFromTemplate(hidden, parent, AdaptProc(proc), param);
  if (!dialog) return -1;
  return vqplatform::RunModalDialog(dialog, parent);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  return DialogBoxIndirectParamW(instance, TemplateByName(templateName), parent, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  std::shared_ptr<vqplatform::DialogState> state = vqplatform::StateOf(dialog);
  if (!state) return FALSE;
  state->ended = true;
  state->result = result;
  // The owner is enabled before the dialog goes, so it takes the activation.
  if (HWND owner = std::exchange(state->disabledOwner, nullptr); owner && IsWindow(owner)) EnableWindow(owner, TRUE);
  ShowWindow(dialog, SW_HIDE);
  PostMessageW(dialog, WM_NULL, 0, 0);
  return TRUE;
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<vqplatform::DialogState> state = vqplatform::StateOf(dialog);
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(dialog, &client);
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog)));
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(dialog, &paint);
      // Without a caption the presenter adds no frame: the dialog draws its own.
      DWORD style = vqplatform::StyleOf(dialog);
      if (dc && !(style & WS_CHILD) && (style & WS_CAPTION) != WS_CAPTION && (style & (WS_BORDER | DS_MODALFRAME))) {
        RECT client{};
        GetClientRect(dialog, &client);
        DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);
      }
      EndPaint(dialog, &paint);
      return 0;
    }
    case WM_CLOSE: vqplatform::PressCancel(dialog); return 0;
    case WM_GETFONT: return state ? reinterpret_cast<LRESULT>(state->font) : 0;
    case WM_SETFONT:
      if (state) state->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case DM_GETDEFID:
      for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (vqplatform::DialogCode(child, nullptr) & DLGC_DEFPUSHBUTTON) return MAKELRESULT(GetDlgCtrlID(child), DC_HASDEFID);
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case DM_SETDEFID:
      for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LRESULT code = vqplatform::DialogCode(child, nullptr);
        if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
        bool isDefault = GetDlgCtrlID(child) == static_cast<int>(wParam);
        SendMessageW(child, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
      }
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(dialog, GetFocus(), wParam ? TRUE : FALSE);
      vqplatform::FocusControl(target);
      return 0;
    }
    case WM_SETFOCUS: vqplatform::RestoreFocus(dialog, state.get(), false); return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        vqplatform::RestoreFocus(dialog, state.get(), true);
      } else if (state) {
        HWND focus = GetFocus();
        state->savedFocus = focus && IsChild(dialog, focus) ? focus : nullptr;
      }
      return 0;
    case WM_GETDLGCODE: return 0;
    default:
      if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return 0;
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) {
    if (buffer && maxCount > 0) buffer[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(control, buffer, maxCount));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  HWND control = GetDlgItem(dialog, id);
  if (!control) return 0;
  wchar_t text[64] = {};
  GetWindowTextW(control, text, 64);
  const wchar_t* p = text;
  while (*p == L' ') ++p;
  bool negative = false;
  if (*p == L'-' && isSigned) negative = true, ++p;
  if (*p < L'0' || *p > L'9') return 0;
  long long value = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    value = value * 10 + (*p - L'0');
    if (value > 0xFFFFFFFFLL) return 0;
  }
  while (*p == L' ') ++p;
  if (*p) return 0;
  if (negative) value = -value;
  if (isSigned && (value > 0x7FFFFFFFLL || value < -0x80000000LL)) return 0;
  if (translated) *translated = TRUE;
  return static_cast<UINT>(value);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  std::wstring text = isSigned ? std::to_wstring(static_cast<int>(value)) : std::to_wstring(value);
  return SetDlgItemTextW(dialog, id, text.c_str());
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageW(control, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  SendMessageW(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
  for (int id = firstId; id <= lastId; ++id)
    if (HWND control = GetDlgItem(dialog, id)) SendMessageW(control, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  return TRUE;
}
