// CommandHandler.h - the commands a consumer sends on
// <prefix>/<target>/cmd/<verb>, checked and carried out on the target.
//
// Payloads are JSON objects of at most kMaxCommandBytes with a correlation
// id that the result repeats:
//
//   confirm      {"id":"c1","class":"{4A6F...}","eventId":10,"qualifier":0}
//   confirm-all  {"id":"c2"}
//   clear        {"id":"c3","filter":"severity >= error","resetConfirmation":false}
//   send         {"id":"c4","class":"{...}","eventId":7,"severity":"info","json":{"batch":42},
//                 "source":{"id":12,"guid":"{...}","name":"HMI"},
//                 "arguments":[{"type":"string","value":"Batch 42"},{"type":"int32","value":2}]}
//   log          {"id":"c5","count":20}
//
// The result on <prefix>/<target>/cmd/result:
//   {"id":"c1","verb":"confirm","ok":true,"code":"0x00000000","name":"S_OK"}
//   {"id":"c3","verb":"clear","ok":false,"code":"0x80070057","name":"E_INVALIDARG","error":"filter: column 13: ..."}
// "log" adds "events": [the newest first]. A payload that is not a command
// gets ok false and the reason; its id is repeated when one could be read.
#ifndef ZT_GATEWAY_COMMAND_HANDLER_H
#define ZT_GATEWAY_COMMAND_HANDLER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "EventSource.h"

namespace ZtGateway {

inline constexpr size_t kMaxCommandBytes = 64 * 1024;
inline constexpr uint32_t kMaxLogCount = 1000;
// E_ACCESSDENIED: a verb the configuration does not allow.
inline constexpr HRESULT kNotAllowed = ZtAtlCom::MakeHResult(0x80070005u);

struct Command {
    std::string verb;
    std::string id;      // correlation id
    bool hasId = false;  // the payload carried one
    AlarmKey key;        // confirm
    std::string filter;  // clear
    bool resetConfirmation = false;
    MessageRequest message;  // send
    uint32_t count = 0;      // log
};

// Checks a payload for a verb; false with the reason (and the id, when it
// could be read, in command.id).
bool ParseCommand(const std::string& verb, const std::string& payload, Command& command, std::string& error);

// Carries a command out on the source and returns the result JSON.
std::string ExecuteCommand(EventSource& source, const Command& command);

// The result JSON of a command that was not carried out.
std::string CommandError(const Command& command, HRESULT code, const std::string& error);

// "0x80070057"
std::string HexCode(HRESULT code);

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_COMMAND_HANDLER_H
