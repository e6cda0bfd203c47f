// SPDX-License-Identifier: MIT
#include "cupsserver.h"

#include "programrun.h"
#include "tamper.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {

// The PDF printer of cups-filters: it passes PDF on as PDF.
const char *const pdfPrinterDriver = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";
constexpr int startMs = 10000;

} // namespace

CupsServer::CupsServer(const QString &printer)
{
    const QString dir = m_dir.path();
    // The filters run as another user, and must reach the spool and the output.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                   | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                   | QFileDevice::ExeOther);
    for (const char *sub : {"spool", "cache", "state", "log", "tmp"})
        QDir(dir).mkdir(QLatin1String(sub));
    QFile::setPermissions(dir + QStringLiteral("/tmp"), QFileDevice::Permissions(0x7777));
    const QString server = QStringLiteral("Listen %1\nBrowsing No\nDefaultAuthType None\nLogLevel info\n"
                                          "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                          "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n"
                                          "  </Limit>\n</Policy>\n").arg(socketPath());
    const QString files = QStringLiteral("FileDevice Yes\nServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\n"
                                         "StateDir %1/state\nTempDir %1/tmp\nServerBin /usr/lib/cups\n"
                                         "DataDir /usr/share/cups\nAccessLog %1/log/access_log\n"
                                         "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\n").arg(dir);
    const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {"/usr/sbin", "/sbin"});
    if (cupsd.isEmpty() || !QFile::exists(QLatin1String(pdfPrinterDriver))) {
        m_error = QStringLiteral("cupsd or the PDF printer driver is missing (packages cups, cups-filters)");
        return;
    }
    writeFile(m_dir, QStringLiteral("cupsd.conf"), server.toUtf8());
    writeFile(m_dir, QStringLiteral("cups-files.conf"), files.toUtf8());
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own: on its way out cupsd signals its whole process
    // group, which would otherwise include the test.
    m_cupsd.start(QStringLiteral("setsid"), {cupsd, "-f", "-c", dir + QStringLiteral("/cupsd.conf"), "-s",
                                             dir + QStringLiteral("/cups-files.conf")});
    m_cupsd.waitForStarted();
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(socketPath()) && m_cupsd.state() == QProcess::Running && clock.elapsed() < startMs)
        QThread::msleep(20);
    if (!QFile::exists(socketPath())) {
        m_error = QStringLiteral("cupsd did not start: ") + QString::fromLocal8Bit(m_cupsd.readAll());
        return;
    }
    run(QStringLiteral("lpadmin"), {"-p", printer, "-E", "-v", QStringLiteral("file://") + outputPath(), "-P",
                                    QLatin1String(pdfPrinterDriver)});
}

CupsServer::~CupsServer()
{
    if (m_cupsd.state() != QProcess::NotRunning) {
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(5000))
            m_cupsd.kill();
        m_cupsd.waitForFinished();
    }
}

bool CupsServer::run(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), socketPath());
    const ProgramRun done = runProgram(program, arguments, environment);
    if (done.code != 0 && m_error.isEmpty())
        m_error = program + QStringLiteral(" failed: ") + done.err;
    return done.code == 0;
}
