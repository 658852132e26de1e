#include "chart/text_cache.h"

namespace {
constexpr int kMaxTexts = 2048;  // a few screens of legend rows and labels
}

const QStaticText& TextCache::get(const QString& text, const QFont& font) {
    if (font != font_) {
        texts_.clear();
        font_ = font;
    }
    auto it = texts_.find(text);
    if (it != texts_.end()) return *it;
    if (texts_.size() >= kMaxTexts) texts_.clear();
    QStaticText st(text);
    st.setTextFormat(Qt::PlainText);
    st.prepare(QTransform(), font);
    return *texts_.insert(text, st);
}
