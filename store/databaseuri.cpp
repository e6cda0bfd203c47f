// SPDX-License-Identifier: MIT
#include "store/databaseuri.h"

#include "protocol/wireformat.h"

#include <QUrl>

#include <algorithm>
#include <array>

namespace {

const char *const schemes[] = {"postgresql://", "postgres://"};

constexpr int largestPort = 65535;

// libpq settings a URI may carry besides its parts; anything else is more
// likely a typing error than a wish.
constexpr std::array<const char *, 6> passedOn = {"sslmode",     "sslrootcert",     "sslcert",
                                                  "sslkey",      "connect_timeout", "application_name"};

QString decoded(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

bool holdsControl(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

std::optional<int> portOf(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > largestPort)
        return std::nullopt;
    return port;
}

// Takes one of the URI's parameters: empty, or why it cannot be taken.
QString takeParameter(DatabaseUri *uri, const QString &key, const QString &value)
{
    if (key == QLatin1String("host")) {
        uri->host = value;
    } else if (key == QLatin1String("port")) {
        const auto port = portOf(value);
        if (!port)
            return QStringLiteral("port \"%1\" is not a number from 1 to %2").arg(printable(value)).arg(largestPort);
        uri->port = *port;
    } else if (key == QLatin1String("user")) {
        uri->user = value;
    } else if (key == QLatin1String("password")) {
        uri->password = value;
    } else if (key == QLatin1String("dbname")) {
        uri->database = value;
    } else if (std::find_if(passedOn.begin(), passedOn.end(), [&](const char *name) { return key == QLatin1String(name); })
               != passedOn.end()) {
        // libpq takes each as it is; one with these characters is settings
        // run together or a typing error, never a value these keys take.
        if (value.isEmpty() || value.contains(QLatin1Char(';')) || value.contains(QLatin1Char(' '))
            || value.contains(QLatin1Char('\'')) || value.contains(QLatin1Char('\\')))
            return QStringLiteral("parameter %1 has no value this tool can pass on").arg(printable(key));
        uri->options << key + QLatin1Char('=') + value;
    } else {
        return QStringLiteral("parameter \"%1\" is not known (host, port, user, dbname, sslmode, "
                              "sslrootcert, sslcert, sslkey, connect_timeout, application_name)")
            .arg(printable(key));
    }
    return {};
}

// Takes the user, password, host and port before the URI's first /:
// empty, or why they cannot be taken.
QString takeAuthority(DatabaseUri *uri, QString authority)
{
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        uri->user = decoded(userInfo.left(colon >= 0 ? colon : userInfo.size()));
        if (colon >= 0)
            uri->password = decoded(userInfo.mid(colon + 1));
        authority = authority.mid(at + 1);
    }
    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {
        const int close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QStringLiteral("an IPv6 address in [ ] is not closed");
        uri->host = authority.mid(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority.at(close + 1) != QLatin1Char(':'))
                return QStringLiteral("\"%1\" is not a host and port").arg(printable(authority));
            portText = authority.mid(close + 2);
        }
    } else {
        const int colon = authority.lastIndexOf(QLatin1Char(':'));
        uri->host = decoded(authority.left(colon >= 0 ? colon : authority.size()));
        if (colon >= 0)
            portText = authority.mid(colon + 1);
    }
    if (!portText.isNull()) {
        const auto port = portOf(portText);
        if (!port)
            return QStringLiteral("port \"%1\" is not a number from 1 to %2").arg(printable(portText)).arg(largestPort);
        uri->port = *port;
    }
    return {};
}

} // namespace

bool DatabaseUri::isUri(const QString &text)
{
    return std::any_of(std::begin(schemes), std::end(schemes),
                       [&text](const char *scheme) { return text.startsWith(QLatin1String(scheme)); });
}

std::optional<DatabaseUri> DatabaseUri::parse(const QString &text, QString *error)
{
    // A URI that may hold a password (a user part, a password parameter)
    // is never quoted back, in part or whole: a value cut in the wrong
    // place (a / or ? in the password) may be a piece of it.
    const bool secret = text.contains(QLatin1Char('@')) || text.contains(QLatin1String("password"), Qt::CaseInsensitive);
    const auto refuse = [error, secret](QString why) {
        const int first = why.indexOf(QLatin1Char('"'));
        const int last = why.lastIndexOf(QLatin1Char('"'));
        if (secret && first >= 0 && last > first)
            why.replace(first, last - first + 1, QStringLiteral("(not shown)"));
        *error = QStringLiteral("--db: %1; the form is postgresql://[user[:password]@][host][:port]/dbname"
                                "[?host=/socket/dir&port=N]").arg(why);
        return std::nullopt;
    };
    QString rest;
    for (const char *scheme : schemes) {
        if (text.startsWith(QLatin1String(scheme)))
            rest = text.mid(int(qstrlen(scheme)));
    }
    if (rest.isNull())
        return refuse(QStringLiteral("a database URI starts with postgresql://"));
    // A tab or a line break, written or %-encoded, is no part of any
    // setting; in a value it is settings run together or pasted by mistake.
    if (decoded(text).contains(QChar(0)))
        return refuse(QStringLiteral("the URI holds %00, a NUL character, which no setting takes"));
    if (holdsControl(text) || holdsControl(decoded(text)))
        return refuse(QStringLiteral("the URI holds a control character (a tab, a line break), which no setting takes"));

    DatabaseUri uri;
    const int query = rest.indexOf(QLatin1Char('?'));
    const QString parameters = query >= 0 ? rest.mid(query + 1) : QString();
    rest = rest.left(query >= 0 ? query : rest.size());
    const int slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0 || slash + 1 == rest.size())
        return refuse(QStringLiteral("the URI names no database"));
    // An @ after the first / : a user name or password with a / in it,
    // which would be read as host, port and database. Nothing of it is
    // shown (it may be the password).
    if (rest.indexOf(QLatin1Char('@'), slash) >= 0)
        return refuse(QStringLiteral("a / in the user name or password is written %2F (the URI is not shown: it may "
                                     "hold the password)"));
    uri.database = decoded(rest.mid(slash + 1));
    if (const QString why = takeAuthority(&uri, rest.left(slash)); !why.isEmpty())
        return refuse(why);

    for (const QString &parameter : parameters.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int equals = parameter.indexOf(QLatin1Char('='));
        const QString why = takeParameter(&uri, decoded(parameter.left(equals >= 0 ? equals : parameter.size())),
                                          equals >= 0 ? decoded(parameter.mid(equals + 1)) : QString());
        if (!why.isEmpty())
            return refuse(why);
    }
    // libpq takes its settings as C strings: a NUL would cut one short.
    for (const QString &part : QStringList {uri.host, uri.database, uri.user, uri.password} + uri.options) {
        if (part.contains(QChar(0)))
            return refuse(QStringLiteral("the URI holds %00, a NUL character, which no setting takes"));
    }
    if (uri.database.isEmpty())
        return refuse(QStringLiteral("the URI names no database"));
    return uri;
}

QString DatabaseUri::display() const
{
    const auto encoded = [](const QString &text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    const bool socket = host.startsWith(QLatin1Char('/'));
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += encoded(user) + QLatin1Char('@');
    QStringList parameters;
    if (socket) {
        parameters << QStringLiteral("host=") + host;
        if (port > 0)
            parameters << QStringLiteral("port=%1").arg(port);
    } else {
        text += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : encoded(host);
        if (port > 0)
            text += QStringLiteral(":%1").arg(port);
    }
    text += QLatin1Char('/') + encoded(database);
    parameters << options;
    if (!parameters.isEmpty())
        text += QLatin1Char('?') + parameters.join(QLatin1Char('&'));
    return printable(text);
}
