#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <set>
#include <vector>

#include "comm/device_data.h"

class BusWorker;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class Tport;

// "Přehled sběrnice": every controller of the bus side by side, table 10 of each read
// in turn on the bus worker. Not modal. One job at a time, and only while the worker
// has nothing else asked for, so the main window's reading waits behind at most one of
// these. Polls only while shown.
class BusOverview : public QWidget {
    Q_OBJECT
  public:
    enum Column {
        kAddress,
        kType,
        kMeasure,
        kSetPoint,
        kAction,
        kOut1,
        kOut2,
        kOut3,
        kFault,
        kLink,
        kLastGood,
        kColumnCount
    };
    // A controller that failed is asked again only this much later, so that silent ones
    // cost the others little of the bus.
    static constexpr int kRetryMs = 5000;
    // The probe's wait in a scan: a status reply crosses the wire at 9600 baud in 14 ms.
    static constexpr int kScanProbeMs = 60;

    struct Row {
        int address = 0;
        QString type_text;
        bool type_asked = false;
        LiveGroup live{};
        bool ever_good = false;
        bool link = false;
        int failures = 0;  // since the last good reading
        QDateTime last_good;
        qint64 retry_at_ms = 0;
    };

    // port: where a double click sends the controller's address (the port dialog's own
    // path); may be null.
    BusOverview(BusWorker& bus, Tport* port, QWidget* parent = nullptr);
    ~BusOverview() override;

    // Bounds the probe's wait during a scan (0 restores the line's own); runs on the
    // bus worker's thread.
    void set_probe_bound(std::function<void(int ms)> bound) { probe_bound_ = std::move(bound); }
    void set_retry_ms(int ms) { retry_ms_ = ms; }

    // Rows from a typed list ("1, 3, 10-12"); false when the text is no such list.
    bool set_addresses(const QString& text);
    void set_addresses(const std::vector<int>& addresses);
    static bool parse_addresses(const QString& text, std::vector<int>* out);

    void tl_hledatClick();
    void tl_zastavitClick();
    void tl_pouzitClick();
    // Shows the readings that came since the table was last drawn.
    void refresh();
    // Makes the controller of a row the main window's.
    void open_row(int row);

    const std::vector<Row>& rows() const { return rows_; }
    bool scanning() const { return scan_next_ >= 0; }
    int cycles() const { return cycles_; }
    qint64 last_cycle_ms() const { return last_cycle_ms_; }
    QTableWidget* table() const { return tab_prehled; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void pump();
    void post_probe();
    void post_poll();
    void polled(int address, bool ok, const LiveGroup& live, const QString& type);
    void end_scan();
    void show_row(int index);
    void fit_columns();
    int row_of(int address) const;

    BusWorker& bus_;
    Tport* port_;
    std::function<void(int)> probe_bound_;
    int retry_ms_ = kRetryMs;
    std::vector<Row> rows_;
    std::size_t next_ = 0;
    int polled_in_cycle_ = 0;
    int opening_width_ = 0;     // the table's columns at their opening widths
    bool fit_columns_ = false;  // new texts: fit the columns at the end of the cycle
    bool job_out_ = false;
    int scan_next_ = -1;       // -1: not scanning
    unsigned generation_ = 0;  // a job answers the row list it was posted for
    int cycles_ = 0;
    QElapsedTimer cycle_clock_;
    qint64 last_cycle_ms_ = -1;
    QElapsedTimer clock_;

    QLineEdit* ed_adresy;
    QPushButton* tl_pouzit;
    QPushButton* tl_hledat;
    QPushButton* tl_zastavit;
    QProgressBar* bar_hledani;
    QLabel* lb_stav;
    QLabel* lb_cyklus;
    QTableWidget* tab_prehled;
    QTimer* pump_timer_;
    QTimer* refresh_timer_;
    std::set<int> dirty_;  // rows read since the table was last drawn
};
