#include "gateway/modbus_server.h"

#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

ModbusServer::ModbusServer(const UnitTable& table, NowMs now_ms)
    : table_(table), now_ms_(std::move(now_ms)) {}

ModbusServer::~ModbusServer() {
    for (int fd : clients_) ::close(fd);
    if (listen_fd_ >= 0) ::close(listen_fd_);
    for (auto& [unit, block] : blocks_) modbus_mapping_free(block);
    for (auto& [unit, block] : alarm_blocks_) modbus_mapping_free(block);
    if (ctx_) modbus_free(ctx_);
}

void ModbusServer::set_allowed(ClientAllowList allowed, Log log) {
    allowed_ = std::move(allowed);
    log_ = std::move(log);
}

void ModbusServer::set_alarms(int address, const register_map::AlarmRegisters& regs) {
    std::lock_guard<std::mutex> lock(alarms_mutex_);
    alarms_[address] = regs;
}

bool ModbusServer::listen(const QString& host, int port) {
    const QByteArray node = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    ctx_ = modbus_new_tcp_pi(node.constData(), service.constData());
    if (!ctx_) {
        error_ = QString::fromLocal8Bit(modbus_strerror(errno));
        return false;
    }
    // A request that stops half way costs the other clients at most this.
    modbus_set_byte_timeout(ctx_, 0, 100000);
    listen_fd_ = modbus_tcp_pi_listen(ctx_, 128);
    if (listen_fd_ < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::fcntl(listen_fd_, F_SETFL, ::fcntl(listen_fd_, F_GETFL) | O_NONBLOCK);
    return true;
}

void ModbusServer::serve(int timeout_ms) {
    if (listen_fd_ < 0) return;
    std::vector<pollfd> fds;
    fds.push_back({listen_fd_, POLLIN, 0});
    for (int fd : clients_) fds.push_back({fd, POLLIN, 0});
    const int n = ::poll(fds.data(), fds.size(), timeout_ms);
    if (n <= 0) return;
    for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        if ((fds[i].revents & POLLIN) == 0 || !answer(fds[i].fd)) drop(fds[i].fd);
    }
    if (fds[0].revents & POLLIN) accept_clients();
}

void ModbusServer::accept_clients() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t peer_len = sizeof peer;
        const int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &peer_len,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (!allowed_.empty()) {
            const QHostAddress client(reinterpret_cast<const sockaddr*>(&peer));
            if (!allowed_.allows(client)) {
                ::close(fd);
                // Told once per address; a scanner trying every port floods nobody's log.
                const QString who = client.toString();
                if (log_ && refused_told_.size() < kMaxRefusedTold &&
                    refused_told_.insert(who).second)
                    log_(QStringLiteral("Modbus TCP client %1 refused: not in --modbus-allow")
                             .arg(who));
                continue;
            }
        }
        if (client_count() >= kMaxClients) {
            ::close(fd);
            continue;
        }
        clients_.push_back(fd);
    }
}

void ModbusServer::drop(int fd) {
    clients_.erase(std::remove(clients_.begin(), clients_.end(), fd), clients_.end());
    ::close(fd);
}

bool ModbusServer::answer(int fd) {
    std::array<std::uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> query{};
    modbus_set_socket(ctx_, fd);
    const int length = modbus_receive(ctx_, query.data());
    // Closed by the client, or a frame that is no Modbus TCP: the stream cannot be
    // trusted any further.
    if (length <= 0) return false;
    const int offset = modbus_get_header_length(ctx_);
    const int unit = query[static_cast<std::size_t>(offset - 1)];
    const int function = query[static_cast<std::size_t>(offset)];

    const std::optional<UnitReading> reading = table_.get(unit);
    int sent = 0;
    if (!reading) {
        sent = modbus_reply_exception(ctx_, query.data(), MODBUS_EXCEPTION_GATEWAY_TARGET);
    } else if (function != MODBUS_FC_READ_INPUT_REGISTERS) {
        // Read-only: writes and every other table are refused alike.
        sent = modbus_reply_exception(ctx_, query.data(), MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    } else {
        // The block the first register asked for falls in; a read across the gap between
        // the blocks is refused by the range check like one past the end.
        const int start = (query[static_cast<std::size_t>(offset + 1)] << 8) |
                          query[static_cast<std::size_t>(offset + 2)];
        const bool alarms = start >= register_map::kAlarmStart;
        modbus_mapping_t*& block = (alarms ? alarm_blocks_ : blocks_)[unit];
        if (!block)
            block =
                alarms ? modbus_mapping_new_start_address(
                             0, 0, 0, 0, 0, 0, register_map::kAlarmStart, register_map::kAlarmCount)
                       : modbus_mapping_new(0, 0, 0, register_map::kCount);
        if (!block) return false;
        if (alarms) {
            register_map::AlarmRegisters regs{};
            {
                std::lock_guard<std::mutex> lock(alarms_mutex_);
                const auto it = alarms_.find(unit);
                if (it != alarms_.end()) regs = it->second;
            }
            std::copy(regs.begin(), regs.end(), block->tab_input_registers);
        } else {
            const register_map::Registers regs = register_map::input_registers(*reading, now_ms_());
            std::copy(regs.begin(), regs.end(), block->tab_input_registers);
        }
        // libmodbus checks the range and count and answers the exceptions for them.
        sent = modbus_reply(ctx_, query.data(), length, block);
    }
    // A client whose socket is full does not read its answers: drop it, never wait.
    return sent > 0;
}
