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
#include <QVBoxLayout>

#include "ident/program_picture.h"
#include "platform/version_info.h"
#include "platform/window_placement.h"

namespace {

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
    picture->setPixmap(program_picture(64));

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
    // Centred on the screen, not over the owner.
    placement::keep_dialog_placement(*this, true);

    FormCreate();
}

void TAboutBox::FormCreate() {
    Label5->setText(QString());
    if (const auto v = version_info::program_value(QLatin1String(version_info::kStringTable),
                                                   QStringLiteral("FileVersion")))
        Label5->setText(QStringLiteral("Verze ") + *v);
}
