// SPDX-License-Identifier: MIT
#include "label/labelprinter.h"

#include "label/labeloutput.h"

#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

QString seconds(std::chrono::milliseconds time)
{
    return QStringLiteral("%1 s").arg(double(time.count()) / 1000);
}

// What a ZPL printer's host status (its answer to ~HS) says of the label
// just sent: nothing yet while its first two strings are incomplete, an
// empty text when it can print, else why not.
std::optional<QString> statusProblem(const QByteArray &reply)
{
    // Each string stands between STX and ETX: the first holds the paper-out
    // and pause flags, the second the head-up, ribbon-out and thermal
    // transfer flags.
    QList<QList<QByteArray>> strings;
    for (int at = reply.indexOf('\x02'); at >= 0 && strings.size() < 2; at = reply.indexOf('\x02', at + 1)) {
        const int end = reply.indexOf('\x03', at);
        if (end < 0)
            break;
        strings << reply.mid(at + 1, end - at - 1).split(',');
    }
    if (strings.size() < 2)
        return std::nullopt;
    const auto flag = [&strings](int string, int field) {
        return strings.at(string).value(field).trimmed() == "1";
    };
    QStringList problems;
    if (flag(0, 1))
        problems << QStringLiteral("paper out");
    if (flag(0, 2))
        problems << QStringLiteral("paused");
    if (flag(1, 2))
        problems << QStringLiteral("head open");
    if (flag(1, 3) && flag(1, 4))
        problems << QStringLiteral("ribbon out");
    return problems.join(QStringLiteral(", "));
}

// One label to a ZPL printer's raw port, and its host status after it;
// deletes itself once it has said how it went.
class ZplSend : public QObject
{
public:
    using Done = std::function<void(bool printed, bool sent, const QString &failure)>;

    ZplSend(const QByteArray &zpl, const LabelTarget &target, Done done, QObject *parent)
        : QObject(parent), m_zpl(zpl + "~HS\n"), m_printer(target.describe()), m_done(std::move(done))
    {
        m_timer.setSingleShot(true);
        // A coarse timer may fire 5% early: "within 3 s" means 3 s.
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &ZplSend::timeUp);
        connect(&m_socket, &QTcpSocket::connected, this, [this] {
            m_stage = Stage::Sending;
            m_timer.start(LabelPrinter::sendTimeout);
            m_socket.write(m_zpl);
        });
        connect(&m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
            m_written += bytes;
            if (m_written == m_zpl.size())
                handOver();
        });
        connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] {
            fail(m_stage == Stage::Connecting
                     ? QStringLiteral("%1 did not accept the connection: %2").arg(m_printer, m_socket.errorString())
                     : QStringLiteral("%1 dropped the connection before it had the label: %2")
                           .arg(m_printer, m_socket.errorString()));
        });
        m_timer.start(LabelPrinter::connectTimeout);
        m_socket.connectToHost(target.name, target.port);
    }

    ~ZplSend() override
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }

private:
    enum class Stage { Connecting, Sending, Status };

    // All is with the system. The status comes on a descriptor of our own:
    // a printer that closes once it has read everything ends with a close,
    // one that went away without reading it with a reset, which Qt would
    // report as an ordinary close.
    void handOver()
    {
        m_stage = Stage::Status;
        m_timer.start(LabelPrinter::statusTimeout);
        m_socket.disconnect(this);
#ifdef Q_OS_UNIX
        m_fd = ::dup(int(m_socket.socketDescriptor()));
        m_socket.abort();
        if (m_fd < 0)
            return fail(QStringLiteral("%1: %2").arg(m_printer, QString::fromLocal8Bit(std::strerror(errno))));
        m_reader = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_reader.get(), &QSocketNotifier::activated, this, [this] { status(); });
        status();
#else
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
            m_reply += m_socket.readAll();
            answered();
        });
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { finish(false, true, {}); });
#endif
    }

    void timeUp()
    {
        switch (m_stage) {
        case Stage::Connecting:
            return fail(QStringLiteral("%1 did not accept the connection within %2")
                            .arg(m_printer, seconds(LabelPrinter::connectTimeout)));
        case Stage::Sending:
            return fail(QStringLiteral("%1 did not take the label within %2")
                            .arg(m_printer, seconds(LabelPrinter::sendTimeout)));
        case Stage::Status:
            // It has the label and says nothing of it.
            return unacknowledged() > 0 ? fail(QStringLiteral("%1 did not take the label within %2")
                                                   .arg(m_printer, seconds(LabelPrinter::sendTimeout
                                                                           + LabelPrinter::statusTimeout)))
                                        : finish(false, true, {});
        }
    }

#ifdef Q_OS_UNIX
    void status()
    {
        char buffer[256];
        for (;;) {
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0) {
                m_reply.append(buffer, int(got));
                if (answered())
                    return;
                continue;
            }
            if (got == 0) {
                // Closed with no status: it took the label whole if all of
                // it was acknowledged, but says nothing of the paper.
                return unacknowledged() > 0
                           ? fail(QStringLiteral("%1 closed the connection before it had the label").arg(m_printer))
                           : finish(false, true, {});
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return;
            return fail(QStringLiteral("%1 dropped the connection before it had the label: %2")
                            .arg(m_printer, QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
#endif

    // Whether the host status has come, and with it the label's fate.
    bool answered()
    {
        const auto problem = statusProblem(m_reply);
        if (!problem)
            return false;
        if (problem->isEmpty())
            finish(true, false, {});
        else
            fail(QStringLiteral("%1 reports %2").arg(m_printer, *problem));
        return true;
    }

    int unacknowledged() const
    {
        int bytes = 0;
#ifdef Q_OS_LINUX
        if (m_fd < 0 || ::ioctl(m_fd, SIOCOUTQ, &bytes) != 0)
            bytes = 0;
#endif
        return bytes;
    }

    void fail(const QString &failure) { finish(false, false, failure); }

    void finish(bool printed, bool sent, const QString &failure)
    {
        if (!m_done)
            return;
        m_timer.stop();
        m_socket.disconnect(this);
        m_socket.abort();
        m_reader.reset();
        const Done done = std::exchange(m_done, nullptr);
        deleteLater();
        done(printed, sent, failure);
    }

    QByteArray m_zpl;
    QString m_printer;
    Done m_done;
    QTcpSocket m_socket;
    QTimer m_timer;
    Stage m_stage = Stage::Connecting;
    qint64 m_written = 0;
    QByteArray m_reply;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_reader;
};

} // namespace

LabelPrinter::LabelPrinter(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<LabelOutcome>("LabelOutcome");
    // One job at a time: a printer takes them in turn anyway, and Qt's
    // print support is set up once, on the first job's thread.
    m_drawing.setMaxThreadCount(1);
}

LabelPrinter::~LabelPrinter()
{
    m_drawing.waitForDone();
}

int LabelPrinter::print(const LabelData &label, const LabelTarget &given)
{
    const LabelTarget target = given.forModule(label.mac);
    const int job = m_nextJob++;
    LabelOutcome outcome {label, false, false, QString()};
    const auto layout = layOutLabel(label, target.size, target.dpi, &outcome.reason);
    if (!layout) {
        QTimer::singleShot(0, this, [this, job, outcome] { emit finished(job, outcome); });
        return job;
    }
    if (target.kind == LabelTarget::Kind::Zpl) {
        sendZpl(job, outcome, labelZpl(*layout), target);
        return job;
    }
    m_drawing.start([this, job, outcome, layout = *layout, target]() mutable {
        outcome.printed = target.kind == LabelTarget::Kind::Pdf
                              ? writeLabelPdf(layout, target.size, target.name, &outcome.reason)
                              : printLabelToCups(layout, target.size, target.name, &outcome.reason);
        QMetaObject::invokeMethod(this, [this, job, outcome] { emit finished(job, outcome); }, Qt::QueuedConnection);
    });
    return job;
}

void LabelPrinter::sendZpl(int job, const LabelOutcome &pending, const QByteArray &zpl, const LabelTarget &target)
{
    new ZplSend(zpl, target, [this, job, pending](bool printed, bool sent, const QString &failure) {
        LabelOutcome outcome = pending;
        outcome.printed = printed;
        outcome.sent = sent;
        outcome.reason = failure;
        emit finished(job, outcome);
    }, this);
}
