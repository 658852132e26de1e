#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <cstdint>
#include <vector>

#include "params/catalogue.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class Prompts;
class BusWorker;

// The parameter editor: the controller's parameters on nine tabs, exchanged with the
// controller one tab (one table) at a time. The controls are a view of DeviceData:
// FillTab shows a tab's fields, CollectTab stores its controls back.
//
// The controls carry the names of the catalogue (ed_sp, cb_rala1 ...) as objectName;
// the tab sheets are ta_comp ... ta_add and hold their table number in the "tag"
// property.
class Tmenu_mod : public QDialog {
    Q_OBJECT
  public:
    Tmenu_mod(BusWorker& request, Prompts& prompts, QWidget* parent = nullptr);
    ~Tmenu_mod() override;

    // The identification step calls this right before each showing: every control
    // except the set point's three edits goes to its preset, rego.RESV to 0.
    void apply_presets();
    // The identification step read every parameter table for this showing.
    void tables_read() { tables_read_ = true; }

    int page_count() const;
    // Position of the tab whose controls were last filled from DeviceData.
    int ShownTab() const { return shown_tab_; }

    void FillTab(int position);
    // 0 when every field of the tab was stored. Throws ConvertError when a set-point
    // text is not a number.
    int CollectTab(int position);
    int EditToReal(QLineEdit* edit, float& field);
    int EditToInt(QLineEdit* edit, std::int32_t& field);
    int EditToByte(QLineEdit* edit, std::int8_t& field);

    // Event handlers, public so that they can be driven directly.
    void FormShow();
    void PageControlChange();
    void cb_rala1Change();
    void tl_cteniClick();
    void tl_zapisClick();
    void tl_eepromClick();
    void tl_otevritClick();
    void tl_ulozitClick();

  signals:
    // After each exchange of the buttons, with the address it went to; DeviceData
    // holds what was read or sent.
    void table_read(int address, int table, bool ok);
    void table_written(int address, int table, bool ok);
    void eeprom_stored(int address, bool ok);
    void file_saved(const QString& path);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void build_pages();
    void select_page(int position);  // raises no change event
    void take_pending_focus();
    int collect_edit(const params::ParamDef& p);
    int entry_failed(QLineEdit* edit, const QString& text);
    void communication_failed(const QString& text);
    QLineEdit* edit_of(const params::ParamDef& p) const;
    QComboBox* list_of(const params::ParamDef& p) const;

    BusWorker& request_;
    Prompts& prompts_;
    QTabWidget* PageControl = nullptr;
    QPushButton* tl_cteni = nullptr;
    QPushButton* tl_zapis = nullptr;
    QPushButton* tl_eeprom = nullptr;
    QPushButton* tl_otevrit = nullptr;
    QPushButton* tl_ulozit = nullptr;
    QPushButton* tl_cancel = nullptr;
    QProgressBar* bar_load = nullptr;
    std::vector<QWidget*> controls_;  // parallel to params::catalogue()
    int shown_tab_ = 0;
    // Tabs whose controls this showing has filled (entered, or loaded from a file).
    std::array<bool, params::kTabCount> entered_{};
    bool tables_read_ = false;
    bool selecting_ = false;
    QPointer<QLineEdit> pending_focus_;
};
