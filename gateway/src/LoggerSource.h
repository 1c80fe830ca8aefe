// LoggerSource.h - an EventSource on one event logger object: the factory's
// CLSID_ZtEventLogger, connected to the target's text, with a sink advised
// on its connection point. The events are turned into JSON on the logger's
// worker thread (texts cost one request to the controller each, never a
// wait on the broker) and handed to the listener.
#ifndef ZT_GATEWAY_LOGGER_SOURCE_H
#define ZT_GATEWAY_LOGGER_SOURCE_H

#include <memory>
#include <string>
#include <vector>

#include "EventSource.h"
#include "GatewayConfig.h"

namespace ZtGateway {

std::unique_ptr<EventSource> MakeLoggerSource(const TargetConfig& config, EventSource::Listener& listener);

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_LOGGER_SOURCE_H
