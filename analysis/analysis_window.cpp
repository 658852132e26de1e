#include "analysis/analysis_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "analysis/chart_picture.h"
#include "analysis/log_chart.h"
#include "analysis/log_csv.h"
#include "platform/prompts.h"

namespace {

const QString kCaption = QStringLiteral("Analýza záznamu");

enum Row { Cursor1, Cursor2, Delta, Minimum, Maximum, Mean, kRows };

}  // namespace

AnalysisWindow::AnalysisWindow(const QString& path, LogReadResult result, Prompts& prompts,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      path_(path),
      data_(std::make_shared<const LogData>(std::move(result.data))),
      prompts_(prompts) {
    setWindowTitle(QStringLiteral("%1 – %2").arg(kCaption, QFileInfo(path).fileName()));
    auto* top = new QHBoxLayout;
    for (int t = 0; t < LogData::kTraces; ++t) {
        auto* box = new QCheckBox(LogChart::trace_name(t), this);
        box->setChecked(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::WindowText, LogChart::trace_color(t));
        box->setPalette(pal);
        shown_[static_cast<std::size_t>(t)] = box;
        top->addWidget(box);
    }
    top->addStretch(1);
    all_ = new QPushButton(QStringLiteral("Celý záznam"), this);
    csv_ = new QPushButton(QStringLiteral("Exportovat CSV..."), this);
    picture_ = new QPushButton(QStringLiteral("Uložit obrázek..."), this);
    top->addWidget(all_);
    top->addWidget(csv_);
    top->addWidget(picture_);
    range_action_ = new QPushButton(this);
    range_action_->hide();
    top->addWidget(range_action_);

    chart_ = new LogChart(data_, this);
    chart_->setToolTip(
        QStringLiteral("Kolečko: zvětšení, tažení: posun, levé tlačítko: kurzor 1, "
                       "pravé tlačítko: kurzor 2"));

    table_ = new QTableWidget(kRows, 1 + LogData::kTraces, this);
    QStringList columns{QStringLiteral("Čas")};
    for (int t = 0; t < LogData::kTraces; ++t) columns << LogChart::trace_name(t);
    table_->setHorizontalHeaderLabels(columns);
    table_->setVerticalHeaderLabels({QStringLiteral("Kurzor 1"), QStringLiteral("Kurzor 2"),
                                     QStringLiteral("Rozdíl 2 − 1"), QStringLiteral("Minimum"),
                                     QStringLiteral("Maximum"), QStringLiteral("Průměr")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c <= LogData::kTraces; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                          : Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, c, item);
        }
    const int table_height = table_->horizontalHeader()->sizeHint().height() +
                             kRows * table_->verticalHeader()->defaultSectionSize() +
                             2 * table_->frameWidth();
    table_->setFixedHeight(table_height);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    range_ = new QLabel(this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    QStringList info;
    info << QStringLiteral("%1: %2 vzorků z %3 řádků")
                .arg(QDir::toNativeSeparators(path))
                .arg(data_->size())
                .arg(result.lines);
    if (result.start.isValid())
        info << QStringLiteral("začátek měření %1")
                    .arg(time_text(
                        LogData::from_date_time(result.start.date(), result.start.time())));
    if (data_->gap_count() > 0)
        info << QStringLiteral("%1 z nich bez odpovědi regulátoru (šedé pásy, mimo výpočty)")
                    .arg(data_->gap_count());
    if (!result.header) info << QStringLiteral("bez hlavičky");
    info << QStringLiteral("formát data a času: %1").arg(result.locale_name);
    QString text = info.join(QStringLiteral(", ")) + QLatin1Char('.');
    if (!result.notes.isEmpty())
        text += QStringLiteral("<br><span style=\"color:#a00000\">%1</span>")
                    .arg(result.notes.join(QStringLiteral(" ")).toHtmlEscaped());
    status_->setTextFormat(Qt::RichText);
    status_->setText(text);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chart_, 1);
    layout->addWidget(range_);
    layout->addWidget(table_);
    layout->addWidget(status_);
    resize(1000, 720);

    for (int t = 0; t < LogData::kTraces; ++t)
        connect(shown_[static_cast<std::size_t>(t)], &QCheckBox::toggled, chart_,
                [this, t](bool on) { chart_->set_trace_shown(t, on); });
    connect(all_, &QPushButton::clicked, chart_, &LogChart::show_all);
    connect(csv_, &QPushButton::clicked, this, &AnalysisWindow::export_csv);
    connect(picture_, &QPushButton::clicked, this, &AnalysisWindow::save_picture);
    connect(range_action_, &QPushButton::clicked, this, &AnalysisWindow::run_range_action);
    connect(chart_, &LogChart::view_changed, this, &AnalysisWindow::update_readout);
    connect(chart_, &LogChart::cursors_changed, this, &AnalysisWindow::update_readout);
    update_readout();
}

QString AnalysisWindow::value_text(int trace, double v) const {
    if (!std::isfinite(v)) return {};
    return QLocale().toString(v, 'f', data_->decimals(trace));
}

QString AnalysisWindow::time_text(qint64 wall) const {
    const QDateTime t = LogData::to_date_time(wall);
    const QLocale locale;
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           t.toString(QStringLiteral("HH:mm:ss"));
}

void AnalysisWindow::update_readout() {
    const LogData& d = *data_;
    auto set = [this](int row, int col, const QString& text) {
        table_->item(row, col)->setText(text);
    };
    for (int c = 0; c < 2; ++c) {
        const int i = chart_->cursor(c);
        QString when = i < 0 ? QString() : time_text(d.wall_ms(i));
        if (i >= 0 && !d.is_reading(i))
            when += QStringLiteral(" (%1)").arg(LogChart::gap_band_name());
        set(c, 0, when);
        for (int t = 0; t < LogData::kTraces; ++t)
            set(c, t + 1, i < 0 ? QString() : value_text(t, d.value(t, i)));
    }
    const int a = chart_->cursor(0);
    const int b = chart_->cursor(1);
    if (a >= 0 && b >= 0) {
        // Δt on the axis: the real time between the samples, also across a clock change.
        const qint64 dt = d.axis_ms(b) - d.axis_ms(a);
        const qint64 s = std::abs(dt) / 1000;
        set(Delta, 0,
            QStringLiteral("%1%2:%3:%4")
                .arg(dt < 0 ? QStringLiteral("−") : QString())
                .arg(s / 3600)
                .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                .arg(s % 60, 2, 10, QLatin1Char('0')));
        for (int t = 0; t < LogData::kTraces; ++t)
            set(Delta, t + 1, value_text(t, static_cast<double>(d.value(t, b)) - d.value(t, a)));
    } else {
        for (int c = 0; c <= LogData::kTraces; ++c) set(Delta, c, QString());
    }
    const int first = chart_->first_visible();
    const int last = chart_->last_visible();
    for (int t = 0; t < LogData::kTraces; ++t) {
        const LogData::Stats s = d.stats(t, first, last);
        set(Minimum, t + 1, s.count ? value_text(t, s.min) : QString());
        set(Maximum, t + 1, s.count ? value_text(t, s.max) : QString());
        set(Mean, t + 1, s.count ? QLocale().toString(s.mean, 'f', d.decimals(t) + 1) : QString());
    }
    if (last >= first) {
        range_->setText(QStringLiteral("Zobrazeno: %1 až %2, %3 vzorků")
                            .arg(time_text(d.wall_ms(first)), time_text(d.wall_ms(last)))
                            .arg(last - first + 1));
    } else {
        range_->setText(QStringLiteral("Zobrazeno: žádný vzorek"));
    }
}

void AnalysisWindow::set_range_action(const QString& caption, RangeAction action) {
    action_ = std::move(action);
    range_action_->setText(caption);
    range_action_->setVisible(static_cast<bool>(action_));
}

std::pair<int, int> AnalysisWindow::selection() const {
    const int a = chart_->cursor(0);
    const int b = chart_->cursor(1);
    if (a >= 0 && b >= 0 && a != b) return {std::min(a, b), std::max(a, b)};
    return {chart_->first_visible(), chart_->last_visible()};
}

void AnalysisWindow::run_range_action() {
    if (!action_) return;
    const auto [first, last] = selection();
    action_(*this, first, last);
}

void AnalysisWindow::export_csv() {
    log_csv::save_as(prompts_, QFileInfo(path_).completeBaseName(),
                     [this](const QString& target, QString* why) {
                         return log_csv::write(target, *data_, chart_->first_visible(),
                                               chart_->last_visible(), why);
                     });
}

void AnalysisWindow::save_picture() {
    LogChart* chart = chart_;
    chart_picture::save_as(prompts_, QFileInfo(path_).completeBaseName(), chart_->size(),
                           [chart](QPainter& p, const QRect& r) { chart->paint(p, r); });
}

AnalysisWindow* AnalysisWindow::open(const QString& path, Prompts& prompts, QWidget* parent) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LogReadResult result = LogReader::read_file(path);
    QApplication::restoreOverrideCursor();
    if (!result.ok()) {
        prompts.message(QStringLiteral("Záznam %1 nelze otevřít. %2")
                            .arg(QDir::toNativeSeparators(path), result.error),
                        kCaption, PromptIcon::Error);
        return nullptr;
    }
    auto* w = new AnalysisWindow(path, std::move(result), prompts, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

AnalysisWindow* AnalysisWindow::choose_and_open(Prompts& prompts, QWidget* parent) {
    FileDialogRequest r;
    r.title = kCaption;
    r.filters = {QStringLiteral("Textový soubor [*.txt] (*.txt)"),
                 QStringLiteral("Všechny soubory (*)")};
    r.file_must_exist = true;
    const auto path = prompts.open_file(r);
    if (!path) return nullptr;
    return open(*path, prompts, parent);
}
