// SPDX-License-Identifier: MIT
#include "sim/simline.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

void makeRaw(int fd, bool setSpeed)
{
    termios settings {};
    if (::tcgetattr(fd, &settings) != 0)
        return;
    ::cfmakeraw(&settings);
    if (setSpeed) {
        // 9600 8N1, no flow control: the module's fixed line settings.
        ::cfsetispeed(&settings, B9600);
        ::cfsetospeed(&settings, B9600);
        settings.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
        settings.c_cflag |= CS8 | CLOCAL | CREAD;
        settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    }
    ::tcsetattr(fd, TCSANOW, &settings);
}

} // namespace

SimLine::~SimLine()
{
    close();
}

bool SimLine::openPseudoTerminal(QString *error)
{
    char name[256] = {};
    int device = -1;
    if (::openpty(&m_fd, &device, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: ") + systemError();
        return false;
    }
    // Holding the device side open keeps the pair alive while the tool
    // closes and reopens the port, and keeps it raw until the tool sets its
    // own line settings: an echoing line would hand our answers back to us.
    m_keepOpen = device;
    makeRaw(device, false);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_devicePath = QString::fromLocal8Bit(name);
    return true;
}

bool SimLine::openDevice(const QString &path, QString *error)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, systemError());
        return false;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        // A regular file would take our answers and give nothing back.
        *error = QStringLiteral("%1 is not a serial device").arg(path);
        close();
        return false;
    }
    makeRaw(m_fd, true);
    m_devicePath = path;
    return true;
}

bool SimLine::makeLink(const QString &linkPath, QString *error)
{
    const QFileInfo existing(linkPath);
    if (existing.isSymLink() && existing.exists()) {
        // Another simulator's live line: taking it over would leave that
        // one's users talking to us.
        *error = QStringLiteral("%1 points to %2, a live device; not taking it over")
                     .arg(linkPath, existing.symLinkTarget());
        return false;
    }
    if (existing.isSymLink()) {
        QFile::remove(linkPath); // a leftover of an earlier run
    } else if (existing.exists()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
        return false;
    }
    if (!QFile::link(m_devicePath, linkPath)) {
        *error = QStringLiteral("cannot link %1 to %2").arg(linkPath, m_devicePath);
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void SimLine::close()
{
    // Only a link that is still ours: another simulator may have made its
    // own since ours went.
    if (!m_linkPath.isEmpty() && QFile::symLinkTarget(m_linkPath) == QFileInfo(m_devicePath).absoluteFilePath())
        QFile::remove(m_linkPath);
    m_linkPath.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_keepOpen >= 0)
        ::close(m_keepOpen);
    m_fd = m_keepOpen = -1;
}
