#pragma once
// The program's failures. What no handler catches ends in the standard error box with the
// failure's message, and the program goes on.
#include <QString>
#include <stdexcept>

class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// A file that cannot be written.
class EInOutError : public Failure {
public:
    using Failure::Failure;
};

// A text that is not the number it should be.
class EConvertError : public Failure {
public:
    using Failure::Failure;
};

// The message of any exception, for the standard error box.
QString failureMessage(const std::exception& e);
