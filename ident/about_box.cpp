#include "ident/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/version_info.h"

namespace {

// The program's picture: a small trend on a dark plot, drawn rather than shipped.
QPixmap program_picture() {
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient bg(0, 0, 0, 64);
    bg.setColorAt(0, QColor(0x2B, 0x4C, 0x7E));
    bg.setColorAt(1, QColor(0x10, 0x22, 0x40));
    p.setPen(QPen(QColor(0x0A, 0x16, 0x2A), 1.5));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 9, 9);

    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    for (int x = 14; x < 60; x += 12) p.drawLine(x, 8, x, 56);
    for (int y = 14; y < 60; y += 12) p.drawLine(6, y, 58, y);

    // Set point and the measured value settling on it.
    p.setPen(QPen(QColor(0x7F, 0xD8, 0x7F), 1.5, Qt::DashLine));
    p.drawLine(QPointF(6, 24), QPointF(58, 24));
    QPainterPath trend(QPointF(6, 52));
    trend.cubicTo(QPointF(18, 50), QPointF(20, 14), QPointF(30, 18));
    trend.cubicTo(QPointF(38, 21), QPointF(42, 27), QPointF(48, 25));
    trend.lineTo(QPointF(58, 24));
    p.setPen(QPen(QColor(0xFF, 0x5A, 0x4A), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trend);
    return pm;
}

QLabel* bold_label(const QString& text, const char* name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("O aplikaci"));
    const auto record = version_info::compiled_record();

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setFixedSize(56, 56);
    picture->setScaledContents(true);
    picture->setPixmap(program_picture());

    Label5 = bold_label(QString(), "Label5", panel);
    auto* facts = new QGridLayout;
    facts->setHorizontalSpacing(8);
    facts->setVerticalSpacing(4);
    facts->addWidget(new QLabel(QStringLiteral("Název produktu"), panel), 0, 0);
    facts->addWidget(bold_label(QStringLiteral("TX-20"), "ProductName", panel), 0, 1);
    facts->addWidget(new QLabel(QStringLiteral("Název firmy"), panel), 1, 0);
    facts->addWidget(bold_label(record.CompanyName, "CompanyName", panel), 1, 1);
    facts->addWidget(new QLabel(QStringLiteral("Verze"), panel), 2, 0);
    facts->addWidget(Label5, 2, 1);
    facts->setColumnStretch(1, 1);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(facts);

    auto* rule = new QFrame(panel);
    rule->setObjectName(QStringLiteral("Bevel1"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Raised);

    auto* requirements = new QVBoxLayout;
    requirements->setContentsMargins(10, 0, 0, 0);
    requirements->setSpacing(1);
    for (const QString& line : {QStringLiteral("-CPU Pentium 100 MHz nebo vyšší"),
                                QStringLiteral("-Microsoft Windows 95/98/ME/2000"),
                                QStringLiteral("-3 MB volného místa na pevném disku"),
                                QStringLiteral("-Systémová paměť 32 MB (64 MB doporučeno)"),
                                QStringLiteral("-VGA nebo vyšší rozlišení")})
        requirements->addWidget(new QLabel(line, panel));

    auto* rights = new QLabel(record.LegalCopyright, panel);
    rights->setObjectName(QStringLiteral("Copyright"));

    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(6, 6, 6, 6);
    inner->setSpacing(6);
    inner->addLayout(top);
    inner->addWidget(rule);
    inner->addWidget(new QLabel(QStringLiteral("Minimální systémové požadavky"), panel));
    inner->addLayout(requirements);
    inner->addStretch(1);
    inner->addWidget(rights);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setFixedWidth(75);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 8);
    outer->setSpacing(8);
    outer->addWidget(panel, 1);
    outer->addWidget(OKButton, 0, Qt::AlignHCenter);
    setFixedSize(324, 289);

    FormCreate();
}

void TAboutBox::FormCreate() {
    Label5->setText(QString());
    if (const auto v = version_info::program_value(QLatin1String(version_info::kStringTable),
                                                   QStringLiteral("FileVersion")))
        Label5->setText(QStringLiteral("Verze ") + *v);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, not over the owner.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}
