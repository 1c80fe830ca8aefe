// SymbolService.h - the symbol service of a program on the simulated target
// (port kDefaultSymbolPort unless configured otherwise).
//
// Requests served:
//   read-write 0xF003, offset 0: write the symbol name (NUL optional), read a
//       4-byte handle. Names match regardless of ASCII case.
//   read-write 0xF009, offset 0: write the name, read the symbol information
//       record (see InfoRecord).
//   read 0xF005, offset = handle: the symbol's bytes (all of them; the router
//       turns a read shorter than the symbol into 1797).
//   write 0xF005, offset = handle: the bytes from the start of the symbol; more
//       bytes than the symbol holds give 1797.
//   write 0xF006, offset 0: 4 bytes, the handle to release.
// Errors: kErrSymbolNotFound for an unknown name, 1804 for an unknown handle,
// 1798 for a malformed request, 1793 for any other group.
//
// Handles live from 0xF003 until 0xF006; LiveHandles() tells how many are
// held, so tests can check that clients release them on every path.
#ifndef ZT_SIM_SYMBOL_SERVICE_H
#define ZT_SIM_SYMBOL_SERVICE_H

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "SimTypes.h"

namespace ZtSim {

constexpr uint16_t kDefaultSymbolPort = 851;
constexpr uint32_t kErrSymbolNotFound = 1808;

// Symbol request groups.
constexpr uint32_t kSymHandleByName = 0xF003;
constexpr uint32_t kSymValueByHandle = 0xF005;
constexpr uint32_t kSymReleaseHandle = 0xF006;
constexpr uint32_t kSymInfoByName = 0xF009;

// One symbol: its description and its current bytes (size bytes).
struct SymbolDefinition {
    std::string name;
    uint32_t type = 0;  // data type code
    std::string typeName;
    uint32_t size = 0;
    std::string comment;
    std::vector<uint8_t> value;  // resized to size when added
    uint32_t indexGroup = 0x4040;
    uint32_t indexOffset = 0;  // given when added
};

// Reads a symbol file: {"symbols": [ ... ]} or a bare array. Each entry:
//   {"name": "MAIN.nCount", "type": 3, "typeName": "DINT", "size": 4,
//    "comment": "...", "value": 42}
// "typeName" and "size" default from the type code (strings: 81 bytes of
// 8-bit or 162 bytes of 16-bit characters). "value" is a number (or a decimal
// text, for 64-bit values) for numeric types, true/false or a number for type
// 33, a text for types 30 and 31, and hexadecimal text ("0x0aff00") for type 65
// and any other code. "hex" gives the raw bytes of any symbol instead.
// False with a message on any error.
bool ParseSymbolFile(const std::string& json, std::vector<SymbolDefinition>& symbols, std::string& error);
// One symbol of every data type code, with recognisable values.
std::vector<SymbolDefinition> DefaultSymbols();

class SymbolService : public Service {
public:
    explicit SymbolService(std::vector<SymbolDefinition> symbols = DefaultSymbols());

    // Adds a symbol (replacing one of the same name); the value is cut or
    // zero-padded to the size.
    void AddSymbol(SymbolDefinition symbol);
    std::optional<SymbolDefinition> Find(const std::string& name) const;
    // The symbol's current bytes; empty when there is no such symbol.
    std::vector<uint8_t> Value(const std::string& name) const;
    // Sets the bytes from the start of the symbol; false for an unknown name
    // or too many bytes.
    bool SetValue(const std::string& name, const std::vector<uint8_t>& bytes);

    size_t LiveHandles() const;
    size_t HandleRequests() const { return handleRequests_.load(); }

    // The information record for 0xF009, little-endian: record length (4),
    // index group (4), index offset (4), size (4), data type (4), flags (4),
    // name length (2), type-name length (2), comment length (2), then the
    // name, the type name and the comment, each with its NUL.
    static std::vector<uint8_t> InfoRecord(const SymbolDefinition& symbol);

    Reply Handle(Target& target, const Request& request) override;

private:
    SymbolDefinition* FindLocked(std::string_view name);

    mutable std::mutex mutex_;
    std::map<std::string, SymbolDefinition> symbols_;  // by lower-case name
    std::map<uint32_t, std::string> handles_;    // handle -> lower-case name
    uint32_t nextHandle_ = 0x1000;
    uint32_t nextOffset_ = 0;
    std::atomic<size_t> handleRequests_{0};
};

}  // namespace ZtSim

#endif  // ZT_SIM_SYMBOL_SERVICE_H
