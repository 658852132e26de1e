#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

#include "analysis/date_time_pattern.h"
#include "analysis/log_data.h"

// What reading a measurement log gave: the samples, or why there are none, and what
// was odd about the file.
struct LogReadResult {
    LogData data;
    QString error;              // set when nothing could be read; data is then empty
    qint64 lines = 0;           // lines in the file
    qint64 skipped = 0;         // lines that were neither header nor readable data
    qint64 first_bad_line = 0;  // 1-based; 0 when every line was read
    bool header = false;
    QDateTime start;      // from the header, when there is one
    QString locale_name;  // whose date and time formats the lines were read with
    QStringList notes;    // warnings to show beside the data

    bool ok() const { return error.isEmpty(); }
};

// Reads the text files the measurement log writes: Windows-1250, CR LF, an optional
// header of three lines, then data lines (live/log_format.h) with
// the regional decimal separator, long time and short date. Dates and times are tried
// with the formats of the current locale, then the Czech one, the C one, then ISO 8601. Lines
// that do not read are skipped and counted. UTF-8 files and LF line ends are read too,
// with a note.
class LogReader {
  public:
    // Above this the file is refused rather than read (the samples of a larger one
    // would take more memory than a desktop should give a viewer).
    static constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

    explicit LogReader(const QLocale& current = QLocale());

    // Lines in pieces of any size; a line cut between two pieces is joined.
    void feed(const char* bytes, qsizetype size);
    LogReadResult finish();

    static LogReadResult read_file(const QString& path, const QLocale& current = QLocale());
    static LogReadResult read_bytes(const QByteArray& bytes, const QLocale& current = QLocale());

  private:
    struct Formats {
        QString name;
        DateTimePattern date;
        DateTimePattern time;
    };
    static constexpr qsizetype kMaxLine = 64 * 1024;
    void keep(const char* bytes, qsizetype size);
    void end_carried_line(bool ended);
    void line(const char* p, int size, bool had_cr);
    bool data_line(const char* p, int size);
    bool header_line(const char* p, int size);
    bool read_stamp(const char* tp, int tn, const char* dp, int dn, qint64* wall);

    std::vector<Formats> formats_;
    int last_format_ = 0;
    QByteArray carry_;
    QByteArray last_date_;
    qint64 last_day_ms_ = 0;
    LogReadResult r_;
    qint64 lf_only_ = 0;
    qint64 utf8_bytes_ = 0;  // bytes of valid multi-byte UTF-8 sequences
    qint64 other_high_ = 0;  // other bytes above ASCII
    qint64 nul_bytes_ = 0;
    qint64 jumps_first_line_ = 0;
    bool last_cut_ = false;
    bool overlong_ = false;
};
