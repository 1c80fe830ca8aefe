#include "CMrxPort.h"

#include "MrxConnection.h"

using ZtMrxClient::Connection;
using ZtMrxClient::PortState;

CMrxPort::CMrxPort() : m_state(std::make_unique<PortState>()) {}

CMrxPort::~CMrxPort() {
    std::shared_ptr<Connection> c;
    {
        std::lock_guard<std::mutex> lk(m_state->mutex);
        c.swap(m_state->conn);
    }
    if (c) c->Close();
}

unsigned int CMrxPort::MrxGetLastError() const { return m_state->lastError.load(); }

MrxNetId CMrxPort::MrxGetNetId() const {
    std::lock_guard<std::mutex> lk(m_state->mutex);
    return m_state->netId;
}

int CMrxPort::MrxPortConnected() const {
    std::lock_guard<std::mutex> lk(m_state->mutex);
    return m_state->open && m_state->conn && m_state->conn->Alive() ? 1 : 0;
}

int CMrxPort::MrxPortIsOpen() const {
    std::lock_guard<std::mutex> lk(m_state->mutex);
    return m_state->open ? 1 : 0;
}

unsigned short CMrxPort::MrxGetPort() const {
    std::lock_guard<std::mutex> lk(m_state->mutex);
    return m_state->conn ? m_state->conn->Port() : 0;
}

std::shared_ptr<Connection> CMrxPort::MrxConnection() const {
    std::lock_guard<std::mutex> lk(m_state->mutex);
    return m_state->conn;
}

CMrxR3Port::CMrxR3Port() = default;
CMrxR3Port::~CMrxR3Port() = default;

int CMrxR3Port::MrxConnect(unsigned short port, unsigned int, unsigned int) {
    std::shared_ptr<Connection> old;
    {
        std::lock_guard<std::mutex> lk(m_state->mutex);
        if (m_state->open && m_state->conn && m_state->conn->Alive()) return 1;
        old.swap(m_state->conn);
        m_state->open = false;
    }
    if (old) old->Close();
    uint32_t error = 0;
    std::shared_ptr<Connection> c = Connection::Open(port, error);
    if (!c) {
        m_state->lastError.store(error);
        return 0;
    }
    std::shared_ptr<Connection> raced;
    {
        std::lock_guard<std::mutex> lk(m_state->mutex);
        raced.swap(m_state->conn);  // another thread opened meanwhile: keep the newest
        m_state->conn = c;
        m_state->open = true;
        m_state->netId = c->RouterNetId();
    }
    if (raced) raced->Close();
    return 1;
}

int CMrxR3Port::MrxDisconnect() {
    std::shared_ptr<Connection> c;
    {
        std::lock_guard<std::mutex> lk(m_state->mutex);
        if (!m_state->open) {
            m_state->lastError.store(MRX_ERR_PORT_NOT_CONNECTED);
            return 0;
        }
        m_state->open = false;
        c.swap(m_state->conn);
    }
    if (c) c->Close();
    return 1;
}
