// CZtSourceInfo.h - the source of a message a host sends: at most one id,
// one GUID and one name (internal; hosts see IZtSourceInfo, created through
// the class factory under CLSID_ZtSourceInfo).
//
// The request encoder reads the items through IZtSourceInfoDataProvider,
// in the order id, guid, name (the map is ordered by type): get_Count, then
// per index GetData with a null destination for the size and again to copy
// the bytes. Guarded by the object lock.
#ifndef ZT_CZT_SOURCE_INFO_H
#define ZT_CZT_SOURCE_INFO_H

#include <map>

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtArgumentInterfaces.h"
#include "ZtSourceInfoEntry.h"

namespace ZtEventLoggerVdlProxy {

class CZtSourceInfo : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                      public ZtAtlCom::IDispatchImpl<IZtSourceInfo, &IID_IZtSourceInfo>,
                      public IZtSourceInfoDataProvider {
public:
    BEGIN_COM_MAP(CZtSourceInfo)
        COM_INTERFACE_ENTRY(IZtSourceInfo)
        COM_INTERFACE_ENTRY2(IDispatch, IZtSourceInfo)
        COM_INTERFACE_ENTRY(IZtSourceInfoDataProvider)
    END_COM_MAP()

    // -1 when an item of the type is stored, else 0. E_POINTER for null.
    HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) override;
    // 0 to 3. E_POINTER for null.
    HRESULT get_Count(int* count) override;
    HRESULT Clear() override;
    // IZtSourceInfoDataProvider: the item at index in the order id, guid, name.
    HRESULT GetData(unsigned int index, tagZtSourceInfoTypeEnum* type, void* destination,
                    unsigned int* size) override;
    // The getters: E_POINTER for null, 50 with the output untouched when the
    // item is not stored. The setters replace the item of their kind;
    // ZT_E_SOURCE_INFO_NO_MEMORY (0x9811070A) when it cannot be stored.
    HRESULT get_Id(unsigned int* id) override;
    HRESULT put_Id(unsigned int id) override;
    HRESULT get_Guid(GUID* guid) override;
    HRESULT put_Guid(GUID guid) override;
    // The name item's bytes as stored: the BSTR's length counts the NUL.
    HRESULT get_Name(BSTR* name) override;
    // The text and its NUL (a null text is the empty text: one byte).
    HRESULT put_Name(BSTR name) override;

private:
    HRESULT Store(tagZtSourceInfoTypeEnum type, const void* data, unsigned long size) noexcept;
    // Copies the item of the type into out (allowed size sizeof(T)).
    template <class T>
    HRESULT Fetch(tagZtSourceInfoTypeEnum type, T* out) noexcept;

    std::map<tagZtSourceInfoTypeEnum, ZtSourceInfoEntry> m_items;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_SOURCE_INFO_H
