// Ordering of two VARIANTs: numbers by kind, texts byte-wise, a text against
// a number after parsing it as that kind of number.
#include "ZtAtlCom/VariantValue.h"

#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/detail/VtCoerce.h"

#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>

namespace ZtAtlCom {
namespace {

using detail::VtIsFloat;
using detail::VtIsSignedInt;
using detail::VtIsUnsignedInt;

enum class Kind { Signed, Unsigned, Float, Text, Bool, Other };

Kind KindOf(VARTYPE vt) noexcept {
    if (VtIsSignedInt(vt)) return Kind::Signed;
    if (VtIsUnsignedInt(vt)) return Kind::Unsigned;
    if (VtIsFloat(vt)) return Kind::Float;
    if (vt == VT_BSTR) return Kind::Text;
    if (vt == VT_BOOL) return Kind::Bool;
    return Kind::Other;
}

bool IsNumber(Kind k) noexcept { return k == Kind::Signed || k == Kind::Unsigned || k == Kind::Float; }

// One side of a numeric comparison.
struct Number {
    Kind kind;
    LONGLONG s;
    ULONGLONG u;
    double d;
};

Number FromVariant(const VARIANT& v, Kind kind) noexcept {
    return {kind, detail::VtGetInt64(v), detail::VtGetUint64(v), detail::VtGetDouble(v)};
}

// Text parsed in base 10 as the other side's kind; std::invalid_argument and
// std::out_of_range of the standard parsers propagate to the caller's guard.
Number FromText(BSTR text, Kind kind) {
    const std::string s = text ? text : "";
    switch (kind) {
    case Kind::Signed: return {kind, std::stoll(s), 0, 0.0};
    case Kind::Unsigned: return {kind, 0, std::stoull(s), 0.0};
    default: return {kind, 0, 0, std::stod(s)};
    }
}

template <class T>
HRESULT Order(T a, T b) noexcept {
    if (a < b) return VARCMP_LT;
    if (b < a) return VARCMP_GT;
    return VARCMP_EQ;
}

double AsDouble(const Number& n) noexcept {
    if (n.kind == Kind::Signed) return static_cast<double>(n.s);
    if (n.kind == Kind::Unsigned) return static_cast<double>(n.u);
    return n.d;
}

HRESULT CompareNumbers(const Number& a, const Number& b) noexcept {
    if (a.kind == Kind::Float || b.kind == Kind::Float) {
        const double x = AsDouble(a), y = AsDouble(b);
        if (std::isnan(x) || std::isnan(y)) return VARCMP_NULL;
        return Order(x, y);
    }
    if (a.kind == Kind::Unsigned && b.kind == Kind::Unsigned) return Order(a.u, b.u);
    // Signed with signed or unsigned: both as signed 64-bit.
    const auto sa = a.kind == Kind::Signed ? a.s : static_cast<LONGLONG>(a.u);
    const auto sb = b.kind == Kind::Signed ? b.s : static_cast<LONGLONG>(b.u);
    return Order(sa, sb);
}

HRESULT FromSign(int c) noexcept { return c < 0 ? VARCMP_LT : (c > 0 ? VARCMP_GT : VARCMP_EQ); }

const char* TextOf(BSTR b) noexcept { return b ? b : ""; }

const char* BoolText(VARIANT_BOOL b) noexcept { return static_cast<std::uint16_t>(b) == 0xFFFF ? "true" : "false"; }

}  // namespace

HRESULT VarCmp(const VARIANT* pvarLeft, const VARIANT* pvarRight, LCID, ULONG dwFlags) noexcept {
    if (!pvarLeft || !pvarRight) return VARCMP_NULL;
    const VARIANT& left = *pvarLeft;
    const VARIANT& right = *pvarRight;
    const Kind lk = KindOf(left.vt);
    const Kind rk = KindOf(right.vt);
    return ZtAtlCall([&]() -> HRESULT {
        if (IsNumber(lk) && IsNumber(rk)) return CompareNumbers(FromVariant(left, lk), FromVariant(right, rk));
        if (lk == Kind::Text && rk == Kind::Text) {
            const char* a = TextOf(left.bstrVal);
            const char* b = TextOf(right.bstrVal);
            return FromSign((dwFlags & NORM_IGNORECASE) ? strcasecmp(a, b) : std::strcmp(a, b));
        }
        if (lk == Kind::Text && IsNumber(rk)) return CompareNumbers(FromText(left.bstrVal, rk), FromVariant(right, rk));
        if (IsNumber(lk) && rk == Kind::Text) return CompareNumbers(FromVariant(left, lk), FromText(right.bstrVal, lk));
        if (lk == Kind::Text && rk == Kind::Bool)
            return FromSign(strcasecmp(TextOf(left.bstrVal), BoolText(right.boolVal)));
        if (lk == Kind::Bool && rk == Kind::Text)
            return FromSign(strcasecmp(BoolText(left.boolVal), TextOf(right.bstrVal)));
        return E_INVALIDARG;
    });
}

}  // namespace ZtAtlCom
