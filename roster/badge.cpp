// SPDX-License-Identifier: MIT
#include "roster/badge.h"

#include <QStringList>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace {

constexpr int hashBytes = 32; // SHA-256
// What fromText() takes: a hash that asks for more would let a damaged
// table freeze every sign-in.
constexpr int mostIterations = 10'000'000;

QByteArray derive(const QString &code, const QByteArray &salt, int iterations)
{
    const QByteArray utf8 = code.toUtf8();
    QByteArray out(hashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(utf8.constData(), utf8.size(), reinterpret_cast<const unsigned char *>(salt.constData()),
                          salt.size(), iterations, EVP_sha256(), out.size(), reinterpret_cast<unsigned char *>(out.data()))
        != 1)
        return {};
    return out;
}

} // namespace

QString BadgeHash::text() const
{
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(hash.toBase64()));
}

std::optional<BadgeHash> BadgeHash::fromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String("pbkdf2-sha256"))
        return std::nullopt;
    bool ok = false;
    BadgeHash badge;
    badge.iterations = parts.at(1).toInt(&ok);
    const auto salt = QByteArray::fromBase64Encoding(parts.at(2).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto hash = QByteArray::fromBase64Encoding(parts.at(3).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!ok || badge.iterations < 1 || badge.iterations > mostIterations || !salt || !hash
        || salt.decoded.isEmpty() || hash.decoded.size() != hashBytes)
        return std::nullopt;
    badge.salt = salt.decoded;
    badge.hash = hash.decoded;
    return badge;
}

QString badgeProblem(const QString &code)
{
    if (code.size() < shortestBadge)
        return QStringLiteral("a badge code has at least %1 characters").arg(shortestBadge);
    if (code.size() > longestBadge)
        return QStringLiteral("a badge code has at most %1 characters").arg(longestBadge);
    for (const QChar c : code) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("a badge code has no control characters");
    }
    return {};
}

std::optional<BadgeHash> hashBadge(const QString &code, int iterations)
{
    BadgeHash badge;
    badge.iterations = iterations;
    badge.salt = QByteArray(badgeSaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(badge.salt.data()), badge.salt.size()) != 1)
        return std::nullopt;
    badge.hash = derive(code, badge.salt, iterations);
    if (badge.hash.isEmpty())
        return std::nullopt;
    return badge;
}

bool badgeMatches(const BadgeHash &stored, const QString &code)
{
    if (stored.hash.size() != hashBytes)
        return false;
    const QByteArray given = derive(code, stored.salt, stored.iterations);
    return given.size() == hashBytes && CRYPTO_memcmp(given.constData(), stored.hash.constData(), hashBytes) == 0;
}
