#include "ident/about_ident.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cstring>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "ident/device_identity.h"
#include "ident/ident_texts.h"
#include "ident/program_picture.h"
#include "platform/prompts.h"
#include "platform/version_info.h"
#include "platform/window_placement.h"

namespace {

QLabel* bold_label(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

Tabout_ident::Tabout_ident(BusWorker& requests, Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      requests_(requests),
      prompts_(prompts) {
    setObjectName(QStringLiteral("about_ident"));
    setWindowTitle(QStringLiteral("About"));
    placement::keep_dialog_placement(*this, true);

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* grid = new QGridLayout(panel);

    auto* picture = new QLabel(panel);
    picture->setPixmap(program_picture(64));
    grid->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);

    grid->addWidget(new QLabel(QStringLiteral("Výrobce:"), panel), 0, 1);
    grid->addWidget(bold_label(version_info::compiled_record().CompanyName, panel), 0, 2);
    grid->addWidget(new QLabel(kMakerWeb, panel), 1, 1, 1, 2);

    grid->addWidget(bold_label(QStringLiteral("Načtené parametry z regulátoru:"), panel), 3, 0, 1,
                    3);
    lb_zarizeni = new QLabel(QStringLiteral("Typ zařízení - neidentifikováno"), panel);
    lb_zarizeni->setObjectName(QStringLiteral("lb_zarizeni"));
    grid->addWidget(lb_zarizeni, 4, 0, 1, 3);
    lb_verze = new QLabel(QStringLiteral("Verze zařízení - neidentifikováno"), panel);
    lb_verze->setObjectName(QStringLiteral("lb_verze"));
    grid->addWidget(lb_verze, 5, 0, 1, 3);
    grid->setColumnStretch(2, 1);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    setMinimumWidth(360);

    // The timer is not tied to the box being visible: closing the box early does not
    // cancel the query.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Tabout_ident::Timer1Timer);
}

void Tabout_ident::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tabout_ident::FormShow() { Timer1->start(); }

void Tabout_ident::Timer1Timer() {
    Timer1->stop();
    ShowIdentification();
}

void Tabout_ident::ShowIdentification() {
    const int address = requests_.device_address();
    const DeviceIdentity id = identify(requests_, [this](const DeviceIdentity& type) {
        if (type.type_read) lb_zarizeni->setText(type.type_text);
    });
    if (id.version_read) lb_verze->setText(id.version_text);
    if (id.type_read || id.version_read || !requests_.read_foreign_ident()) {
        emit identified(address, static_cast<int>(id.model), id.type_text, id.version_text);
        return;
    }
    CommBuffer& buf = requests_.buffer();

    // The warning is assembled as the device's raw bytes: three 32-byte lines after the
    // heading, separated by a carriage return alone; it ends at the first NUL.
    std::array<char, 255> warning{};
    const QByteArray heading = text_to_device(kForeignDeviceHeading);
    std::size_t pos = 0;
    std::memcpy(warning.data(), heading.constData(), static_cast<std::size_t>(heading.size()));
    pos += static_cast<std::size_t>(heading.size());
    for (int line = 0; line < 3; ++line) {
        warning[pos++] = '\r';
        std::memcpy(warning.data() + pos, buf.foreign_ident.data() + 32 * line, 32);
        pos += 32;
    }
    lb_zarizeni->setText(QStringLiteral("jiné zařízení"));
    buf.version_text.fill(0);
    std::memcpy(buf.version_text.data(), buf.foreign_ident.data() + 64, 32);
    lb_verze->setText(text_from_device(buf.version_text.data(), buf.version_text.size()));
    emit identified(address, -1, {}, lb_verze->text());
    prompts_.message(text_from_device(warning.data(), warning.size()), QStringLiteral("ERROR"),
                     PromptIcon::Warning, PromptButtons::Ok, PromptOwner::None);
}
