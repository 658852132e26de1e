#pragma once

#include <QByteArray>
#include <QWidget>
#include <cstdint>

class Prompts;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTimer;
class RecordingLine;
class TelegramModel;

// "Monitor komunikace": the telegrams the recording line saw and its counts per address.
// Not modal: the live cycle goes on while it is open. New telegrams are fetched at most
// ten times a second, however fast they arrive.
class CommMonitor : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kBatchMs = 100;

    CommMonitor(RecordingLine& recorder, Prompts& prompts, QWidget* parent = nullptr);
    ~CommMonitor() override;

    // Something was recorded: fetch it with the next batch.
    void notify();
    // Fetches what is new now (nothing while hidden; the list holds still while paused).
    void refresh();

    bool paused() const { return paused_; }
    TelegramModel& model() const { return *model_; }
    // The rows shown, as the save writes them (Windows-1250, CR LF).
    QByteArray list_file_bytes() const;
    // Replaces the file whole; when anything fails the previous file stays and
    // FileError is thrown.
    void write_list(const QString& path) const;

    void tl_pozastavitClick();
    void tl_vymazatClick();
    void tl_ulozitClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void show_stats();

    RecordingLine& recorder_;
    Prompts& prompts_;
    TelegramModel* model_;
    QTimer* batch_;
    std::uint64_t last_seq_ = 0;
    bool paused_ = false;
    QString last_file_name_ = QStringLiteral("monitor.txt");

    QPushButton* tl_pozastavit;
    QPushButton* tl_vymazat;
    QSpinBox* ed_adresa;
    QPushButton* tl_ulozit;
    QLabel* lb_pocet;
    QTableView* telegrams_;
    QTableWidget* stats_;
};
