#include "app/log_file.h"

#include "app/measurement_log.h"

LogFile::LogFile(const MeasurementLog& log) : log_(log), shown_path_(QStringLiteral("c:")) {
    dialog_.file_name = QStringLiteral("Záznam Kelvra20");
    dialog_.default_suffix = QStringLiteral("TXT");
    dialog_.filters = {QStringLiteral("Textový soubor [*.txt] (*.txt)")};
}

void LogFile::write() const {
    log_.write_file(dialog_.file_name);
    if (written_) written_(dialog_.file_name);
}

void LogFile::save(Prompts& prompts) {
    if (chosen_) {
        write();
        return;
    }
    dialog_.title = QStringLiteral("Uložit jako");
    const auto path = prompts.save_file(dialog_);
    if (!path) return;
    // The dialog keeps the confirmed name even if writing to it fails.
    dialog_.file_name = *path;
    write();
    shown_path_ = *path;
    chosen_ = true;
}

void LogFile::save_as(Prompts& prompts) {
    chosen_ = false;
    // Once turned on, these stay for every later save dialog.
    dialog_.overwrite_prompt = true;
    dialog_.hide_read_only = true;
    save(prompts);
}
