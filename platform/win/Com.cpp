#include "platform/win/Com.h"

#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <vector>

#include "platform/win/Singletons.h"

namespace {

thread_local int comInitCount = 0;

struct ClassEntry {
  CLSID clsid;
  vq::com::ClassFactory factory;
};

std::mutex& ClassLock() {
  static std::mutex m;
  return m;
}

std::vector<ClassEntry>& Classes() {
  static auto* classes = vqplatform::MakeSingleton<std::vector<ClassEntry>>();
  return *classes;
}

// Filled while the program's variables are initialised, read afterwards.
std::vector<void (*)()>& InitialisationSteps() {
  static auto* steps = vqplatform::MakeSingleton<std::vector<void (*)()>>();
  return *steps;
}

// BSTRs carry their length in characters in front of the text.
struct BstrHeader {
  size_t length;
};

}  // namespace

namespace vq::com {

bool IsComInitialised() { return comInitCount > 0; }

void RegisterClass(REFCLSID clsid, ClassFactory factory) {
  std::lock_guard lock(ClassLock());
  for (auto& e : Classes()) {
    if (e.clsid == clsid) {
      e.factory = std::move(factory);
      return;
    }
  }
  Classes().push_back({clsid, std::move(factory)});
}

bool AddInitialisationStep(void (*step)()) {
  std::lock_guard lock(ClassLock());
  InitialisationSteps().push_back(step);
  return true;
}

}  // namespace vq::com

HRESULT CoInitialize(void*) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) {
  std::vector<void (*)()> steps;
  {
    std::lock_guard lock(ClassLock());
    steps = InitialisationSteps();
  }
  for (auto step : steps) step();
  return comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (comInitCount > 0) --comInitCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!vq::com::IsComInitialised()) return CO_E_NOTINITIALIZED;
  if (outer) return CLASS_E_NOAGGREGATION;
  vq::com::ClassFactory factory;
  {
    std::lock_guard lock(ClassLock());
    for (auto& e : Classes())
      if (e.clsid == clsid) factory = e.factory;
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  IUnknown* object = factory();
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

void* CoTaskMemAlloc(SIZE_T size) { return std::malloc(size ? size : 1); }
void CoTaskMemFree(void* p) { std::free(p); }

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  size_t n = std::wcslen(text);
  auto* block = static_cast<char*>(std::malloc(sizeof(BstrHeader) + (n + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  reinterpret_cast<BstrHeader*>(block)->length = n;
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(BstrHeader));
  std::wmemcpy(chars, text, n + 1);
  return chars;
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  return static_cast<UINT>(reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader))->length);
}

void VariantInit(VARIANT* v) {
  if (!v) return;
  v->vt = VT_EMPTY;
  v->bstrVal = nullptr;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_POINTER;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}
