#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

// Saves a picture of a window when TX20_RENDER_DIR names a folder, so the windows
// can be looked at; does nothing otherwise. Returns false only when saving failed.
inline bool render_window(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("TX20_RENDER_DIR");
    if (dir.isEmpty()) return true;
    QDir().mkpath(dir);
    if (!w->isVisible()) w->show();
    return w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
