// SPDX-License-Identifier: MIT
#include "postgresserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int serverWaitS = 60; // pg_ctl's wait for the server to start or stop, on a busy machine
constexpr int processWaitMs = (serverWaitS + 30) * 1000;
const QString superuser = QStringLiteral("vev");

QString binary(const char *name)
{
    return QStringLiteral(VEV_PG_BINDIR "/") + QLatin1String(name);
}

} // namespace

PostgresServer::PostgresServer(bool durable)
    : m_durable(durable)
{
    make();
}

PostgresServer::PostgresServer(const QString &netns, const QString &address)
    : m_durable(false)
    , m_netns(netns)
    , m_address(address)
{
    make();
}

void PostgresServer::make()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return;
    }
    // The server runs as postgres: the folder is its own.
    if (::geteuid() == 0) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres || ::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_error = QStringLiteral("no postgres user to run the server as (is the postgresql package installed?)");
            return;
        }
    }
    if (!run(binary("initdb"), {"-D", m_dir.filePath(QStringLiteral("data")), "-U", superuser, "-A", "trust", "-N",
                                "--no-locale", "-E", "UTF8"}))
        return;
    if (!m_address.isEmpty()) {
        QFile hba(m_dir.filePath(QStringLiteral("data/pg_hba.conf")));
        if (!hba.open(QIODevice::Append) || hba.write(QStringLiteral("host all %1 %2/24 trust\n").arg(superuser, m_address)
                                                          .toLatin1()) < 0) {
            m_error = QStringLiteral("cannot let TCP logins in: ") + hba.errorString();
            return;
        }
    }
    m_running = start();
}

PostgresServer::~PostgresServer()
{
    if (m_running)
        stop();
}

bool PostgresServer::run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    // In a namespace of its own, the server and its sessions are there.
    const QStringList inside = m_netns.isEmpty() ? QStringList() : QStringList {"netns", "exec", m_netns};
    if (::geteuid() == 0 && !inside.isEmpty())
        process.start(QStringLiteral("ip"), inside + QStringList {"runuser", "-u", "postgres", "--", program} + arguments);
    else if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"), QStringList {"-u", "postgres", "--", program} + arguments);
    else
        process.start(program, arguments);
    const bool finished = process.waitForFinished(processWaitMs);
    const QString said = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = said;
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (!finished)
            process.kill();
        m_error = QStringLiteral("%1 failed: %2").arg(QFileInfo(program).fileName(), said);
        return false;
    }
    return true;
}

QString PostgresServer::startOptions() const
{
    // A socket in the folder and no TCP port; a test's data need not
    // outlive a power cut.
    return QStringLiteral("-k %1 -c listen_addresses=%2").arg(m_dir.path(), m_address)
           + (m_durable ? QString() : QStringLiteral(" -c fsync=off -c full_page_writes=off"));
}

std::unique_ptr<QProcess> PostgresServer::restartInBackground(int downMs)
{
    const QString control = QStringLiteral("'%1' -D '%2'").arg(binary("pg_ctl"), m_dir.filePath(QStringLiteral("data")));
    const QString script = QStringLiteral("%1 -m immediate -w stop; sleep %2; %1 -l '%3' -w -t %4 -o '%5' start")
                               .arg(control).arg(double(downMs) / 1000, 0, 'f', 3)
                               .arg(m_dir.filePath(QStringLiteral("log"))).arg(serverWaitS).arg(startOptions());
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(m_dir.path());
    process->setProcessChannelMode(QProcess::MergedChannels);
    if (::geteuid() == 0)
        process->start(QStringLiteral("runuser"), {"-u", "postgres", "--", "sh", "-c", script});
    else
        process->start(QStringLiteral("sh"), {"-c", script});
    return process;
}

bool PostgresServer::start()
{
    const QString options = startOptions();
    m_running = run(binary("pg_ctl"), {"-D", m_dir.filePath(QStringLiteral("data")), "-l",
                                       m_dir.filePath(QStringLiteral("log")), "-w", "-t", QString::number(serverWaitS),
                                       "-o", options, "start"});
    if (m_running && !m_watched)
        m_watched = watchOver();
    return m_running;
}

bool PostgresServer::watchOver()
{
    // A test killed at its time limit runs no destructor: a watch of its own
    // stops the server and removes its folder once the test's process has
    // gone, so no server is left running for the next run to meet. It lets
    // go of the test's output at once: ctest waits for that to close.
    const QString stop = QStringLiteral("'%1' -D '%2' stop -m immediate").arg(binary("pg_ctl"), m_dir.filePath(QStringLiteral("data")));
    const QString script = QStringLiteral("exec </dev/null >/dev/null 2>&1; while kill -0 %1; do sleep 1; done; %2 %3; rm -rf '%4'")
                               .arg(QCoreApplication::applicationPid())
                               .arg(::geteuid() == 0 ? QStringLiteral("runuser -u postgres --") : QString(), stop, m_dir.path());
    return QProcess::startDetached(QStringLiteral("sh"), {"-c", script});
}

bool PostgresServer::stop()
{
    m_running = !run(binary("pg_ctl"), {"-D", m_dir.filePath(QStringLiteral("data")), "-m", "fast", "-w", "-t",
                                        QString::number(serverWaitS), "stop"});
    return !m_running;
}

QString PostgresServer::uri(const QString &database) const
{
    return QStringLiteral("postgresql://%1@/%2?host=%3").arg(superuser, database, m_dir.path());
}

QString PostgresServer::tcpUri(const QString &database) const
{
    return QStringLiteral("postgresql://%1@%2/%3").arg(superuser, m_address, database);
}

QString PostgresServer::createDatabase(const QString &name)
{
    const QString failed = sql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
    if (!failed.isEmpty()) {
        m_error = failed;
        return {};
    }
    return uri(name);
}

QString PostgresServer::sql(const QString &database, const QString &statements, QString *rows)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(binary("psql"), {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", m_dir.path(), "-U", superuser,
                                   "-d", database, "-c", statements});
    if (!process.waitForFinished(processWaitMs)) {
        process.kill();
        return QStringLiteral("psql did not finish");
    }
    const QString said = QString::fromLocal8Bit(process.readAll());
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (rows)
        *rows = ok ? said.trimmed() : QString();
    return ok ? QString() : QStringLiteral("psql: ") + said;
}

std::unique_ptr<QProcess> PostgresServer::sqlInBackground(const QString &database, const QString &statements)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(binary("psql"), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", m_dir.path(), "-U", superuser, "-d", database,
                                    "-c", statements});
    return process;
}

qint64 PostgresServer::pid() const
{
    if (!m_running)
        return 0;
    QFile file(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readLine().trimmed().toLongLong();
}
