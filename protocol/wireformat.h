#pragma once

// The gateway module's command language: four settings, a read and a write
// command for each, the reply prefixes and the write acknowledgements.
// Everything here is stateless.

#include <QByteArray>
#include <QChar>
#include <QString>

#include <array>
#include <optional>

enum class Setting {
    IpAddress,
    Gateway,
    Port,
    MacAddress,
};

// The order in which commands are sent and acknowledgements are logged.
inline constexpr std::array<Setting, 4> allSettings = {
    Setting::IpAddress, Setting::Gateway, Setting::Port, Setting::MacAddress,
};

struct SettingInfo {
    char letter;            // the command letter: T, G, P or M
    const char *readCommand;
    const char *writePrefix;
    const char *replyPrefix;
    char formSeparator;     // separator as shown in the window
    const char *ackKeyword; // the module's acknowledgement of a write
};

inline constexpr char wireSeparator = '-';
inline constexpr char commandTerminator = '#';

const SettingInfo &settingInfo(Setting setting);

// "RS:RT#" and friends.
QString readCommand(Setting setting);

// Write prefix, the value with its form separator replaced by "-", then "#".
QString writeCommand(Setting setting, const QString &formValue);

// The value that follows the first occurrence of the setting's reply prefix,
// up to the next "#" (or to the end of the text), with "-" turned back into
// the form separator. std::nullopt when the prefix does not occur at all;
// an empty string when the prefix is followed directly by "#".
std::optional<QString> replyValue(const QString &reply, Setting setting);

// True when the setting's acknowledgement keyword occurs anywhere in the text.
bool acknowledges(const QString &text, Setting setting);

// A received frame as text: Latin-1, up to the first zero byte.
QString frameText(const QByteArray &frame);

// A command as it travels on the line: Latin-1, nothing appended.
QByteArray commandBytes(const QString &command);
