// SPDX-License-Identifier: MIT
#include "output.h"

#include <QIODevice>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

ExitCode fail(ExitCode code, const QString &message)
{
    err() << "vev-cli: " << message << Qt::endl;
    return code;
}

ExitCode finishOutput(ExitCode code)
{
    out().flush();
    // The stream writes through its own device, which keeps the reason of a
    // failed write; what is left in stdio's buffer reports through errno.
    QString why;
    if (out().status() != QTextStream::Ok) {
        why = out().device() ? out().device()->errorString() : QString();
        if (why.isEmpty())
            why = QStringLiteral("write error");
    }
    errno = 0;
    if (why.isEmpty() && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        why = errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("write error");
    if (!why.isEmpty())
        return fail(ExitCode::Failure, QStringLiteral("cannot write the output: %1").arg(why));
    return code;
}

} // namespace cli
