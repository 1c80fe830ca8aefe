// TargetAccess.h - the services of a simulated target that hosts reach through
// the target-access toolkit: target information and state changes on every
// target; the symbol service and the file requests on the local one.
#ifndef ZT_SIM_TARGET_ACCESS_H
#define ZT_SIM_TARGET_ACCESS_H

#include <memory>

#include "FileService.h"
#include "Simulator.h"
#include "SymbolService.h"
#include "SystemService.h"

namespace ZtSim {

// Target information: read of group 700, offset 1. A read of exactly 4 bytes
// gives the text's length, any other read the text itself (1797 with the size
// needed when the read is too short). A text of exactly 4 bytes gets a NUL
// appended so that the two reads stay apart.
constexpr uint32_t kTargetInfoGroup = 700;

// Installs them on target (whose system service is system). Returns the file
// service of the local target, null for the others. Throws std::runtime_error
// when the symbol file or the sandbox folder cannot be used.
std::shared_ptr<FileService> InstallTargetAccess(Target& target, SystemService& system, const SimOptions& options,
                                                 bool local);

}  // namespace ZtSim

#endif  // ZT_SIM_TARGET_ACCESS_H
