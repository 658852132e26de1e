// The gateway's HTTP side read by the real readers: headless Chromium loading the status
// page, a Prometheus server scraping /metrics, promtool checking the exposition.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <memory>
#include <thread>

#include "sim/pty_server.h"
#include "support/free_port.h"
#include "tools/ctl_run.h"
#include "tools/gateway_run.h"

namespace {

class WebServe : public ::testing::Test {
  protected:
    void SetUp() override {
        server = two_still_controllers();
        ASSERT_TRUE(server) << "the simulator did not start";
    }
    void start_gateway() {
        port = free_port();
        gw = std::make_unique<Gateway>(QStringList{"--port", server->path(), "serve", "--addresses",
                                                   "3,7", "--period", "0.1", "--http",
                                                   QStringLiteral(":%1").arg(port)});
        ASSERT_TRUE(gw->wait_for(QStringLiteral("serving HTTP"))) << gw->err().toStdString();
        ASSERT_TRUE(eventually([&] {
            return http_body(http_get(port, "/api/state")).count("\"link\":true") == 2;
        })) << gw->err().toStdString();
    }
    QJsonObject live_json(int address) {
        const CtlRun r =
            tx20ctl({"--port", server->path(), "--da", QString::number(address), "--json", "live"});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }

    std::unique_ptr<sim::PtyServer> server;
    std::unique_ptr<Gateway> gw;
    int port = 0;
};

QString row(const QString& text, const QString& address) {
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.startsWith(address + QLatin1Char('\t'))) return line;
    return {};
}

TEST_F(WebServe, ChromiumShowsEveryControllerAsTheOverviewDoesAndTheValuesMoveWithoutAReload) {
    start_gateway();
    // Controller 3's measured value climbs while the browser looks.
    std::atomic<bool> done{false};
    std::thread climb([&] {
        for (int i = 1; !done; ++i) {
            {
                auto lock = server->lock();
                server->bus().station(3).live.MEAS = 41.5f + 0.25f * static_cast<float>(i);
            }
            QThread::msleep(300);
        }
    });
    const Tool t = run_tool(QStringLiteral("/usr/bin/python3"),
                            {QStringLiteral(TOOLS_DIR "/page_in_chromium.py"),
                             QStringLiteral("http://127.0.0.1:%1/").arg(port),
                             QStringLiteral("\\t4\\d,\\d\\d\\t"), QStringLiteral("3")},
                            60000);
    done = true;
    climb.join();
    ASSERT_EQ(t.code, 0) << t.out.toStdString();
    const QJsonObject seen = QJsonDocument::fromJson(t.out.toUtf8()).object();
    const QString first = seen[QStringLiteral("first")].toString();
    const QString second = seen[QStringLiteral("second")].toString();
    for (const char* caption : {"Adresa", "Naměřená hodnota", "Žádaná hodnota", "Akční zásah [%]",
                                "Porucha", "Spojení", "Poslední hodina"})
        EXPECT_TRUE(first.contains(QString::fromUtf8(caption))) << caption;
    EXPECT_TRUE(row(first, QStringLiteral("7"))
                    .startsWith(QStringLiteral("7\tKELVRA 20\t-12,25\t80,00\t100,0\tvyp\tvyp\tZAP\t"
                                               "PORUCHA\tOK\t")))
        << first.toStdString();
    const QString three = row(first, QStringLiteral("3"));
    EXPECT_TRUE(three.contains(QStringLiteral("\t50,00\t42,7\tZAP\tZAP\tvyp\tnení porucha\tOK\t")))
        << three.toStdString();
    EXPECT_NE(three.section(QLatin1Char('\t'), 2, 2),
              row(second, QStringLiteral("3")).section(QLatin1Char('\t'), 2, 2))
        << second.toStdString();
    EXPECT_EQ(gw->stop(), 0);
}

TEST_F(WebServe, PrometheusScrapesWhatLiveReadsAndPromtoolAcceptsTheExposition) {
    start_gateway();
    const QByteArray exposition = http_body(http_get(port, "/metrics"));
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start(QStringLiteral("promtool"),
                   {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(promtool.waitForStarted());
    promtool.write(exposition);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(15000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().toStdString();
    EXPECT_TRUE(promtool.readAll().trimmed().isEmpty());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int prom_port = free_port();
    QFile conf(dir.filePath(QStringLiteral("prometheus.yml")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                              "scrape_configs:\n  - job_name: tx20\n    static_configs:\n"
                              "      - targets: ['127.0.0.1:%1']\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    QProcess prometheus;
    prometheus.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.start(QStringLiteral("prometheus"),
                     {QStringLiteral("--config.file=") + conf.fileName(),
                      QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data")),
                      QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prom_port)});
    ASSERT_TRUE(prometheus.waitForStarted());
    const auto query = [&](const QString& q) {
        const QByteArray path = "/api/v1/query?query=" + QUrl::toPercentEncoding(q);
        return QJsonDocument::fromJson(http_body(http_get(prom_port, path)))
            .object()[QStringLiteral("data")]
            .toObject()[QStringLiteral("result")]
            .toArray();
    };
    // address -> value of one metric, as Prometheus has stored it.
    const auto values = [&](const QString& metric) {
        std::map<int, double> out;
        for (const QJsonValue& v : query(metric)) {
            const QJsonObject o = v.toObject();
            out[o[QStringLiteral("metric")]
                    .toObject()[QStringLiteral("address")]
                    .toString()
                    .toInt()] = o[QStringLiteral("value")].toArray()[1].toString().toDouble();
        }
        return out;
    };
    ASSERT_TRUE(
        eventually([&] { return values(QStringLiteral("tx20_link_up")).size() == 2; }, 30000))
        << prometheus.readAll().toStdString();
    const QString names[] = {"tx20_measured_value",
                             "tx20_set_point",
                             "tx20_control_action_percent",
                             "tx20_servo_feedback_percent",
                             "tx20_terminal_temperature_celsius",
                             "tx20_fault",
                             "tx20_gateway_polls_total",
                             "tx20_line_good_replies_total"};
    std::map<QString, std::map<int, double>> got;
    for (const QString& n : names) got[n] = values(n);
    std::map<int, double> relays;
    for (int bit = 1; bit <= 3; ++bit)
        for (const auto& [a, on] : values(QStringLiteral("tx20_relay_on{relay=\"%1\"}").arg(bit)))
            relays[a] += on * (1 << (bit - 1));
    prometheus.terminate();
    prometheus.waitForFinished(10000);
    EXPECT_EQ(gw->stop(), 0);

    // The same moment as live --json reads it: the process holds still.
    for (int address : {3, 7}) {
        const QJsonObject live = live_json(address);
        EXPECT_EQ(got["tx20_measured_value"][address], live["measured"].toDouble()) << address;
        EXPECT_EQ(got["tx20_set_point"][address], live["set_point"].toDouble()) << address;
        EXPECT_EQ(got["tx20_control_action_percent"][address], live["action"].toDouble());
        EXPECT_EQ(got["tx20_servo_feedback_percent"][address], live["feedback"].toDouble());
        EXPECT_EQ(got["tx20_terminal_temperature_celsius"][address], live["terminal"].toDouble());
        EXPECT_EQ(got["tx20_fault"][address], live["fault"].toBool() ? 1 : 0) << address;
        int bits = 0;
        const QJsonArray r = live["relays"].toArray();
        for (int i = 0; i < 3; ++i) bits |= r[i].toBool() ? 1 << i : 0;
        EXPECT_EQ(relays[address], bits) << address;
        EXPECT_GT(got["tx20_gateway_polls_total"][address], 0) << address;
        EXPECT_GT(got["tx20_line_good_replies_total"][address], 0) << address;
    }
}

}  // namespace
