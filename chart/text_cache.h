#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QString>

// Laid-out texts for labels and legend rows. Laying out a text costs more than drawing
// it, and from one repaint to the next nearly all texts are the same.
class TextCache {
  public:
    const QStaticText& get(const QString& text, const QFont& font);
    void clear() { texts_.clear(); }

  private:
    QHash<QString, QStaticText> texts_;
    QFont font_;
};
