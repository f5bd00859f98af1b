#include "platform/win/WordAutomation.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "imaging/ReplacingFile.h"
#include "base/PathEncoding.h"

namespace {

constexpr CLSID kWordClsid{0x7a1d3c51, 0x52e4, 0x4b1f, {0x9a, 0x11, 0x6e, 0x20, 0x33, 0x0f, 0x71, 0x02}};
std::atomic<bool> gWordAvailable{true};

struct Paragraph {
  std::wstring text;
  bool bold = false;
};
struct DocumentData {
  std::vector<Paragraph> paragraphs;
};

// One automation object: named members, each a getter, a setter or a method.
class StandInObject : public IDispatch {
 public:
  explicit StandInObject(std::vector<std::wstring> names) : names_(std::move(names)) {}
  virtual ~StandInObject() = default;

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    const ULONG n = refs_.Drop();
    if (n == 0) delete this;
    return n;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count != 1) return E_INVALIDARG;
    for (size_t i = 0; i < names_.size(); ++i) {
      if (names_[i] == names[0]) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, void*,
                 UINT*) override {
    if (id < 1 || static_cast<size_t>(id) > names_.size() || !params) return DISP_E_MEMBERNOTFOUND;
    return Call(names_[id - 1], flags, *params, result);
  }

 protected:
  virtual HRESULT Call(const std::wstring& name, WORD flags, const DISPPARAMS& params, VARIANT* result) = 0;

  static HRESULT Return(VARIANT* result, IDispatch* object) {
    if (!result) {
      object->Release();
      return S_OK;
    }
    SetDispatch(result, object);
    return S_OK;
  }

 private:
  std::vector<std::wstring> names_;
  vq::com::RefCount refs_;
};

class FontObject : public StandInObject {
 public:
  FontObject(std::shared_ptr<DocumentData> doc, size_t paragraph)
      : StandInObject({L"Bold"}), doc_(std::move(doc)), paragraph_(paragraph) {}

 protected:
  HRESULT Call(const std::wstring&, WORD flags, const DISPPARAMS& params, VARIANT*) override {
    if (flags != DISPATCH_PROPERTYPUT || params.cArgs != 1 || params.rgvarg[0].vt != VT_I4)
      return DISP_E_TYPEMISMATCH;
    doc_->paragraphs[paragraph_].bold = params.rgvarg[0].lVal != 0;
    return S_OK;
  }

 private:
  std::shared_ptr<DocumentData> doc_;
  size_t paragraph_;
};

class RangeObject : public StandInObject {
 public:
  RangeObject(std::shared_ptr<DocumentData> doc, size_t paragraph)
      : StandInObject({L"Text", L"Font", L"InsertParagraphAfter"}), doc_(std::move(doc)), paragraph_(paragraph) {}

 protected:
  HRESULT Call(const std::wstring& name, WORD flags, const DISPPARAMS& params, VARIANT* result) override {
    if (name == L"Text" && flags == DISPATCH_PROPERTYPUT) {
      if (params.cArgs != 1 || params.rgvarg[0].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
      doc_->paragraphs[paragraph_].text = params.rgvarg[0].bstrVal ? params.rgvarg[0].bstrVal : L"";
      return S_OK;
    }
    if (name == L"Font" && flags == DISPATCH_PROPERTYGET) return Return(result, new FontObject(doc_, paragraph_));
    if (name == L"InsertParagraphAfter" && flags == DISPATCH_METHOD) {
      doc_->paragraphs.insert(doc_->paragraphs.begin() + static_cast<long>(paragraph_) + 1, Paragraph{});
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  std::shared_ptr<DocumentData> doc_;
  size_t paragraph_;
};

class ParagraphObject : public StandInObject {
 public:
  ParagraphObject(std::shared_ptr<DocumentData> doc, size_t paragraph)
      : StandInObject({L"Range"}), doc_(std::move(doc)), paragraph_(paragraph) {}

 protected:
  HRESULT Call(const std::wstring&, WORD flags, const DISPPARAMS&, VARIANT* result) override {
    if (flags != DISPATCH_PROPERTYGET) return DISP_E_MEMBERNOTFOUND;
    return Return(result, new RangeObject(doc_, paragraph_));
  }

 private:
  std::shared_ptr<DocumentData> doc_;
  size_t paragraph_;
};

class ParagraphsObject : public StandInObject {
 public:
  explicit ParagraphsObject(std::shared_ptr<DocumentData> doc) : StandInObject({L"Add"}), doc_(std::move(doc)) {}

 protected:
  HRESULT Call(const std::wstring&, WORD flags, const DISPPARAMS&, VARIANT* result) override {
    if (flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
    doc_->paragraphs.push_back(Paragraph{});
    return Return(result, new ParagraphObject(doc_, doc_->paragraphs.size() - 1));
  }

 private:
  std::shared_ptr<DocumentData> doc_;
};

// RTF text: \, { and } escaped, other characters beyond ASCII as \uN?.
std::string RtfText(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'{' || c == L'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == L'\n') {
      out += "\\line ";
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else if (c > 0xFFFF) {  // a surrogate pair
      const unsigned v = static_cast<unsigned>(c) - 0x10000;
      out += "\\u" + std::to_string(static_cast<int16_t>(0xD800 + (v >> 10))) + "?";
      out += "\\u" + std::to_string(static_cast<int16_t>(0xDC00 + (v & 0x3FF))) + "?";
    } else if (c >= 0x80) {
      out += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
    }
  }
  return out;
}

bool WriteRtf(const DocumentData& doc, const std::string& path) {
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss Arial;}}\n";
  for (const Paragraph& p : doc.paragraphs)
    rtf += std::string(p.bold ? "{\\b " : "{") + RtfText(p.text) + "}\\par\n";
  rtf += "}\n";
  return vq::WriteReplacing(path, rtf.data(), rtf.size());
}

class DocumentObject : public StandInObject {
 public:
  DocumentObject() : StandInObject({L"Paragraphs", L"SaveAs", L"Close"}), doc_(std::make_shared<DocumentData>()) {}

 protected:
  HRESULT Call(const std::wstring& name, WORD flags, const DISPPARAMS& params, VARIANT* result) override {
    if (name == L"Paragraphs" && flags == DISPATCH_PROPERTYGET) return Return(result, new ParagraphsObject(doc_));
    if (name == L"SaveAs" && flags == DISPATCH_METHOD) {
      if (params.cArgs < 1 || params.rgvarg[params.cArgs - 1].vt != VT_BSTR) return DISP_E_BADPARAMCOUNT;
      const BSTR file = params.rgvarg[params.cArgs - 1].bstrVal;
      if (!file || !*file) return STG_E_CANTSAVE;
      return WriteRtf(*doc_, vq::PathToBytes(file)) ? S_OK : STG_E_CANTSAVE;
    }
    if (name == L"Close" && flags == DISPATCH_METHOD) return S_OK;
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  std::shared_ptr<DocumentData> doc_;
};

class DocumentsObject : public StandInObject {
 public:
  DocumentsObject() : StandInObject({L"Add"}) {}

 protected:
  HRESULT Call(const std::wstring&, WORD flags, const DISPPARAMS&, VARIANT* result) override {
    if (flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
    return Return(result, new DocumentObject());
  }
};

class ApplicationObject : public StandInObject {
 public:
  ApplicationObject() : StandInObject({L"Visible", L"Documents", L"Quit"}) {}

 protected:
  HRESULT Call(const std::wstring& name, WORD flags, const DISPPARAMS&, VARIANT* result) override {
    if (name == L"Visible" && flags == DISPATCH_PROPERTYPUT) return S_OK;  // never shown
    if (name == L"Documents" && flags == DISPATCH_PROPERTYGET) return Return(result, new DocumentsObject());
    if (name == L"Quit" && flags == DISPATCH_METHOD) return S_OK;
    return DISP_E_MEMBERNOTFOUND;
  }
};

}  // namespace

IDispatch* DispatchOf(const VARIANT& v) {
  return v.vt == VT_DISPATCH_VALUE ? reinterpret_cast<IDispatch*>(v.bstrVal) : nullptr;
}

void SetDispatch(VARIANT* v, IDispatch* object) {
  v->vt = VT_DISPATCH_VALUE;
  v->bstrVal = reinterpret_cast<BSTR>(object);
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  if (!gWordAvailable || std::wcscmp(progId, L"Word.Application") != 0) return CO_E_CLASSSTRING;
  static const bool registered = [] {
    vq::com::RegisterClass(kWordClsid, [] { return static_cast<IUnknown*>(new ApplicationObject()); });
    return true;
  }();
  (void)registered;
  *clsid = kWordClsid;
  return S_OK;
}

namespace vqplatform {
void SetWordAvailable(bool available) { gWordAvailable = available; }
}  // namespace vqplatform
