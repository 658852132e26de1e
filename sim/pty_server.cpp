#include "sim/pty_server.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/request_framer.h"

namespace sim {

namespace {

using namespace std::chrono;

constexpr auto kPollMs = 50;
// A partial frame that gets no further byte for this long is noise.
constexpr auto kStaleFrame = milliseconds(200);
// How long a write may wait for room before the rest of a reply is dropped.
constexpr int kWriteWaitMs = 200;

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

PtyServer::PtyServer(Options options, int rate, bool pace)
    : bus_(options), rate_(rate > 0 ? rate : 9600), pace_(pace), verbose_(options.verbose) {}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::start(const QString& link_path) {
    if (thread_.joinable()) {
        error_ = QStringLiteral("already running");
        return false;
    }
    auto fail = [this](const QString& what) {
        error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        close_fd(slave_);
        close_fd(master_);
        close_fd(wake_[0]);
        close_fd(wake_[1]);
        close_fd(closes_);
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(QStringLiteral("posix_openpt"));
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail(QStringLiteral("unlockpt"));
    char name[256] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail(QStringLiteral("ptsname"));
    path_ = QString::fromLocal8Bit(name);

    // Without raw mode the line discipline would echo requests back and mangle bytes
    // before any client has set the terminal up.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return fail(QStringLiteral("open ") + path_);
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) return fail(QStringLiteral("tcgetattr"));
    ::cfmakeraw(&tio);
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) return fail(QStringLiteral("tcsetattr"));
    raw_ = tio;
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(QStringLiteral("fcntl"));
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return fail(QStringLiteral("pipe"));
    // Without notice of closes the simulator still serves; only a killed client's
    // exclusive mode then stays. poll() skips the descriptor -1.
    closes_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (closes_ >= 0 && ::inotify_add_watch(closes_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
        close_fd(closes_);

    if (!link_path.isEmpty()) {
        const QByteArray link = QFile::encodeName(link_path);
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                errno = EEXIST;
                return fail(link_path);
            }
            ::unlink(link.constData());
        }
        if (::symlink(name, link.constData()) != 0)
            return fail(QStringLiteral("symlink ") + link_path);
        link_ = link_path;
    }

    stopping_ = false;
    started_ = Clock::now();
    last_advance_ = started_;
    thread_ = std::thread(&PtyServer::run, this);
    return true;
}

void PtyServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const char c = 'x';
        [[maybe_unused]] const auto w = ::write(wake_[1], &c, 1);
        thread_.join();
    }
    if (!link_.isEmpty()) {
        // Remove the link only while it still points at this terminal.
        const QByteArray link = QFile::encodeName(link_);
        char target[256] = {};
        const auto k = ::readlink(link.constData(), target, sizeof target - 1);
        if (k > 0 && QString::fromLocal8Bit(target, static_cast<int>(k)) == path_)
            ::unlink(link.constData());
        link_.clear();
    }
    close_fd(slave_);
    close_fd(master_);
    close_fd(wake_[0]);
    close_fd(wake_[1]);
    close_fd(closes_);
}

namespace {

// Whether anyone but the simulator's own descriptor own_fd has the terminal open
// (among the processes this user may look at; a client is one of them).
bool held_by_a_client(const QString& path, int own_fd) {
    const QByteArray own = QByteArray::number(static_cast<qlonglong>(::getpid()));
    const QByteArray own_entry = QByteArray::number(own_fd);
    const QByteArray target = QFile::encodeName(path);
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return false;
    bool held = false;
    while (!held) {
        const dirent* e = ::readdir(proc);
        if (e == nullptr) break;
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        const bool self = own == e->d_name;
        const QByteArray fd_dir = QByteArray("/proc/") + e->d_name + "/fd";
        DIR* fds = ::opendir(fd_dir.constData());
        if (fds == nullptr) continue;
        while (const dirent* f = ::readdir(fds)) {
            if (self && own_entry == f->d_name) continue;
            char link[256] = {};
            const QByteArray fd_path = fd_dir + '/' + f->d_name;
            const auto n = ::readlink(fd_path.constData(), link, sizeof link - 1);
            if (n > 0 && target == QByteArray(link, static_cast<int>(n))) {
                held = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return held;
}

}  // namespace

void PtyServer::release_exclusive() {
    alignas(inotify_event) char events[1024];
    bool closed = false;
    while (::read(closes_, events, sizeof events) > 0) closed = true;
    // A client that was killed neither left exclusive mode nor put its settings back,
    // and the next client's serial library may refuse the settings it finds. Only a
    // terminal nobody else holds is reset, so a client opening just now is left alone.
    if (closed && !held_by_a_client(path_, slave_)) {
        ::ioctl(slave_, TIOCNXCL);
        ::tcsetattr(slave_, TCSANOW, &raw_);
    }
}

void PtyServer::advance_to_now() {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto now = Clock::now();
    bus_.advance(duration<double>(now - last_advance_).count());
    last_advance_ = now;
}

void PtyServer::run() {
    RequestFramer framer;
    Clock::time_point first_byte = Clock::now();
    Clock::time_point last_rx = first_byte;
    std::vector<std::uint8_t> frame;
    while (!stopping_) {
        pollfd fds[3] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}, {closes_, POLLIN, 0}};
        const int r = ::poll(fds, 3, kPollMs);
        if (r < 0 && errno != EINTR) break;
        if (stopping_ || (r > 0 && fds[1].revents)) break;
        if (r > 0 && fds[2].revents) release_exclusive();
        advance_to_now();
        const auto now = Clock::now();
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint8_t buf[512];
            const auto k = ::read(master_, buf, sizeof buf);
            if (k > 0) {
                if (framer.empty()) first_byte = now;
                last_rx = now;
                framer.feed(buf, static_cast<int>(k));
            } else if (k < 0 && errno != EAGAIN && errno != EINTR) {
                wait_until(now + milliseconds(20));
            }
        } else if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
            // No client on the slave side; do not spin.
            wait_until(now + milliseconds(20));
        }
        if (!framer.empty() && now - last_rx > kStaleFrame) framer.drop_stale();
        for (;;) {
            const int dropped = framer.dropped();
            const bool got = !stopping_ && framer.next(frame);
            if (verbose_ && framer.dropped() != dropped)
                log(QStringLiteral("dropped %1 byte(s) of noise").arg(framer.dropped() - dropped),
                    nullptr, 0);
            if (!got) break;
            serve_frame(frame, first_byte);
            first_byte = Clock::now();
        }
    }
}

void PtyServer::serve_frame(const std::vector<std::uint8_t>& frame, Clock::time_point first_byte) {
    ++requests_;
    const int n = static_cast<int>(frame.size());
    if (verbose_) log(QStringLiteral("rx"), frame.data(), n);
    Reply reply;
    QString event;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        reply = bus_.handle(frame.data(), n);
        event = bus_.last_event();
    }
    if (verbose_ && !event.isEmpty()) log(event, nullptr, 0);
    if (reply.empty()) {
        if (verbose_) log(QStringLiteral("no reply"), nullptr, 0);
        return;
    }

    const auto char_time = duration_cast<Clock::duration>(duration<double>(11.0 / rate_));
    Clock::time_point t = Clock::now();
    // On a real wire the reply cannot start before the request has been heard whole.
    if (pace_) t = std::max(t, first_byte + char_time * n);
    for (const Chunk& c : reply) {
        t += milliseconds(c.gap_ms);
        if (pace_) {
            // A character is there once its last bit has been on the wire.
            for (std::uint8_t b : c.bytes) {
                t += char_time;
                if (!wait_until(t) || !write_all(&b, 1)) return;
            }
        } else {
            if (!wait_until(t) || !write_all(c.bytes.data(), static_cast<int>(c.bytes.size())))
                return;
            t = Clock::now();
        }
    }
    ++replies_;
    if (verbose_) {
        const std::vector<std::uint8_t> all = flatten(reply);
        log(QStringLiteral("tx"), all.data(), static_cast<int>(all.size()));
    }
}

bool PtyServer::wait_until(Clock::time_point t) {
    for (;;) {
        if (stopping_) return false;
        const auto left = t - Clock::now();
        if (left <= Clock::duration::zero()) return true;
        if (left > milliseconds(2)) {
            pollfd fd{wake_[0], POLLIN, 0};
            const auto ms = duration_cast<milliseconds>(left).count() - 1;
            if (::poll(&fd, 1, static_cast<int>(ms)) > 0) return false;
        } else {
            std::this_thread::sleep_until(t);
        }
    }
}

bool PtyServer::write_all(const std::uint8_t* p, int n) {
    while (n > 0) {
        const auto k = ::write(master_, p, static_cast<std::size_t>(n));
        if (k > 0) {
            p += k;
            n -= static_cast<int>(k);
            continue;
        }
        if (k < 0 && errno == EINTR) continue;
        if (k < 0 && errno == EAGAIN) {
            // Nobody drains the terminal: wait a little, then give the reply up.
            pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(fds, 2, kWriteWaitMs) > 0 && (fds[0].revents & POLLOUT) && !fds[1].revents)
                continue;
        }
        if (verbose_) log(QStringLiteral("reply dropped: terminal not drained"), nullptr, 0);
        return false;
    }
    return true;
}

void PtyServer::log(const QString& what, const std::uint8_t* p, int n) const {
    const double t = duration<double>(Clock::now() - started_).count();
    QString line = QString::number(t, 'f', 3) + QLatin1Char(' ') + what;
    if (p && n > 0) {
        line += QLatin1Char(' ') +
                QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p), n).toHex(' '));
    }
    line += QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

}  // namespace sim
