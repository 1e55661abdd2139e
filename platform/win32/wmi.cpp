// WMI through COM: the locator of wbemuuid, IWbemServices, IEnumWbemClassObject
// and IWbemClassObject, each held by the seam's object of the same role and
// released with it. Property values become the seam's variants here.

#include "platform/wmi.h"

#include "platform/win32/wide.h"

namespace kv {
namespace {

// Owns one reference to a COM interface.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(Interface* p) : p_(p) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  Interface* get() const { return p_; }
  Interface** out() { return &p_; }
  Interface* operator->() const { return p_; }

 private:
  Interface* p_ = nullptr;
};

// A BSTR made from the seam's text, freed when the object goes.
class Bstr {
 public:
  explicit Bstr(std::u16string_view text)
      : b_(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(b_); }
  BSTR get() const { return b_; }

 private:
  BSTR b_;
};

// Gives a new COM object to the seam's object that owns it, or releases it
// when the caller asked for none.
template <typename Owner, typename Seam, typename Interface>
void HandOver(Interface* object, std::unique_ptr<Seam>* out) {
  if (out)
    *out = std::make_unique<Owner>(object);
  else
    object->Release();
}

std::optional<std::u16string> TextOf(BSTR text) {
  if (!text) return std::nullopt;
  return win32::Utf16(std::wstring_view(text, ::SysStringLen(text)));
}

void ReadArray(SAFEARRAY* array, VARTYPE elementType, Variant* out) {
  ::LONG lower = 0, upper = -1;
  if (!array || ::SafeArrayGetDim(array) != 1 || FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(::SafeArrayGetUBound(array, 1, &upper)))
    return;
  out->arrayLength = upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0;
  if (elementType != VT_BSTR) return;
  for (::LONG i = lower; i <= upper; ++i) {
    BSTR element = nullptr;
    if (FAILED(::SafeArrayGetElement(array, &i, &element))) {
      out->array.emplace_back(std::nullopt);
      continue;
    }
    out->array.push_back(TextOf(element));
    ::SysFreeString(element);
  }
}

Variant FromNative(const VARIANT& native) {
  Variant v;
  v.vt = native.vt;
  if (native.vt & VT_ARRAY) {
    ReadArray(native.parray, static_cast<VARTYPE>(native.vt & ~VT_ARRAY), &v);
    return v;
  }
  switch (native.vt) {
    case VT_I2: v.integer = native.iVal; break;
    case VT_I4: v.integer = native.lVal; break;
    case VT_UI1: v.integer = native.bVal; break;
    case VT_BOOL: v.integer = native.boolVal == VARIANT_FALSE ? 0 : -1; break;
    case VT_R4: v.real = native.fltVal; break;
    case VT_R8: v.real = native.dblVal; break;
    case VT_DATE: v.real = native.date; break;
    case VT_BSTR: v.text = TextOf(native.bstrVal); break;
    default: break;
  }
  return v;
}

class ComObject : public WbemObject {
 public:
  explicit ComObject(IWbemClassObject* object) : object_(object) {}
  HRESULT Get(std::u16string_view name, Variant* value) const override {
    VARIANT native;
    ::VariantInit(&native);
    const HRESULT hr = object_->Get(win32::Wide(name).c_str(), 0, &native, nullptr, nullptr);
    if (SUCCEEDED(hr) && value) *value = FromNative(native);
    ::VariantClear(&native);
    return hr;
  }

 private:
  ComPtr<IWbemClassObject> object_;
};

class ComEnumerator : public WbemEnumerator {
 public:
  explicit ComEnumerator(IEnumWbemClassObject* enumerator) : enumerator_(enumerator) {}
  HRESULT Next(long timeoutMs, std::unique_ptr<WbemObject>* object) override {
    IWbemClassObject* next = nullptr;
    ULONG returned = 0;
    const HRESULT hr = enumerator_->Next(timeoutMs, 1, &next, &returned);
    if (returned == 0 || !next) return hr == WBEM_S_NO_ERROR ? WBEM_S_FALSE : hr;
    HandOver<ComObject>(next, object);
    return hr;
  }

 private:
  ComPtr<IEnumWbemClassObject> enumerator_;
};

class ComServices : public WbemServices {
 public:
  explicit ComServices(IWbemServices* services) : services_(services) {}
  HRESULT SetProxyBlanket(DWORD authnService, DWORD authzService, DWORD authnLevel, DWORD impersonationLevel,
                          DWORD capabilities) override {
    return ::CoSetProxyBlanket(services_.get(), authnService, authzService, nullptr, authnLevel, impersonationLevel,
                               nullptr, capabilities);
  }
  HRESULT ExecQuery(std::u16string_view language, std::u16string_view query, long flags,
                    std::unique_ptr<WbemEnumerator>* result) override {
    const Bstr bstrLanguage(language), bstrQuery(query);
    IEnumWbemClassObject* enumerator = nullptr;
    const HRESULT hr = services_->ExecQuery(bstrLanguage.get(), bstrQuery.get(), flags, nullptr, &enumerator);
    if (FAILED(hr) || !enumerator) return FAILED(hr) ? hr : WBEM_E_FAILED;
    HandOver<ComEnumerator>(enumerator, result);
    return hr;
  }

 private:
  ComPtr<IWbemServices> services_;
};

class ComLocator : public WbemLocator {
 public:
  explicit ComLocator(IWbemLocator* locator) : locator_(locator) {}
  HRESULT ConnectServer(std::u16string_view ns, std::unique_ptr<WbemServices>* services) override {
    const Bstr bstrNamespace(ns);
    IWbemServices* connected = nullptr;
    const HRESULT hr =
        locator_->ConnectServer(bstrNamespace.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &connected);
    if (FAILED(hr) || !connected) return FAILED(hr) ? hr : WBEM_E_FAILED;
    HandOver<ComServices>(connected, services);
    return hr;
  }

 private:
  ComPtr<IWbemLocator> locator_;
};

}  // namespace

HRESULT CoInitializeEx(DWORD concurrencyModel) { return ::CoInitializeEx(nullptr, concurrencyModel); }

void CoUninitialize() { ::CoUninitialize(); }

HRESULT CreateWbemLocator(std::unique_ptr<WbemLocator>* locator) {
  IWbemLocator* created = nullptr;
  const HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                        reinterpret_cast<void**>(&created));
  if (FAILED(hr)) return hr;
  HandOver<ComLocator>(created, locator);
  return hr;
}

}  // namespace kv
