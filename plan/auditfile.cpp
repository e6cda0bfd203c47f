// SPDX-License-Identifier: MIT
#include "plan/auditfile.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A "line" longer than a record can be must not be read whole to find out.
constexpr qint64 longestLine = longestAuditLine;

#ifdef Q_OS_UNIX
QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}
#endif

qint64 currentSize(const QFile &file)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::fstat(file.handle(), &info) == 0 ? qint64(info.st_size) : -1;
#else
    return file.size();
#endif
}

} // namespace

QString notAnAuditFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return QStringLiteral("%1 is not a regular file (%2); an audit is a file of its own")
        .arg(printable(path), info.isDir() ? QStringLiteral("a folder") : QStringLiteral("a device, FIFO or socket"));
}

AuditCheck verifyAudit(const QString &path, const AuditVisitor &visit, const QByteArray &lastHash)
{
    AuditCheck check;
    check.lastHash = firstPrev;
    const QString refused = notAnAuditFile(path);
    QFile file(path);
    if (!refused.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        check.unreadable = true;
        check.why = refused.isEmpty() ? QStringLiteral("cannot read %1: %2").arg(printable(path), file.errorString())
                                      : refused;
        return check;
    }
    const auto bad = [&check](int line, const QString &why) {
        check.firstBad = line;
        check.why = why;
        return check;
    };
    AuditChain chain;
    for (int number = 1;; ++number) {
        QByteArray line = file.readLine(longestLine + 1);
        if (line.isEmpty()) {
            if (!file.atEnd() || file.error() != QFile::NoError) {
                check.unreadable = true;
                check.why = QStringLiteral("cannot read %1: %2").arg(printable(path), file.errorString());
                return check;
            }
            break;
        }
        if (!line.endsWith('\n')) {
            return bad(number, file.atEnd() ? QStringLiteral("a partial line without its line end")
                                            : QStringLiteral("longer than %1 bytes: not an audit line").arg(longestLine));
        }
        line.chop(1);
        if (line.endsWith('\r')) {
            return bad(number, QStringLiteral("the line ends in CR LF: the audit's line ends were converted (by an "
                                              "editor, or a copy in text mode); convert them back with "
                                              "dos2unix or sed -i 's/\\r$//' and verify again"));
        }
        QString why;
        const auto read = chain.take(line, &why);
        if (!read)
            return bad(number, why);
        check.lastHash = chain.lastHash();
        check.lines = chain.lines();
        check.unknown = chain.unknown();
        if (visit && read->record)
            visit(*read->record, number);
    }
    if (!lastHash.isEmpty()) {
        check.why = chain.endsElsewhere(lastHash);
        check.endsElsewhere = !check.why.isEmpty();
    }
    return check;
}

bool AuditFile::open(const QString &path, const AuditVisitor &visit, QString *error, bool *broken)
{
    *broken = false;
    const QString refused = notAnAuditFile(path);
    if (!refused.isEmpty()) {
        *error = refused;
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot open the audit %1: %2").arg(printable(path), m_file.errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    // What was checked by name may have been swapped since: check what is open.
    struct stat info {};
    if (::fstat(m_file.handle(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("%1 is not a regular file; an audit is a file of its own").arg(printable(path));
        m_file.close();
        return false;
    }
#endif
    const AuditCheck check = verifyAudit(path, visit);
    if (check.unreadable || check.firstBad > 0) {
        *broken = check.firstBad > 0;
        *error = check.unreadable ? check.why
                                  : QStringLiteral("the audit %1 is broken at line %2: %3; nothing is appended to it "
                                                   "(check it with audit-verify)")
                                        .arg(printable(path)).arg(check.firstBad).arg(check.why);
        m_file.close();
        return false;
    }
    m_size = m_file.size();
    m_lines = check.lines;
    m_lastHash = check.lastHash;
    return true;
}

bool AuditFile::append(const AuditRecord &record, QString *error)
{
    const QByteArray line = auditLine(record, m_lastHash);
    const QByteArray text = line + '\n';
    // Cutting a failed write back to a size the file no longer has would
    // grow it with zeros, and the chain would hang on lines not read.
    if (const qint64 found = currentSize(m_file); found != m_size) {
        *error = QStringLiteral("cannot write the audit %1: it has %2 bytes, where this program left %3; it was changed "
                                "by another program").arg(printable(m_file.fileName())).arg(found).arg(m_size);
        return false;
    }
    QString reason;
#ifdef Q_OS_UNIX
    // One write of the whole line where the system allows it; a short write
    // (a disk filling up) is taken up again until it fails with its reason.
    qint64 done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_file.handle(), text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reason = n < 0 ? systemError(errno) : QStringLiteral("nothing was written");
            break;
        }
        done += n;
    }
    if (reason.isEmpty() && ::fsync(m_file.handle()) != 0)
        reason = systemError(errno);
#else
    if (m_file.write(text) != text.size() || !m_file.flush())
        reason = m_file.errorString();
#endif
    if (!reason.isEmpty()) {
        // Whole or absent: what part of the line went out is taken back, so
        // the trail still ends in a whole line that the chain vouches for.
        QString cut;
#ifdef Q_OS_UNIX
        if (::ftruncate(m_file.handle(), m_size) != 0 || ::fsync(m_file.handle()) != 0)
            cut = systemError(errno);
#else
        if (!m_file.resize(m_size))
            cut = m_file.errorString();
#endif
        *error = QStringLiteral("cannot write the audit %1: %2").arg(printable(m_file.fileName()), reason);
        if (!cut.isEmpty())
            *error += QStringLiteral(" (and it could not be cut back to its last whole line: %1)").arg(cut);
        return false;
    }
    m_size += text.size();
    ++m_lines;
    m_lastHash = chainHash(line);
    return true;
}
