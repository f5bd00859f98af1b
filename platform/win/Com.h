#pragma once
// COM basics: GUIDs, IUnknown, reference-counted objects, per-thread
// initialisation, in-process class creation, task memory, BSTR and VARIANT.
// DirectShow and the automation stand-in both build on them.
#include <atomic>
#include <cstring>
#include <functional>

#include "platform/win/WinTypes.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using REFERENCE_TIME = LONGLONG;

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// COM and DirectShow result codes beyond the basic ones.
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106L)
#define VFW_S_NO_MORE_ITEMS ((HRESULT)0x00040103L)
#define VFW_S_NO_STOP_TIME ((HRESULT)0x00040270L)
#define VFW_E_INVALIDMEDIATYPE ((HRESULT)0x80040200L)
#define VFW_E_NOT_CONNECTED ((HRESULT)0x80040209L)
#define VFW_E_NO_ALLOCATOR ((HRESULT)0x8004020AL)
#define VFW_E_NOT_COMMITTED ((HRESULT)0x80040211L)
#define VFW_E_ALREADY_CONNECTED ((HRESULT)0x80040204L)
#define VFW_E_TYPE_NOT_ACCEPTED ((HRESULT)0x8004022AL)
#define VFW_E_NO_ACCEPTABLE_TYPES ((HRESULT)0x80040207L)
#define VFW_E_CANNOT_CONNECT ((HRESULT)0x80040217L)
#define VFW_E_NOT_IN_GRAPH ((HRESULT)0x8004025FL)
#define VFW_E_NOT_FOUND ((HRESULT)0x80040216L)
#define VFW_E_SAMPLE_TIME_NOT_SET ((HRESULT)0x80040249L)
#define VFW_E_MEDIA_TIME_NOT_SET ((HRESULT)0x80040251L)
#define VFW_E_WRONG_STATE ((HRESULT)0x80040227L)
#define VFW_E_NOT_STOPPED ((HRESULT)0x80040224L)
#define VFW_E_BUFFER_OVERFLOW ((HRESULT)0x8004020DL)
#define VFW_E_BUFFER_UNDERFLOW ((HRESULT)0x8004020CL)
#define VFW_E_DUPLICATE_NAME ((HRESULT)0x8004023BL)
#define E_PROP_ID_UNSUPPORTED_VALUE ((HRESULT)0x80070490L)

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

#define CLSCTX_INPROC_SERVER 0x1
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

// Initialisation is counted per thread; CoCreateInstance fails with
// CO_E_NOTINITIALIZED on a thread that has not initialised COM.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);

void* CoTaskMemAlloc(SIZE_T size);
void CoTaskMemFree(void* p);

BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

enum VARENUM : uint16_t { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8 };
struct VARIANT {
  uint16_t vt;
  union {
    LONG lVal;
    BSTR bstrVal;
  };
};
void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);

namespace vq::com {

// True when the calling thread has initialised COM.
bool IsComInitialised();

// Registers the factory of an in-process class for CoCreateInstance. The
// factory returns a new object holding one reference, or null.
using ClassFactory = std::function<IUnknown*()>;
void RegisterClass(REFCLSID clsid, ClassFactory factory);

// Adds a step every CoInitialize(Ex) runs first (a family of classes
// registering itself; steps must tolerate running again). Returns true,
// so it can initialise a variable.
bool AddInitialisationStep(void (*step)());

// Reference count shared by the layer's COM objects.
class RefCount {
 public:
  ULONG Add() { return ++count_; }
  ULONG Drop() { return --count_; }

 private:
  std::atomic<ULONG> count_{1};
};

// Answers QueryInterface for IUnknown and the given interface of an object.
template <class Itf, class Obj>
bool OfferInterface(REFIID asked, REFIID offered, Obj* self, void** out) {
  if (asked != offered) return false;
  *out = static_cast<Itf*>(self);
  static_cast<Itf*>(self)->AddRef();
  return true;
}

}  // namespace vq::com

// Implements AddRef and Release of a class with a vq::com::RefCount member
// named refs_; the object deletes itself at zero.
#define VQ_COM_REFCOUNT                         \
  ULONG AddRef() override { return refs_.Add(); } \
  ULONG Release() override {                    \
    ULONG n = refs_.Drop();                     \
    if (n == 0) delete this;                    \
    return n;                                   \
  }

// Owning pointer to a COM interface: releases its reference when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller holds.
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and returns the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> out;
    if (p_) p_->QueryInterface(iid, out.PutVoid());
    return out;
  }

 private:
  T* p_ = nullptr;
};
