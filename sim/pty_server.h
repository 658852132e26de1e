#pragma once

#include <termios.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "sim/bus.h"

namespace sim {

// Serves a Bus on a pseudo-terminal from a thread of its own: frames the requests
// written to the slave side, answers them, and moves the process by wall time.
class PtyServer {
  public:
    explicit PtyServer(Options options, int rate = 9600, bool pace = false);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal in raw mode, optionally links link_path to it (an
    // existing symlink there is replaced, any other file is left alone and fails the
    // start) and starts serving. False with error() set on failure.
    bool start(const QString& link_path = {});
    // The slave device path the client opens.
    QString path() const { return path_; }
    QString error() const { return error_; }
    // Stops the thread, closes the terminal and removes the link. Safe to call twice.
    void stop();

    // The served bus. The thread uses it under mutex(); hold lock() while touching it
    // from another thread.
    Bus& bus() { return bus_; }
    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex_); }
    std::mutex& mutex() { return mutex_; }

    // Requests framed and replies sent so far.
    int requests() const { return requests_.load(); }
    int replies() const { return replies_.load(); }

  private:
    using Clock = std::chrono::steady_clock;

    void run();
    void serve_frame(const std::vector<std::uint8_t>& frame, Clock::time_point first_byte);
    // Sleeps until t unless stop() is called; false when stopping.
    bool wait_until(Clock::time_point t);
    bool write_all(const std::uint8_t* p, int n);
    void advance_to_now();
    // A client that died holding the terminal in exclusive mode would lock out every
    // later one; each close of the slave ends that mode.
    void release_exclusive();
    void log(const QString& what, const std::uint8_t* p, int n) const;

    Bus bus_;
    std::mutex mutex_;
    int rate_;
    bool pace_;
    bool verbose_;
    int master_ = -1;
    int slave_ = -1;  // kept open so the master never sees a hang-up between clients
    termios raw_{};   // the terminal's settings before any client
    int wake_[2] = {-1, -1};
    int closes_ = -1;  // inotify: a client closed the slave
    QString path_;
    QString link_;
    QString error_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::atomic<int> replies_{0};
    Clock::time_point last_advance_;
    Clock::time_point started_;
};

}  // namespace sim
