#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

#include "bus/unit_table.h"

struct mosquitto;

// Publishes each reading to PREFIX/ADDRESS/state (JSON, QoS 0, retained) and the
// gateway's presence to PREFIX/status: "online" on every connect, "offline" as the
// last will and on a clean stop, both retained. libmosquitto's own thread keeps the
// connection and reconnects with growing pauses while the broker is away; readings
// published meanwhile are dropped, the next one brings the state again.
class MqttPublisher {
  public:
    using Log = std::function<void(const QString&)>;

    MqttPublisher(QString host, int port, QString prefix, Log log);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // False with error() set when the client cannot be set up at all; a broker that
    // is not there yet is no error.
    bool start();
    QString error() const { return error_; }
    // Any thread.
    void publish(const UnitReading& reading);
    // Says "offline", disconnects and ends the network thread.
    void stop();

    bool connected() const { return connected_; }
    // Frees what the library holds for the whole process, once no publisher is left.
    static void end_library();
    QString state_topic(int address) const;
    QString status_topic() const;

  private:
    static void on_connect(mosquitto* m, void* self, int rc);
    static void on_disconnect(mosquitto* m, void* self, int rc);
    void publish_text(const QString& topic, const QByteArray& payload);

    QString host_;
    int port_;
    QString prefix_;
    Log log_;
    mosquitto* mosq_ = nullptr;
    bool running_ = false;
    std::atomic<bool> connected_{false};
    std::atomic<bool> lost_reported_{false};
    QString error_;
};
