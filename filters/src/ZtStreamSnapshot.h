// ZtStreamSnapshot.h - the serializable that a filter or settings object
// hands to the event logger: a frozen copy of its content, which validates
// and writes itself.
#ifndef ZT_STREAM_SNAPSHOT_H
#define ZT_STREAM_SNAPSHOT_H

#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/BStr.h"
#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

#include <new>
#include <optional>
#include <string>
#include <utility>

namespace ZtEventLoggerVdlFilter {

using ZtAtlCom::HRESULT;
using ZtAtlCom::IZtUnknown;
using ZtAtlCom::ULONG;
using ZtEventLoggerVdlProxy::IZtFilterValidation;
using ZtEventLoggerVdlProxy::IZtSettingsValidation;
using ZtEventLoggerVdlProxy::IZtStreamSerializable;
using ZtEventLoggerVdlProxy::IZtStreamWriter;

/* Content provides Serialize(IZtStreamWriter&) const and
 * std::optional<std::string> FirstFault() const. The logger validates and
 * then serialises; because the content cannot change in between, what it
 * checked is exactly what it sends. Immutable, so no lock is needed. Answers
 * IZtStreamSerializable and IZtFilterValidation, and IZtSettingsValidation
 * when answersSettings is true. */
template <class Content, bool answersSettings>
class ZtStreamSnapshot final : public IZtStreamSerializable, public IZtFilterValidation, public IZtSettingsValidation {
public:
    // A new snapshot with one reference in *out; E_OUTOFMEMORY on failure.
    static HRESULT Make(Content content, IZtUnknown** out) noexcept {
        *out = nullptr;
        return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
            auto* snapshot = new (std::nothrow) ZtStreamSnapshot(std::move(content));
            if (!snapshot) return ZtAtlCom::E_OUTOFMEMORY;
            snapshot->ZtAddRef();
            *out = static_cast<IZtStreamSerializable*>(snapshot);
            return ZtAtlCom::S_OK;
        });
    }

    ULONG ZtAddRef() override { return m_count.Increment(); }
    ULONG ZtRelease() override {
        const ULONG n = m_count.Decrement();
        if (n == 0) delete this;
        return n;
    }
    HRESULT ZtQueryInterface(ZtAtlCom::REFIID iid, void** ppv) override {
        if (!ppv) return ZtAtlCom::E_POINTER;
        *ppv = nullptr;
        if (iid == ZtAtlCom::iid_of<IZtStreamSerializable>()) *ppv = static_cast<IZtStreamSerializable*>(this);
        if (iid == ZtAtlCom::iid_of<IZtFilterValidation>()) *ppv = static_cast<IZtFilterValidation*>(this);
        if (answersSettings && iid == ZtAtlCom::iid_of<IZtSettingsValidation>())
            *ppv = static_cast<IZtSettingsValidation*>(this);
        if (!*ppv) return ZtAtlCom::ZT_E_NOINTERFACE;
        ZtAddRef();
        return ZtAtlCom::S_OK;
    }

    // Invalid content writes nothing: a request whose key then lacks its
    // value is refused by the controller, whereas a truncated filter could
    // select more events than the host meant.
    HRESULT Serialize(IZtStreamWriter* writer) override {
        if (!writer) return ZtAtlCom::E_POINTER;
        if (m_fault) return ZtAtlCom::E_INVALIDARG;
        return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
            m_content.Serialize(*writer);
            return ZtAtlCom::S_OK;
        });
    }

    HRESULT GetValidationError(char** text) override {
        if (!text) return ZtAtlCom::E_POINTER;
        *text = nullptr;
        if (!m_fault) return ZtAtlCom::S_OK;
        *text = ZtAtlCom::SysAllocString(m_fault->c_str());
        return *text ? ZtAtlCom::S_OK : ZtAtlCom::E_OUTOFMEMORY;
    }

    HRESULT IsValid(bool* valid) override {
        if (!valid) return ZtAtlCom::E_POINTER;
        *valid = !m_fault;
        return ZtAtlCom::S_OK;
    }

    // The error object of invalid settings is this snapshot, whose
    // IZtFilterValidation tells what is wrong.
    HRESULT Validate(bool* valid, IZtUnknown** error) override {
        if (!valid) return ZtAtlCom::E_POINTER;
        *valid = !m_fault;
        if (error) {
            *error = nullptr;
            if (m_fault) {
                ZtAddRef();
                *error = static_cast<IZtFilterValidation*>(this);
            }
        }
        return ZtAtlCom::S_OK;
    }

private:
    explicit ZtStreamSnapshot(Content content) : m_content(std::move(content)), m_fault(m_content.FirstFault()) {}
    ~ZtStreamSnapshot() = default;

    ZtAtlCom::ZtUnknownCount m_count;
    const Content m_content;
    const std::optional<std::string> m_fault;
};

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_STREAM_SNAPSHOT_H
