#include "app/Rychlostzaznamu.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <charconv>

#include "platform/prompts.h"

namespace {

const QString kNotDigits = QStringLiteral("Je nutné zadávat pouze číslice");
const QString kOutOfRange = QStringLiteral("Je nutné zadávat pouze čísla v rozsahu %1 až %2\n");

// An optionally signed decimal integer that fits 32 bits, nothing else.
bool parse_int(const QString& text, int& value) {
    const QByteArray bytes = text.toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+') ++begin;
    if (begin == end || (*begin == '-' && begin + 1 == end)) return false;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    // toLatin1 turns characters it cannot map into '?', which from_chars rejects.
    return ec == std::errc() && ptr == end;
}

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

Tform_zaznam::Tform_zaznam(Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      prompts_(prompts) {
    setObjectName(QStringLiteral("form_zaznam"));
    setWindowTitle(QStringLiteral("Rychlost záznamu"));

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setGeometry(8, 8, 224, 180);

    page_sample = new QWidget;
    ed_sample = named(new QLineEdit(page_sample), "ed_sample");
    ed_sample->setGeometry(24, 24, 89, 24);
    rb_sec = named(new QRadioButton(QStringLiteral("sekundy"), page_sample), "rb_sec");
    rb_sec->setGeometry(24, 64, 150, 22);
    rb_min = named(new QRadioButton(QStringLiteral("minuty"), page_sample), "rb_min");
    rb_min->setGeometry(24, 92, 150, 22);
    rb_min->setChecked(true);
    PageControl1->addTab(page_sample, QStringLiteral("četnost záznamu"));

    page_soubor = new QWidget;
    ed_soubor = named(new QLineEdit(page_soubor), "ed_soubor");
    ed_soubor->setGeometry(24, 24, 89, 24);
    auto* minutes = new QLabel(QStringLiteral("min."), page_soubor);
    minutes->setGeometry(121, 24, 60, 24);
    PageControl1->addTab(page_soubor, QStringLiteral("ukládání do souboru"));

    // The design width assumes narrow system fonts; widen rather than hide a caption.
    const int pages_width = std::max(224, PageControl1->tabBar()->sizeHint().width() + 4);
    PageControl1->resize(pages_width, 180);
    const int width = pages_width + 16;
    setFixedSize(width, 236);

    tl_ok = named(new QPushButton(QStringLiteral("OK"), this), "tl_ok");
    tl_ok->setGeometry(width / 2 - 82, 200, 75, 25);
    tl_cancel = named(new QPushButton(QStringLiteral("Storno"), this), "tl_cancel");
    tl_cancel->setGeometry(width / 2 + 7, 200, 75, 25);
    // Enter in an edit validates it instead of pressing a button; Enter on a focused
    // button presses that button.
    ed_sample->installEventFilter(this);
    ed_soubor->installEventFilter(this);
    connect(tl_ok, &QPushButton::clicked, this, &Tform_zaznam::tl_okClick);
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tform_zaznam::fill(const QString& sample_text, const QString& soubor_text, int jednotky) {
    ed_soubor->setText(soubor_text);
    ed_sample->setText(sample_text);
    if (jednotky == 1)
        rb_sec->setChecked(true);
    else
        rb_min->setChecked(true);
}

QString Tform_zaznam::sample_text() const { return ed_sample->text(); }
QString Tform_zaznam::soubor_text() const { return ed_soubor->text(); }

bool Tform_zaznam::ReadNumber(QLineEdit* edit, int& value) {
    if (parse_int(edit->text(), value)) return true;
    prompts_.message(kNotDigits, QStringLiteral("CHYBA"), PromptIcon::Warning, PromptButtons::Ok,
                     PromptOwner::Application);
    edit->setText(QStringLiteral("1"));
    if (PageControl1->currentWidget() == edit->parentWidget()) edit->setFocus();
    return false;
}

bool Tform_zaznam::CheckRange(int value, int low, int high) {
    if (value >= low && value <= high) return true;
    prompts_.message(kOutOfRange.arg(low).arg(high), QStringLiteral("EDIT"), PromptIcon::Error,
                     PromptButtons::Ok, PromptOwner::None);
    return false;
}

bool Tform_zaznam::validate(QLineEdit* edit, int low, int high, int& value) {
    int v = 0;
    if (!ReadNumber(edit, v) || !CheckRange(v, low, high)) return false;
    value = v;
    return true;
}

void Tform_zaznam::ed_sampleKeyPress() {
    if (validate(ed_sample, 1, 1000, sample_value_)) tl_ok->setFocus();
}

void Tform_zaznam::ed_souborKeyPress() {
    if (validate(ed_soubor, 1, 60, soubor_value_)) tl_ok->setFocus();
}

void Tform_zaznam::tl_okClick() {
    const bool sample_ok = validate(ed_sample, 1, 1000, sample_value_);
    const bool soubor_ok = validate(ed_soubor, 1, 60, soubor_value_);
    if (!sample_ok) {
        PageControl1->setCurrentWidget(page_sample);
        ed_sample->setFocus();
        return;
    }
    if (!soubor_ok) {
        PageControl1->setCurrentWidget(page_soubor);
        ed_soubor->setFocus();
        return;
    }
    multiplier_ = rb_min->isChecked() ? 60 : 1;
    accept();
}

bool Tform_zaznam::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == ed_sample) {
                ed_sampleKeyPress();
                return true;
            }
            if (watched == ed_soubor) {
                ed_souborKeyPress();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
