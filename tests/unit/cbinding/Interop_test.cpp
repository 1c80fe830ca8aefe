// The exported conversions between typed scalars and VARIANTs, through the
// C binding's shared library.
#include "ZtEventLoggerVdlProxyC/ZtInterop.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace ZtAtlCom;
using ZtAtlCom::Interop::Primitive;

Primitive Make(std::int32_t type, std::uint64_t bits) {
    Primitive p;
    std::memset(&p, 0, sizeof p);
    p.type = type;
    p.value.u64 = bits;
    return p;
}

struct Row {
    std::int32_t type;
    VARTYPE vt;
    unsigned width;
};

// Each code, its VARIANT type and the bytes of the value it carries.
constexpr Row kRows[] = {
    {1, VT_I1, 1}, {2, VT_I2, 2}, {3, VT_I4, 4}, {4, VT_I8, 8}, {5, VT_UI1, 1},
    {6, VT_UI2, 2}, {7, VT_UI4, 4}, {8, VT_UI8, 8}, {9, VT_R4, 4}, {10, VT_R8, 8},
};

TEST(Interop, EachTypeCarriesItsLowBytesBothWays) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.type);
        // Bytes beyond the type's width must neither reach the VARIANT nor come back.
        Primitive in = Make(row.type, 0x1122334455667788ull);
        VARIANT v = Interop::ToVariant(in);
        EXPECT_EQ(v.vt, row.vt);
        std::uint64_t expected = 0;
        std::memcpy(&expected, &in.value, row.width);
        EXPECT_EQ(v.ullVal, expected);
        CComVariant cv(v);
        Primitive out = Interop::FromVariant(cv);
        const std::int32_t type = out.type;
        const std::uint64_t value = out.value.u64;  // packed: read by value, not by reference
        EXPECT_EQ(type, row.type);
        EXPECT_EQ(value, expected);
    }
}

TEST(Interop, OtherCodesAndTypesGiveNothing) {
    for (std::int32_t code : {0, 11, -1, 1000}) {
        VARIANT v = Interop::ToVariant(Make(code, 42));
        EXPECT_EQ(v.vt, VT_EMPTY) << code;
        EXPECT_EQ(v.ullVal, 0u) << code;
    }
    CComVariant flag(true), text("12"), none;
    CComVariant i4(7);
    for (VARTYPE vt : {VT_INT, VT_UINT}) {
        CComVariant v(7);
        v.vt = vt;
        Primitive p = Interop::FromVariant(v);
        const std::int32_t type = p.type;
        const std::uint64_t value = p.value.u64;
        EXPECT_EQ(type, 0) << vt;
        EXPECT_EQ(value, 0u) << vt;
    }
    for (const CComVariant* v : {&flag, &text, &none}) {
        Primitive p = Interop::FromVariant(*v);
        const std::int32_t type = p.type;
        const std::uint64_t value = p.value.u64;
        EXPECT_EQ(type, 0);
        EXPECT_EQ(value, 0u);
    }
    const std::int32_t i4Type = Interop::FromVariant(i4).type;
    EXPECT_EQ(i4Type, 3);
}

}  // namespace
