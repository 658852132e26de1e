#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "bus/unit_table.h"

struct mosquitto;

// How the gateway logs in to the broker. TLS is on when any file is given; the broker's
// certificate is then always verified, against ca_file or the system's authorities.
struct MqttSecurity {
    QString user;  // empty: no login
    QString password;
    QString ca_file;
    QString cert_file;  // with key_file: the gateway's own certificate
    QString key_file;
    bool tls() const { return !ca_file.isEmpty() || !cert_file.isEmpty(); }
};

// Publishes each reading to PREFIX/ADDRESS/state (JSON, QoS 0, retained), each change
// of a controller's alarms to PREFIX/ADDRESS/alarm (JSON, QoS 1, retained) and the
// gateway's presence to PREFIX/status: "online" on every connect, "offline" as the
// last will and on a clean stop, both retained. A thread of its own keeps the
// connection and reconnects with growing pauses while the broker is away or refuses
// it; readings published meanwhile are dropped, the next one brings the state again.
// Alarms change seldom: the last of each controller is published again on every
// connect, so a broker that restarted or came late still holds them.
class MqttPublisher {
  public:
    using Log = std::function<void(const QString&)>;
    static constexpr unsigned kFirstRetryS = 1;
    static constexpr unsigned kLastRetryS = 30;

    MqttPublisher(QString host, int port, QString prefix, Log log, MqttSecurity security = {});
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // False with error() set when the client cannot be set up at all (a certificate
    // file that cannot be loaded, say); a broker that is not there yet is no error.
    bool start();
    QString error() const { return error_; }
    // Any thread.
    void publish(const UnitReading& reading);
    void publish_alarm(int address, const QJsonObject& alarm);
    // Says "offline", disconnects and ends the network thread.
    void stop();

    bool connected() const { return connected_; }
    // Frees what the library holds for the whole process, once no publisher is left.
    static void end_library();
    QString state_topic(int address) const;
    QString status_topic() const;
    QString alarm_topic(int address) const;

  private:
    static void on_connect(mosquitto* m, void* self, int rc);
    static void on_disconnect(mosquitto* m, void* self, int rc);
    static void on_log(mosquitto* m, void* self, int level, const char* text);
    void run();
    // One attempt: connects and serves the connection until it ends. The reason it
    // ended, for the log; empty after a clean stop.
    QString session(bool first);
    void tell_once(const QString& reason);
    bool pause(unsigned seconds);
    void publish_text(const QString& topic, const QByteArray& payload);

    QString host_;
    int port_;
    QString prefix_;
    Log log_;
    MqttSecurity security_;
    mosquitto* mosq_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> connected_{false};
    std::mutex wake_mutex_;
    std::condition_variable wake_;
    // Network thread only.
    QString told_;        // the failure last told; said again only when it changes
    QString tls_reason_;  // the library's last TLS complaint
    QString refused_;     // the broker's answer to the last CONNECT, when it refused
    bool ever_connected_ = false;
    QString error_;
    std::mutex alarms_mutex_;
    std::map<int, QByteArray> alarms_;  // the last payload of each controller
};
