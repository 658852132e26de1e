#pragma once

#include <QString>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "bus/unit_table.h"
#include "gateway/listen_address.h"
#include "gateway/register_map.h"

struct _modbus;
struct _modbus_mapping_t;

// Serves the unit table over Modbus TCP: per unit identifier (= controller address) the
// readings' block and the alarms' block, input registers only, read-only. Many clients at once on
// non-blocking sockets: a client that does not take its answers is dropped rather than
// waited for. Requests are parsed and answered by libmodbus.
class ModbusServer {
  public:
    using NowMs = std::function<qint64()>;
    static constexpr int kMaxClients = 512;
    static constexpr std::size_t kMaxRefusedTold = 100;

    ModbusServer(const UnitTable& table, NowMs now_ms);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    using Log = std::function<void(const QString&)>;

    // Clients from elsewhere are closed at once; each refused address is told once.
    void set_allowed(ClientAllowList allowed, Log log);
    // Listens on host and port. False with error() set.
    bool listen(const QString& host, int port);
    QString error() const { return error_; }

    // Any thread: a controller's alarms as its alarm block serves them from now on
    // (zeros until told).
    void set_alarms(int address, const register_map::AlarmRegisters& regs);

    // Waits up to timeout_ms for sockets to become ready and serves what is ready.
    void serve(int timeout_ms);
    int client_count() const { return static_cast<int>(clients_.size()); }

  private:
    void accept_clients();
    // False when the client is to be dropped.
    bool answer(int fd);
    void drop(int fd);

    const UnitTable& table_;
    NowMs now_ms_;
    _modbus* ctx_ = nullptr;
    int listen_fd_ = -1;
    std::vector<int> clients_;
    std::map<int, _modbus_mapping_t*> blocks_;        // per unit identifier
    std::map<int, _modbus_mapping_t*> alarm_blocks_;  // likewise
    mutable std::mutex alarms_mutex_;
    std::map<int, register_map::AlarmRegisters> alarms_;
    QString error_;
    ClientAllowList allowed_;
    Log log_;
    std::set<QString> refused_told_;
};
