#pragma once

#include <QDialog>
#include <QtGlobal>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class PortLine;
class Prompts;
class BusWorker;
class SettingsStore;

// The port dialog: serial line, rate, device and computer address, and the search of
// the bus for addresses that answer. Created once at start-up; it owns the use of the
// serial line and opens the port while it is being created. Every choice takes effect
// at once; OK only closes, Storno can undo.
class Tport : public QDialog {
    Q_OBJECT
  public:
    Tport(SettingsStore& settings, PortLine& line, BusWorker& requests, Prompts& prompts,
          QWidget* parent = nullptr);
    ~Tport() override;

    // Line operations. Configuration failures reset the port list to "žádný port",
    // set com to 0 and throw PortError.
    void open_port(int n);
    void reinit_port();
    void close_port();

    qint32 com() const { return com_; }
    qint32 baud() const { return baud_; }
    qint32 da() const { return da_; }
    qint32 sa() const { return sa_; }
    bool searching() const;

    // Handlers. The list handlers throw PortError; when they run from a user's choice
    // the error is reported in the application's words and the event loop goes on.
    void FormShow();
    void FormClose();
    void cb_comChange();
    void cb_baudrateChange();
    void cb_daChange();
    void cb_saChange();
    void tl_najitClick();
    void Timer1Timer();
    void tl_prerusitClick();
    void tl_cancelClick();
    // Another window picks the controller to talk to: as a choice in the device address
    // list, and stored at once.
    void select_device(int address);
    // Opens the port last chosen again, as choosing it in the port list does (a lost
    // line stays unusable until the user asks for this); a failure is reported.
    void reopen_port();
    // The port last chosen in the list or at start-up, also after its open failed.
    qint32 chosen_com() const { return chosen_com_; }

    void done(int r) override;

  signals:
    void port_opened(const QString& name, const QString& device);
    void port_open_failed(const QString& name, const QString& device, const QString& reason);
    void port_closed(const QString& name);

  protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void FormCreate();
    void build_controls();
    void save_baseline();
    bool settings_changed() const;
    void set_search_controls(bool searching);
    void update_port_hints();
    void select_rate(qint32 rate);
    void set_cell(int address, const QString& text);
    // Runs a handler and reports a raised error, so it never crosses Qt's event code.
    void guarded(const std::function<void()>& handler);
    void on_line(std::function<void()> change);
    void probed(int address, bool answered);

    SettingsStore& settings_;
    PortLine& line_;
    BusWorker& requests_;
    Prompts& prompts_;

    qint32 com_ = 1;
    qint32 chosen_com_ = 0;
    qint32 baud_ = 9600;
    qint32 da_ = 0;
    qint32 sa_ = 0;
    qint32 saved_com_ = 1;
    qint32 saved_baud_ = 9600;
    qint32 saved_da_ = 0;
    qint32 saved_sa_ = 0;
    int search_next_ = 0;
    bool probe_pending_ = false;
    bool missed_tick_ = false;   // a tick came while the probe was out
    unsigned search_round_ = 0;  // a probe answers the round that sent it

    QComboBox* cb_com = nullptr;
    QComboBox* cb_baudrate = nullptr;
    QComboBox* cb_da = nullptr;
    QComboBox* cb_sa = nullptr;
    QTableWidget* str_tab = nullptr;
    QPushButton* tl_ok = nullptr;
    QPushButton* tl_cancel = nullptr;
    QPushButton* tl_najit = nullptr;
    QPushButton* tl_prerusit = nullptr;
    QTimer* Timer1 = nullptr;
};
