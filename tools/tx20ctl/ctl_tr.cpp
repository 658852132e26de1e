#include "tools/tx20ctl/ctl_tr.h"

#include <QLocale>
#include <QTranslator>

QString refusal_text(const params::Verdict& v) {
    using params::Refusal;
    switch (v.refusal) {
        case Refusal::None:
            break;
        case Refusal::NotANumber:
            return Ctl::tr("a decimal number is expected, with a decimal point or comma");
        case Refusal::NotAWholeNumber:
            return Ctl::tr("a whole number is expected");
        case Refusal::OutOfRange:
            return Ctl::tr("the value must lie in %1..%2").arg(v.low).arg(v.high);
        case Refusal::NotInList:
            return Ctl::tr("the list has the positions %1..%2 only").arg(v.low).arg(v.high);
        case Refusal::SetPointLimits:
            return Ctl::tr("the set point lies outside its limits");
    }
    return QString();
}

QString port_error_text(const PortError& e, const QString& port) {
    switch (e.kind()) {
        case PortError::Kind::Open:
            return Ctl::tr("serial port %1 cannot be opened").arg(port);
        case PortError::Kind::Queues:
            return Ctl::tr("the buffers of %1 cannot be set").arg(port);
        case PortError::Kind::Timeouts:
            return Ctl::tr("the time-outs of %1 cannot be set").arg(port);
        case PortError::Kind::ReadSettings:
            return Ctl::tr("the settings of serial port %1 cannot be read").arg(port);
        case PortError::Kind::ApplySettings:
            break;
    }
    return Ctl::tr("serial port %1 cannot be set up").arg(port);
}

void install_ctl_translator(QTranslator& t) {
    // The catalogue is built into the tool; the system's locale picks it.
    if (QLocale().language() != QLocale::Czech) return;
    if (t.load(QStringLiteral(":/i18n/tx20ctl_cs.qm"))) QCoreApplication::installTranslator(&t);
}
