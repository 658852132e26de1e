#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// The maker's web address shown in the identification box.
inline const QString kMakerWeb = QStringLiteral("www.tx20.example.org");

inline const QString kForeignDeviceHeading =
    QStringLiteral("Identifikováno zařízení pro které je nutné použít jiný software");

// Device texts are single-byte code page 1250, NUL-terminated within their buffer.
QString text_from_device(const char* bytes, std::size_t capacity);
QByteArray text_to_device(const QString& text);
