// SPDX-License-Identifier: MIT
#include "signin.h"

#include "store/rosterload.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

// A badge file holds one code and its line end.
constexpr qint64 largestBadgeFile = 4096;

std::optional<QString> refused(QString *error, const QString &why)
{
    *error = why;
    return std::nullopt;
}

std::optional<QString> badgeFromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(error, QStringLiteral("cannot read the badge file %1: %2").arg(printable(path), file.errorString()));
#ifdef Q_OS_UNIX
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (QFileInfo(path).permissions() & others) {
        return refused(error, QStringLiteral("others than its owner may read the badge file %1: chmod 600 %1")
                                  .arg(printable(path)));
    }
#endif
    const QByteArray text = file.read(largestBadgeFile + 1);
    if (text.size() > largestBadgeFile)
        return refused(error, QStringLiteral("the badge file %1 is larger than a badge code").arg(printable(path)));
    const int end = text.indexOf('\n');
    QString code = QString::fromUtf8(end < 0 ? text : text.left(end));
    if (code.endsWith(QLatin1Char('\r')))
        code.chop(1);
    return code;
}

// A line of stdin, echoed by nothing; a terminal's echo is turned off
// while it is typed, and back on whatever happens.
std::optional<QString> badgeFromInput(const QString &prompt, QString *error)
{
#ifdef Q_OS_UNIX
    const bool terminal = isatty(STDIN_FILENO);
    termios saved {};
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
#endif
    std::string line;
    const bool read = bool(std::getline(std::cin, line));
#ifdef Q_OS_UNIX
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
#else
    Q_UNUSED(prompt)
#endif
    if (!read)
        return refused(error, QStringLiteral("no badge code came: scan or type it, or give --badge-file"));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

QString promptFor(const std::optional<SupervisorRight> &right)
{
    if (!right)
        return QStringLiteral("Operator's badge: ");
    return QStringLiteral("Supervisor's badge for %1: ").arg(rightText(*right));
}

} // namespace

std::optional<QString> readBadge(const QString &prompt, const QString &file, QString *error)
{
    return file.isEmpty() ? badgeFromInput(prompt, error) : badgeFromFile(file, error);
}

void signIn(const SignInRequest &request, const Done &done, const std::function<void(const std::optional<Signer> &)> &then)
{
    ::loadRoster(request.rosterFile, request.database, [request, done, then](const QString &error, const std::optional<Roster> &roster) {
        if (!error.isEmpty())
            return done(fail(ExitCode::Usage, error + QStringLiteral("; nothing was done")));
        if (!roster)
            return then(std::nullopt);
        if (request.namedOperator) {
            return done(fail(ExitCode::Usage, QStringLiteral("with a roster the operator signs in with their badge: "
                                                             "leave --operator out")));
        }
        QString why;
        const auto code = readBadge(promptFor(request.right), request.badgeFile, &why);
        if (!code)
            return done(fail(ExitCode::Usage, why + QStringLiteral("; nothing was done")));
        const SignIn signedIn = request.right ? roster->authorise(*code, *request.right) : roster->signIn(*code);
        if (!signedIn.who)
            return done(fail(ExitCode::Usage, QStringLiteral("sign-in refused: ") + signedIn.why
                                                  + QStringLiteral("; nothing was done")));
        err() << QStringLiteral("Signed in: %1 (%2, %3).\n").arg(printable(signedIn.who->name), signedIn.who->id,
                                                                  roleText(signedIn.who->role));
        err().flush();
        then(Signer {signedIn.who->id, signedIn.who->name});
    });
}

} // namespace cli
