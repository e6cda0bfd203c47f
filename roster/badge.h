// SPDX-License-Identifier: MIT
#pragma once

// A badge code as a roster keeps it: PBKDF2-HMAC-SHA256 with a random salt
// of its own, never the code itself. A code is compared by hashing it with
// the stored salt and comparing in constant time.

#include <QByteArray>
#include <QString>

#include <optional>

struct BadgeHash {
    int iterations = 0;
    QByteArray salt;
    QByteArray hash;

    // One line of text, as the database keeps it:
    // pbkdf2-sha256$ITERATIONS$SALT$HASH, salt and hash in base64.
    QString text() const;
    static std::optional<BadgeHash> fromText(const QString &text);
};

// Enough that guessing codes from a stolen roster is slow, few enough that
// checking a code against a roster of a hundred people stays well under a
// second.
inline constexpr int badgeIterations = 20000;
inline constexpr int badgeSaltBytes = 16;
// A scanned or typed code: a few characters at the least, a line at most.
inline constexpr int shortestBadge = 4;
inline constexpr int longestBadge = 128;

// Why a code cannot be one (too short, too long, control characters);
// empty when it can. The answer never quotes the code itself.
QString badgeProblem(const QString &code);

// The code hashed with a fresh random salt; nothing when the system gives
// no random bytes.
std::optional<BadgeHash> hashBadge(const QString &code, int iterations = badgeIterations);
bool badgeMatches(const BadgeHash &stored, const QString &code);
