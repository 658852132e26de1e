#pragma once

#include <QString>
#include <functional>

#include "platform/prompts.h"

class MeasurementLog;

// Where the measurement log goes: the save dialog with the name it last held, whether
// the user has confirmed a name (the check mark of "&Nový soubor"), and the path shown
// in the status bar. A failed write throws FileError and leaves the flag and the shown
// path as they were; the dialog still holds the name the user confirmed.
class LogFile {
  public:
    explicit LogFile(const MeasurementLog& log);

    bool chosen() const { return chosen_; }
    const QString& shown_path() const { return shown_path_; }
    // The name the save dialog holds; the periodic write goes there even when the user
    // never confirmed one.
    const QString& file_name() const { return dialog_.file_name; }
    const FileDialogRequest& dialog() const { return dialog_; }

    // Writes the log to the dialog's current name.
    void write() const;
    // "&Uložit...": writes to the chosen file, or asks for one first.
    void save(Prompts& prompts);
    // "Uložit j&ako...": always asks.
    void save_as(Prompts& prompts);

    // Told the path after each write that succeeded.
    void set_written_observer(std::function<void(const QString&)> f) { written_ = std::move(f); }

  private:
    const MeasurementLog& log_;
    std::function<void(const QString&)> written_;
    FileDialogRequest dialog_;
    bool chosen_ = false;
    QString shown_path_;
};
