// SPDX-License-Identifier: MIT
#include "signin.h"

#include "store/rosterload.h"

#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
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

#ifdef Q_OS_UNIX
// The terminal as it was before its echo was turned off, put back by a
// signal that ends the program at the prompt (Ctrl-C): a shell left
// without echo is no way to leave a terminal.
termios savedTerminal {};

void restoreAndDie(int signal)
{
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

// One line of stdin, at most a badge file's size: a stream with no line
// end (a file piped in by mistake) is refused, not read whole.
std::optional<std::string> lineOfInput()
{
    std::string line;
    for (int c = std::cin.get(); c != EOF; c = std::cin.get()) {
        if (c == '\n')
            return line;
        if (line.size() >= size_t(largestBadgeFile))
            return std::nullopt;
        line.push_back(char(c));
    }
    return line.empty() ? std::nullopt : std::optional<std::string>(line);
}

// A line of stdin, echoed by nothing; a terminal's echo is turned off
// while it is typed, and back on whatever happens.
std::optional<QString> badgeFromInput(const QString &prompt, QString *error)
{
#ifdef Q_OS_UNIX
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
    if (terminal) {
        // Silent before the prompt shows: a scanner may answer at once.
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            std::signal(signal, restoreAndDie);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }
#endif
    const auto line = lineOfInput();
#ifdef Q_OS_UNIX
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            std::signal(signal, SIG_DFL);
        std::fputs("\n", stderr);
    }
#else
    Q_UNUSED(prompt)
#endif
    if (!line)
        return refused(error, QStringLiteral("no badge code came: scan or type it, or give --badge-file"));
    QString code = QString::fromStdString(*line);
    if (code.endsWith(QLatin1Char('\r')))
        code.chop(1);
    return code;
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
        // A roster file is the command line's to mend; a database's answer
        // is the database's failure, as any command on it says it.
        if (!error.isEmpty())
            return done(fail(request.rosterFile.isEmpty() ? ExitCode::Failure : ExitCode::Usage,
                             error + QStringLiteral("; nothing was done")));
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
