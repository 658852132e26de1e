#include "tools/tx20ctl/ctl_progress.h"

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

Progress::Progress(QTextStream& err) : Progress(err, stderr_is_terminal()) {}

bool Progress::stderr_is_terminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(::fileno(stderr)) != 0;
#endif
}

void Progress::show(const QString& text) {
    if (!on_) return;
    // Back to the start of the line, the text, the rest of the line erased.
    err_ << '\r' << text << "\x1b[K";
    err_.flush();
    shown_ = true;
}

void Progress::clear() {
    if (!shown_) return;
    err_ << "\r\x1b[K";
    err_.flush();
    shown_ = false;
}
