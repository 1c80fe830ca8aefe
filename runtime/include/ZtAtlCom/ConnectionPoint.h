/*
 * ConnectionPoint.h - event sources: the connection point container, its
 * connection points and event firing.
 *
 * An event source class derives from the container and from one connection
 * point per outgoing interface, lists the container in its interface map and
 * the connection points in its connection map:
 *
 *     class CZtThing : public CComObjectRootEx<CComMultiThreadModel>,
 *                      public IConnectionPointContainerImpl<CZtThing>,
 *                      public IConnectionPointImpl<CZtThing, &IID__IZtThingEvents>,
 *                      public IDispatchImpl<IZtThing, &IID_IZtThing> {
 *     public:
 *         BEGIN_COM_MAP(CZtThing)
 *             COM_INTERFACE_ENTRY(IZtThing)
 *             COM_INTERFACE_ENTRY(IConnectionPointContainer)
 *             COM_INTERFACE_ENTRY2(IDispatch, IZtThing)
 *         END_COM_MAP()
 *         BEGIN_CONNECTION_POINT_MAP(CZtThing)
 *             CONNECTION_POINT_ENTRY(IID__IZtThingEvents)
 *         END_CONNECTION_POINT_MAP()
 *
 *         HRESULT NotifyChanged(IZtThing* what, VARIANT_BOOL removed) {
 *             // the sink's rgvarg[0] is removed (VT_I2), rgvarg[1] what (VT_DISPATCH)
 *             return FireEvent<4>(m_vec, this, removed, what);
 *         }
 *     };
 *
 * The connection point is a sub-object of the source with an identity of its
 * own: it answers QueryInterface for IUnknown and IConnectionPoint only, and
 * counts on the source's reference count. Its sinks sit in a
 * CComDynamicUnkArray (m_vec) guarded by the source's object lock, which is
 * held only while the table is read or changed: sinks are queried, called and
 * released without it, so a sink may advise or unadvise from inside a call.
 * Events may be fired from any thread; the sink is called on that thread.
 */
#ifndef ZT_ATLCOM_CONNECTION_POINT_H
#define ZT_ATLCOM_CONNECTION_POINT_H

#include "ZtAtlCom/ComDynamicUnkArray.h"
#include "ZtAtlCom/ComEnum.h"

#include <cstddef>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>

namespace ZtAtlCom {

// ---- firing ---------------------------------------------------------------

namespace detail {

template <class A>
inline constexpr bool kUnsupportedEventArgument = false;

// An event argument as a VARIANT: short as VT_I2; an interface pointer as
// VT_DISPATCH holding a reference of its own (null stays null).
template <class A>
void PackEventArgument(VARIANT& v, const A& value) noexcept {
    VariantInit(&v);
    if constexpr (std::is_same_v<A, SHORT>) {
        v.vt = VT_I2;
        v.iVal = value;
    } else if constexpr (std::is_pointer_v<A> && std::is_convertible_v<A, IDispatch*>) {
        v.vt = VT_DISPATCH;
        v.pdispVal = value;
        if (v.pdispVal) v.pdispVal->AddRef();
    } else {
        static_assert(kUnsupportedEventArgument<A>, "event arguments are short values and dispatch interface pointers");
    }
}

// One dispatch call of member N on sink with fresh VARIANTs (a sink may
// change what it receives); a sink that throws counts as E_FAIL.
template <DISPID N, class... Args>
HRESULT InvokeEventSink(IDispatch* sink, const Args&... args) noexcept {
    constexpr std::size_t count = sizeof...(Args);
    VARIANT packed[count ? count : 1];
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (PackEventArgument(packed[I], args), ...);
    }(std::index_sequence_for<Args...>{});
    DISPPARAMS params{count ? packed : nullptr, nullptr, static_cast<UINT>(count), 0};
    HRESULT hr = ZtAtlCall([&] {
        return sink->Invoke(N, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    });
    for (std::size_t i = 0; i < count; ++i) VariantClear(&packed[i]);
    return hr;
}

}  // namespace detail

/* Calls Invoke(N, IID_NULL, 0, DISPATCH_METHOD, params, null, null, null) on
 * every sink in sinks, in slot order. rgvarg[0] is the first argument given
 * here: pass an event's arguments last first. Arguments: SHORT (VT_I2, so
 * VARIANT_BOOL too) and pointers to interfaces derived from IDispatch
 * (VT_DISPATCH). owner is the source whose object lock guards sinks; the
 * lock is held only while one slot is read and its sink referenced. The
 * slots are those present when firing starts: a sink advised meanwhile into
 * a slot beyond them is not called, one unadvised before its turn is
 * skipped. A failing sink does not stop the others. Returns the result of
 * the last Invoke (S_OK when no sink was called); E_INVALIDARG for a null
 * owner. Sinks hold the outgoing interface, which derives from IDispatch.
 * The owner is kept alive for the whole firing, so a sink may release its
 * last reference from inside its call; it goes when the firing ends. */
template <DISPID N, class T, class... Args>
HRESULT FireEvent(CComDynamicUnkArray& sinks, T* owner, const Args&... args) noexcept {
    if (!owner) return E_INVALIDARG;
    int capacity = 0;
    {
        std::lock_guard<std::mutex> lock(owner->m_mutex);
        capacity = sinks.GetSize();
    }
    if (capacity <= 0) return S_OK;
    struct Hold {
        T* owner;
        ~Hold() { owner->Release(); }
    } hold{owner};
    owner->AddRef();
    HRESULT result = S_OK;
    for (int i = 0; i < capacity; ++i) {
        IUnknown* sink = nullptr;
        {
            std::lock_guard<std::mutex> lock(owner->m_mutex);
            sink = sinks.GetAt(i);
            if (sink) sink->AddRef();
        }
        if (!sink) continue;
        result = detail::InvokeEventSink<N>(static_cast<IDispatch*>(sink), args...);
        sink->Release();
    }
    return result;
}

// ---- connection points ----------------------------------------------------

// What a connection-map entry leads to: the connection point it holds.
class _ICPLocatorBase {
public:
    virtual IConnectionPoint* _LocCP() noexcept = 0;

protected:
    ~_ICPLocatorBase() = default;
};

// One locator per outgoing interface, so that a map entry names it by id.
template <const IID* piid>
class _ICPLocator : public _ICPLocatorBase {
protected:
    ~_ICPLocator() = default;
};

/* The connection point for outgoing interface *piid of source class T
 * (which derives from this). Advise: E_POINTER for a null sink or cookie
 * pointer (the cookie is set to 0 first); a sink without the interface:
 * CONNECT_E_CANNOTCONNECT (other query failures as they are); a table that
 * cannot grow: CONNECT_E_ADVISELIMIT. Unadvise: CONNECT_E_NOCONNECTION for
 * a cookie that holds no sink. EnumConnections: a snapshot of the sinks with
 * their cookies. */
template <class T, const IID* piid, class CDV = CComDynamicUnkArray>
class IConnectionPointImpl : public _ICPLocator<piid> {
public:
    IConnectionPointImpl() noexcept : m_cp(this) {}
    IConnectionPointImpl(const IConnectionPointImpl&) = delete;
    IConnectionPointImpl& operator=(const IConnectionPointImpl&) = delete;

    IConnectionPoint* _LocCP() noexcept override { return &m_cp; }

    // FireEvent<N> on this connection point's sinks.
    template <DISPID N, class... Args>
    HRESULT Fire(const Args&... args) noexcept {
        return FireEvent<N>(m_vec, Owner(), args...);
    }

private:
    T* Owner() noexcept { return static_cast<T*>(this); }
    std::mutex& OwnerLock() noexcept { return Owner()->m_mutex; }

    class Point final : public IConnectionPoint {
    public:
        explicit Point(IConnectionPointImpl* impl) noexcept : m_impl(impl) {}

        HRESULT QueryInterface(REFIID iid, void** ppv) override {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (!(iid == iid_of<IUnknown>()) && !(iid == iid_of<IConnectionPoint>())) return E_NOINTERFACE;
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        ULONG AddRef() override { return m_impl->Owner()->AddRef(); }
        ULONG Release() override { return m_impl->Owner()->Release(); }

        HRESULT GetConnectionInterface(IID* pIID) override {
            if (!pIID) return E_POINTER;
            *pIID = *piid;
            return S_OK;
        }

        HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override {
            if (!ppCPC) return E_POINTER;
            return m_impl->Owner()->QueryInterface(iid_of<IConnectionPointContainer>(),
                                                   reinterpret_cast<void**>(ppCPC));
        }

        HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override {
            if (pdwCookie) *pdwCookie = 0;
            if (!pUnkSink || !pdwCookie) return E_POINTER;
            IID iid{};
            HRESULT hr = GetConnectionInterface(&iid);
            if (Failed(hr)) return hr;
            void* p = nullptr;
            hr = ZtAtlCall([&] { return pUnkSink->QueryInterface(iid, &p); });
            if (hr == E_NOINTERFACE || (Succeeded(hr) && !p)) return CONNECT_E_CANNOTCONNECT;
            if (Failed(hr)) return hr;
            auto* sink = static_cast<IUnknown*>(p);
            DWORD cookie = 0;
            {
                std::lock_guard<std::mutex> lock(m_impl->OwnerLock());
                cookie = m_impl->m_vec.Add(sink);
            }
            if (cookie == 0) {
                sink->Release();
                return CONNECT_E_ADVISELIMIT;
            }
            *pdwCookie = cookie;
            return S_OK;
        }

        HRESULT Unadvise(DWORD dwCookie) override {
            IUnknown* sink = nullptr;
            {
                std::lock_guard<std::mutex> lock(m_impl->OwnerLock());
                sink = m_impl->m_vec.Remove(dwCookie);
            }
            if (!sink) return CONNECT_E_NOCONNECTION;
            sink->Release();
            return S_OK;
        }

        // Each record carries its sink's own cookie (slot index + 1), also
        // when one sink is advised more than once.
        HRESULT EnumConnections(IEnumConnections** ppEnum) override {
            if (!ppEnum) return E_POINTER;
            *ppEnum = nullptr;
            using Enum = CComEnum<IEnumConnections, &IID_IEnumConnections, CONNECTDATA, _Copy<CONNECTDATA>>;
            CComObject<Enum>* enumerator = nullptr;
            HRESULT hr = CreateObject<Enum>(&enumerator);
            if (Failed(hr)) return hr;
            CONNECTDATA* records = nullptr;
            std::size_t filled = 0;
            {
                std::lock_guard<std::mutex> lock(m_impl->OwnerLock());
                const CDV& sinks = m_impl->m_vec;
                int capacity = sinks.GetSize();
                records = new (std::nothrow) CONNECTDATA[capacity > 0 ? static_cast<std::size_t>(capacity) : 1];
                for (int i = 0; records && i < capacity; ++i) {
                    if (IUnknown* sink = sinks.GetAt(i)) {
                        sink->AddRef();
                        records[filled++] = CONNECTDATA{sink, CDV::GetCookie(i)};
                    }
                }
            }
            if (!records) {
                enumerator->Release();
                return E_OUTOFMEMORY;
            }
            // Takes the records over, so releasing the enumerator releases them.
            hr = enumerator->Init(records, records + filled, nullptr, ZtEnumTakeOwnership);
            if (Failed(hr)) {
                for (std::size_t i = 0; i < filled; ++i) records[i].pUnk->Release();
                delete[] records;
            } else {
                hr = enumerator->QueryInterface(iid_of<IEnumConnections>(), reinterpret_cast<void**>(ppEnum));
            }
            enumerator->Release();
            return hr;
        }

    private:
        IConnectionPointImpl* m_impl;
    };

    Point m_cp;

public:
    CDV m_vec;
};

// ---- the container --------------------------------------------------------

// One row of a connection map: the distance in bytes from the container to
// a connection point's locator; -1 ends the map.
struct _ZT_CONNMAP_ENTRY {
    std::ptrdiff_t dwOffset;
};

namespace detail {

template <class T, const IID* piid>
std::ptrdiff_t ConnectionPointOffset() noexcept {
    return static_cast<std::ptrdiff_t>(OffsetOfClass2<_ICPLocatorBase, _ICPLocator<piid>, T>()) -
           static_cast<std::ptrdiff_t>(OffsetOfClass<IConnectionPointContainer, T>());
}

}  // namespace detail

/* The container of source class T, over T's connection map.
 * FindConnectionPoint: the connection point for riid with a reference, or
 * CONNECT_E_NOCONNECTION (*ppCP null). EnumConnectionPoints: an enumerator
 * over a private copy of the connection points; it holds a reference on the
 * source. */
template <class T>
class IConnectionPointContainerImpl : public IConnectionPointContainer {
public:
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        std::size_t count = 0;
        ForEachConnectionPoint([&](IConnectionPoint*) { return ++count, false; });
        IConnectionPoint** points = new (std::nothrow) IConnectionPoint*[count ? count : 1];
        if (!points) return E_OUTOFMEMORY;
        std::size_t n = 0;
        ForEachConnectionPoint([&](IConnectionPoint* cp) { return points[n++] = cp, false; });
        using Enum = CComEnum<IEnumConnectionPoints, &IID_IEnumConnectionPoints, IConnectionPoint*,
                              _CopyInterface<IConnectionPoint>>;
        CComObject<Enum>* enumerator = nullptr;
        HRESULT hr = CreateObject<Enum>(&enumerator);
        if (Succeeded(hr)) {
            hr = enumerator->Init(points, points + n, static_cast<IConnectionPointContainer*>(this), ZtEnumCopy);
            if (Succeeded(hr))
                hr = enumerator->QueryInterface(iid_of<IEnumConnectionPoints>(), reinterpret_cast<void**>(ppEnum));
            enumerator->Release();
        }
        delete[] points;
        return hr;
    }

    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
        if (!ppCP) return E_POINTER;
        *ppCP = nullptr;
        IConnectionPoint* found = nullptr;
        ForEachConnectionPoint([&](IConnectionPoint* cp) {
            IID iid{};
            if (Succeeded(cp->GetConnectionInterface(&iid)) && iid == riid) found = cp;
            return found != nullptr;
        });
        if (!found) return CONNECT_E_NOCONNECTION;
        found->AddRef();
        *ppCP = found;
        return S_OK;
    }

private:
    // Calls visit(cp) for each connection point in map order until it returns true.
    template <class Visit>
    void ForEachConnectionPoint(Visit&& visit) noexcept {
        char* container = reinterpret_cast<char*>(static_cast<IConnectionPointContainer*>(this));
        const _ZT_CONNMAP_ENTRY* entry = T::GetConnMap();
        for (; entry && entry->dwOffset != -1; ++entry) {
            auto* locator = reinterpret_cast<_ICPLocatorBase*>(container + entry->dwOffset);
            if (visit(locator->_LocCP())) return;
        }
    }
};

}  // namespace ZtAtlCom

#define BEGIN_CONNECTION_POINT_MAP(ThisClass)                                     \
public:                                                                           \
    using _ConnMapClass = ThisClass;                                              \
    static const ::ZtAtlCom::_ZT_CONNMAP_ENTRY* GetConnMap() noexcept {           \
        static const ::ZtAtlCom::_ZT_CONNMAP_ENTRY _entries[] = {

// The connection point of ThisClass's base IConnectionPointImpl<ThisClass, &iid>.
#define CONNECTION_POINT_ENTRY(iid) {::ZtAtlCom::detail::ConnectionPointOffset<_ConnMapClass, &(iid)>()},

#define END_CONNECTION_POINT_MAP() \
    {-1}                           \
    }                              \
    ;                              \
    return _entries;               \
    }

#endif  // ZT_ATLCOM_CONNECTION_POINT_H
