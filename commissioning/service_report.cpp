#include "commissioning/service_report.h"

#include <QBuffer>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>

#include "journal/journal.h"
#include "platform/atomic_file.h"

namespace commissioning {

namespace {

QString esc(const QString& s) { return s.toHtmlEscaped(); }

QString row(const QStringList& cells, bool header = false) {
    const QString tag = header ? QStringLiteral("th") : QStringLiteral("td");
    QString r = QStringLiteral("<tr>");
    for (const QString& c : cells) r += QStringLiteral("<%1>%2</%1>").arg(tag, c);
    return r + QStringLiteral("</tr>");
}

QString ms(int v) { return v < 0 ? QStringLiteral("–") : QString::number(v); }

// A parameter as the report shows it: the password only when asked for.
QString shown(const ParameterSet& set, int i, bool show_password) {
    if (!set.has(i)) return QStringLiteral("–");
    if (!show_password && &param(i) == params::find_control(QStringLiteral("ed_pass")))
        return QStringLiteral("****");
    return set.shown(i);
}

// The width QTextDocument::print leaves for the text on such a page: the paint rect less
// the 2 cm margins it adds, in the document's pixels (96 an inch). The trend is scaled to
// it, so that its legend at the right stays inside the page.
int print_text_width(const QPageLayout& layout) {
    const double inches = layout.paintRect(QPageLayout::Inch).width() - 2 * 2 / 2.54;
    return std::max(static_cast<int>(inches * 96) - 4, 100);
}

// A report stays a few pages long, whatever the range.
constexpr int kMostChanges = 500;

QString short_time(const QDateTime& t) {
    return t.toLocalTime().toString(QStringLiteral("d.M.yyyy HH:mm"));
}

// The journal keeps a controller's numbers with a decimal point; the report writes them
// as the rest of it does.
QString local_number(const QString& v) {
    static const QRegularExpression plain(QStringLiteral("^-?\\d+\\.\\d+$"));
    if (!plain.match(v).hasMatch()) return v;
    QString out = v;
    out.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return out;
}

QString changes_html(const ReportChanges& c) {
    QString h = QStringLiteral("<h2>Provedené změny</h2>");
    h += QStringLiteral("<p>Období: %1 – %2</p>").arg(short_time(c.from), short_time(c.to));
    if (!c.readable) return h + QStringLiteral("<p>Deník servisu nelze přečíst.</p>");
    if (c.entries.empty()) return h + QStringLiteral("<p>Žádné změny.</p>");
    h += QStringLiteral("<table border='1' cellspacing='0' cellpadding='1' width='100%'>");
    h += QStringLiteral(
        "<tr><th width='16%'>Čas</th><th width='11%'>Uživatel</th><th width='22%'>Okno / "
        "příkaz</th><th width='27%'>Změna</th><th width='12%'>Původně</th><th "
        "width='12%'>Nově</th></tr>");
    for (const JournalEntry& e : c.entries) {
        const QStringList who{
            esc(e.time.toLocalTime().toString(QStringLiteral("d.M.yyyy HH:mm:ss"))), esc(e.user),
            esc(e.source)};
        const QString failed = e.ok ? QString() : QStringLiteral(" <b>(nezdařilo se)</b>");
        if (e.changes.empty()) {
            // A commit or a clone: what the journal says of it.
            h += QStringLiteral(
                     "<tr><td>%1</td><td>%2</td><td>%3</td><td colspan='3'>%4%5</td></tr>")
                     .arg(who[0], who[1], who[2], esc(e.summary), failed);
            continue;
        }
        for (const FieldChange& f : e.changes) {
            QStringList cells = who;
            cells << esc(QStringLiteral("tabulka %1: %2").arg(f.table).arg(f.field)) + failed
                  << (f.old_value.isEmpty() ? QStringLiteral("?") : esc(local_number(f.old_value)))
                  << esc(local_number(f.new_value));
            h += row(cells);
        }
    }
    h += QStringLiteral("</table>");
    if (c.left_out > 0)
        h += QStringLiteral("<p>… a dalších %1 záznamů (celý výpis v deníku servisu).</p>")
                 .arg(c.left_out);
    return h;
}

QString html(const ReportInput& in, int trend_width) {
    QString h = QStringLiteral(
        "<html><head><style>"
        "body { font-family: 'DejaVu Sans'; font-size: 8pt; }"
        "h1 { font-size: 13pt; } h2 { font-size: 10pt; margin-top: 10px; }"
        "th { background-color: #e0e0e0; text-align: left; }"
        "td.diff { background-color: #ffd8a8; font-weight: bold; }"
        "</style></head><body>");
    h += QStringLiteral(
        "<p style='font-size: 14pt; font-weight: bold'>Servisní protokol – regulátor KELVRA "
        "20</p>");
    h += QStringLiteral("<table cellspacing='0' cellpadding='3'>");
    const auto info = [&h](const QString& k, const QString& v) {
        h += row({QStringLiteral("<b>%1</b>").arg(esc(k)),
                  esc(v).replace(QLatin1Char('\n'), QStringLiteral("<br>"))});
    };
    info(QStringLiteral("Datum a čas:"), in.when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    info(QStringLiteral("Port:"), in.port);
    info(QStringLiteral("Přenosová rychlost:"), QStringLiteral("%1 Bd").arg(in.rate));
    info(QStringLiteral("Adresa regulátoru:"), QString::number(in.address));
    info(QStringLiteral("Typ zařízení:"), in.type_text);
    info(QStringLiteral("Verze zařízení:"), in.version_text);
    info(QStringLiteral("Výrobní číslo:"),
         in.serial_number ? QString::number(*in.serial_number) : QStringLiteral("nezjištěno"));
    if (in.reference) info(QStringLiteral("Reference:"), in.reference->source.text());
    h += QStringLiteral("</table>");

    // The 36 parameters, tab by tab.
    h += QStringLiteral("<h2>Parametry regulátoru</h2>");
    int count = 0;
    if (in.reference) count = static_cast<int>(differences(in.actual, *in.reference).size());
    if (in.reference) h += QStringLiteral("<p>Rozdílů proti referenci: %1</p>").arg(count);
    h += QStringLiteral("<table border='1' cellspacing='0' cellpadding='1' width='100%'>");
    QStringList head{QStringLiteral("Parametr"), QStringLiteral("Význam"),
                     QStringLiteral("Hodnota")};
    // The meaning column takes the room the values leave.
    const QString meaning_width = in.reference ? QStringLiteral("42%") : QStringLiteral("55%");
    if (in.reference) head << QStringLiteral("Reference") << QStringLiteral("Rozdíl");
    QString header = row(head, true);
    header.replace(QStringLiteral("<th>Význam"),
                   QStringLiteral("<th width='%1'>Význam").arg(meaning_width));
    h += header;
    for (const params::TabDef& t : params::tabs()) {
        h += QStringLiteral("<tr><td colspan='%1'><b>%2</b></td></tr>")
                 .arg(head.size())
                 .arg(esc(QString::fromLatin1(t.caption)));
        for (const params::ParamDef* p : params::tab_params(t.position)) {
            const int i = param_index(*p);
            QString name = QString::fromLatin1(p->mnemonic);
            if (name.isEmpty()) name = QStringLiteral("ADRESA");
            QStringList cells{esc(name),
                              esc(QString::fromUtf8(p->label).replace(QLatin1Char('\n'), ' ')),
                              esc(shown(in.actual, i, in.show_password))};
            const bool diff = in.reference && differs(in.actual, *in.reference, i);
            if (in.reference) {
                cells << esc(shown(*in.reference, i, in.show_password))
                      << (diff ? QStringLiteral("≠") : QString());
            }
            QString r = row(cells);
            if (diff) r.replace(QStringLiteral("<td>"), QStringLiteral("<td class='diff'>"));
            h += r;
        }
    }
    h += QStringLiteral("</table>");

    // This controller's exchanges only, one figure a line: no header to break.
    h += QStringLiteral("<h2>Statistika spojení</h2>");
    const auto own = in.stats.find(in.address);
    if (own == in.stats.end() || own->second.requests == 0) {
        h += QStringLiteral("<p>Žádná výměna.</p>");
    } else {
        const AddressStats& st = own->second;
        const QLocale locale;
        h += QStringLiteral("<table cellspacing='0' cellpadding='2'>");
        const auto figure = [&h](const QString& k, const QString& v) {
            h += row({esc(k), QStringLiteral("<p align='right'>%1</p>").arg(esc(v))});
        };
        figure(QStringLiteral("Požadavky:"), QString::number(st.requests));
        figure(QStringLiteral("Dobré odpovědi:"), QString::number(st.good));
        figure(QStringLiteral("Bez odpovědi:"), QString::number(st.timeouts));
        figure(QStringLiteral("Krátké odpovědi:"), QString::number(st.short_replies));
        figure(QStringLiteral("Chybný součet:"), QString::number(st.checksum_errors));
        figure(QStringLiteral("Chybný formát:"), QString::number(st.format_errors));
        figure(QStringLiteral("Odmítnuto:"), QString::number(st.refusals));
        figure(QStringLiteral("Opakováno:"), QString::number(st.resends));
        figure(QStringLiteral("Odezva min / průměr / max:"),
               QStringLiteral("%1 / %2 / %3 ms")
                   .arg(ms(st.reply_min_ms),
                        st.reply_min_ms < 0 ? QStringLiteral("–")
                                            : locale.toString(st.reply_mean_ms, 'f', 1),
                        ms(st.reply_max_ms)));
        h += QStringLiteral("</table>");
    }

    h += QStringLiteral("<h2>Trend</h2>");
    if (in.trend.isNull())
        h += QStringLiteral("<p>Trend není k dispozici.</p>");
    else
        h += QStringLiteral("<p><img src='tx20:trend' width='%1'></p>").arg(trend_width);

    if (in.changes) h += changes_html(*in.changes);

    h += QStringLiteral("<h2>Servisní zásah</h2><table cellpadding='3'>");
    info(QStringLiteral("Technik:"), in.technician);
    info(QStringLiteral("Poznámka:"), in.note);
    info(QStringLiteral("Podpis:"), QString());
    h += QStringLiteral("</table></body></html>");
    return h;
}

}  // namespace

ReportChanges report_changes(Journal& journal, int address, const QDateTime& from,
                             const QDateTime& to) {
    ReportChanges c;
    c.from = from;
    c.to = to;
    JournalFilter f;
    f.since = from;
    f.until = to;
    f.address = address;
    const qint64 n = journal.for_each(f, [&c](const JournalEntry& e) {
        if (e.kind != JournalKind::Write && e.kind != JournalKind::Eeprom &&
            e.kind != JournalKind::Clone && e.kind != JournalKind::Tuning)
            return;
        if (static_cast<int>(c.entries.size()) < kMostChanges)
            c.entries.push_back(e);
        else
            ++c.left_out;
    });
    c.readable = n >= 0;
    return c;
}

void print_report(const ReportInput& in, QPagedPaintDevice& device) {
    QTextDocument doc;
    if (!in.trend.isNull())
        doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("tx20:trend")),
                        QVariant(in.trend));
    doc.setHtml(html(in, print_text_width(device.pageLayout())));
    doc.print(&device);
}

QByteArray document_pdf(const QString& title, const QString& html,
                        const std::vector<std::pair<QString, QImage>>& images) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("TX-20"));
        QTextDocument doc;
        for (const auto& [name, image] : images)
            doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("tx20:") + name),
                            QVariant(image));
        doc.setHtml(html);
        doc.print(&pdf);
    }
    buffer.close();
    return bytes;
}

QByteArray report_pdf(const ReportInput& in) {
    std::vector<std::pair<QString, QImage>> images;
    if (!in.trend.isNull()) images.emplace_back(QStringLiteral("trend"), in.trend);
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                         QPageLayout::Millimeter);
    return document_pdf(QStringLiteral("Servisní protokol KELVRA 20"),
                        html(in, print_text_width(a4)), images);
}

bool write_report(const QString& path, const ReportInput& in, QString* reason) {
    const QByteArray pdf = report_pdf(in);
    return AtomicFile::write(path, {QByteArrayView(pdf)}, reason);
}

}  // namespace commissioning
