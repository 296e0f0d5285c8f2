// The errors that end a command: a number that cannot be converted, and
// numerical failures. The main window's general error reporting shows their
// message; the command ends there and the program carries on.
#pragma once

#include <QString>

#include <stdexcept>

// A text that must be a number and is not (the message names the file and
// the line where one is known).
class EConversionError : public std::runtime_error {
public:
    explicit EConversionError(const QString& message)
        : std::runtime_error(message.toUtf8().toStdString()) {}
};

// A numerical routine cannot go on (a singular matrix, a logarithm of a
// value that is not positive).
class EMathError : public std::runtime_error {
public:
    explicit EMathError(const QString& message)
        : std::runtime_error(message.toUtf8().toStdString()) {}
};
