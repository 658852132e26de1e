#include "gateway/mqtt_publisher.h"

#include <mosquitto.h>
#include <unistd.h>

#include <QJsonDocument>

#include "gateway/unit_json.h"

namespace {

constexpr int kKeepAliveS = 30;
constexpr unsigned kFirstRetryS = 1;
constexpr unsigned kLastRetryS = 30;

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

std::atomic<bool> g_library_up{false};

void init_library() {
    if (!g_library_up.exchange(true)) mosquitto_lib_init();
}

}  // namespace

MqttPublisher::MqttPublisher(QString host, int port, QString prefix, Log log)
    : host_(std::move(host)), port_(port), prefix_(std::move(prefix)), log_(std::move(log)) {
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

bool MqttPublisher::start() {
    init_library();
    const QByteArray id = QStringLiteral("tx20-gateway-%1").arg(::getpid()).toUtf8();
    mosq_ = mosquitto_new(id.constData(), true, this);
    if (!mosq_) {
        error_ = QStringLiteral("cannot create the MQTT client");
        return false;
    }
    mosquitto_connect_callback_set(mosq_, &MqttPublisher::on_connect);
    mosquitto_disconnect_callback_set(mosq_, &MqttPublisher::on_disconnect);
    const QByteArray status = status_topic().toUtf8();
    int rc = mosquitto_will_set(mosq_, status.constData(), kOffline.size(), kOffline.constData(), 1,
                                true);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_reconnect_delay_set(mosq_, kFirstRetryS, kLastRetryS, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        error_ = QString::fromLocal8Bit(mosquitto_strerror(rc));
        return false;
    }
    const QByteArray host = host_.toUtf8();
    // A broker that is not there yet is reached later by the network thread.
    rc = mosquitto_connect_async(mosq_, host.constData(), port_, kKeepAliveS);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        error_ = QString::fromLocal8Bit(mosquitto_strerror(rc));
        return false;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        lost_reported_ = true;
        if (log_)
            log_(QStringLiteral("MQTT broker %1:%2 not reachable; trying again")
                     .arg(host_)
                     .arg(port_));
    }
    rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        error_ = QString::fromLocal8Bit(mosquitto_strerror(rc));
        return false;
    }
    running_ = true;
    return true;
}

void MqttPublisher::stop() {
    if (!running_) return;
    running_ = false;
    if (connected_) {
        int mid = 0;
        const QByteArray status = status_topic().toUtf8();
        mosquitto_publish(mosq_, &mid, status.constData(), kOffline.size(), kOffline.constData(), 1,
                          true);
    }
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    connected_ = false;
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

void MqttPublisher::on_connect(mosquitto*, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) return;
    p->connected_ = true;
    const QByteArray status = p->status_topic().toUtf8();
    mosquitto_publish(p->mosq_, nullptr, status.constData(), kOnline.size(), kOnline.constData(), 1,
                      true);
    if (p->lost_reported_.exchange(false) && p->log_)
        p->log_(QStringLiteral("MQTT broker %1:%2 connected").arg(p->host_).arg(p->port_));
}

void MqttPublisher::on_disconnect(mosquitto*, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    p->connected_ = false;
    // rc 0: our own disconnect.
    if (rc != 0 && !p->lost_reported_.exchange(true) && p->log_)
        p->log_(QStringLiteral("MQTT broker %1:%2 lost; reconnecting").arg(p->host_).arg(p->port_));
}
