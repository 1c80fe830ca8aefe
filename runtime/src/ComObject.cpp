// Table-driven interface lookup for CComObject<T>.
#include "ZtAtlCom/ComObject.h"

namespace ZtAtlCom {

HRESULT InternalQueryInterface(void* pThis, const _COM_INTMAP_ENTRY* pEntries, REFIID iid,
                               void** ppvObject) noexcept {
    if (!pThis || !pEntries) return E_INVALIDARG;
    if (!ppvObject) return E_POINTER;
    // An empty map has no identity row: nothing can be answered, and the
    // object start is not an interface that could take a reference.
    const _COM_INTMAP_ENTRY* match = nullptr;
    if (pEntries->piid && iid == iid_of<IUnknown>()) {
        match = pEntries;
    } else {
        for (const _COM_INTMAP_ENTRY* row = pEntries; row->piid; ++row) {
            if (*row->piid == iid) {
                match = row;
                break;
            }
        }
    }
    if (!match) {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    auto* unknown = reinterpret_cast<IUnknown*>(static_cast<unsigned char*>(pThis) + match->dw);
    unknown->AddRef();
    *ppvObject = unknown;
    return S_OK;
}

}  // namespace ZtAtlCom
