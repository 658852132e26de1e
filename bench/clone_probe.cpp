// The clone onto ten simulated controllers paced at 9600 baud, against the wire time of
// the telegrams it sent and received; then the size of the service report PDF, without
// and with a trend picture.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

#include "bus/bus_session.h"
#include "chart/trend_chart.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "commissioning/clone.h"
#include "commissioning/service_report.h"
#include "platform/private_profile.h"
#include "sim/pty_server.h"

namespace {

// Counts the bytes that cross the line in both directions.
class CountingLine : public Line {
  public:
    explicit CountingLine(Line& inner) : inner_(inner) {}
    bool write_bytes(const std::uint8_t* b, int n, int* w) override {
        const bool ok = inner_.write_bytes(b, n, w);
        sent += *w;
        return ok;
    }
    bool read_bytes(std::uint8_t* b, int n, int* r) override {
        const bool ok = inner_.read_bytes(b, n, r);
        received += *r;
        return ok;
    }
    bool read_frame(std::uint8_t* b, int n, int* r) override {
        const bool ok = inner_.read_frame(b, n, r);
        received += *r;
        return ok;
    }
    bool discard_late(std::uint8_t* b, int n, int* r) override {
        const bool ok = inner_.discard_late(b, n, r);
        received += *r;
        return ok;
    }
    void purge_rx() override { inner_.purge_rx(); }
    void purge_tx() override { inner_.purge_tx(); }
    void pause_ms(int ms) override { inner_.pause_ms(ms); }
    long sent = 0;
    long received = 0;

  private:
    Line& inner_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    constexpr int kRate = 9600;
    sim::Options o;
    o.addresses = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    sim::PtyServer server(o, kRate, true);
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    QTemporaryDir dir;
    const QString ref = dir.filePath(QStringLiteral("ref.ini"));
    {
        auto lock = server.lock();
        commissioning::save_backup(ref, server.bus().station(1));
    }
    PrivateProfile ini(ref);
    ini.set_string(QStringLiteral("COMP"), QStringLiteral("SP"), QStringLiteral("40.00"));
    ini.set_string(QStringLiteral("REGO"), QStringLiteral("DSER"), QStringLiteral("90"));
    ini.set_string(QStringLiteral("OSTAT"), QStringLiteral("FILT"), QStringLiteral("3"));
    ini.commit();
    const auto reference = commissioning::load_file(ref, nullptr);

    SerialLine serial;
    serial.open(QStringLiteral("sim"), server.path(), kRate);
    RecordingLine recorded(serial);
    CountingLine counted(recorded);
    BusSession req(counted);
    QElapsedTimer clock;
    clock.start();
    int verified = 0;
    int writes = 0;
    for (int a : o.addresses) {
        const auto r = commissioning::clone_target(req, a, *reference, {});
        verified += r.verified() ? 1 : 0;
        writes += static_cast<int>(r.tables_written.size());
    }
    const double wall_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double wire_ms = (counted.sent + counted.received) * 11.0 * 1000.0 / kRate;
    std::printf("targets 10 verified %d table_writes %d\n", verified, writes);
    std::printf("bytes sent %ld received %ld wire_ms %.0f wall_ms %.0f ratio %.2f\n", counted.sent,
                counted.received, wire_ms, wall_ms, wall_ms / wire_ms);

    commissioning::ReportInput in;
    in.when = QDateTime::currentDateTime();
    in.port = QStringLiteral("COM1");
    in.rate = kRate;
    in.address = 1;
    QString why;
    in.actual = *commissioning::read_controller(req, 1, &why);
    in.type_text = in.actual.type_text;
    in.version_text = in.actual.version_text;
    in.serial_number = 21401;
    in.reference = reference;
    in.stats = recorded.stats();
    in.technician = QStringLiteral("Jan Novák");
    in.note = QStringLiteral("Uvedení do provozu, linka 2");
    std::printf("report_pdf_bytes without_trend %lld\n",
                static_cast<long long>(commissioning::report_pdf(in).size()));
    TrendChart chart;
    chart.resize(760, 300);
    for (int i = 0; i < 600; ++i)
        chart.add_point(i, 55 + 10 * std::sin(i / 40.0), QString::number(i), Qt::red);
    in.trend = chart.grab().toImage();
    std::printf("report_pdf_bytes with_trend_760x300 %lld\n",
                static_cast<long long>(commissioning::report_pdf(in).size()));
    return 0;
}
