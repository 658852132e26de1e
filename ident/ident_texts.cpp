#include "ident/ident_texts.h"

#include <cstring>

#include "platform/cp1250.h"

QString text_from_device(const char* bytes, std::size_t capacity) {
    const void* nul = std::memchr(bytes, 0, capacity);
    const auto len =
        nul ? static_cast<const char*>(nul) - bytes : static_cast<std::ptrdiff_t>(capacity);
    return cp1250::decode(QByteArray(bytes, static_cast<int>(len)));
}

QByteArray text_to_device(const QString& text) { return cp1250::encode(text); }
