// SPDX-License-Identifier: MIT
#pragma once

// A file a run holds for its whole life: the file itself is locked (flock),
// not a name beside it, so every path that reaches it (a symbolic link, a
// hard link) meets the same lock, and the lock ends with the process that
// took it, however it dies. A note beside the file (NAME.lock) names the
// holder for the messages of others; it is only a note: deleting it lets
// no one in. While held, the run asks now and then whether the path still
// leads to the file it holds, as it left it.

#include <QString>

class FileHold
{
public:
    FileHold() = default;
    ~FileHold();
    FileHold(const FileHold &) = delete;
    FileHold &operator=(const FileHold &) = delete;

    enum class Taken {
        Yes,
        Held,       // another run holds it; why names the holder
        CannotLock, // the file system takes no locks; why says so
        CannotOpen, // why has the system's reason
    };
    // Opens path (through whatever links) and locks the file, without
    // waiting. create: a file that is missing is made (and removed again
    // by discard()). No write access is needed.
    Taken take(const QString &path, bool create, QString *why);
    // Lets the file go: the note is removed while it is still this run's.
    void release();
    // Lets it go, and removes the file too if take() made it and it is
    // still empty: a refused run leaves nothing behind.
    void discard();

    bool isHeld() const { return m_fd >= 0; }
    // Whether the descriptor (of another open of the path) is the file held.
    bool holds(int fd) const;
    // Whether the path leads to the file held.
    bool isReachedBy(const QString &path) const;

    // How the path and the file held have parted since: the path removed
    // or renamed away, or leading to another file; the file shorter or
    // longer than expectedSize (not checked when negative).
    struct Change {
        enum Kind { None, Gone, Replaced, Truncated, Grown } kind = None;
        qint64 size = 0; // Truncated, Grown: the size found
    };
    Change change(qint64 expectedSize = -1) const;

    // Who holds the file at path, going by its lock ("vev-cli, process
    // 1234 on bench-1"); empty when nobody does or it cannot be told.
    static QString holder(const QString &path);

private:
    QString m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_noted = false;
};
