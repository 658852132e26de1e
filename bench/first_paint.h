#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <cstdio>

// Ends a start-up probe once the watched window has painted for the first time: prints
// "painted" for the parent that measures, then quits.
class FirstPaint : public QObject {
  public:
    explicit FirstPaint(QObject* window) { window->installEventFilter(this); }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // After the paint handler has run.
            QTimer::singleShot(0, [] {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

  private:
    bool seen_ = false;
};
