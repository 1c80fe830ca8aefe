// Typed scalars to and from VARIANTs (ZtInterop.h).
#include "ZtEventLoggerVdlProxyC/ZtInterop.h"

#include <cstring>

namespace ZtAtlCom::Interop {

namespace {

// Type code k (1..10) is the k-th entry.
constexpr VARTYPE kVarTypes[] = {VT_I1, VT_I2, VT_I4, VT_I8, VT_UI1, VT_UI2, VT_UI4, VT_UI8, VT_R4, VT_R8};
constexpr unsigned kWidths[] = {1, 2, 4, 8, 1, 2, 4, 8, 4, 8};

}  // namespace

VARIANT ToVariant(Primitive primitive) noexcept {
    VARIANT v;
    std::memset(static_cast<void*>(&v), 0, sizeof v);
    VariantInit(&v);
    if (primitive.type < PrimitiveInt8 || primitive.type > PrimitiveDouble) return v;
    const unsigned k = static_cast<unsigned>(primitive.type) - 1;
    v.vt = kVarTypes[k];
    // The low-order bytes of the value field, as wide as the type (both
    // sides little-endian).
    std::memcpy(&v.llVal, &primitive.value, kWidths[k]);
    return v;
}

Primitive FromVariant(const CComVariant& variant) noexcept {
    Primitive p;
    std::memset(&p, 0, sizeof p);
    for (unsigned k = 0; k < sizeof kVarTypes / sizeof kVarTypes[0]; ++k) {
        if (variant.vt != kVarTypes[k]) continue;
        p.type = static_cast<std::int32_t>(k + 1);
        std::memcpy(&p.value, &variant.llVal, kWidths[k]);
        return p;
    }
    return p;  // none, value 0
}

}  // namespace ZtAtlCom::Interop
