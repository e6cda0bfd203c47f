// SPDX-License-Identifier: MIT
#pragma once

// Gathering the module's answer to one request from everything it sends,
// whatever the frames it arrives in. Plain code, no timers: the caller feeds
// text as it comes and says when the request's time is up.

#include "protocol/wireformat.h"

#include <QString>
#include <QList>

#include <array>
#include <optional>

// Which of the four settings: for "which were read", "which were sent",
// "which were acknowledged".
class SettingSet
{
public:
    constexpr SettingSet() = default;
    static constexpr SettingSet all() { return SettingSet((1u << allSettings.size()) - 1); }

    constexpr bool contains(Setting setting) const { return (m_bits & bit(setting)) != 0; }
    constexpr void insert(Setting setting) { m_bits |= bit(setting); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr bool operator==(SettingSet other) const { return m_bits == other.m_bits; }
    constexpr bool operator!=(SettingSet other) const { return m_bits != other.m_bits; }
    constexpr SettingSet operator-(SettingSet other) const { return SettingSet(m_bits & ~other.m_bits); }
    constexpr SettingSet operator|(SettingSet other) const { return SettingSet(m_bits | other.m_bits); }

    // The settings held, in table order.
    QList<Setting> toList() const;

private:
    constexpr explicit SettingSet(unsigned bits) : m_bits(bits) {}
    static constexpr unsigned bit(Setting setting) { return 1u << static_cast<unsigned>(setting); }
    unsigned m_bits = 0;
};

// The answer to a read request. A value is complete once its "#" has come;
// an occurrence with nothing between prefix and "#" (an echoed command) does
// not hide a later one that carries a value. When the request ends, finish()
// takes what is left by the reply rule of a single text: a prefix without
// "#" runs to the end, and a setting seen only empty is empty.
class ReadGatherer
{
public:
    // Adds received text; returns the settings that became complete.
    SettingSet feed(const QString &text);
    // The request's time is up; returns the settings completed now.
    SettingSet finish();

    SettingSet complete() const { return m_complete; }
    bool isComplete() const { return m_complete == SettingSet::all(); }
    std::optional<QString> value(Setting setting) const;
    // Whether any text at all has come for the request.
    bool answered() const { return m_answered; }

    // A prefix followed by more than this before its "#" carries no value:
    // values are a few dozen characters, and a flood must not make the
    // kept text grow.
    static constexpr int longestValue = 1024;

private:
    void scan(Setting setting);
    void trim();

    QString m_text;       // what has come and may still be needed
    qsizetype m_offset = 0; // position of m_text's first character in all text received
    struct Search {
        qsizetype from = 0;           // in all text: where to look for the next prefix
        std::optional<qsizetype> open; // a prefix still waiting for its "#"
        bool sawEmpty = false;
        std::optional<QString> value;
    };
    std::array<Search, allSettings.size()> m_search;
    SettingSet m_complete;
    bool m_answered = false;
};

// The acknowledgements of a write request. Only text that came after a
// setting's command was sent can acknowledge it.
class WriteTally
{
public:
    void sent(Setting setting);
    // Adds received text; returns the settings it acknowledged first.
    SettingSet feed(const QString &text);

    SettingSet sentSettings() const { return m_sent; }
    SettingSet acknowledged() const { return m_acknowledged; }
    SettingSet missing() const { return m_sent - m_acknowledged; }
    bool isComplete() const { return missing().isEmpty(); }
    bool answered() const { return m_answered; }

private:
    QString m_text;         // the tail still needed to find a keyword cut by a frame boundary
    qsizetype m_offset = 0; // position of m_text's first character in all text received
    std::array<qsizetype, allSettings.size()> m_from {};
    SettingSet m_sent;
    SettingSet m_acknowledged;
    bool m_answered = false;
};
