#include "alarms/alarm_panel.h"

#include <QMouseEvent>

AlarmPanel::AlarmPanel(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("pa_alarmy"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setMinimumWidth(90);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    paint_state();
}

void AlarmPanel::show_count(int unacknowledged) {
    count_ = unacknowledged;
    paint_state();
}

void AlarmPanel::show_journal_fault(const QString& text) {
    fault_ = text;
    paint_state();
}

void AlarmPanel::paint_state() {
    QString text = QStringLiteral("Alarmy: %1").arg(count_);
    if (!fault_.isEmpty()) text += QStringLiteral(" · deník!");
    setText(text);
    setToolTip(fault_.isEmpty()
                   ? QStringLiteral("Nepotvrzené alarmy; klepnutím otevřete okno Alarmy")
                   : fault_);
    QPalette p = palette();
    const bool red = count_ > 0;
    p.setColor(QPalette::Window, red ? QColor(0xFF, 0x30, 0x30)
                                 : parentWidget()
                                     ? parentWidget()->palette().color(QPalette::Window)
                                     : QColor(0xF0, 0xF0, 0xF0));
    p.setColor(QPalette::WindowText, red ? QColor(Qt::white) : QColor(Qt::black));
    setPalette(p);
}

void AlarmPanel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit clicked();
    QLabel::mousePressEvent(e);
}
