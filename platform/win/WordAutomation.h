#pragma once
// Late-bound automation (IDispatch) and the layer's "Word.Application": a
// small stand-in whose documents hold paragraphs of text, optionally bold,
// and are saved as RTF under the name given to SaveAs. Objects returned by
// property gets and methods travel in a VARIANT of type VT_DISPATCH, whose
// pointer lies in the VARIANT's pointer slot (DispatchOf).
#include "platform/win/Com.h"

using DISPID = LONG;
using LCID = DWORD;

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPID_PROPERTYPUT (-3)
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define CLSCTX_LOCAL_SERVER 0x4
#define VT_DISPATCH_VALUE 9
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006L)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003L)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000EL)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005L)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3L)
#define STG_E_CANTSAVE ((HRESULT)0x80030103L)

struct DISPPARAMS {
  VARIANT* rgvarg;  // in reverse order, as Invoke expects
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                         void* exceptionInfo, UINT* argumentError) = 0;
};

inline constexpr IID IID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The object a VT_DISPATCH variant holds (null for another type).
IDispatch* DispatchOf(const VARIANT& v);
// Makes v hold the object (the variant takes the caller's reference).
void SetDispatch(VARIANT* v, IDispatch* object);

// "Word.Application" while the stand-in is available; CO_E_CLASSSTRING for
// any other name.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);

namespace vqplatform {
// Makes "Word.Application" unknown (false) or known again (true, the default).
void SetWordAvailable(bool available);
}  // namespace vqplatform
