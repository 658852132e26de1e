#pragma once

#include <QString>
#include <stdexcept>

// An error that ends the handler under way; the application object's error report
// shows its message with the caption "TX-20" and a full stop added.
class Tx20Error : public std::runtime_error {
  public:
    explicit Tx20Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

// The serial port could not be opened or configured.
class PortError : public Tx20Error {
  public:
    enum class Kind { Open, Queues, Timeouts, ReadSettings, ApplySettings };
    PortError(Kind kind, const QString& message) : Tx20Error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// A file could not be written (or read where reading is required).
class FileError : public Tx20Error {
  public:
    using Tx20Error::Tx20Error;
};

// A text that should hold a number could not be converted.
class ConvertError : public Tx20Error {
  public:
    using Tx20Error::Tx20Error;
};
