// Filter text of any bytes: a fault names a place inside the text (or just
// past its end) and leaves the filter empty; an accepted text gives a filter
// that validates and writes itself.
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtFilterSyntax/FilterText.h"

#include <cstdint>
#include <string_view>

namespace {

using namespace ZtAtlCom;
using namespace ZtEventLoggerVdlProxy;

// Counts the calls and the nesting.
class CountingWriter final : public IZtStreamWriter {
public:
    long depth = 0;
    long calls = 0;
    ULONG ZtAddRef() override { return 1; }
    ULONG ZtRelease() override { return 1; }
    HRESULT ZtQueryInterface(REFIID, void** ppv) override { return *ppv = nullptr, ZT_E_NOINTERFACE; }
    bool StartObject() override { return ++calls, ++depth, true; }
    bool StartArray() override { return ++calls, ++depth, true; }
    bool Key(const char*) override { return ++calls, true; }
    bool Value(bool) override { return true; }
    bool Value(signed char) override { return true; }
    bool Value(short) override { return true; }
    bool Value(int) override { return true; }
    bool Value(long) override { return true; }
    bool Value(unsigned char) override { return true; }
    bool Value(unsigned short) override { return true; }
    bool Value(unsigned int) override { return true; }
    bool Value(unsigned long) override { return true; }
    bool Value(float) override { return true; }
    bool Value(double) override { return true; }
    bool Value(const char*) override { return true; }
    bool Value(const GUID&) override { return true; }
    bool EndArray() override { return ++calls, --depth, true; }
    bool EndObject() override { return ++calls, --depth, true; }
};

// Validates and writes the filter's snapshot: the structural calls written,
// or -1 when the snapshot is invalid or not written whole.
long Written(IZtEventFilter* filter) {
    CComPtr<IZtStreamSerializableProvider> provider;
    filter->QueryInterface(IID_IZtStreamSerializableProvider, reinterpret_cast<void**>(&provider.p));
    IZtUnknown* unknown = nullptr;
    if (!provider || Failed(provider->GetStreamSerializable(&unknown))) return -1;
    void* validation = nullptr;
    void* serializable = nullptr;
    unknown->ZtQueryInterface(IID_IZtFilterValidation, &validation);
    unknown->ZtQueryInterface(IID_IZtStreamSerializable, &serializable);
    unknown->ZtRelease();
    bool valid = false;
    static_cast<IZtFilterValidation*>(validation)->IsValid(&valid);
    static_cast<IZtFilterValidation*>(validation)->ZtRelease();
    CountingWriter writer;
    const HRESULT hr = static_cast<IZtStreamSerializable*>(serializable)->Serialize(&writer);
    static_cast<IZtStreamSerializable*>(serializable)->ZtRelease();
    return valid && Succeeded(hr) && writer.depth == 0 ? writer.calls : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CComPtr<IZtEventFilter> filter;
    if (Failed(ZtEventLoggerVdlFilterCreateInstance(CLSID_ZtEventFilter, IID_IZtEventFilter,
                                                    reinterpret_cast<void**>(&filter.p))))
        return 0;
    const auto result = ZtFilterSyntax::ParseFilterText(text, filter, ZtEventLoggerVdlFilterCreateInstance);
    const long written = Written(filter);
    if (result.Ok()) {
        if (written < 2) __builtin_trap();
    } else {
        if (written != 2) __builtin_trap();  // [ ]: untouched or cleared
        if (result.hr == E_INVALIDARG && (result.column == 0 || result.column > size + 1 || result.message.empty()))
            __builtin_trap();
    }
    return 0;
}
