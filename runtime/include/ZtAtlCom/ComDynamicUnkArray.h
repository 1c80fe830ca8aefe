/*
 * ComDynamicUnkArray.h - the sink table of a connection point.
 *
 * An array of IUnknown pointers, each non-null slot holding one reference,
 * and its capacity. Empty at first (no array, capacity 0); the first sink
 * makes 4 slots, and a full table doubles. A sink's cookie is its slot index
 * plus 1, so cookie 0 is never valid; freed slots are reused, and a cookie may
 * be handed out again after its sink was removed. The capacity never shrinks
 * while the table lives.
 *
 * The table has no lock of its own: the connection point calls it under its
 * owner's object lock. Releasing sinks is left to the caller (Remove hands
 * the reference back), so no sink is called while that lock is held.
 */
#ifndef ZT_ATLCOM_COM_DYNAMIC_UNK_ARRAY_H
#define ZT_ATLCOM_COM_DYNAMIC_UNK_ARRAY_H

#include "ZtAtlCom/Unknown.h"

#include <climits>
#include <cstring>
#include <new>
#include <utility>

namespace ZtAtlCom {

class CComDynamicUnkArray {
public:
    CComDynamicUnkArray() noexcept = default;
    CComDynamicUnkArray(const CComDynamicUnkArray&) = delete;
    CComDynamicUnkArray& operator=(const CComDynamicUnkArray&) = delete;

    // Releases the sinks still held. The table is emptied first, so a sink
    // that calls back while it is released finds no connection.
    ~CComDynamicUnkArray() {
        IUnknown** slots = std::exchange(m_ppUnk, nullptr);
        int size = std::exchange(m_nSize, 0);
        for (int i = 0; i < size; ++i)
            if (slots[i]) slots[i]->Release();
        delete[] slots;
    }

    // The capacity (number of slots, free or not).
    int GetSize() const noexcept { return m_nSize; }

    // The sink in slot index; null for a free slot or an index outside the table.
    IUnknown* GetAt(int index) const noexcept {
        return index >= 0 && index < m_nSize ? m_ppUnk[index] : nullptr;
    }

    IUnknown** begin() const noexcept { return m_ppUnk; }
    IUnknown** end() const noexcept { return m_ppUnk + m_nSize; }

    static DWORD GetCookie(int index) noexcept { return static_cast<DWORD>(index) + 1; }

    /* Stores pUnk, taking over the caller's reference, in the first free
     * slot and returns its cookie. Returns 0 and stores nothing (the
     * reference stays the caller's) for a null pUnk or when the table cannot
     * grow. */
    DWORD Add(IUnknown* pUnk) noexcept {
        if (!pUnk) return 0;
        for (int i = 0; i < m_nSize; ++i) {
            if (!m_ppUnk[i]) {
                m_ppUnk[i] = pUnk;
                return GetCookie(i);
            }
        }
        int index = m_nSize;
        if (m_nSize > INT_MAX / 2) return 0;
        int capacity = m_nSize == 0 ? kInitialSize : m_nSize * 2;
        IUnknown** grown = new (std::nothrow) IUnknown*[static_cast<std::size_t>(capacity)]();
        if (!grown) return 0;
        if (m_ppUnk) std::memcpy(grown, m_ppUnk, static_cast<std::size_t>(m_nSize) * sizeof(IUnknown*));
        delete[] std::exchange(m_ppUnk, grown);
        m_nSize = capacity;
        m_ppUnk[index] = pUnk;
        return GetCookie(index);
    }

    // Empties the slot of dwCookie and hands its reference to the caller;
    // null (nothing changed) when the cookie holds no sink.
    IUnknown* Remove(DWORD dwCookie) noexcept {
        if (dwCookie == 0 || dwCookie > static_cast<DWORD>(m_nSize)) return nullptr;
        return std::exchange(m_ppUnk[dwCookie - 1], nullptr);
    }

private:
    static constexpr int kInitialSize = 4;

    IUnknown** m_ppUnk = nullptr;
    int m_nSize = 0;
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_DYNAMIC_UNK_ARRAY_H
