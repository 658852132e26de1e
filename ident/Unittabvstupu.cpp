#include "ident/Unittabvstupu.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "platform/error_report.h"
#include "platform/private_profile.h"
#include "platform/prompts.h"

namespace {

struct Column {
    const char* header;
    int first;  // index into IN
    int count;
};

constexpr Column kColumns[12] = {{"Platina", 0, 8}, {"Nikl 6180", 8, 5}, {"Nikl5000", 13, 5},
                                 {"75mV", 18, 1},   {"Svorky", 19, 2},   {"Proud20mA", 21, 2},
                                 {"v.č.", 23, 3},   {"Napětí", 26, 4},   {"zv", 30, 5},
                                 {"DA", 35, 4},     {"UCC", 39, 1},      {"Datum", 40, 3}};

struct Entry {
    const char* section;
    const char* key;
    int label;  // index into IN; -1 for the fixed type text
};

// The export in its write order; the serial number appears twice.
constexpr Entry kEntries[45] = {
    {"IDENT", "TAB_VSTUPU", -1},   {"IDENT", "VYR_CISLO", 23},    {"PT100", "PT_60", 0},
    {"PT100", "PT_100", 1},        {"PT100", "PT_140", 2},        {"PT100", "PT_180", 3},
    {"PT100", "PT_220", 4},        {"PT100", "PT_260", 5},        {"PT100", "PT_300", 6},
    {"PT100", "PT_340", 7},        {"NIKL5000ppm", "NI_-50", 8},  {"NIKL5000ppm", "NI_10", 9},
    {"NIKL5000ppm", "NI_70", 10},  {"NIKL5000ppm", "NI_130", 11}, {"NIKL5000ppm", "NI_190", 12},
    {"NIKL6810ppm", "NI_-50", 13}, {"NIKL6810ppm", "NI_10", 14},  {"NIKL6810ppm", "NI_70", 15},
    {"NIKL6810ppm", "NI_130", 16}, {"NIKL6810ppm", "NI_190", 17}, {"VSTUP", "75MV", 18},
    {"SVORKY", "TEPLOTA_0", 19},   {"SVORKY", "TEPLOTA_60", 20},  {"VSTUP", "PROUD20MA", 21},
    {"VSTUP", "NAPETI10V", 22},    {"VYROBA", "CISLO", 23},       {"VYROBA", "TTD", 24},
    {"VYROBA", "RESERVE", 25},     {"VSTUP", "PLUS75MV", 26},     {"VSTUP", "MINUS75MV", 27},
    {"VSTUP", "PLUS18MV", 28},     {"VSTUP", "MINUS18MV", 29},    {"VSTUP", "ZV_OVL", 30},
    {"VSTUP", "ZV_OVH", 31},       {"VSTUP", "ZV_4MA", 32},       {"VSTUP", "ZV_20MA", 33},
    {"VSTUP", "ZV_1V", 34},        {"ANALOG", "OUT_1MA", 35},     {"ANALOG", "OUT_6MA", 36},
    {"ANALOG", "OUT_12MA", 37},    {"ANALOG", "OUT_20MA", 38},    {"SYSTEM", "UCC1", 39},
    {"DATUM", "DEN", 40},          {"DATUM", "MESIC", 41},        {"DATUM", "ROK", 42}};

constexpr int kLeft = 6;
constexpr int kRowHeight = 24;

}  // namespace

Ttab_vstupu::Ttab_vstupu(BusWorker& requests, Prompts& prompts, QWidget* parent)
    : QDialog(parent), requests_(requests), prompts_(prompts) {
    setObjectName(QStringLiteral("tab_vstupu"));
    setWindowTitle(QStringLiteral("tabulka vstupu"));
    resize(803, 292);

    // Columns as wide as their header or a five-digit value, spread over the window.
    const QFontMetrics fm(font());
    std::array<int, 12> widths{};
    int total = 0;
    for (int c = 0; c < 12; ++c) {
        widths[static_cast<std::size_t>(c)] =
            std::max(fm.horizontalAdvance(QString::fromUtf8(kColumns[c].header)),
                     fm.horizontalAdvance(QStringLiteral("65535")));
        total += widths[static_cast<std::size_t>(c)];
    }
    const int gap = std::max(4, (803 - 2 * kLeft - total) / 11);
    int x = kLeft;
    for (int c = 0; c < 12; ++c) {
        const Column& col = kColumns[c];
        const int w = widths[static_cast<std::size_t>(c)];
        auto* header = new QLabel(QString::fromUtf8(col.header), this);
        header->setGeometry(x, 8, w + 2, 18);
        for (int i = 0; i < col.count; ++i) {
            const int index = col.first + i;
            auto* l = new QLabel(QStringLiteral("???"), this);
            l->setObjectName(QStringLiteral("Label%1").arg(index + 1));
            l->setGeometry(x, 40 + i * kRowHeight, w + 2, 18);
            labels_[static_cast<std::size_t>(index)] = l;
        }
        x += w + gap;
    }
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setLineWidth(1);
    rule->setGeometry(kLeft, 30, 803 - 2 * kLeft, 4);

    Button1 = new QPushButton(QStringLiteral("čtení parametrů"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(kLeft, 250, 130, 28);
    Button2 = new QPushButton(QStringLiteral("Storno"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(336, 250, 130, 28);
    Button3 = new QPushButton(QStringLiteral("Uložit parametry..."), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(803 - kLeft - 150, 250, 150, 28);
    Button1->setAutoDefault(false);
    Button3->setAutoDefault(false);
    Button2->setAutoDefault(false);

    connect(Button1, &QPushButton::clicked, this, &Ttab_vstupu::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects too
    connect(Button3, &QPushButton::clicked, this, &Ttab_vstupu::Button3Click);
}

QString Ttab_vstupu::value_text(int index) const {
    return labels_[static_cast<std::size_t>(index)]->text();
}

void Ttab_vstupu::Button1Click() {
    if (!requests_.read_table(TableId::TAB_INPUTS)) {
        prompts_.message(QStringLiteral("Chyba při čtení"), QStringLiteral("Komunikace"),
                         PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
        return;
    }
    const auto& in = requests_.data().inputs.IN;
    for (std::size_t i = 0; i < labels_.size(); ++i)
        // Held as 16 bits on the wire: shown unsigned whatever the field holds.
        labels_[i]->setText(QString::number(static_cast<std::uint16_t>(in[i])));
}

void Ttab_vstupu::save_to(const QString& path) const {
    for (const Entry& e : kEntries) {
        const QString value = e.label < 0 ? QStringLiteral("KELVRA 20") : value_text(e.label);
        // One key per write: on a failure the entries written so far stay in the file.
        PrivateProfile::write_string(path, QString::fromLatin1(e.section),
                                     QString::fromLatin1(e.key), value);
    }
}

void Ttab_vstupu::Button3Click() {
    FileDialogRequest r;
    r.file_name = last_file_name_;
    r.default_suffix = QStringLiteral("txt");
    r.filters = QStringList{QStringLiteral("Textový soubor [*.txt] (*.txt)")};
    r.overwrite_prompt = true;
    r.hide_read_only = true;
    const auto path = prompts_.save_file(r);
    if (!path) return;
    last_file_name_ = *path;
    try {
        save_to(*path);
    } catch (const Tx20Error& e) {
        report_error(prompts_, e);
    }
}
