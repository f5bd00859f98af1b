#include "app/AutoWord.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/win/Encoding.h"

namespace {

// Releases the objects of one automation run.
class Held {
 public:
  ~Held() {
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) (*it)->Release();
  }
  // The object a call returned, kept until the run ends; null when none.
  IDispatch* Take(VARIANT& v) {
    IDispatch* object = DispatchOf(v);
    if (object) objects_.push_back(object);
    return object;
  }

 private:
  std::vector<IDispatch*> objects_;
};

VARIANT IntArg(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT TextArg(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

}  // namespace

HRESULT AutoWrap(int kind, VARIANT* result, IDispatch* object, const wchar_t* name, int count, ...) {
  if (!object) {
    std::fprintf(stderr, "NULL IDispatch passed to AutoWrap()\n");
    return E_POINTER;
  }
  DISPID id = 0;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    std::fprintf(stderr, "IDispatch::GetIDsOfNames(\"%s\") failed w/err 0x%08lx\n", vq::WideToUtf8(name).c_str(),
                static_cast<unsigned long>(static_cast<uint32_t>(hr)));
    return hr;
  }
  // Invoke takes the arguments last first.
  std::vector<VARIANT> args(static_cast<size_t>(count) + 1);
  va_list list;
  va_start(list, count);
  for (int i = 0; i < count; ++i) args[static_cast<size_t>(count - 1 - i)] = va_arg(list, VARIANT);
  va_end(list);
  DISPID namedPut = DISPID_PROPERTYPUT;
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(count), 0};
  if (kind & DISPATCH_PROPERTYPUT) {
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &namedPut;
  }
  if (result) VariantInit(result);
  hr = object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, static_cast<WORD>(kind), &params, result, nullptr,
                      nullptr);
  if (FAILED(hr))
    std::fprintf(stderr, "IDispatch::Invoke(\"%s\"=%08lx) failed w/err 0x%08lx\n", vq::WideToUtf8(name).c_str(),
                static_cast<unsigned long>(static_cast<uint32_t>(id)), static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  return hr;
}

CAutoWord::CAutoWord() { comInitialised_ = SUCCEEDED(CoInitialize(nullptr)); }

CAutoWord::~CAutoWord() {
  QuitApplication();
  if (comInitialised_) CoUninitialize();
}

void CAutoWord::SetFileName(const CString& path) { fileName_ = path; }

void CAutoWord::SetText(const std::string& text) { text_ = vq::AnsiToWide(text); }

void CAutoWord::QuitApplication() {
  if (!application_) return;
  if (FAILED(AutoWrap(DISPATCH_METHOD, nullptr, application_, L"Quit", 0)))
    std::fprintf(stderr, "Error in quitting WinWord.exe\n");
  application_->Release();
  application_ = nullptr;
}

int CAutoWord::WriteDocument() {
  const bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"Word.Application", &clsid);
  int result = 1;
  if (FAILED(hr)) {
    std::fprintf(stderr, "CLSIDFromProgID(\"%s\") failed w/err 0x%08lx\n", "Word.Application", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  } else {
    IDispatch* application = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&application));
    if (FAILED(hr) || !application) {
      std::fprintf(stderr, "Word is not registered properly w/err 0x%08lx\n", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
    } else {
      application_ = application;
      result = Automate(application);
      QuitApplication();
    }
  }
  if (initialised) CoUninitialize();
  return result;
}

int CAutoWord::Automate(IDispatch* application) {
  Held held;
  VARIANT out;
  if (FAILED(AutoWrap(DISPATCH_PROPERTYPUT, nullptr, application, L"Visible", 1, IntArg(0)))) return 1;
  if (FAILED(AutoWrap(DISPATCH_PROPERTYGET, &out, application, L"Documents", 0))) return 1;
  IDispatch* documents = held.Take(out);
  if (FAILED(AutoWrap(DISPATCH_METHOD, &out, documents, L"Add", 0))) return 1;
  IDispatch* document = held.Take(out);
  if (FAILED(AutoWrap(DISPATCH_PROPERTYGET, &out, document, L"Paragraphs", 0))) return 1;
  IDispatch* paragraphs = held.Take(out);
  if (FAILED(AutoWrap(DISPATCH_METHOD, &out, paragraphs, L"Add", 0))) return 1;
  IDispatch* paragraph = held.Take(out);
  if (FAILED(AutoWrap(DISPATCH_PROPERTYGET, &out, paragraph, L"Range", 0))) return 1;
  IDispatch* range = held.Take(out);

  VARIANT text = TextArg(text_.c_str());
  const HRESULT put = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, range, L"Text", 1, text);
  VariantClear(&text);
  if (FAILED(put)) return 1;
  if (FAILED(AutoWrap(DISPATCH_PROPERTYGET, &out, range, L"Font", 0))) return 1;
  IDispatch* font = held.Take(out);
  if (FAILED(AutoWrap(DISPATCH_PROPERTYPUT, nullptr, font, L"Bold", 1, IntArg(1)))) return 1;
  if (FAILED(AutoWrap(DISPATCH_METHOD, nullptr, range, L"InsertParagraphAfter", 0))) return 1;

  VARIANT name = TextArg(fileName_);
  const HRESULT saved = AutoWrap(DISPATCH_METHOD, nullptr, document, L"SaveAs", 1, name);
  VariantClear(&name);
  if (FAILED(saved)) return 1;
  if (FAILED(AutoWrap(DISPATCH_METHOD, nullptr, document, L"Close", 0))) return 1;
  return 0;
}
