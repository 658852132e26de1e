#include "app/Rotace_3d.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/panel_color.h"
#include "chart/trend_chart.h"
#include "platform/prompts.h"

namespace {

constexpr std::int32_t kMinCount = 10;
constexpr std::int32_t kMaxCount = 100000;

QLabel* make_swatch(const char* name, QWidget* parent) {
    auto* swatch = new QLabel(parent);
    swatch->setObjectName(QLatin1String(name));
    swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    swatch->setFixedSize(25, 25);
    return swatch;
}

}  // namespace

Trotace3D::Trotace3D(TrendChart& chart, Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      chart_(chart),
      prompts_(prompts) {
    setObjectName(QStringLiteral("rotace3D"));
    setWindowTitle(QStringLiteral("GRAF 3D"));
    setModal(true);

    check_3D = new QCheckBox(QStringLiteral("3D"), this);
    check_3D->setObjectName(QStringLiteral("check_3D"));
    check_3D->setChecked(true);
    check_3D->setToolTip(QStringLiteral("Nastaví zobrazení 3D"));

    ed_poc_mer = new QLineEdit(QStringLiteral("200"), this);
    ed_poc_mer->setObjectName(QStringLiteral("ed_poc_mer"));
    ed_poc_mer->setToolTip(QStringLiteral("Počet zobrazených měření v grafu (10 až 100.0000)"));
    ed_poc_mer->installEventFilter(this);

    bar_3D = new QScrollBar(Qt::Horizontal, this);
    bar_3D->setObjectName(QStringLiteral("bar_3D"));
    bar_3D->setRange(1, 100);
    bar_3D->setValue(1);
    bar_3D->setToolTip(QStringLiteral("Nastaví natočení 3D grafu"));

    pa_barva_mriz = make_swatch("pa_barva_mriz", this);
    tl_barva_mriz = new QPushButton(QStringLiteral("Mrižka"), this);
    tl_barva_mriz->setObjectName(QStringLiteral("tl_barva_mriz"));
    tl_barva_mriz->setToolTip(QStringLiteral("Nastaví barvu pozadí mřížky"));
    pa_barva_okraj = make_swatch("pa_barva_okraj", this);
    tl_barva_okraj = new QPushButton(QStringLiteral("Okraj"), this);
    tl_barva_okraj->setObjectName(QStringLiteral("tl_barva_okraj"));
    tl_barva_okraj->setToolTip(QStringLiteral("Nastaví barvu okraje grafu"));

    tl_ok = new QPushButton(QStringLiteral("OK"), this);
    tl_ok->setObjectName(QStringLiteral("tl_ok"));
    tl_cancel = new QPushButton(QStringLiteral("Storno"), this);
    tl_cancel->setObjectName(QStringLiteral("tl_cancel"));
    // Enter in the count field validates it (event filter); once the focus is on OK, the
    // next Enter accepts. Enter on another focused button presses that button.
    tl_ok->setDefault(true);

    auto* colors = new QGridLayout;
    colors->addWidget(pa_barva_mriz, 0, 0);
    colors->addWidget(tl_barva_mriz, 0, 1);
    colors->addWidget(pa_barva_okraj, 1, 0);
    colors->addWidget(tl_barva_okraj, 1, 1);
    colors->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(tl_ok);
    buttons->addWidget(tl_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Rozměr"), this));
    layout->addWidget(check_3D);
    layout->addWidget(new QLabel(QStringLiteral("Počet měření"), this));
    layout->addWidget(ed_poc_mer);
    layout->addWidget(new QLabel(QStringLiteral("Procento natočení"), this));
    layout->addWidget(bar_3D);
    layout->addWidget(new QLabel(QStringLiteral("Nastavení barvy"), this));
    layout->addLayout(colors);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(192);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(check_3D, &QCheckBox::toggled, this, [this] { check_3DClick(); });
    connect(bar_3D, &QScrollBar::valueChanged, this, [this] { bar_3DChange(); });
    connect(tl_barva_mriz, &QPushButton::clicked, this, [this] { tl_barva_mrizClick(); });
    connect(tl_barva_okraj, &QPushButton::clicked, this, [this] { tl_barva_okrajClick(); });
    connect(tl_ok, &QPushButton::clicked, this, [this] { tl_okClick(); });
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Trotace3D::fill(bool view_3d, std::int32_t back_ref, std::int32_t panel_ref, int percent,
                     std::int32_t count) {
    check_3D->setChecked(view_3d);
    back_ref_ = back_ref;
    set_panel_color(pa_barva_mriz, color_from_ref(static_cast<std::uint32_t>(back_ref)));
    panel_ref_ = panel_ref;
    set_panel_color(pa_barva_okraj, color_from_ref(static_cast<std::uint32_t>(panel_ref)));
    bar_3D->setValue(percent);
    ed_poc_mer->setText(QString::number(count));
    check_3DClick();
    bar_3DChange();
}

bool Trotace3D::view_3d() const { return check_3D->isChecked(); }

int Trotace3D::percent() const { return bar_3D->value(); }

std::int32_t Trotace3D::count() const { return ed_poc_mer->text().trimmed().toInt(); }

void Trotace3D::check_3DClick() { chart_.set_view_3d(check_3D->isChecked()); }

void Trotace3D::bar_3DChange() { chart_.set_percent_3d(bar_3D->value()); }

std::optional<std::int32_t> Trotace3D::pick_color(std::int32_t current) {
    // The picker wants an RGB value; a system colour is resolved to what it shows.
    const std::uint32_t initial = color_to_ref(color_from_ref(static_cast<std::uint32_t>(current)));
    const auto chosen = prompts_.choose_color(initial);
    if (!chosen) return std::nullopt;
    return static_cast<std::int32_t>(*chosen);
}

void Trotace3D::tl_barva_mrizClick() {
    const auto c = pick_color(back_ref_);
    if (!c) return;
    back_ref_ = *c;
    const QColor color = color_from_ref(static_cast<std::uint32_t>(*c));
    chart_.set_back_color(color);
    set_panel_color(pa_barva_mriz, color);
}

void Trotace3D::tl_barva_okrajClick() {
    const auto c = pick_color(panel_ref_);
    if (!c) return;
    panel_ref_ = *c;
    const QColor color = color_from_ref(static_cast<std::uint32_t>(*c));
    chart_.set_panel_color(color);
    set_panel_color(pa_barva_okraj, color);
}

bool Trotace3D::ReadNumber(std::int32_t& value) {
    bool ok = false;
    value = ed_poc_mer->text().trimmed().toInt(&ok, 10);
    if (ok) return true;
    prompts_.message(QStringLiteral("Chyba při zadání číselného textu"), QStringLiteral("CHYBA"),
                     PromptIcon::Warning, PromptButtons::Ok, PromptOwner::Application);
    ed_poc_mer->setText(QStringLiteral("0"));
    ed_poc_mer->setFocus();
    return false;
}

bool Trotace3D::CheckRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    if (value >= low && value <= high) return true;
    prompts_.message(
        QStringLiteral("Je nutné zadávat pouze čísla v rozsahu %1 až %2").arg(low).arg(high),
        QStringLiteral("EDIT"), PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
    ed_poc_mer->setFocus();
    return false;
}

bool Trotace3D::validate() {
    std::int32_t value = 0;
    return ReadNumber(value) && CheckRange(value, kMinCount, kMaxCount);
}

bool Trotace3D::ed_poc_merKeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    if (validate()) tl_ok->setFocus();
    return true;
}

void Trotace3D::tl_okClick() {
    if (validate()) accept();
}

bool Trotace3D::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ed_poc_mer && event->type() == QEvent::KeyPress)
        return ed_poc_merKeyPress(static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}
