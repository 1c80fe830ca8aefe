/*
 * ComCreate.h - making components and handing out their first interface.
 *
 * Create<T, I>(&p, args...) is the one way the library makes a component:
 *   1. a null out-pointer gives E_POINTER; otherwise *p becomes null;
 *   2. CComObject<T> is allocated without throwing (E_OUTOFMEMORY), its
 *      storage zeroed and T's default constructor run; a constructor that
 *      throws frees the storage and reports the mapped HRESULT (AtlException.h);
 *   3. T::FinalConstruct runs with the count raised by one;
 *   4. the object takes its first reference and receives the arguments:
 *      T::Init(args...) is called when T has one (its HRESULT, or the mapped
 *      exception, becomes the result); with no arguments and no Init nothing
 *      is done. Classes that take a value by move declare Init(Value&&);
 *   5. on success the object is queried for I into *p;
 *   6. the first reference is released: on any failure the object is
 *      destroyed and *p stays null, else *p holds the only reference.
 * Clones follow the same steps with detail::InitCComObject as step 4 (see
 * CreateClone). A class may provide static operator new/delete taking
 * std::nothrow_t for its storage.
 */
#ifndef ZT_ATLCOM_COM_CREATE_H
#define ZT_ATLCOM_COM_CREATE_H

#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/ComObject.h"

#include <cstring>
#include <new>
#include <type_traits>

namespace ZtAtlCom {
namespace detail {

template <class T>
void* AllocateComObject(std::size_t size) noexcept {
    if constexpr (requires { T::operator new(size, std::nothrow); })
        return T::operator new(size, std::nothrow);
    else
        return ::operator new(size, std::nothrow);
}

template <class T>
void FreeComObject(void* storage) noexcept {
    if constexpr (requires { T::operator delete(storage); })
        T::operator delete(storage);
    else
        ::operator delete(storage);
}

// Steps 1 to 4 and 6 of Create; handOver(CComObject<T>*) is step 4 and
// finish(CComObject<T>*) hands out the reference on success.
template <class T, class HandOver, class Finish>
HRESULT BuildComObject(HandOver&& handOver, Finish&& finish) noexcept {
    using Object = CComObject<T>;
    void* storage = AllocateComObject<T>(sizeof(Object));
    if (!storage) return E_OUTOFMEMORY;
    std::memset(storage, 0, sizeof(Object));
    Object* object = nullptr;
    try {
        object = ::new (storage) Object();
    } catch (...) {
        HRESULT hr = HResultFromCurrentException();
        FreeComObject<T>(storage);
        return Failed(hr) ? hr : E_OUTOFMEMORY;
    }
    object->InternalAddRef();
    HRESULT hr = object->FinalConstruct();
    object->InternalRelease();
    object->AddRef();
    if (Succeeded(hr)) hr = ZtAtlCall([&]() -> HRESULT { return handOver(object); });
    if (Succeeded(hr)) hr = finish(object);
    object->Release();
    return hr;
}

template <class T, class... Args>
HRESULT InitFromArguments(CComObject<T>* object, Args&&... args) {
    if constexpr (requires { object->Init(std::forward<Args>(args)...); }) {
        return object->Init(std::forward<Args>(args)...);
    } else {
        static_assert(sizeof...(Args) == 0, "Create: the class has no Init taking these arguments");
        return S_OK;
    }
}

// The HRESULT of a hook that may also return nothing (success).
template <class Hook>
HRESULT HookResult(Hook&& hook) {
    if constexpr (std::is_void_v<decltype(hook())>) {
        hook();
        return S_OK;
    } else {
        return hook();
    }
}

/* Copies the state of source into the fresh object: T::CopyStateFrom(source)
 * when T has it (returning void or HRESULT), else the container m_coll. With
 * first and last, only the elements [first, last) of m_coll (or
 * CopyStateFrom(source, first, last)); a range outside the source gives
 * E_INVALIDARG. A copy onto itself does nothing. Exceptions are mapped. */
template <class T>
HRESULT InitCComObject(CComObject<T>* object, const T& source) noexcept {
    if (!object) return E_INVALIDARG;
    if (static_cast<const T*>(object) == &source) return S_OK;
    return ZtAtlCall([&]() -> HRESULT {
        if constexpr (requires { object->CopyStateFrom(source); }) {
            return HookResult([&] { return object->CopyStateFrom(source); });
        } else {
            object->m_coll = source.m_coll;
            return S_OK;
        }
    });
}

template <class T>
HRESULT InitCComObject(CComObject<T>* object, const T& source, int first, int last) noexcept {
    if (!object) return E_INVALIDARG;
    if (static_cast<const T*>(object) == &source) return S_OK;
    return ZtAtlCall([&]() -> HRESULT {
        if constexpr (requires { object->CopyStateFrom(source, first, last); }) {
            return HookResult([&] { return object->CopyStateFrom(source, first, last); });
        } else {
            const auto& from = source.m_coll;
            if (first < 0 || first > last || static_cast<std::size_t>(last) > from.size()) return E_INVALIDARG;
            object->m_coll.assign(from.begin() + first, from.begin() + last);
            return S_OK;
        }
    });
}

}  // namespace detail

// Makes a CComObject<T> and hands out interface I on it (steps above).
template <class T, class I, class... Args>
HRESULT Create(I** pp, Args&&... args) noexcept {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    return detail::BuildComObject<T>(
        [&](CComObject<T>* object) { return detail::InitFromArguments<T>(object, std::forward<Args>(args)...); },
        [&](CComObject<T>* object) { return object->QueryInterface(iid_of<I>(), reinterpret_cast<void**>(pp)); });
}

// As Create, but hands out the object itself (one reference) for code that
// needs the class's own operations.
template <class T, class... Args>
HRESULT CreateObject(CComObject<T>** pp, Args&&... args) noexcept {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    return detail::BuildComObject<T>(
        [&](CComObject<T>* object) { return detail::InitFromArguments<T>(object, std::forward<Args>(args)...); },
        [&](CComObject<T>* object) {
            object->AddRef();
            *pp = object;
            return S_OK;
        });
}

// A copy of source made as Create does, with InitCComObject(new, source,
// range...) as the hand-over; range is empty or first, last.
template <class T, class I, class... Range>
HRESULT CreateClone(I** pp, const T& source, Range... range) noexcept {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    return detail::BuildComObject<T>(
        [&](CComObject<T>* object) { return detail::InitCComObject<T>(object, source, range...); },
        [&](CComObject<T>* object) { return object->QueryInterface(iid_of<I>(), reinterpret_cast<void**>(pp)); });
}

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_CREATE_H
