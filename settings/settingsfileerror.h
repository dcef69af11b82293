#pragma once

#include <QString>
#include <stdexcept>

/// A failed save. message() is the text shown to the user: "Cannot create file "<path>".
/// <cause>" or "Stream write error".
class SettingsFileError : public std::runtime_error {
public:
    explicit SettingsFileError(const QString &message)
        : std::runtime_error(message.toStdString())
        , message_(message)
    {
    }
    QString message() const { return message_; }

private:
    QString message_;
};
