// SPDX-License-Identifier: MIT
#include "store/pgconnection.h"

#include "protocol/wireformat.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <libpq-fe.h>
#include <sys/socket.h>

#include <algorithm>
#include <vector>

namespace {

// A server that is alive ends a slow statement itself (its statement_timeout
// is the statement's limit), and the connection stays; an answer that has
// not come this much later is not coming.
constexpr std::chrono::milliseconds answerGrace {2000};
// COPY data goes to libpq in pieces of this size (bytes).
constexpr int copyChunk = 64 * 1024;
// libpq's limits on TCP connections, so that a peer that vanished is
// noticed between statements too (s, s, probes, ms).
const QList<QPair<QByteArray, QString>> tcpSettings = {
    {"keepalives_idle", QStringLiteral("10")},
    {"keepalives_interval", QStringLiteral("3")},
    {"keepalives_count", QStringLiteral("3")},
    {"tcp_user_timeout", QStringLiteral("20000")},
};
// A value shown in a refusal is cut to this many characters.
constexpr int shownValue = 60;

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000, 'g', 3);
}

// What libpq says, on one line: its text spreads over several.
QString cleaned(const char *message)
{
    QStringList parts;
    for (QString part : QString::fromUtf8(message).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        for (const char *prefix : {"ERROR:", "FATAL:"}) {
            if (part.startsWith(QLatin1String(prefix)))
                part = part.mid(int(qstrlen(prefix))).trimmed();
        }
        if (!part.isEmpty())
            parts << part;
    }
    return printable(parts.join(QStringLiteral("; ")));
}

// A statement's error: the server's message and its detail.
QString resultError(const PGresult *result)
{
    const QString primary = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
    if (primary.isEmpty())
        return cleaned(PQresultErrorMessage(result));
    const QString detail = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL));
    return printable(detail.isEmpty() ? primary : primary + QStringLiteral("; ") + detail);
}

// A host libpq would look up itself, blocking its caller: a name, not a
// socket folder, an address or a list of hosts.
bool needsLookup(const QString &host)
{
    QHostAddress address;
    return !host.isEmpty() && !host.startsWith(QLatin1Char('/')) && !host.startsWith(QLatin1Char('@'))
           && !host.contains(QLatin1Char(',')) && !address.setAddress(host);
}

} // namespace

DbFault::Kind faultKind(const QString &sqlState, bool connected)
{
    // Class 08 is the connection's; 57P01-57P03 a server shutting down or
    // starting; 57014 a statement cancelled by its timeout.
    if (!connected || sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01")
        || sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03")
        || sqlState == QLatin1String("57014"))
        return DbFault::Unreachable;
    // Another transaction holds what this one needs: a lock that timed out,
    // a serialisation failure, a deadlock.
    if (sqlState == QLatin1String("55P03") || sqlState == QLatin1String("40001") || sqlState == QLatin1String("40P01"))
        return DbFault::Busy;
    return DbFault::Refused;
}

PgResult::PgResult(pg_result *result)
    : m_result(result, PQclear)
{
}

int PgResult::rows() const
{
    return m_result ? PQntuples(m_result.get()) : 0;
}

bool PgResult::isNull(int row, int column) const
{
    return !m_result || PQgetisnull(m_result.get(), row, column) != 0;
}

QByteArray PgResult::bytes(int row, int column) const
{
    if (isNull(row, column))
        return {};
    return QByteArray(PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column));
}

QByteArray PgResult::view(int row, int column) const
{
    if (isNull(row, column))
        return {};
    return QByteArray::fromRawData(PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column));
}

QString PgResult::text(int row, int column) const
{
    return QString::fromUtf8(bytes(row, column));
}

qint64 PgResult::number(int row, int column) const
{
    return bytes(row, column).toLongLong();
}

bool PgResult::flag(int row, int column) const
{
    return bytes(row, column) == "t";
}

PgConnection::PgConnection(Limits limits, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
    , m_bound(new QTimer(this))
{
    m_bound->setSingleShot(true);
    connect(m_bound, &QTimer::timeout, this, [this] { timedOut(); });
}

PgConnection::~PgConnection()
{
    m_opened = {};
    m_answer = {};
    teardown();
}

bool PgConnection::isOpen() const
{
    return m_phase == Phase::Ready || m_phase == Phase::Busy;
}

int PgConnection::serverVersion() const
{
    return isOpen() ? PQserverVersion(m_conn) : 0;
}

void PgConnection::open(const DatabaseUri &uri, const QString &application, Opened done)
{
    close();
    m_uri = uri;
    m_application = application;
    m_opened = std::move(done);
    m_phase = Phase::LookingUp;
    std::chrono::milliseconds bound = m_limits.connect;
    for (const QString &option : uri.options) {
        // The URI's own limit, in seconds as libpq takes it; libpq does not
        // keep it itself when it connects without blocking.
        bool ok = false;
        const int given = option.section(QLatin1Char('='), 1).toInt(&ok);
        if (option.startsWith(QLatin1String("connect_timeout=")) && ok && given > 0)
            bound = std::chrono::seconds(given);
    }
    m_bound->start(bound);
    const QString host = uri.host.isEmpty() ? qEnvironmentVariable("PGHOST") : uri.host;
    if (!needsLookup(host) || qEnvironmentVariableIsSet("PGHOSTADDR")) {
        QMetaObject::invokeMethod(this, [this] { start({}); }, Qt::QueuedConnection);
        return;
    }
    // libpq would look the name up itself, blocking this thread for as long
    // as the resolver takes: the addresses are found here, without blocking,
    // and given to it with the name.
    m_lookup = QHostInfo::lookupHost(host, this, [this](const QHostInfo &info) {
        if (info.lookupId() != m_lookup)
            return;
        m_lookup = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
            return lose(QStringLiteral("the host %1 cannot be found (%2)").arg(printable(info.hostName()), info.errorString()));
        QStringList addresses;
        for (const QHostAddress &address : info.addresses())
            addresses << address.toString();
        start(addresses);
    });
}

QList<QPair<QByteArray, QByteArray>> PgConnection::settings(const QStringList &addresses) const
{
    QList<QPair<QByteArray, QByteArray>> pairs;
    // A later setting of a key takes the place of an earlier one.
    const auto set = [&pairs](const QByteArray &key, const QString &value) {
        for (auto &pair : pairs) {
            if (pair.first == key) {
                pair.second = value.toUtf8();
                return;
            }
        }
        pairs.append({key, value.toUtf8()});
    };
    const QString host = m_uri.host.isEmpty() ? qEnvironmentVariable("PGHOST") : m_uri.host;
    if (!addresses.isEmpty()) {
        QStringList hosts;
        for (int i = 0; i < addresses.size(); ++i)
            hosts << host;
        set("host", hosts.join(QLatin1Char(',')));
        set("hostaddr", addresses.join(QLatin1Char(',')));
    } else if (!m_uri.host.isEmpty()) {
        set("host", m_uri.host);
    }
    if (m_uri.port > 0)
        set("port", QString::number(m_uri.port));
    set("dbname", m_uri.database);
    if (!m_uri.user.isEmpty())
        set("user", m_uri.user);
    if (!m_uri.password.isEmpty())
        set("password", m_uri.password);
    set("client_encoding", QStringLiteral("UTF8"));
    set("connect_timeout", QString::number(std::max<qint64>(2, (m_limits.connect.count() + 999) / 1000)));
    for (const auto &[key, value] : tcpSettings)
        set(key, value);
    set("application_name", m_application);
    for (const QString &option : m_uri.options)
        set(option.section(QLatin1Char('='), 0, 0).toUtf8(), option.section(QLatin1Char('='), 1));
    return pairs;
}

void PgConnection::start(const QStringList &addresses)
{
    if (m_phase != Phase::LookingUp)
        return;
    const auto pairs = settings(addresses);
    std::vector<const char *> keys;
    std::vector<const char *> values;
    for (const auto &[key, value] : pairs) {
        if (value.contains('\0')) {
            Opened done = std::exchange(m_opened, {});
            teardown();
            return done(DbFault::refused(QStringLiteral("cannot connect to %1: its %2 holds a NUL character")
                                             .arg(m_uri.display(), QString::fromLatin1(key)), ExitCode::Usage));
        }
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    // expand_dbname 0: the database's name is a name, never read as settings.
    m_conn = PQconnectStartParams(keys.data(), values.data(), 0);
    if (!m_conn)
        return lose(QStringLiteral("out of memory"));
    if (PQstatus(m_conn) == CONNECTION_BAD)
        return lose(errorText());
    // Notices (a ROLLBACK outside a transaction, say) would go to stderr.
    PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
    m_phase = Phase::Connecting;
    // As if PQconnectPoll had asked to wait until the socket can be written.
    if (PQsocket(m_conn) < 0)
        return pollConnect();
    watch(false, true);
}

void PgConnection::pollConnect()
{
    switch (PQconnectPoll(m_conn)) {
    case PGRES_POLLING_READING:
        return watch(true, false);
    case PGRES_POLLING_WRITING:
        return watch(false, true);
    case PGRES_POLLING_OK:
        return connected();
    default:
        return lose(errorText());
    }
}

void PgConnection::connected()
{
    m_bound->stop();
    if (PQsetnonblocking(m_conn, 1) != 0)
        return lose(errorText());
    m_phase = Phase::Ready;
    watch(true, false);
    if (Opened done = std::exchange(m_opened, {}))
        done({});
}

void PgConnection::close()
{
    Opened opened = std::exchange(m_opened, {});
    Answer answer = std::exchange(m_answer, {});
    teardown();
    const DbFault fault {DbFault::Unreachable, QStringLiteral("the connection to %1 was closed").arg(m_uri.display())};
    if (opened)
        QMetaObject::invokeMethod(this, [opened, fault] { opened(fault); }, Qt::QueuedConnection);
    if (answer)
        answerLater(answer, fault);
}

void PgConnection::exec(const QString &sql, const QVariantList &values, Answer done)
{
    m_copyData.clear();
    send(sql, values, std::move(done));
}

void PgConnection::copyIn(const QString &sql, const QByteArray &data, Answer done)
{
    if (data.contains('\0')) {
        return answerLater(std::move(done), DbFault::refused(QStringLiteral("the data holds a NUL character, which the "
                                                                            "database cannot store; nothing was sent"),
                                                             ExitCode::Usage));
    }
    m_copyData = data;
    send(sql, {}, std::move(done));
}

void PgConnection::send(const QString &sql, const QVariantList &values, Answer done)
{
    if (m_phase == Phase::Busy)
        return answerLater(std::move(done), DbFault::refused(QStringLiteral("a statement is still running")));
    if (m_phase != Phase::Ready) {
        return answerLater(std::move(done), {DbFault::Unreachable,
                                             QStringLiteral("the connection to %1 was lost").arg(m_uri.display())});
    }
    // The texts outlive the call: libpq copies them into its buffer.
    std::vector<QByteArray> texts;
    texts.reserve(size_t(values.size()));
    std::vector<const char *> pointers;
    for (const QVariant &value : values) {
        if (!value.isValid()) {
            pointers.push_back(nullptr);
            continue;
        }
        texts.push_back(value.userType() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8());
        if (texts.back().contains('\0')) {
            const QString shown = value.toString();
            return answerLater(std::move(done), DbFault::refused(
                QStringLiteral("\"%1%2\" holds a NUL character, which the database cannot store; nothing was sent")
                    .arg(printable(shown.left(shownValue)), shown.size() > shownValue ? QStringLiteral("…") : QString()),
                ExitCode::Usage));
        }
        pointers.push_back(texts.back().constData());
    }
    if (PQsendQueryParams(m_conn, sql.toUtf8().constData(), int(pointers.size()), nullptr, pointers.data(), nullptr,
                          nullptr, 0) == 0) {
        const QString why = errorText();
        teardown();
        return answerLater(std::move(done), {DbFault::Unreachable, why});
    }
    m_answer = std::move(done);
    m_phase = Phase::Busy;
    m_bound->start(m_limits.statement + answerGrace);
    const int flushed = PQflush(m_conn);
    if (flushed < 0) {
        const QString why = errorText();
        Answer answer = std::exchange(m_answer, {});
        teardown();
        return answerLater(answer, {DbFault::Unreachable, why});
    }
    watch(true, flushed == 1);
}

void PgConnection::readable()
{
    switch (m_phase) {
    case Phase::Connecting:
        return pollConnect();
    case Phase::Busy:
        if (PQconsumeInput(m_conn) == 0)
            return lose(errorText());
        return pump();
    case Phase::Ready:
        // Nothing was asked: the server ended the session, or sent a notice.
        if (PQconsumeInput(m_conn) == 0 || PQstatus(m_conn) != CONNECTION_OK)
            teardown();
        return;
    default:
        return;
    }
}

void PgConnection::writable()
{
    if (m_phase == Phase::Connecting)
        pollConnect();
    else if (m_phase == Phase::Busy)
        pump();
}

void PgConnection::pump()
{
    if (m_copy == Copy::Data && !feedCopy())
        return;
    const int flushed = PQflush(m_conn);
    if (flushed < 0)
        return lose(errorText());
    watch(true, flushed == 1);
    while (PQisBusy(m_conn) == 0) {
        PGresult *result = PQgetResult(m_conn);
        if (!result)
            return finish();
        switch (PQresultStatus(result)) {
        case PGRES_COPY_IN:
            // The server waits for the rows: the COPY's result comes once
            // they have all gone.
            PQclear(result);
            if (m_copy == Copy::Ended)
                return lose(QStringLiteral("the server asked for a second COPY"));
            m_copy = Copy::Data;
            return pump();
        case PGRES_COPY_OUT:
        case PGRES_COPY_BOTH:
            PQclear(result);
            return lose(QStringLiteral("the server began a COPY that was not asked for"));
        default:
            take(result);
        }
    }
}

bool PgConnection::feedCopy()
{
    while (m_copied < m_copyData.size()) {
        const int size = int(std::min<qsizetype>(copyChunk, m_copyData.size() - m_copied));
        const int put = PQputCopyData(m_conn, m_copyData.constData() + m_copied, size);
        if (put < 0) {
            lose(errorText());
            return false;
        }
        if (put == 0) { // libpq's buffer is full: once the socket takes more
            watch(true, true);
            return false;
        }
        m_copied += size;
    }
    const int ended = PQputCopyEnd(m_conn, nullptr);
    if (ended < 0) {
        lose(errorText());
        return false;
    }
    if (ended == 0) {
        watch(true, true);
        return false;
    }
    m_copy = Copy::Ended;
    m_copyData.clear();
    m_copied = 0;
    return true;
}

void PgConnection::take(pg_result *result)
{
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_FATAL_ERROR && status != PGRES_BAD_RESPONSE && status != PGRES_NONFATAL_ERROR) {
        m_result = PgResult(result);
        return;
    }
    // The first error tells what went wrong; anything after follows from it.
    if (!m_fault) {
        const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        m_fault = {faultKind(state, PQstatus(m_conn) == CONNECTION_OK), resultError(result), ExitCode::Failure, state};
    }
    PQclear(result);
}

void PgConnection::finish()
{
    m_bound->stop();
    Answer done = std::exchange(m_answer, {});
    DbFault fault = std::exchange(m_fault, {});
    const PgResult result = std::exchange(m_result, {});
    m_copy = Copy::None;
    if (PQstatus(m_conn) != CONNECTION_OK) {
        if (!fault)
            fault = {DbFault::Unreachable, errorText()};
        teardown();
    } else {
        m_phase = Phase::Ready;
        watch(true, false);
    }
    // Last: the answer may send the next statement, or end the connection.
    if (done)
        done(fault, result);
}

void PgConnection::watch(bool read, bool write)
{
    const int socket = m_conn ? PQsocket(m_conn) : -1;
    if (socket != m_socket) {
        dropNotifiers();
        m_socket = socket;
        if (socket >= 0) {
            m_reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            m_writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            connect(m_reader, &QSocketNotifier::activated, this, [this] { readable(); });
            connect(m_writer, &QSocketNotifier::activated, this, [this] { writable(); });
        }
    }
    if (m_reader) {
        m_reader->setEnabled(read);
        m_writer->setEnabled(write);
    }
}

void PgConnection::dropNotifiers()
{
    // Possibly from within one of their own signals: deleted once it returns.
    for (QSocketNotifier *notifier : {m_reader, m_writer}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_reader = nullptr;
    m_writer = nullptr;
    m_socket = -1;
}

void PgConnection::timedOut()
{
    const bool connecting = m_phase == Phase::LookingUp || m_phase == Phase::Connecting;
    const std::chrono::milliseconds bound = connecting ? std::chrono::milliseconds(m_bound->interval())
                                                       : m_limits.statement;
    // Not PQcancel, which waits for the server: the socket is cut, and
    // whatever reads or writes it gives up at once.
    if (m_conn && PQsocket(m_conn) >= 0)
        ::shutdown(PQsocket(m_conn), SHUT_RDWR);
    lose(connecting ? QStringLiteral("no answer within %1 s").arg(seconds(bound))
                    : QStringLiteral("%1 did not answer a statement within %2 s").arg(m_uri.display(), seconds(bound)));
}

void PgConnection::lose(const QString &why)
{
    const bool connecting = m_phase == Phase::LookingUp || m_phase == Phase::Connecting;
    Opened opened = std::exchange(m_opened, {});
    Answer answer = std::exchange(m_answer, {});
    teardown();
    const DbFault fault {DbFault::Unreachable,
                         connecting ? QStringLiteral("cannot connect to %1: %2").arg(m_uri.display(), why) : why};
    if (opened)
        opened(fault);
    else if (answer)
        answer(fault, {});
}

void PgConnection::teardown()
{
    m_bound->stop();
    if (m_lookup >= 0) {
        QHostInfo::abortHostLookup(m_lookup);
        m_lookup = -1;
    }
    dropNotifiers();
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
    m_phase = Phase::Closed;
    m_copy = Copy::None;
    m_copyData.clear();
    m_copied = 0;
    m_result = {};
    m_fault = {};
}

void PgConnection::answerLater(Answer done, const DbFault &fault)
{
    QMetaObject::invokeMethod(this, [done, fault] { done(fault, {}); }, Qt::QueuedConnection);
}

QString PgConnection::errorText() const
{
    return m_conn ? cleaned(PQerrorMessage(m_conn)) : QStringLiteral("no connection");
}
