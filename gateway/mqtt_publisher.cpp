#include "gateway/mqtt_publisher.h"

#include <mosquitto.h>
#include <unistd.h>

#include <QJsonDocument>
#include <algorithm>
#include <chrono>

#include "gateway/unit_json.h"

namespace {

constexpr int kKeepAliveS = 30;
constexpr int kLoopMs = 200;
// The farewell ("offline", then DISCONNECT) gets this long to leave.
constexpr int kFarewellLoops = 10;
// Without a CA file the system's authorities vouch for the broker.
constexpr const char* kSystemCaPath = "/etc/ssl/certs";

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");
const QString kUnreachable = QStringLiteral("unreachable");

std::atomic<bool> g_library_up{false};

void init_library() {
    if (!g_library_up.exchange(true)) mosquitto_lib_init();
}

// An encrypted key would make OpenSSL ask on the terminal of a service: it gets no
// password and fails with a reason instead.
int no_key_password(char*, int, int, void*) { return 0; }

}  // namespace

MqttPublisher::MqttPublisher(QString host, int port, QString prefix, Log log, MqttSecurity security)
    : host_(std::move(host)),
      port_(port),
      prefix_(std::move(prefix)),
      log_(std::move(log)),
      security_(std::move(security)) {
    while (prefix_.endsWith(QLatin1Char('/'))) prefix_.chop(1);
}

MqttPublisher::~MqttPublisher() {
    stop();
    if (mosq_) mosquitto_destroy(mosq_);
}

void MqttPublisher::end_library() {
    if (g_library_up.exchange(false)) mosquitto_lib_cleanup();
}

QString MqttPublisher::state_topic(int address) const {
    return prefix_ + QLatin1Char('/') + QString::number(address) + QStringLiteral("/state");
}

QString MqttPublisher::status_topic() const { return prefix_ + QStringLiteral("/status"); }

QString MqttPublisher::alarm_topic(int address) const {
    return prefix_ + QLatin1Char('/') + QString::number(address) + QStringLiteral("/alarm");
}

bool MqttPublisher::start() {
    init_library();
    const QByteArray id = QStringLiteral("tx20-gateway-%1").arg(::getpid()).toUtf8();
    mosq_ = mosquitto_new(id.constData(), true, this);
    if (!mosq_) {
        error_ = QStringLiteral("cannot create the MQTT client");
        return false;
    }
    mosquitto_threaded_set(mosq_, true);
    mosquitto_connect_callback_set(mosq_, &MqttPublisher::on_connect);
    mosquitto_disconnect_callback_set(mosq_, &MqttPublisher::on_disconnect);
    mosquitto_log_callback_set(mosq_, &MqttPublisher::on_log);
    const QByteArray status = status_topic().toUtf8();
    int rc = mosquitto_will_set(mosq_, status.constData(), kOffline.size(), kOffline.constData(), 1,
                                true);
    if (rc == MOSQ_ERR_SUCCESS && !security_.user.isEmpty()) {
        const QByteArray user = security_.user.toUtf8();
        const QByteArray password = security_.password.toUtf8();
        rc = mosquitto_username_pw_set(mosq_, user.constData(), password.constData());
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error_ = QString::fromLocal8Bit(mosquitto_strerror(rc));
        return false;
    }
    if (security_.tls()) {
        const QByteArray ca = security_.ca_file.toLocal8Bit();
        const QByteArray cert = security_.cert_file.toLocal8Bit();
        const QByteArray key = security_.key_file.toLocal8Bit();
        const auto file = [](const QByteArray& f) { return f.isEmpty() ? nullptr : f.constData(); };
        rc = mosquitto_tls_set(mosq_, file(ca), ca.isEmpty() ? kSystemCaPath : nullptr, file(cert),
                               file(key), no_key_password);
        // Verifying the peer and its host name is the library's default; said here so
        // that nobody wonders.
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(mosq_, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            error_ = QStringLiteral("the TLS files cannot be used: %1")
                         .arg(QString::fromLocal8Bit(mosquitto_strerror(rc)));
            return false;
        }
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void MqttPublisher::stop() {
    if (!running_.exchange(false)) return;
    {
        std::lock_guard<std::mutex> lock(wake_mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    connected_ = false;
}

bool MqttPublisher::pause(unsigned seconds) {
    std::unique_lock<std::mutex> lock(wake_mutex_);
    return !wake_.wait_for(lock, std::chrono::seconds(seconds),
                           [this] { return stopping_.load(); });
}

void MqttPublisher::tell_once(const QString& reason) {
    if (reason == told_) return;
    told_ = reason;
    const QString text =
        reason == kUnreachable ? QStringLiteral("not reachable; trying again") : reason;
    if (log_) log_(QStringLiteral("MQTT broker %1:%2 %3").arg(host_).arg(port_).arg(text));
}

void MqttPublisher::run() {
    unsigned delay = kFirstRetryS;
    bool first = true;
    while (!stopping_) {
        ever_connected_ = false;
        const QString reason = session(first);
        first = false;
        if (stopping_) break;
        if (ever_connected_) {
            delay = kFirstRetryS;
            if (log_)
                log_(QStringLiteral("MQTT broker %1:%2 lost; reconnecting").arg(host_).arg(port_));
            // While it is away, that it cannot be reached goes without saying.
            told_ = kUnreachable;
        } else if (!reason.isEmpty()) {
            tell_once(reason);
        }
        if (!pause(delay)) break;
        delay = std::min(delay * 2, kLastRetryS);
    }
}

QString MqttPublisher::session(bool first) {
    {
        std::lock_guard<std::mutex> lock(wake_mutex_);
        tls_reason_.clear();
    }
    refused_.clear();
    const QByteArray host = host_.toUtf8();
    int rc = first ? mosquitto_connect_async(mosq_, host.constData(), port_, kKeepAliveS)
                   : mosquitto_reconnect_async(mosq_);
    while (rc == MOSQ_ERR_SUCCESS && !stopping_) rc = mosquitto_loop(mosq_, kLoopMs, 1);
    if (stopping_) {
        if (connected_) {
            const QByteArray status = status_topic().toUtf8();
            mosquitto_publish(mosq_, nullptr, status.constData(), kOffline.size(),
                              kOffline.constData(), 1, true);
        }
        mosquitto_disconnect(mosq_);
        for (int i = 0; i < kFarewellLoops && rc == MOSQ_ERR_SUCCESS; ++i)
            rc = mosquitto_loop(mosq_, kLoopMs, 1);
        return {};
    }
    if (!refused_.isEmpty())
        return QStringLiteral("refused the login: %1; trying again").arg(refused_);
    QString tls;
    {
        std::lock_guard<std::mutex> lock(wake_mutex_);
        tls = tls_reason_;
    }
    if (rc == MOSQ_ERR_TLS || !tls.isEmpty())
        return QStringLiteral("TLS failed: %1; trying again")
            .arg(tls.isEmpty() ? QString::fromLocal8Bit(mosquitto_strerror(rc)) : tls);
    if (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST)
        return kUnreachable;
    return QStringLiteral("failed: %1; trying again")
        .arg(QString::fromLocal8Bit(mosquitto_strerror(rc)));
}

void MqttPublisher::publish_text(const QString& topic, const QByteArray& payload) {
    const QByteArray t = topic.toUtf8();
    mosquitto_publish(mosq_, nullptr, t.constData(), static_cast<int>(payload.size()),
                      payload.constData(), 0, true);
}

void MqttPublisher::publish(const UnitReading& reading) {
    if (!running_ || !connected_) return;
    publish_text(state_topic(reading.address),
                 QJsonDocument(state_json(reading)).toJson(QJsonDocument::Compact));
}

void MqttPublisher::publish_alarm(int address, const QJsonObject& alarm) {
    const QByteArray payload = QJsonDocument(alarm).toJson(QJsonDocument::Compact);
    std::lock_guard<std::mutex> lock(alarms_mutex_);
    alarms_[address] = payload;
    if (!running_ || !connected_) return;
    const QByteArray t = alarm_topic(address).toUtf8();
    // At least once: a change of state that the broker loses would stand until the next.
    mosquitto_publish(mosq_, nullptr, t.constData(), static_cast<int>(payload.size()),
                      payload.constData(), 1, true);
}

void MqttPublisher::on_connect(mosquitto*, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        p->refused_ = QString::fromLocal8Bit(mosquitto_connack_string(rc));
        if (p->refused_.endsWith(QLatin1Char('.'))) p->refused_.chop(1);
        return;
    }
    p->connected_ = true;
    p->ever_connected_ = true;
    const QByteArray status = p->status_topic().toUtf8();
    mosquitto_publish(p->mosq_, nullptr, status.constData(), kOnline.size(), kOnline.constData(), 1,
                      true);
    {
        std::lock_guard<std::mutex> lock(p->alarms_mutex_);
        for (const auto& [address, payload] : p->alarms_) {
            const QByteArray t = p->alarm_topic(address).toUtf8();
            mosquitto_publish(p->mosq_, nullptr, t.constData(), static_cast<int>(payload.size()),
                              payload.constData(), 1, true);
        }
    }
    if (!p->told_.isEmpty() && p->log_)
        p->log_(QStringLiteral("MQTT broker %1:%2 connected").arg(p->host_).arg(p->port_));
    p->told_.clear();
}

void MqttPublisher::on_disconnect(mosquitto*, void* self, int) {
    static_cast<MqttPublisher*>(self)->connected_ = false;
}

void MqttPublisher::on_log(mosquitto*, void* self, int level, const char* text) {
    if (level != MOSQ_LOG_ERR || !text) return;
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard<std::mutex> lock(p->wake_mutex_);
    // The first complaint names the cause; later ones are its consequences.
    if (!p->tls_reason_.isEmpty()) return;
    QString reason = QString::fromLocal8Bit(text);
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
    const int at = static_cast<int>(reason.indexOf(QLatin1String("]: ")));
    if (reason.startsWith(QLatin1String("OpenSSL Error[")) && at > 0) reason = reason.mid(at + 3);
    p->tls_reason_ = reason;
}
