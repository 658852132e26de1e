#include "platform/atomic_file.h"

#include <QSaveFile>
#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// QSaveFile::commit() does not look at the result of syncing the data to disk.
bool sync_to_disk(int fd) {
    if (fd < 0) return false;
#ifdef Q_OS_WIN
    return ::_commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

}  // namespace

AtomicFile::Fault& AtomicFile::injected() {
    static thread_local Fault fault = Fault::None;
    return fault;
}

std::function<void()>& AtomicFile::before_commit() {
    static thread_local std::function<void()> fn;
    return fn;
}

AtomicFile::BeforeCommit::BeforeCommit(std::function<void()> fn)
    : previous_(std::exchange(before_commit(), std::move(fn))) {}

AtomicFile::BeforeCommit::~BeforeCommit() { before_commit() = std::move(previous_); }

AtomicFile::InjectedFault::InjectedFault(Fault f) : previous_(injected()) { injected() = f; }

AtomicFile::InjectedFault::~InjectedFault() { injected() = previous_; }

bool AtomicFile::write(const QString& path, const std::vector<QByteArrayView>& pieces,
                       QString* reason) {
    const Fault fault = injected();
    QSaveFile file(path);
    // Unbuffered: a full disk shows in the write that hits it, not in a later flush
    // whose result QSaveFile would overlook.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (reason) *reason = file.errorString();
        return false;
    }
    const auto failure_reason = [&file] {
        return file.error() != QFileDevice::NoError ? file.errorString() : qt_error_string(errno);
    };
    QString why;
    bool ok = true;
    for (const QByteArrayView& piece : pieces) {
        const qint64 size = piece.size();
        qint64 written = 0;
        if (fault == Fault::ShortWrite && size > 0) {
            written = file.write(piece.data(), size / 2);
            errno = ENOSPC;
        } else {
            written = file.write(piece.data(), size);
        }
        if (written != size) {
            ok = false;
            why = failure_reason();
            break;
        }
    }
    if (ok) {
        const bool flushed = fault != Fault::FailedFlush && file.flush() &&
                             sync_to_disk(file.handle()) && file.error() == QFileDevice::NoError;
        if (!flushed) {
            ok = false;
            if (fault == Fault::FailedFlush) errno = EIO;
            why = failure_reason();
        }
    }
    if (!ok) {
        file.cancelWriting();
        if (reason) *reason = why;
        return false;
    }
    // The rename over the old file; when it fails, the temporary file goes and the
    // old file stays.
    if (const auto& hook = before_commit()) hook();
    const bool committed = fault != Fault::FailedCommit && file.commit();
    if (!committed) {
        if (reason)
            *reason = fault == Fault::FailedCommit ? qt_error_string(EACCES) : file.errorString();
        return false;
    }
    return true;
}
