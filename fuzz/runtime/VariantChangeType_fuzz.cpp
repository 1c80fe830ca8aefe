// VariantChangeType from arbitrary bytes of a scalar VARIANT to any type
// code: never crashes or leaks, leaves the destination untouched on failure,
// and converts in place like it converts into another VARIANT.
#include "ZtAtlCom/Variant.h"

#include <cstdint>
#include <cstring>

namespace {

using namespace ZtAtlCom;

// Types whose value lives inside the VARIANT (no pointer to follow).
constexpr VARTYPE kScalarTypes[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE,
                                    VT_ERROR, VT_BOOL, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4,
                                    VT_I8, VT_UI8, VT_INT, VT_UINT};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Layout of an input: type selector, target code (2 bytes), then the 24
    // bytes of the VARIANT (missing bytes are 0).
    if (size < 3) return 0;
    unsigned char bytes[sizeof(VARIANT)] = {};
    std::memcpy(bytes, data + 3, size - 3 < sizeof(bytes) ? size - 3 : sizeof(bytes));
    VARIANT source;
    std::memcpy(&source, bytes, sizeof(source));
    source.vt = kScalarTypes[data[0] % (sizeof(kScalarTypes) / sizeof(kScalarTypes[0]))];
    const VARTYPE target = static_cast<VARTYPE>(data[1] | (data[2] << 8));

    VARIANT dest;
    VariantInit(&dest);
    dest.vt = VT_I4;
    dest.lVal = 0x5A5A5A5A;
    VARIANT destBefore = dest;
    const HRESULT hr = VariantChangeType(&dest, &source, 0, target);
    if (Failed(hr) && std::memcmp(&dest, &destBefore, sizeof(dest)) != 0) __builtin_trap();
    if (Succeeded(hr) && dest.vt != target) __builtin_trap();

    VARIANT inPlace = source;
    const HRESULT hrInPlace = VariantChangeType(&inPlace, &inPlace, 0, target);
    if (hrInPlace != hr) __builtin_trap();
    if (Succeeded(hr) && std::memcmp(&inPlace, &dest, sizeof(dest)) != 0) __builtin_trap();

    if (Succeeded(hr)) VariantClear(&dest);
    if (Succeeded(hrInPlace)) VariantClear(&inPlace);
    return 0;
}
