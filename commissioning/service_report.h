#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "comm/telegram_record.h"
#include "commissioning/parameter_set.h"
#include "journal/journal_entry.h"

class Journal;
class QPagedPaintDevice;

// The service report handed to the customer, about one controller: its 36 parameters
// (with a reference beside them when one was chosen), its link statistics and its trend,
// numbers with the locale's decimal separator, the password hidden unless asked for.
namespace commissioning {

// What was done to the controller in a time range, from the service journal: its writes,
// commits, clones and tunings, oldest first.
struct ReportChanges {
    QDateTime from;
    QDateTime to;
    std::vector<JournalEntry> entries;
    bool readable = true;  // false: the journal could not be read
    int left_out = 0;      // entries beyond the most a report shows
};
// The entries of address in [from, to] that changed it.
ReportChanges report_changes(Journal& journal, int address, const QDateTime& from,
                             const QDateTime& to);

struct ReportInput {
    QDateTime when;
    QString port;
    qint32 rate = 0;
    int address = 0;
    QString type_text;
    QString version_text;
    std::optional<int> serial_number;  // from the input table
    ParameterSet actual;
    std::optional<ParameterSet> reference;
    std::map<int, AddressStats> stats;  // keyed by address; only `address` is shown
    QImage trend;                       // of this controller; null: no trend to show
    bool show_password = false;         // PASS as its number, otherwise "****"
    QString technician;
    QString note;
    std::optional<ReportChanges> changes;  // the section "Provedené změny" when given
};

// Any rich-text document as an A4 PDF, with the images its <img src='tx20:NAME'> tags
// name: the one way TX-20 makes its protocols.
QByteArray document_pdf(const QString& title, const QString& html,
                        const std::vector<std::pair<QString, QImage>>& images);

// The report as rich text, for any paged device (PDF writer, printer).
void print_report(const ReportInput& in, QPagedPaintDevice& device);
// An A4 PDF of the report.
QByteArray report_pdf(const ReportInput& in);
// Writes the PDF through the atomic writer: on failure the old file stays and the
// reason is given.
bool write_report(const QString& path, const ReportInput& in, QString* reason);

}  // namespace commissioning
