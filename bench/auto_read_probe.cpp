// Runs the program with "Automatické čtení" checked for the given seconds and prints
// the CPU time it used meanwhile, the wall time and the readings taken.
#include <sys/resource.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/application.h"

namespace {
double cpu_ms() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}
}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60;
    Program program;
    app.set_prompts(&program.prompts());
    Tkrt01& w = program.main_window();
    w.show();
    double cpu0 = 0;
    QElapsedTimer wall;
    QTimer::singleShot(1000, &w, [&] {
        w.findChild<QCheckBox*>(QStringLiteral("check_auto"))->click();
        cpu0 = cpu_ms();
        wall.start();
        QTimer::singleShot(seconds * 1000, &w, [&] {
            std::printf("cpu_ms %.1f wall_ms %lld readings %d\n", cpu_ms() - cpu0,
                        static_cast<long long>(wall.elapsed()), w.point_no());
            std::fflush(stdout);
            Application::exit(0);
        });
    });
    return Application::exec();
}
