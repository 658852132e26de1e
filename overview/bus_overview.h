#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>
#include <set>
#include <vector>

#include "bus/bus_poller.h"
#include "bus/unit_table.h"

class BusWorker;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class Tport;

// "Přehled sběrnice": every controller of the bus side by side, polled by the core
// poller's policy on the bus worker. Not modal. One job at a time, and only while the
// worker has nothing else asked for, so the main window's reading waits behind at most
// one of these. Polls only while shown.
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
    // port: where a double click sends the controller's address (the port dialog's own
    // path); may be null.
    BusOverview(BusWorker& bus, Tport* port, QWidget* parent = nullptr);
    ~BusOverview() override;

    void set_retry_ms(int ms) { poller_.set_retry_ms(ms); }
    // Told of every reading, good or failed, on the window thread: the alarms watch the
    // overview's readings as they watch the main window's.
    using ReadingObserver = std::function<void(int address, bool answered, const LiveGroup&)>;
    void set_reading_observer(ReadingObserver f) { on_reading_ = std::move(f); }

    // Rows from a typed list ("1, 3, 10-12"); false when the text is no such list.
    bool set_addresses(const QString& text);
    void set_addresses(const std::vector<int>& addresses);

    void tl_hledatClick();
    void tl_zastavitClick();
    void tl_pouzitClick();
    // Shows the readings that came since the table was last drawn.
    void refresh();
    // Makes the controller of a row the main window's.
    void open_row(int row);

    std::vector<UnitReading> rows() const { return table_.snapshot(); }
    const BusPoller& poller() const { return poller_; }
    bool scanning() const { return scan_next_ >= 0; }
    int cycles() const { return poller_.cycles(); }
    qint64 last_cycle_ms() const { return poller_.last_cycle_ms(); }
    QTableWidget* table() const { return tab_prehled; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void pump();
    void post_probe();
    void post_poll();
    void polled(const BusPoller::Step& step, const BusPoller::Outcome& outcome);
    void end_scan();
    void add_row(int address);
    void show_row(int index, const UnitReading& r);
    void fit_columns();
    int row_of(int address) const;

    BusWorker& bus_;
    Tport* port_;
    UnitTable table_;
    BusPoller poller_{table_};
    std::vector<int> addresses_;  // the rows, top down
    int last_cycles_ = 0;
    int opening_width_ = 0;     // the table's columns at their opening widths
    bool fit_columns_ = false;  // new texts: fit the columns at the end of the cycle
    bool job_out_ = false;
    int scan_next_ = -1;       // -1: not scanning
    unsigned generation_ = 0;  // a job answers the row list it was posted for

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
    ReadingObserver on_reading_;
};
