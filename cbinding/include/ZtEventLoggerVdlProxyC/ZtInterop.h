/*
 * ZtInterop.h - typed scalars to and from VARIANTs, for hosts that use the
 * component types directly (C++ hosts of libZtEventLoggerVdlProxyC_2.1).
 *
 * Primitive is the C-friendly record of ZtEventLoggerVdlProxyC.h
 * (ZtPrimitive): a 32-bit type code and the value in the low-order bytes of
 * an 8-byte field, packed to 4 bytes (12 in all).
 *
 * ToVariant: type codes 1..10 give VT_I1, VT_I2, VT_I4, VT_I8, VT_UI1,
 * VT_UI2, VT_UI4, VT_UI8, VT_R4, VT_R8 holding the value; any other code an
 * empty VARIANT. FromVariant: those ten types give their code and value;
 * every other type (VT_BOOL, VT_BSTR, VT_INT, VT_UINT, BYREF, ...) code 0
 * with value 0. Neither throws; both may be called from any thread.
 */
#ifndef ZT_INTEROP_H
#define ZT_INTEROP_H

#include <cstdint>

#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/Variant.h"

#if defined(ZT_BUILDING_PROXYC_LIBRARY)
#define ZT_INTEROP_API __attribute__((visibility("default")))
#else
#define ZT_INTEROP_API
#endif

namespace ZtAtlCom::Interop {

enum PrimitiveType : std::int32_t {
    PrimitiveNone = 0,
    PrimitiveInt8 = 1,
    PrimitiveInt16 = 2,
    PrimitiveInt32 = 3,
    PrimitiveInt64 = 4,
    PrimitiveUInt8 = 5,
    PrimitiveUInt16 = 6,
    PrimitiveUInt32 = 7,
    PrimitiveUInt64 = 8,
    PrimitiveFloat = 9,
    PrimitiveDouble = 10,
};

#pragma pack(push, 4)
// Plain data, laid out as ZtPrimitive of the C header.
struct Primitive {
    std::int32_t type;  // PrimitiveType
    union {
        std::int8_t i8;
        std::int16_t i16;
        std::int32_t i32;
        std::int64_t i64;
        std::uint8_t u8;
        std::uint16_t u16;
        std::uint32_t u32;
        std::uint64_t u64;
        float f32;
        double f64;
    } value;
};
#pragma pack(pop)
static_assert(sizeof(Primitive) == 12, "type code and an 8-byte value, packed to 4");

ZT_INTEROP_API VARIANT ToVariant(Primitive primitive) noexcept;
ZT_INTEROP_API Primitive FromVariant(const CComVariant& variant) noexcept;

}  // namespace ZtAtlCom::Interop

#endif  // ZT_INTEROP_H
