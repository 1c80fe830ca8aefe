// CMrxPort.h - a port on the local message router.
//
// A port is opened with CMrxR3Port::MrxConnect and closed with MrxDisconnect
// (or by destruction). While open, it carries the synchronous requests of the
// CVdlSync object that contains it and delivers device-notification samples.
// The router is reached over TCP at 127.0.0.1:47800 unless the environment
// variable ZT_MRX_ROUTER=host:port names another address (read at MrxConnect).
//
// All members are thread-safe.
#ifndef ZT_CMRX_PORT_H
#define ZT_CMRX_PORT_H

#include <memory>

#include "MrxTypes.h"

namespace ZtMrxClient {
class Connection;
struct PortState;
}  // namespace ZtMrxClient

class ZT_MRX_API CMrxPort {
public:
    CMrxPort();
    virtual ~CMrxPort();
    CMrxPort(const CMrxPort&) = delete;
    CMrxPort& operator=(const CMrxPort&) = delete;

    // Vdl error code of the last failed call on this port (0 if none failed).
    unsigned int MrxGetLastError() const;
    // The local router's MrxNetId, learnt when the port was opened; all zero
    // while the port was never opened.
    MrxNetId MrxGetNetId() const;
    // Non-zero while the port is open and its link to the router is up.
    int MrxPortConnected() const;
    // Non-zero from a successful MrxConnect until MrxDisconnect, also after the
    // link to the router was lost.
    int MrxPortIsOpen() const;
    // The port number the router assigned; 0 while closed.
    unsigned short MrxGetPort() const;

    // The live connection, or null; used by the sync object.
    std::shared_ptr<ZtMrxClient::Connection> MrxConnection() const;

protected:
    std::unique_ptr<ZtMrxClient::PortState> m_state;
};

class ZT_MRX_API CMrxR3Port : public CMrxPort {
public:
    CMrxR3Port();
    ~CMrxR3Port() override;

    // Opens the port: port 0xFFFF asks the router for any free port; the other
    // two arguments are accepted for compatibility and not used. Returns
    // non-zero on success. An open port whose link was lost is re-opened; an
    // open, connected port is left as it is (non-zero). On failure returns 0
    // and MrxGetLastError tells why (1864: no router at the address).
    int MrxConnect(unsigned short port, unsigned int reserved1, unsigned int reserved2);
    // Closes the port: fails requests still waiting (1864) and stops sample
    // delivery. Returns 1 on success, 0 when the port was not open.
    int MrxDisconnect();
};

#endif  // ZT_CMRX_PORT_H
