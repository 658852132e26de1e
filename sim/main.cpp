#include <pthread.h>

#include <QByteArray>
#include <QStringList>
#include <csignal>
#include <cstdio>

#include "sim/pty_server.h"
#include "sim/sim_args.h"

namespace {

void print(std::FILE* f, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
    std::fflush(f);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    sim::SimArgs parsed;
    QString error;
    switch (sim::parse_sim_args(args, parsed, error)) {
        case sim::ArgsResult::Help:
            print(stdout, sim::sim_usage());
            return 0;
        case sim::ArgsResult::Error:
            print(stderr,
                  QStringLiteral("kelvra20-sim: ") + error + QLatin1Char('\n') + sim::sim_usage());
            return 2;
        case sim::ArgsResult::Ok:
            break;
    }

    // Block the stop signals before the server thread starts so that only sigwait
    // below sees them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    sim::PtyServer server(parsed.options, parsed.rate, parsed.pace);
    if (!server.start(parsed.link)) {
        print(stderr, QStringLiteral("kelvra20-sim: cannot open a pseudo-terminal: ") +
                          server.error() + QLatin1Char('\n'));
        return 1;
    }
    print(stdout, server.path() + QLatin1Char('\n'));

    int sig = 0;
    sigwait(&stop_signals, &sig);
    server.stop();
    return 0;
}
