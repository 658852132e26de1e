#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class Prompts;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class TrendChart;

// "GRAF 3D": the chart's 3D view, 3D percent, colours and length. Its controls act on
// the main window's chart at once; the main window keeps or undoes the result.
class Trotace3D : public QDialog {
    Q_OBJECT
  public:
    Trotace3D(TrendChart& chart, Prompts& prompts, QWidget* parent = nullptr);

    // Fills the controls from the settings record and applies the 3D view and percent
    // to the chart, as setting the check box and the scroll bar would.
    void fill(bool view_3d, std::int32_t back_ref, std::int32_t panel_ref, int percent,
              std::int32_t count);

    // What the dialog holds (read after OK). The colours are the stored values, so a
    // system colour that was not changed stays a system colour.
    bool view_3d() const;
    int percent() const;
    std::int32_t back_ref() const { return back_ref_; }
    std::int32_t panel_ref() const { return panel_ref_; }
    // The integer value of ed_poc_mer (valid after an accepted dialog).
    std::int32_t count() const;

    // Handlers.
    void check_3DClick();
    void bar_3DChange();
    void tl_barva_mrizClick();
    void tl_barva_okrajClick();
    // Enter in ed_poc_mer: true when the key was handled (the caller swallows it).
    bool ed_poc_merKeyPress(int key);
    void tl_okClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool ReadNumber(std::int32_t& value);
    bool CheckRange(std::int32_t value, std::int32_t low, std::int32_t high);
    bool validate();
    std::optional<std::int32_t> pick_color(std::int32_t current);

    TrendChart& chart_;
    Prompts& prompts_;
    std::int32_t back_ref_ = 0;
    std::int32_t panel_ref_ = 0;

    QCheckBox* check_3D;
    QLineEdit* ed_poc_mer;
    QScrollBar* bar_3D;
    QLabel* pa_barva_mriz;
    QPushButton* tl_barva_mriz;
    QLabel* pa_barva_okraj;
    QPushButton* tl_barva_okraj;
    QPushButton* tl_ok;
    QPushButton* tl_cancel;
};
