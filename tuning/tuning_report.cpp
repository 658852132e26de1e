#include "tuning/tuning_report.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

#include "commissioning/service_report.h"
#include "platform/atomic_file.h"

namespace {

QString n(double v, int prec = 4) {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return std::isfinite(v) ? l.toString(v, 'g', prec) : QStringLiteral("∞");
}

QString row(const QString& a, const QString& b, const QString& c = QString()) {
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
        .arg(a.toHtmlEscaped(), b.toHtmlEscaped(), c.toHtmlEscaped());
}

}  // namespace

QString tuning_protocol_html(const TuningProtocol& p) {
    const Identification& id = p.study.identification;
    const ProcessModel& m = id.model.model;
    const Proposal& pr = p.study.proposal;
    QString h = QStringLiteral("<html><body><h1>Protokol ladění regulační smyčky</h1>");
    h += QStringLiteral("<p>%1<br>Vytvořeno %2</p>")
             .arg(p.source.toHtmlEscaped(),
                  QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
    h += QStringLiteral("<h2>Model procesu</h2>");
    if (!id.ok()) {
        h += QStringLiteral("<p>Model nelze určit: %1</p>")
                 .arg(refusal_text(id, true).toHtmlEscaped());
    } else {
        h += QStringLiteral("<table cellpadding='3'>");
        h += row(QStringLiteral("Druh"), QString::fromLatin1(model_kind_name(m.kind)));
        h += row(QStringLiteral("Zesílení K"),
                 n(m.gain) + QStringLiteral(" ± ") + n(id.model.sd_gain, 2));
        if (m.kind != ModelKind::Integrating)
            h += row(QStringLiteral("Časová konstanta τ [s]"),
                     n(m.tau) + QStringLiteral(" ± ") + n(id.model.sd_tau, 2));
        if (m.kind == ModelKind::Sopdt)
            h += row(QStringLiteral("Druhá časová konstanta τ2 [s]"),
                     n(m.tau2) + QStringLiteral(" ± ") + n(id.model.sd_tau2, 2));
        h += row(QStringLiteral("Dopravní zpoždění θ [s]"),
                 n(m.dead) + QStringLiteral(" ± ") + n(id.model.sd_dead, 2));
        h += row(QStringLiteral("Chyba proložení (RMS)"), n(id.model.rmse, 3));
        h += QStringLiteral("</table>");
    }
    h += QStringLiteral("<h2>Návrh</h2>");
    if (pr.ok) {
        h += QStringLiteral("<p>Pravidlo %1%2, %3.</p>")
                 .arg(rule_title_cs(pr.choice.rule).toHtmlEscaped(),
                      pr.choice.rule == TuningRule::Simc || pr.choice.rule == TuningRule::Lambda
                          ? QStringLiteral(" (τc = %1 s)").arg(n(pr.tau_c, 3))
                          : QString(),
                      pr.pid ? QStringLiteral("PID") : QStringLiteral("PI"));
        h += QStringLiteral(
            "<table border='1' cellspacing='0' "
            "cellpadding='3'><tr><th></th><th>Původní</th><th>Nové</th></tr>");
        const std::optional<PidFields> old = p.original ? p.original : p.current;
        auto line = [&](const QString& name, double o, double v) {
            h += row(name, old ? n(o, 5) : QStringLiteral("–"), n(v, 5));
        };
        line(QStringLiteral("PB [%]"), old ? old->PB : 0, pr.fields.PB);
        line(QStringLiteral("INT [s]"), old ? old->INT : 0, pr.fields.INT);
        line(QStringLiteral("DER [s]"), old ? old->DER : 0, pr.fields.DER);
        h += QStringLiteral("</table>");
        const Robustness& r = p.study.robustness;
        const StepResponse& sp = p.study.prediction.setpoint;
        h += QStringLiteral(
                 "<p>Ms %1, amplitudová bezpečnost %2, fázová bezpečnost %3°.<br>"
                 "Předpověď skoku žádané hodnoty: překmit %4 %, ustálení na 2 % za %5 s, "
                 "IAE %6 s na jednotku.</p>")
                 .arg(n(r.ms, 3), n(r.gain_margin, 3), n(r.phase_margin_deg, 3),
                      n(sp.overshoot_percent, 3), n(sp.settling_time, 4), n(sp.iae, 4));
        h += QStringLiteral("<p>Konvence: %1; rozsah %2 jednotek, TPID %3 s.</p>")
                 .arg(pid_convention::describe_cs().toHtmlEscaped(), n(p.loop.span),
                      n(p.loop.sample_s));
    } else {
        h += QStringLiteral("<p>Návrh nelze určit.</p>");
    }
    if (!p.picture.isNull()) h += QStringLiteral("<p><img src='tx20:responses' width='640'></p>");
    h += QStringLiteral("</body></html>");
    return h;
}

bool write_tuning_protocol(const QString& path, const TuningProtocol& p, QString* reason) {
    std::vector<std::pair<QString, QImage>> images;
    if (!p.picture.isNull()) images.emplace_back(QStringLiteral("responses"), p.picture);
    const QByteArray pdf = commissioning::document_pdf(
        QStringLiteral("Protokol ladění regulační smyčky"), tuning_protocol_html(p), images);
    return AtomicFile::write(path, {QByteArrayView(pdf)}, reason);
}
