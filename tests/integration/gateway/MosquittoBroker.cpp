#include "MosquittoBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace ZtTest {

namespace {

int FreePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

bool Accepts(int port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
    ::close(s);
    return ok;
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

MosquittoBroker::MosquittoBroker(BrokerOptions options) : options_(options) {
    char tmpl[] = "/tmp/zt-mosquitto-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    port_ = FreePort();
    std::ofstream conf(dir_ + "/mosquitto.conf");
    // Started as root, mosquitto would drop to its own user and lose the
    // files of this folder.
    const passwd* pw = ::getpwuid(::geteuid());
    conf << "user " << (pw ? pw->pw_name : "root") << "\n"
         << "listener " << port_ << " 127.0.0.1\n"
         << "max_queued_messages 1000000\nmax_inflight_messages 1000\n"
         << "log_dest file " << dir_ << "/mosquitto.log\nlog_type error\nlog_type warning\nlog_type notice\n";
    if (options_.persistence) conf << "persistence true\npersistence_location " << dir_ << "/\n";
    if (options_.password) {
        Run("mosquitto_passwd -b -c " + dir_ + "/passwd " + kUser + " " + kPassword + " >/dev/null 2>&1");
        std::ofstream(PasswordFile()) << kPassword << "\n";
        conf << "allow_anonymous false\npassword_file " << dir_ << "/passwd\n";
    } else {
        conf << "allow_anonymous true\n";
    }
    if (options_.tls) {
        std::string d = dir_;
        std::ofstream(d + "/san.ext") << "subjectAltName=IP:127.0.0.1\n";
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
        Run("cd " + d + " && openssl req -x509" + ec + "-keyout ca.key -out ca.pem -days 2 -subj /CN=zt-test-ca " +
            ">/dev/null 2>&1 && openssl req" + ec + "-keyout server.key -out server.csr -subj /CN=127.0.0.1 " +
            ">/dev/null 2>&1 && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial " +
            "-out server.pem -days 2 -extfile san.ext >/dev/null 2>&1");
        conf << "cafile " << d << "/ca.pem\ncertfile " << d << "/server.pem\nkeyfile " << d << "/server.key\n";
    }
}

MosquittoBroker::~MosquittoBroker() {
    Stop(SIGKILL);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

bool MosquittoBroker::Start() {
    if (pid_ > 0) return true;
    // A free port may be taken by another test between our probe and the
    // broker's bind; before anyone knows the port, try another one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (Launch()) return startedOnce_ = true;
        if (startedOnce_) break;
        const std::string conf = dir_ + "/mosquitto.conf";
        std::ifstream in(conf);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        const std::string old = "listener " + std::to_string(port_) + " ";
        port_ = FreePort();
        const size_t at = text.find(old);
        if (at == std::string::npos) break;
        text.replace(at, old.size(), "listener " + std::to_string(port_) + " ");
        std::ofstream(conf) << text;
    }
    return false;
}

bool MosquittoBroker::Launch() {
    pid_ = ::fork();
    if (pid_ == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("mosquitto", "mosquitto", "-c", (dir_ + "/mosquitto.conf").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Generous: under the sanitizers with the suite running beside it the
    // broker can take seconds to listen.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
        if (Accepts(port_)) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop(SIGKILL);
    return false;
}

void MosquittoBroker::Stop(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string MosquittoBroker::Log() const {
    std::ifstream in(dir_ + "/mosquitto.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

MqttProbe::MqttProbe(int port, Options options) : port_(port), options_(std::move(options)) {
    mosquitto_lib_init();
    static std::atomic<int> serial{0};
    if (options_.clientId.empty()) options_.clientId = "zt-probe-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    mosq_ = mosquitto_new(options_.clientId.c_str(), options_.cleanSession, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
        auto* p = static_cast<MqttProbe*>(self);
        std::lock_guard<std::mutex> lock(p->mutex_);
        p->messages_.push_back(MqttMessage{m->topic, std::string(static_cast<const char*>(m->payload),
                                                                 static_cast<size_t>(m->payloadlen)),
                                           m->retain});
        p->last_ = std::chrono::steady_clock::now();
    });
    if (!options_.user.empty()) mosquitto_username_pw_set(mosq_, options_.user.c_str(), options_.password.c_str());
    if (!options_.caFile.empty()) mosquitto_tls_set(mosq_, options_.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    last_ = std::chrono::steady_clock::now();
}

MqttProbe::~MqttProbe() {
    Disconnect();
    mosquitto_destroy(mosq_);
}

bool MqttProbe::Connect(const std::vector<std::string>& filters) {
    bool up = false;
    for (int i = 0; i < 300 && !up; ++i) {
        // MQTT 5 ends a session with its connection unless it asks for longer.
        mosquitto_property* props = nullptr;
        if (!options_.cleanSession) mosquitto_property_add_int32(&props, MQTT_PROP_SESSION_EXPIRY_INTERVAL, 3600);
        up = mosquitto_connect_bind_v5(mosq_, "127.0.0.1", port_, 30, nullptr, props) == MOSQ_ERR_SUCCESS;
        mosquitto_property_free_all(&props);
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!up) return false;
    // Subscriptions before the loop runs: nothing can arrive unseen.
    for (const auto& f : filters) {
        mosquitto_subscribe_v5(mosq_, nullptr, f.c_str(), 1, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
    }
    started_ = mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS;
    return true;
}

void MqttProbe::Disconnect() {
    if (!started_) return;
    started_ = false;
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);  // joins: a forced stop cancels the thread mid-lock
}

bool MqttProbe::Publish(const std::string& topic, const std::string& payload, bool retain) {
    return mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                             retain) == MOSQ_ERR_SUCCESS;
}

std::vector<MqttMessage> MqttProbe::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<MqttMessage> MqttProbe::On(const std::string& topic) const {
    std::vector<MqttMessage> out;
    for (auto& m : Messages()) {
        if (m.topic == topic) out.push_back(m);
    }
    return out;
}

bool MqttProbe::WaitFor(const std::function<bool(const std::vector<MqttMessage>&)>& pred, int ms) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred(Messages())) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void MqttProbe::WaitQuiet(int quietMs, int ms) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::chrono::steady_clock::now() - last_ > std::chrono::milliseconds(quietMs)) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::map<std::string, std::string> MqttProbe::RetainedState(int port, const std::string& filter, Options options) {
    options.clientId.clear();
    MqttProbe p(port, options);
    std::map<std::string, std::string> state;
    if (!p.Connect({filter})) return state;
    p.WaitQuiet(300);
    for (auto& m : p.Messages()) {
        if (m.payload.empty()) {
            state.erase(m.topic);
        } else {
            state[m.topic] = m.payload;
        }
    }
    return state;
}

}  // namespace ZtTest
