#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// The maker shown in the information boxes: neutral, drawn for this program.
inline const QString kMakerName = QStringLiteral("Vývojový tým TX-20");
inline const QString kMakerWeb = QStringLiteral("www.tx20.example.org");

inline const QString kForeignDeviceHeading =
    QStringLiteral("Identifikováno zařízení pro které je nutné použít jiný software");

// Device texts are single-byte code page 1250, NUL-terminated within their buffer.
QString text_from_device(const char* bytes, std::size_t capacity);
QByteArray text_to_device(const QString& text);
