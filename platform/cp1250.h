#pragma once

#include <QByteArray>
#include <QString>

// Windows-1250, the single-byte code page of the text files the program writes and reads.
namespace cp1250 {

// Characters the code page cannot hold become '?' (one per character, surrogate pairs
// included).
QByteArray encode(const QString& text);

// The five bytes the code page leaves undefined become U+FFFD.
QString decode(const QByteArray& bytes);

}  // namespace cp1250
