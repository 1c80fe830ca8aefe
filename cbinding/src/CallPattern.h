// CallPattern.h - how every C function of the binding calls one interface
// method (internal).
//
//     ZTC_API HRESULT IZtEvent_get_SourceName(void* h, ZtTextCallback cb, void* ctx) noexcept {
//         return Call<IZtEvent>(h, &IZtEvent::get_SourceName, OutText(cb, ctx));
//     }
//
// Call looks the handle up for interface I (E_NOINTERFACE without calling
// anything when it is not registered or lacks I; see HandleRegistry.h for
// how the object stays alive during the call), prepares each argument
// converter in order (a converter that fails ends the call before the
// method runs), calls the method on the interface pointer, lets each
// converter hand its output over when the method succeeded, and reports
// every success as S_OK. Arguments that are not converters pass unchanged.
// No exception leaves Call; the lookup and every temporary are released on
// all paths.
//
// Converters are classes with Prepare() -> HRESULT, Arg() -> what the
// method receives, and Finish(HRESULT) -> HRESULT, called after a
// successful method (it may turn the success into a failure).
#ifndef ZT_CALL_PATTERN_H
#define ZT_CALL_PATTERN_H

#include <concepts>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "HandleRegistry.h"
#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/Variant.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"
#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"

#define ZTC_API extern "C" ZTPROXYC_API

namespace ZtProxyC {

using ZtAtlCom::BSTR;
using ZtAtlCom::CComPtr;
using ZtAtlCom::HRESULT;

// The C header's types have the component types' layouts; the binding
// passes them across by address or by bytes.
static_assert(sizeof(::GUID) == sizeof(ZtAtlCom::GUID));
static_assert(sizeof(::VARIANT) == sizeof(ZtAtlCom::VARIANT) && offsetof(::VARIANT, u) == 8);
static_assert(sizeof(::ZtEventArgumentsInfo) == sizeof(ZtEventLoggerVdlProxy::ZtEventArgumentsInfo));
static_assert(std::is_same_v<int64_t, long> && std::is_same_v<uint64_t, unsigned long>,
              "the C header's 64-bit values are the interfaces' long");

inline ZtAtlCom::GUID ToGuid(const ::GUID& g) noexcept {
    ZtAtlCom::GUID r;
    std::memcpy(&r, &g, sizeof r);
    return r;
}
inline ZtAtlCom::GUID* ToGuid(::GUID* g) noexcept { return reinterpret_cast<ZtAtlCom::GUID*>(g); }
inline ZtEventLoggerVdlProxy::ZtEventArgumentsInfo ToInfo(const ::ZtEventArgumentsInfo& i) noexcept {
    ZtEventLoggerVdlProxy::ZtEventArgumentsInfo r;
    std::memcpy(&r, &i, sizeof r);
    return r;
}
inline ZtEventLoggerVdlProxy::ZtEventArgumentsInfo* ToInfo(::ZtEventArgumentsInfo* i) noexcept {
    return reinterpret_cast<ZtEventLoggerVdlProxy::ZtEventArgumentsInfo*>(i);
}
// 32-bit enumerations: by value and through out pointers.
template <class E>
E ToEnum(int32_t v) noexcept {
    static_assert(sizeof(E) == sizeof(int32_t));
    return static_cast<E>(v);
}
template <class E>
E* ToEnum(int32_t* p) noexcept {
    static_assert(sizeof(E) == sizeof(int32_t));
    return reinterpret_cast<E*>(p);
}

// ---- converters --------------------------------------------------------

// A C text copied into a BSTR for the call. A copy that cannot be made ends
// the call with E_OUTOFMEMORY: the method must not see a missing text.
class InText {
public:
    explicit InText(const char* text) noexcept : m_text(text) {}
    ~InText() { ZtAtlCom::SysFreeString(m_bstr); }
    InText(InText&&) = delete;
    HRESULT Prepare() noexcept {
        if (!m_text) return ZtAtlCom::S_OK;
        m_bstr = ZtAtlCom::SysAllocString(m_text);
        return m_bstr ? ZtAtlCom::S_OK : ZtAtlCom::E_OUTOFMEMORY;
    }
    BSTR Arg() const noexcept { return m_bstr; }
    HRESULT Finish(HRESULT hr) noexcept { return hr; }

private:
    const char* m_text;
    BSTR m_bstr = nullptr;
};

// An output text handed to callback(context, text) once the method succeeded.
class OutText {
public:
    OutText(ZtTextCallback callback, void* context) noexcept : m_callback(callback), m_context(context) {}
    ~OutText() { ZtAtlCom::SysFreeString(m_bstr); }
    OutText(OutText&&) = delete;
    HRESULT Prepare() const noexcept { return m_callback ? ZtAtlCom::S_OK : ZtAtlCom::E_INVALIDARG; }
    BSTR* Arg() noexcept { return &m_bstr; }
    HRESULT Finish(HRESULT hr) noexcept {
        m_callback(m_context, m_bstr);
        return hr;
    }

private:
    ZtTextCallback m_callback;
    void* m_context;
    BSTR m_bstr = nullptr;
};

// A C boolean byte as VARIANT_BOOL: the negated low byte (1 gives -1).
class InBool {
public:
    explicit InBool(char value) noexcept : m_value(static_cast<ZtAtlCom::VARIANT_BOOL>(-static_cast<unsigned char>(value))) {}
    HRESULT Prepare() const noexcept { return ZtAtlCom::S_OK; }
    ZtAtlCom::VARIANT_BOOL Arg() const noexcept { return m_value; }
    HRESULT Finish(HRESULT hr) const noexcept { return hr; }

private:
    ZtAtlCom::VARIANT_BOOL m_value;
};

// An output VARIANT_BOOL as a C byte: 1 exactly for VARIANT_TRUE. Methods
// that report a plain byte instead (an alarm's raised flag) are read with
// lenient = true, where any non-zero value is true.
class OutBool {
public:
    explicit OutBool(char* out, bool lenient = false) noexcept : m_out(out), m_lenient(lenient) {}
    HRESULT Prepare() const noexcept { return m_out ? ZtAtlCom::S_OK : ZtAtlCom::E_INVALIDARG; }
    ZtAtlCom::VARIANT_BOOL* Arg() noexcept { return &m_value; }
    HRESULT Finish(HRESULT hr) const noexcept {
        *m_out = (m_value == ZtAtlCom::VARIANT_TRUE || (m_lenient && m_value != 0)) ? 1 : 0;
        return hr;
    }

private:
    char* m_out;
    bool m_lenient;
    ZtAtlCom::VARIANT_BOOL m_value = 0;
};

// An input VARIANT copied into a temporary for the call. A failed copy is
// passed on as VT_ERROR carrying its code, so that the method decides.
class InVariant {
public:
    explicit InVariant(const ::VARIANT* value) noexcept : m_source(value) { ZtAtlCom::VariantInit(&m_value); }
    ~InVariant() { ZtAtlCom::VariantClear(&m_value); }
    InVariant(InVariant&&) = delete;
    HRESULT Prepare() noexcept {
        if (!m_source) return ZtAtlCom::S_OK;
        HRESULT hr = ZtAtlCom::VariantCopy(&m_value, reinterpret_cast<const ZtAtlCom::VARIANT*>(m_source));
        if (ZtAtlCom::Failed(hr)) {
            ZtAtlCom::VariantInit(&m_value);
            m_value.vt = ZtAtlCom::VT_ERROR;
            m_value.scode = hr;
        }
        return ZtAtlCom::S_OK;
    }
    ZtAtlCom::VARIANT Arg() const noexcept { return m_value; }
    HRESULT Finish(HRESULT hr) const noexcept { return hr; }

private:
    const ::VARIANT* m_source;
    ZtAtlCom::VARIANT m_value;
};

// An output VARIANT handed to callback(context, value), cleared afterwards.
class OutVariant {
public:
    OutVariant(ZtVariantCallback callback, void* context) noexcept : m_callback(callback), m_context(context) {
        ZtAtlCom::VariantInit(&m_value);
    }
    ~OutVariant() { ZtAtlCom::VariantClear(&m_value); }
    OutVariant(OutVariant&&) = delete;
    HRESULT Prepare() const noexcept { return m_callback ? ZtAtlCom::S_OK : ZtAtlCom::E_INVALIDARG; }
    ZtAtlCom::VARIANT* Arg() noexcept { return &m_value; }
    HRESULT Finish(HRESULT hr) noexcept {
        m_callback(m_context, reinterpret_cast<const ::VARIANT*>(&m_value));
        return hr;
    }

private:
    ZtVariantCallback m_callback;
    void* m_context;
    ZtAtlCom::VARIANT m_value;
};

// An output object registered as a handle. A method that succeeds without
// an object leaves *out untouched.
template <class I>
class OutObject {
public:
    explicit OutObject(void** out) noexcept : m_out(out) {}
    OutObject(OutObject&&) = delete;
    HRESULT Prepare() const noexcept { return m_out ? ZtAtlCom::S_OK : ZtAtlCom::E_INVALIDARG; }
    I** Arg() noexcept { return m_object.ReleaseAndGetAddressOf(); }
    HRESULT Finish(HRESULT hr) noexcept {
        if (!m_object) return hr;
        void* handle = RegisterObject(m_object);
        if (!handle) return ZtAtlCom::E_FAIL;
        *m_out = handle;
        return hr;
    }
    bool Produced() const noexcept { return m_object != nullptr; }

private:
    void** m_out;
    CComPtr<I> m_object;
};

// An optional object argument: null stays null; anything else must be a
// registered handle with interface I (else E_NOINTERFACE before the call).
// Q is the interface the method's parameter takes, a base of I.
template <class I, class Q = I>
class Optional {
public:
    explicit Optional(void* handle) noexcept : m_handle(handle) {}
    Optional(Optional&&) = delete;
    HRESULT Prepare() noexcept {
        if (!m_handle) return ZtAtlCom::S_OK;
        m_ref = Registry().Query(m_handle, ZtAtlCom::iid_of<I>());
        return m_ref ? ZtAtlCom::S_OK : ZtAtlCom::E_NOINTERFACE;
    }
    Q* Arg() const noexcept { return static_cast<I*>(m_ref.Get()); }
    HRESULT Finish(HRESULT hr) const noexcept { return hr; }

private:
    void* m_handle;
    HandleRegistry::Ref m_ref;
};

// ---- the call ----------------------------------------------------------

namespace detail {

template <class T>
concept Converter = requires(T& t) {
    { t.Prepare() } -> std::same_as<HRESULT>;
    t.Arg();
};

template <class T>
HRESULT Prepare(T& t) noexcept {
    if constexpr (Converter<T>) return t.Prepare();
    else return ZtAtlCom::S_OK;
}
template <class T>
decltype(auto) Arg(T& t) noexcept {
    if constexpr (Converter<T>) return t.Arg();
    else return (t);
}
template <class T>
HRESULT Finish(T& t, HRESULT hr) noexcept {
    if constexpr (Converter<T>) return t.Finish(hr);
    else return hr;
}

}  // namespace detail

// The interface pointer of a handle for I with a reference of its own, or
// null (for code that keeps it beyond one call).
template <class I>
CComPtr<I> Lookup(const void* handle) noexcept {
    HandleRegistry::Ref ref = Registry().Query(handle, ZtAtlCom::iid_of<I>());
    return CComPtr<I>(static_cast<I*>(ref.Get()));
}

// The method's own result, or the first converter failure. Successes are
// not normalised here (see Call).
template <class I, class Method, class... Args>
HRESULT CallRaw(const void* handle, Method method, Args&&... args) noexcept {
    try {
        // The record stays pinned, and so the object alive, until the call returns.
        HandleRegistry::Ref ref = Registry().Query(handle, ZtAtlCom::iid_of<I>());
        if (!ref) return ZtAtlCom::E_NOINTERFACE;
        I* itf = static_cast<I*>(ref.Get());
        HRESULT hr = ZtAtlCom::S_OK;
        ((hr = ZtAtlCom::Failed(hr) ? hr : detail::Prepare(args)), ...);
        if (ZtAtlCom::Failed(hr)) return hr;
        hr = (itf->*method)(detail::Arg(args)...);
        if (ZtAtlCom::Failed(hr)) return hr;
        ((hr = ZtAtlCom::Failed(hr) ? hr : detail::Finish(args, hr)), ...);
        return hr;
    } catch (...) {
        return ZtAtlCom::detail::HResultFromCurrentException();
    }
}

// Every success reaches the C caller as S_OK.
inline HRESULT Normalise(HRESULT hr) noexcept { return ZtAtlCom::Failed(hr) ? hr : ZtAtlCom::S_OK; }

template <class I, class Method, class... Args>
HRESULT Call(const void* handle, Method method, Args&&... args) noexcept {
    return Normalise(CallRaw<I>(handle, method, std::forward<Args>(args)...));
}

}  // namespace ZtProxyC

#endif  // ZT_CALL_PATTERN_H
