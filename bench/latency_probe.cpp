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
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
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

// The user's key: pressed at wall-clock moments of its own, whatever the window thread
// does. Each press opens the About box once, as its menu key does; presses that come
// while the box is up wait their turn.
class AboutKey : public QObject {
  public:
    AboutKey(Tkrt01& w, QElapsedTimer& clock) : w_(w), clock_(clock) {}
    // Any thread: a key press now.
    void press() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pressed_ns_.push_back(clock_.nsecsElapsed());
        }
        QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_F12, {}));
    }
    bool event(QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return QObject::event(e);
        ++waiting_;
        open_next();
        return true;
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            std::lock_guard<std::mutex> lock(mutex_);
            shown.push_back(static_cast<double>(clock_.nsecsElapsed() - pressed_ns_.front()) / 1e6);
            pressed_ns_.pop_front();
            QTimer::singleShot(0, w_.dialogs().about, [this] { w_.dialogs().about->reject(); });
        } else if (e->type() == QEvent::Hide) {
            QTimer::singleShot(0, this, [this] { open_next(); });
        }
        return false;
    }
    std::vector<double> shown;

  private:
    void open_next() {
        if (waiting_ == 0 || w_.dialogs().about->isVisible()) return;
        --waiting_;
        w_.findChild<QAction*>(QStringLiteral("mn_about"))->trigger();
    }
    Tkrt01& w_;
    QElapsedTimer& clock_;
    std::mutex mutex_;
    std::deque<qint64> pressed_ns_;
    int waiting_ = 0;
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
    w.dialogs().about->installEventFilter(&key);

    std::vector<double> late;
    double worst = 0;
    qint64 worst_at_ms = 0;
    qint64 last_ns = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last_ns > 0) {
            late.push_back(std::max(0.0, (now - last_ns) / 1e6 - 10.0));
            if (late.back() > worst) {
                worst = late.back();
                worst_at_ms = now / 1000000;
            }
        }
        last_ns = now;
    });
    // Out of step with the one-second reading.
    std::atomic<bool> pressing{false};
    std::thread keyboard;
    QTimer::singleShot(500, &w, [&] {
        w.findChild<QCheckBox*>(QStringLiteral("check_auto"))->click();
        tick.start();
        pressing = true;
        keyboard = std::thread([&] {
            while (pressing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(730));
                if (pressing) key.press();
            }
        });
        QTimer::singleShot(seconds * 1000, &w, [&] {
            tick.stop();
            pressing = false;
            keyboard.join();
            const Figures l = figures(late);
            const Figures a = figures(key.shown);
            std::printf(
                "lateness_ms p50 %.1f p99 %.1f max %.1f  about_ms p50 %.1f p99 %.1f max %.1f  "
                "presses %zu readings %d worst_at_ms %lld\n",
                l.p50, l.p99, l.max, a.p50, a.p99, a.max, key.shown.size(), w.point_no(),
                static_cast<long long>(worst_at_ms));
            std::fflush(stdout);
            Application::exit(0);
        });
    });
    return Application::exec();
}
