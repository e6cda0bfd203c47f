// SPDX-License-Identifier: MIT
#include "store/filehold.h"

#include "store/store.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

#include <algorithm>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace {

// What a file is, as the system tells files apart: the path that led to it
// does not count.
struct Identity {
    bool valid = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;

    bool sameFile(const Identity &other) const
    {
        return valid && other.valid && device == other.device && inode == other.inode;
    }
    QString text() const { return QStringLiteral("%1:%2").arg(device).arg(inode); }
};

enum class Locked { Yes, Held, Unsupported, Failed };

// --- What the system does; a system without it says so -------------------------

#ifdef Q_OS_UNIX
QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

Identity identityOf(const struct stat &info)
{
    return {true, quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size)};
}

Identity identityOfDescriptor(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? identityOf(info) : Identity();
}

Identity identityOfPath(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? identityOf(info) : Identity();
}

// Read-only, so that a plan needs no write access to be held, and without
// waiting, so that a FIFO in a file's place holds nothing up.
int openFile(const QString &path, bool create, bool *created, QString *why)
{
    const QByteArray name = QFile::encodeName(path);
    constexpr int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    constexpr mode_t mode = 0666;
    *created = false;
    int fd = create ? ::open(name.constData(), flags | O_CREAT | O_EXCL, mode) : -1;
    if (fd >= 0)
        *created = true;
    else if (!create || errno == EEXIST)
        fd = ::open(name.constData(), create ? flags | O_CREAT : flags, mode); // a link may lead to a file yet to be made
    if (fd < 0)
        *why = systemError(errno);
    return fd;
}

void closeFile(int fd)
{
    ::close(fd);
}

bool removeFile(const QString &path)
{
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

Locked lockFile(int fd, QString *why)
{
    // Refusals that mean the file system keeps no locks: a network file
    // system mounted without them, a file system that never had them.
    static constexpr int noLocks[] = {ENOLCK, EOPNOTSUPP, ENOTSUP, ENOSYS, EINVAL};
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        *why = systemError(error);
        if (error == EWOULDBLOCK)
            return Locked::Held;
        return std::find(std::begin(noLocks), std::end(noLocks), error) != std::end(noLocks) ? Locked::Unsupported
                                                                                            : Locked::Failed;
    }
    return Locked::Yes;
}
#else
Identity identityOfDescriptor(int)
{
    return {};
}
Identity identityOfPath(const QString &)
{
    return {};
}
int openFile(const QString &, bool, bool *created, QString *why)
{
    *created = false;
    *why = QStringLiteral("this build cannot lock files on this system");
    return -1;
}
void closeFile(int) {}
bool removeFile(const QString &path)
{
    return QFile::remove(path);
}
Locked lockFile(int, QString *why)
{
    *why = QStringLiteral("this build cannot lock files on this system");
    return Locked::Unsupported;
}
#endif

// The process holding the lock on a file, as Linux lists its locks; 0 where
// that cannot be told (another system, a holder on another computer).
qint64 lockOwner(const Identity &file)
{
#ifdef Q_OS_LINUX
    QFile locks(QStringLiteral("/proc/locks"));
    if (!file.valid || !locks.open(QIODevice::ReadOnly))
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 1899 fe:00:10987973 0 EOF"; one waiting
    // for a lock is marked "->".
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) != "FLOCK" || fields.at(3) != "WRITE")
            continue;
        const QList<QByteArray> where = fields.at(5).split(':');
        bool ok = false;
        const quint64 majorNumber = where.size() == 3 ? where.at(0).toULongLong(&ok, 16) : 0;
        const quint64 minorNumber = ok ? where.value(1).toULongLong(&ok, 16) : 0;
        const quint64 inode = ok ? where.value(2).toULongLong(&ok) : 0;
        if (ok && inode == file.inode && majorNumber == major(dev_t(file.device))
            && minorNumber == minor(dev_t(file.device)))
            return fields.at(4).toLongLong();
    }
#else
    Q_UNUSED(file)
#endif
    return 0;
}

QString programOf(qint64 pid)
{
#ifdef Q_OS_LINUX
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(comm.readAll().trimmed());
#else
    Q_UNUSED(pid)
#endif
    return {};
}

// --- The note beside the file ----------------------------------------------------------

QString notePath(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// Its first three lines as earlier versions wrote them (their lock file),
// then the file it is about.
struct Note {
    qint64 pid = 0;
    QString program;
    QString host;
    QString file; // empty in an earlier version's
};

std::optional<Note> readNote(const QString &path)
{
    // A note is a few dozen bytes.
    constexpr qint64 longestNote = 4096;
    QFile file(path);
    // A FIFO in its place would hold the open up for good.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.read(longestNote).split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).toLongLong(&ok);
    if (!ok || pid <= 0 || lines.size() < 3)
        return std::nullopt;
    return Note {pid, QString::fromUtf8(lines.at(1)), QString::fromUtf8(lines.at(2)), QString::fromUtf8(lines.value(3))};
}

bool writeNote(const QString &path, const Identity &file)
{
    QSaveFile note(path);
    const QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                            + QCoreApplication::applicationName().toUtf8() + '\n'
                            + QSysInfo::machineHostName().toUtf8() + '\n' + file.text().toUtf8() + '\n';
    return note.open(QIODevice::WriteOnly) && note.write(text) == text.size() && note.commit();
}

bool isOwnNote(const std::optional<Note> &note)
{
    return note && note->pid == QCoreApplication::applicationPid() && note->host == QSysInfo::machineHostName();
}

// Earlier versions held their runs by locking the note itself; one of them
// may still be running.
bool noteLockedByEarlierRun(const QString &path)
{
    bool created = false;
    QString why;
    const int fd = openFile(path, false, &created, &why);
    if (fd < 0)
        return false;
    const bool held = lockFile(fd, &why) == Locked::Held;
    closeFile(fd);
    return held;
}

// Who holds the file at path: its lock's owner where the system tells it,
// named by the note when the note is that owner's; else the note, when it
// is about this very file. Empty when neither says.
QString holderOf(const QString &path, const Identity &file)
{
    const auto note = readNote(notePath(path));
    const bool aboutFile = note && (note->file.isEmpty() || note->file == file.text());
    const QString host = QSysInfo::machineHostName();
    if (const qint64 owner = lockOwner(file); owner > 0) {
        if (aboutFile && note->pid == owner && note->host == host)
            return holderText(note->program, owner, host);
        return holderText(programOf(owner), owner, host);
    }
    return aboutFile ? holderText(note->program, note->pid, note->host) : QString();
}

} // namespace

FileHold::~FileHold()
{
    release();
}

FileHold::Taken FileHold::take(const QString &path, bool create, QString *why)
{
    release();
    bool created = false;
    const int fd = openFile(path, create, &created, why);
    if (fd < 0)
        return Taken::CannotOpen;
    // A file made here goes again, unless another run holds it: made here
    // and opened there at once, it is that run's now.
    const auto refuse = [&](Taken taken) {
        closeFile(fd);
        if (created && taken != Taken::Held)
            removeFile(path);
        return taken;
    };
    switch (lockFile(fd, why)) {
    case Locked::Yes:
        break;
    case Locked::Held:
        *why = holderOf(path, identityOfDescriptor(fd));
        return refuse(Taken::Held);
    case Locked::Unsupported:
        return refuse(Taken::CannotLock);
    case Locked::Failed:
        return refuse(Taken::CannotOpen);
    }
    if (noteLockedByEarlierRun(notePath(path))) {
        const auto note = readNote(notePath(path));
        *why = note ? holderText(note->program, note->pid, note->host) : QString();
        return refuse(Taken::Held);
    }
    m_path = path;
    m_fd = fd;
    m_created = created;
    // Only for messages: a run that cannot write it (a folder it may not
    // write to) holds the file all the same.
    m_noted = writeNote(notePath(path), identityOfDescriptor(fd));
    return Taken::Yes;
}

void FileHold::release()
{
    if (m_fd < 0)
        return;
    // Removed before the lock goes, so that it never removes the next run's.
    if (m_noted && isOwnNote(readNote(notePath(m_path))))
        QFile::remove(notePath(m_path));
    closeFile(m_fd);
    m_fd = -1;
    m_noted = false;
    m_created = false;
}

void FileHold::discard()
{
    if (m_fd >= 0 && m_created) {
        const Identity held = identityOfDescriptor(m_fd);
        if (held.size == 0 && held.sameFile(identityOfPath(m_path)))
            removeFile(m_path);
    }
    release();
}

bool FileHold::holds(int fd) const
{
    return m_fd >= 0 && identityOfDescriptor(m_fd).sameFile(identityOfDescriptor(fd));
}

bool FileHold::isReachedBy(const QString &path) const
{
    return m_fd >= 0 && identityOfDescriptor(m_fd).sameFile(identityOfPath(path));
}

FileHold::Change FileHold::change(qint64 expectedSize) const
{
    if (m_fd < 0)
        return {};
    const Identity named = identityOfPath(m_path);
    const Identity held = identityOfDescriptor(m_fd);
    if (!named.valid)
        return {Change::Gone, 0};
    if (!named.sameFile(held))
        return {Change::Replaced, 0};
    if (expectedSize >= 0 && held.size < expectedSize)
        return {Change::Truncated, held.size};
    if (expectedSize >= 0 && held.size > expectedSize)
        return {Change::Grown, held.size};
    return {};
}

QString FileHold::holder(const QString &path)
{
    bool created = false;
    QString why;
    const int fd = openFile(path, false, &created, &why);
    QString text;
    if (fd >= 0) {
        if (lockFile(fd, &why) == Locked::Held) {
            text = holderOf(path, identityOfDescriptor(fd));
            if (text.isEmpty())
                text = QStringLiteral("another run");
        }
        closeFile(fd); // and with it the lock, if this look took it
    }
    if (text.isEmpty() && noteLockedByEarlierRun(notePath(path))) {
        const auto note = readNote(notePath(path));
        text = note ? holderText(note->program, note->pid, note->host) : QStringLiteral("another run");
    }
    return text;
}
