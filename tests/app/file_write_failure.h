#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>

// Makes every file write past `bytes` fail as on a full disk, for the lifetime of the
// object. Works for root too, unlike a read-only folder.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*old_handler_)(int) = SIG_DFL;
};
#define TX20_HAVE_FILE_SIZE_LIMIT 1
#endif
