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

// One label to a ZPL printer's raw port; deletes itself once it has said
// how it went (an empty failure: printed).
class ZplSend : public QObject
{
public:
    using Done = std::function<void(const QString &failure)>;

    ZplSend(const QByteArray &zpl, const LabelTarget &target, Done done, QObject *parent)
        : QObject(parent), m_zpl(zpl), m_printer(target.describe()), m_done(std::move(done))
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
            finish(m_stage == Stage::Connecting
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
    enum class Stage { Connecting, Sending, Closing };

    void timeUp()
    {
        switch (m_stage) {
        case Stage::Connecting:
            return finish(QStringLiteral("%1 did not accept the connection within %2")
                              .arg(m_printer, seconds(LabelPrinter::connectTimeout)));
        case Stage::Sending:
            return finish(QStringLiteral("%1 did not take the label within %2")
                              .arg(m_printer, seconds(LabelPrinter::sendTimeout)));
        case Stage::Closing:
            // It keeps the line open: printed if it has taken the label whole.
            return finish(unacknowledged() > 0 ? QStringLiteral("%1 did not take the label within %2")
                                                     .arg(m_printer, seconds(LabelPrinter::sendTimeout
                                                                             + LabelPrinter::closeTimeout))
                                               : QString());
        }
    }

    // All is with the system. A printer that reads it closes once we have
    // closed our side; one that went away without reading it resets the
    // connection, which Qt reports as an ordinary close. So the last step is
    // watched on a descriptor of our own.
    void handOver()
    {
        m_stage = Stage::Closing;
        m_timer.start(LabelPrinter::closeTimeout);
        m_socket.disconnect(this);
#ifdef Q_OS_UNIX
        m_fd = ::dup(int(m_socket.socketDescriptor()));
        m_socket.abort();
        if (m_fd < 0 || ::shutdown(m_fd, SHUT_WR) != 0)
            return finish(QStringLiteral("%1: %2").arg(m_printer, QString::fromLocal8Bit(std::strerror(errno))));
        m_closing = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_closing.get(), &QSocketNotifier::activated, this, [this] { drain(); });
        drain();
#else
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { finish(QString()); });
        m_socket.disconnectFromHost();
#endif
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

#ifdef Q_OS_UNIX
    void drain()
    {
        char buffer[256];
        for (;;) {
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0)
                continue; // the printer's own chatter
            if (got == 0) {
                // A printer that read the label acknowledged all of it with
                // its close; one that closed first left some unacknowledged.
                return finish(unacknowledged() > 0
                                  ? QStringLiteral("%1 closed the connection before it had the label").arg(m_printer)
                                  : QString());
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return;
            return finish(QStringLiteral("%1 dropped the connection before it had the label: %2")
                              .arg(m_printer, QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
#endif

    void finish(const QString &failure)
    {
        if (!m_done)
            return;
        m_timer.stop();
        m_socket.disconnect(this);
        m_socket.abort();
        m_closing.reset();
        const Done done = std::exchange(m_done, nullptr);
        deleteLater();
        done(failure);
    }

    QByteArray m_zpl;
    QString m_printer;
    Done m_done;
    QTcpSocket m_socket;
    QTimer m_timer;
    Stage m_stage = Stage::Connecting;
    qint64 m_written = 0;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_closing;
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
    LabelOutcome outcome {label, false, QString()};
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
    new ZplSend(zpl, target, [this, job, pending](const QString &failure) {
        LabelOutcome outcome = pending;
        outcome.printed = failure.isEmpty();
        outcome.reason = failure;
        emit finished(job, outcome);
    }, this);
}
