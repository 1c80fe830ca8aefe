// C functions of the texts attached to events: details and causes with
// their remedies, and the collections of both.
#include "CallPattern.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"

using namespace ZtProxyC;
using ZtEventLoggerVdlProxy::IZtCauseRemedy;
using ZtEventLoggerVdlProxy::IZtCauseRemedyCollection;
using ZtEventLoggerVdlProxy::IZtDetail;
using ZtEventLoggerVdlProxy::IZtDetailCollection;

ZTC_API HRESULT IZtDetail_get_Name(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtDetail>(h, &IZtDetail::get_Name, OutText(cb, ctx));
}
ZTC_API HRESULT IZtDetail_get_Text(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtDetail>(h, &IZtDetail::get_Text, OutText(cb, ctx));
}
ZTC_API HRESULT IZtDetail_get_Comment(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtDetail>(h, &IZtDetail::get_Comment, OutText(cb, ctx));
}

ZTC_API HRESULT IZtDetailCollection_get_Item(void* h, int index, void** item) noexcept {
    return Call<IZtDetailCollection>(h, &IZtDetailCollection::get_Item, index, OutObject<IZtDetail>(item));
}
ZTC_API HRESULT IZtDetailCollection_get_Count(void* h, int* count) noexcept {
    return Call<IZtDetailCollection>(h, &IZtDetailCollection::get_Count, count);
}
ZTC_API HRESULT IZtDetailCollection_get_Size(void* h, int* count) noexcept {
    return Call<IZtDetailCollection>(h, &IZtDetailCollection::get_Size, count);
}

ZTC_API HRESULT IZtCauseRemedy_get_Id(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtCauseRemedy>(h, &IZtCauseRemedy::get_Id, OutText(cb, ctx));
}
ZTC_API HRESULT IZtCauseRemedy_get_Cause(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtCauseRemedy>(h, &IZtCauseRemedy::get_Cause, OutText(cb, ctx));
}
ZTC_API HRESULT IZtCauseRemedy_get_Remedy(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtCauseRemedy>(h, &IZtCauseRemedy::get_Remedy, OutText(cb, ctx));
}

ZTC_API HRESULT IZtCauseRemedyCollection_get_Item(void* h, int index, void** item) noexcept {
    return Call<IZtCauseRemedyCollection>(h, &IZtCauseRemedyCollection::get_Item, index,
                                          OutObject<IZtCauseRemedy>(item));
}
ZTC_API HRESULT IZtCauseRemedyCollection_get_Count(void* h, int* count) noexcept {
    return Call<IZtCauseRemedyCollection>(h, &IZtCauseRemedyCollection::get_Count, count);
}
ZTC_API HRESULT IZtCauseRemedyCollection_get_Size(void* h, int* count) noexcept {
    return Call<IZtCauseRemedyCollection>(h, &IZtCauseRemedyCollection::get_Size, count);
}
