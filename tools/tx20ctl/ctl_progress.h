#pragma once

#include <QString>
#include <QTextStream>

// A line on stderr that tells how far a long command has come ("37/127"), redrawn in
// place; only on a terminal, so that scripts and logs never see it.
class Progress {
  public:
    explicit Progress(QTextStream& err);
    Progress(QTextStream& err, bool terminal) : err_(err), on_(terminal) {}
    ~Progress() { clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(const QString& text);
    // Takes the line away, before a result is printed or at the end.
    void clear();

    static bool stderr_is_terminal();

  private:
    QTextStream& err_;
    bool on_;
    bool shown_ = false;
};
