// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A print server of the test's own: cupsd in a temporary folder, on a Unix
// socket there, with one printer whose device is a file. Point libcups at
// it with CUPS_SERVER=socketPath().
class CupsServer
{
public:
    explicit CupsServer(const QString &printer);
    ~CupsServer();

    bool isRunning() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString socketPath() const { return m_dir.filePath(QStringLiteral("cups.sock")); }
    // Where the printer's jobs land.
    QString outputPath() const { return m_dir.filePath(QStringLiteral("printed.pdf")); }
    // Runs a CUPS client program (lpadmin, cupsreject, ...) against it.
    bool run(const QString &program, const QStringList &arguments);

private:
    QTemporaryDir m_dir;
    QProcess m_cupsd;
    QString m_error;
};
