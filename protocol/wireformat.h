// SPDX-License-Identifier: MIT
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
    const char *key;        // short name for files and command lines: ip, gateway, port, mac
    const char *name;       // for people: "IP address", ...
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

// The setting whose letter or key this is.
std::optional<Setting> settingForLetter(QChar letter);
std::optional<Setting> settingForKey(const QString &key);

// A value as the window shows it and as it travels: the setting's form
// separator ("." or ":") becomes "-" on the wire and back.
QString toWireValue(Setting setting, const QString &formValue);
QString toFormValue(Setting setting, const QString &wireValue);

// "RS:RT#" and friends.
QString readCommand(Setting setting);

// Write prefix, the value with its form separator replaced by "-", then "#".
QString writeCommand(Setting setting, const QString &formValue);

// The value that follows the first occurrence of the setting's reply prefix,
// up to the next "#" (or to the end of the text), with "-" turned back into
// the form separator. std::nullopt when the prefix does not occur at all;
// an empty string when the prefix is followed directly by "#".
// The reply rule of a single text, which the fuzz target and the tests hold
// the gatherer (replygatherer.h) to; the programs gather with the gatherer.
std::optional<QString> replyValue(const QString &reply, Setting setting);

// What the module answers to a read command: reply prefix, wire value, "#".
QString replyText(Setting setting, const QString &formValue);

// One command as the module receives it, "RS:", R or W, the letter, for a
// write the wire value, and "#". std::nullopt for anything else.
struct Command {
    bool write = false;
    Setting setting = Setting::IpAddress;
    QString formValue; // writes only
};
std::optional<Command> parseCommand(const QString &text);

// True when the setting's acknowledgement keyword occurs anywhere in the
// text. Like replyValue, a reference for the fuzz target and the tests; the
// programs count acknowledgements with WriteTally.
bool acknowledges(const QString &text, Setting setting);

// A received frame as text: Latin-1, zero bytes dropped.
QString frameText(const QByteArray &frame);

// Text from outside (a device, a file) made safe to print: a backslash is
// doubled and control characters become \xNN, so a value cannot forge a
// line or send escape sequences to a terminal.
QString printable(const QString &text);

// A command as it travels on the line: Latin-1, nothing appended.
QByteArray commandBytes(const QString &command);
