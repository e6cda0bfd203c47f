// SPDX-License-Identifier: MIT
#include "figures.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <ctime>

Series &Figures::add(const QString &name, const QString &unit, const QString &note)
{
    m_series.push_back(Series {name, unit, note, {}});
    return m_series.back();
}

std::optional<double> Figures::median(const QString &name) const
{
    for (const Series &series : m_series) {
        if (series.name == name && !series.values.isEmpty())
            return ::median(series.values);
    }
    return std::nullopt;
}

void Figures::print(QTextStream &out) const
{
    out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
               .arg(QStringLiteral("measure"), -32).arg(QStringLiteral("median"), 9).arg(QStringLiteral("min"), 9)
               .arg(QStringLiteral("max"), 9).arg(QStringLiteral("runs"), 5).arg(QStringLiteral("what"));
    for (const Series &s : m_series) {
        if (s.values.isEmpty())
            continue;
        const auto [lo, hi] = std::minmax_element(s.values.begin(), s.values.end());
        out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
                   .arg(s.name + QStringLiteral(" (") + s.unit + QLatin1Char(')'), -32)
                   .arg(figure(::median(s.values)), 9).arg(figure(*lo), 9).arg(figure(*hi), 9)
                   .arg(s.values.size(), 5).arg(s.note);
    }
}

QJsonArray Figures::json() const
{
    QJsonArray json;
    for (const Series &s : m_series) {
        if (s.values.isEmpty())
            continue;
        const auto [lo, hi] = std::minmax_element(s.values.begin(), s.values.end());
        QJsonArray values;
        for (double v : s.values)
            values.append(v);
        json.append(QJsonObject {{"name", s.name}, {"unit", s.unit}, {"what", s.note},
                                 {"median", ::median(s.values)}, {"min", *lo}, {"max", *hi}, {"values", values}});
    }
    return json;
}

QString figure(double v)
{
    return std::abs(v) >= 100 ? QString::number(v, 'f', 0) : QString::number(v, 'f', 1);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    const auto n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

qint64 monotonicUs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

QList<QByteArray> runChild(const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs)
{
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(timeoutMs);
    return child.readAllStandardOutput().split('\n');
}

double timedRun(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess child;
    const qint64 start = monotonicUs();
    child.start(program, arguments);
    const bool ok = child.waitForFinished(timeoutMs) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return ok ? (monotonicUs() - start) / 1000.0 : -1;
}

QProcessEnvironment offscreen()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

QString writePlan(const QTemporaryDir &dir, const QString &name, int rows)
{
    QFile plan(dir.filePath(name));
    plan.open(QIODevice::WriteOnly);
    plan.write("ip,gateway,tcp_port,mac\n");
    for (int row = 0; row < rows; ++row) {
        plan.write(QStringLiteral("10.%1.%2.%3,10.0.0.1,502,02:00:00:%4:%5:%6\n")
                       .arg(1 + row / 62500).arg(row / 250 % 250).arg(1 + row % 250)
                       .arg(row >> 16 & 255, 2, 16, QLatin1Char('0')).arg(row >> 8 & 255, 2, 16, QLatin1Char('0'))
                       .arg(row & 255, 2, 16, QLatin1Char('0')).toLatin1());
    }
    return plan.fileName();
}

