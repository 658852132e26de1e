// Runs the program with "Automatické čtení" checked for the given seconds and measures
// how the window thread answers meanwhile: how late a 10 ms timer fires, and how long a
// key press takes to show the About box. Prints P50, P99 and the maximum of each.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/application.h"

namespace {

struct Figures {
    double p50 = 0, p99 = 0, max = 0;
};

Figures figures(std::vector<double> v) {
    Figures f;
    if (v.empty()) return f;
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        return v[std::min(v.size() - 1, static_cast<std::size_t>(q * (v.size() - 1) + 0.5))];
    };
    f.p50 = at(0.50);
    f.p99 = at(0.99);
    f.max = v.back();
    return f;
}

// F12 on the main window opens the About box, as its menu item does.
class AboutKey : public QObject {
  public:
    AboutKey(Tkrt01& w, QElapsedTimer& clock) : w_(w), clock_(clock) {}
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == &w_ && e->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(e)->key() == Qt::Key_F12) {
            w_.findChild<QAction*>(QStringLiteral("mn_about"))->trigger();
            return true;
        }
        if (e->type() == QEvent::Show && watched == w_.dialogs().about) {
            shown.push_back(static_cast<double>(clock_.nsecsElapsed() - pressed_ns) / 1e6);
            QTimer::singleShot(0, w_.dialogs().about, [this] { w_.dialogs().about->reject(); });
        }
        return false;
    }
    qint64 pressed_ns = 0;
    std::vector<double> shown;

  private:
    Tkrt01& w_;
    QElapsedTimer& clock_;
};

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60;
    Program program;
    app.set_prompts(&program.prompts());
    Tkrt01& w = program.main_window();
    w.show();

    QElapsedTimer clock;
    clock.start();
    AboutKey key(w, clock);
    w.installEventFilter(&key);
    w.dialogs().about->installEventFilter(&key);

    std::vector<double> late;
    qint64 last_ns = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last_ns > 0) late.push_back(std::max(0.0, (now - last_ns) / 1e6 - 10.0));
        last_ns = now;
    });
    QTimer press;
    press.setInterval(730);  // out of step with the one-second reading
    QObject::connect(&press, &QTimer::timeout, [&] {
        key.pressed_ns = clock.nsecsElapsed();
        QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_F12, {}));
    });

    QTimer::singleShot(500, &w, [&] {
        w.findChild<QCheckBox*>(QStringLiteral("check_auto"))->click();
        tick.start();
        press.start();
        QTimer::singleShot(seconds * 1000, &w, [&] {
            tick.stop();
            press.stop();
            const Figures l = figures(late);
            const Figures a = figures(key.shown);
            std::printf(
                "lateness_ms p50 %.1f p99 %.1f max %.1f  about_ms p50 %.1f p99 %.1f max %.1f  "
                "presses %zu readings %d\n",
                l.p50, l.p99, l.max, a.p50, a.p99, a.max, key.shown.size(), w.point_no());
            std::fflush(stdout);
            Application::exit(0);
        });
    });
    return Application::exec();
}
