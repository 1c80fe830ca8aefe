// BSTR blocks: 4-byte length, text, closing 0, from malloc.
#include "ZtAtlCom/BStr.h"

#include <cstdlib>
#include <cstring>

namespace ZtAtlCom {
namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

BSTR AllocBlock(const char* text, std::uint32_t length) noexcept {
    auto* block = static_cast<char*>(std::malloc(std::size_t{length} + kLengthBytes + 1));
    if (!block) return nullptr;
    std::memcpy(block, &length, kLengthBytes);
    BSTR bstr = block + kLengthBytes;
    if (text && length) std::memcpy(bstr, text, length);
    bstr[length] = '\0';
    return bstr;
}

// Replaces *pbstr by a new block of length bytes of text; the new block is
// made before the old one is freed, so text may point into *pbstr.
INT Replace(BSTR* pbstr, const char* text, std::uint32_t length) noexcept {
    BSTR fresh = AllocBlock(text, length);
    if (!fresh) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) noexcept {
    if (!psz) return nullptr;
    const std::size_t length = std::strlen(psz);
    if (length > UINT32_MAX) return nullptr;
    return AllocBlock(psz, static_cast<std::uint32_t>(length));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT len) noexcept {
    if (len == 0) return nullptr;
    return AllocBlock(pch, len);
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) noexcept { return SysAllocStringLen(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) noexcept {
    if (!pbstr || !psz) return 0;
    const std::size_t length = std::strlen(psz);
    if (length > UINT32_MAX) return 0;
    return Replace(pbstr, psz, static_cast<std::uint32_t>(length));
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) noexcept {
    if (!pbstr || !psz || len == 0) return 0;
    // Bounded look for the first 0: never reads more than len bytes.
    if (strnlen(psz, len) < len) return 0;
    return Replace(pbstr, psz, len);
}

void SysFreeString(BSTR bstr) noexcept {
    if (bstr) std::free(bstr - kLengthBytes);
}

UINT SysStringLen(BSTR bstr) noexcept {
    if (!bstr) return 0;
    std::uint32_t length;
    std::memcpy(&length, bstr - kLengthBytes, kLengthBytes);
    return length;
}

UINT SysStringByteLen(BSTR bstr) noexcept { return SysStringLen(bstr); }

}  // namespace ZtAtlCom
