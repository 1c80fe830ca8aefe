#include "ZtSim/TargetAccess.h"

#include <stdexcept>

#include "ZtSim/SimConfig.h"
#include "ZtSim/StateMachine.h"
#include "ZtSim/Target.h"

namespace ZtSim {

namespace {

constexpr uint32_t kTargetInfoOffset = 1;

Reply TargetInfo(const std::string& text, const Request& request) {
    if (request.kind != RequestKind::Read) return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    if (request.indexOffset != kTargetInfoOffset) return Reply::Error(MRX_ERR_NOT_FOUND);
    if (request.readLength == 4) return Reply::Data(Bytes().U32(static_cast<uint32_t>(text.size())).Take());
    return Reply::Data(std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<SymbolDefinition> LoadSymbols(const SimOptions& options) {
    if (options.symbolFile.empty()) return DefaultSymbols();
    std::string text, error;
    std::vector<SymbolDefinition> symbols;
    if (!ReadTextFile(options.symbolFile, text, error) || !ParseSymbolFile(text, symbols, error))
        throw std::runtime_error("simulator: " + error);
    return symbols;
}

}  // namespace

std::shared_ptr<FileService> InstallTargetAccess(Target& target, SystemService& system, const SimOptions& options,
                                                 bool local) {
    std::string info = local && !options.targetInfo.empty()
                           ? options.targetInfo
                           : "Simulated controller " + target.Name() + " (" + NetIdText(target.NetId()) + ")";
    if (info.size() == 4) info.push_back('\0');
    system.SetGroupHandler(kTargetInfoGroup, [info](Target&, const Request& r) { return TargetInfo(info, r); });
    StateMachine::Register(std::make_shared<StateMachine>(options.stateTiming), system);
    if (!local) return nullptr;

    target.AddService(options.symbolPort, std::make_shared<SymbolService>(LoadSymbols(options)));
    auto files = std::make_shared<FileService>(options.sandbox);
    FileService::Register(files, system);
    return files;
}

}  // namespace ZtSim
