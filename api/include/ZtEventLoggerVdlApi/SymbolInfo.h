// SymbolInfo.h - what the target tells about one symbol of a program.
#ifndef ZT_SYMBOL_INFO_H
#define ZT_SYMBOL_INFO_H

#include <cstdint>
#include <string>

namespace ZtEventLoggerVdlApi {

// Filled by VdlAccessImpl::GetSymbolInfo. When error is not 0 every other
// field is empty or 0.
struct SymbolInfo {
    uint32_t indexGroup = 0;
    uint32_t indexOffset = 0;
    uint32_t size = 0;      // bytes of the symbol's value
    uint32_t dataType = 0;  // data type code (see VdlAccessImpl.h)
    std::string name;
    std::string typeName;
    std::string comment;
    int32_t error = 0;  // Vdl error code of the information request
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_SYMBOL_INFO_H
