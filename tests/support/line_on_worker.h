#pragma once

#include <QCoreApplication>
#include <QString>

#include "comm/bus_worker.h"
#include "comm/serial_line.h"

// A real serial line handed to a bus worker's thread for as long as this lives, opened
// and closed there, as the program does it.
class LineOnWorker {
  public:
    LineOnWorker(SerialLine& line, BusWorker& bus) : line_(line), bus_(bus) {
        line_.move_to_thread(bus_.worker_thread());
    }
    ~LineOnWorker() {
        bus_.run([this](RequestLayer&) {
            line_.close();
            line_.move_to_thread(QCoreApplication::instance()->thread());
            return true;
        });
    }
    LineOnWorker(const LineOnWorker&) = delete;
    LineOnWorker& operator=(const LineOnWorker&) = delete;

    void open(const QString& device, qint32 baud) {
        bus_.run([&](RequestLayer&) {
            line_.open(QStringLiteral("COM1"), device, baud);
            return true;
        });
    }

    void close() {
        bus_.run([this](RequestLayer&) {
            line_.close();
            return true;
        });
    }

  private:
    SerialLine& line_;
    BusWorker& bus_;
};
