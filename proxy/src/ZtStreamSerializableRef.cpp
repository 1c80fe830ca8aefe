#include "ZtStreamSerializableRef.h"

#include "ZtAtlCom/AtlException.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::Failed;
using ZtAtlCom::S_OK;

ZtStreamSerializableRef::~ZtStreamSerializableRef() {
    if (m_serializable != nullptr) m_serializable->ZtRelease();
    if (m_provider != nullptr) m_provider->Release();
}

HRESULT ZtStreamSerializableRef::Obtain(IUnknown* object, Kind kind) noexcept {
    if (object == nullptr) return S_OK;
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        void* p = nullptr;
        if (Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtStreamSerializableProvider>(), &p)) || p == nullptr)
            return S_OK;
        m_provider = static_cast<IZtStreamSerializableProvider*>(p);

        IZtUnknown* yielded = nullptr;
        if (Failed(m_provider->GetStreamSerializable(&yielded)) || yielded == nullptr) return S_OK;
        p = nullptr;
        const HRESULT hr = yielded->ZtQueryInterface(ZtAtlCom::iid_of<IZtStreamSerializable>(), &p);
        yielded->ZtRelease();
        if (Failed(hr) || p == nullptr) return S_OK;
        m_serializable = static_cast<IZtStreamSerializable*>(p);
        return Validate(kind);
    });
}

HRESULT ZtStreamSerializableRef::Validate(Kind kind) {
    bool valid = true;
    void* p = nullptr;
    if (kind == Kind::Filter) {
        if (Failed(m_serializable->ZtQueryInterface(ZtAtlCom::iid_of<IZtFilterValidation>(), &p)) || p == nullptr)
            return S_OK;
        auto* validation = static_cast<IZtFilterValidation*>(p);
        // A check that cannot answer does not make the filter invalid.
        if (Failed(validation->IsValid(&valid))) valid = true;
        validation->ZtRelease();
    } else {
        if (Failed(m_serializable->ZtQueryInterface(ZtAtlCom::iid_of<IZtSettingsValidation>(), &p)) || p == nullptr)
            return S_OK;
        auto* validation = static_cast<IZtSettingsValidation*>(p);
        IZtUnknown* error = nullptr;
        if (Failed(validation->Validate(&valid, &error))) valid = true;
        if (error != nullptr) error->ZtRelease();
        validation->ZtRelease();
    }
    return valid ? S_OK : ZT_E_INVALID_FILTER;
}

}  // namespace ZtEventLoggerVdlProxy
