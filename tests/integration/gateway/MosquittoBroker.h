// MosquittoBroker.h - a real mosquitto broker for the gateway's tests: started
// on a free loopback port with a configuration made here, optionally with a
// password file and TLS files made by openssl (a CA of the test and a server
// certificate for 127.0.0.1), and an MQTT client (libmosquitto) that records
// what it receives.
#ifndef ZT_TEST_MOSQUITTO_BROKER_H
#define ZT_TEST_MOSQUITTO_BROKER_H

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

namespace ZtTest {

struct BrokerOptions {
    bool tls = false;
    bool password = false;    // user "gateway", password in PasswordFile()
    bool persistence = false;  // sessions and retained messages survive a stop (SIGTERM)
    static BrokerOptions Persistent() {
        BrokerOptions o;
        o.persistence = true;
        return o;
    }
    static BrokerOptions Secured() {
        BrokerOptions o;
        o.tls = o.password = true;
        return o;
    }
};

class MosquittoBroker {
public:
    explicit MosquittoBroker(BrokerOptions options = {});
    ~MosquittoBroker();  // stops it and removes its folder
    // Starts (again, on the same port) and waits until it accepts connections.
    bool Start();
    // Ends the broker with this signal and waits for it.
    void Stop(int signal = 15);
    bool Running() const { return pid_ > 0; }

    int Port() const { return port_; }
    const std::string& Dir() const { return dir_; }
    std::string CaFile() const { return dir_ + "/ca.pem"; }
    std::string PasswordFile() const { return dir_ + "/gateway.password"; }  // the password alone
    static constexpr const char* kUser = "gateway";
    static constexpr const char* kPassword = "s3cret-pw";
    std::string Log() const;

private:
    BrokerOptions options_;
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool startedOnce_ = false;  // the port is known to the test from then on
    bool Launch();
};

struct MqttMessage {
    std::string topic, payload;
    bool retain = false;
};

struct ProbeOptions {
    std::string clientId;
    bool cleanSession = true;
    std::string caFile, user, password;
};

// A subscriber (and publisher) on its own libmosquitto thread.
class MqttProbe {
public:
    using Options = ProbeOptions;
    MqttProbe(int port, Options options);
    explicit MqttProbe(int port) : MqttProbe(port, Options{}) {}
    ~MqttProbe();
    // Connects (retrying for a few seconds) and subscribes with QoS 1.
    bool Connect(const std::vector<std::string>& filters);
    void Disconnect();
    bool Publish(const std::string& topic, const std::string& payload, bool retain = false);

    std::vector<MqttMessage> Messages() const;
    std::vector<MqttMessage> On(const std::string& topic) const;
    // Waits until pred holds over the messages, or the time is up.
    bool WaitFor(const std::function<bool(const std::vector<MqttMessage>&)>& pred, int ms = 10000) const;
    // Waits until no message came for quietMs (at most ms in all).
    void WaitQuiet(int quietMs = 300, int ms = 5000) const;
    // Topic -> payload of the retained state as a new subscriber sees it:
    // connects a fresh client, subscribes to filter and collects.
    static std::map<std::string, std::string> RetainedState(int port, const std::string& filter, Options options = {});

private:
    int port_;
    Options options_;
    mosquitto* mosq_ = nullptr;
    bool started_ = false;  // the loop thread runs
    mutable std::mutex mutex_;
    std::vector<MqttMessage> messages_;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace ZtTest

#endif  // ZT_TEST_MOSQUITTO_BROKER_H
