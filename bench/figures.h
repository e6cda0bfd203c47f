// SPDX-License-Identifier: MIT
#pragma once

// vev-bench's figures: each a series of runs, printed as median, min and max
// beside what it measures, and written as JSON; and what every group of
// measurements shares.

#include <QJsonArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <deque>
#include <optional>

class QTemporaryDir;

struct Series {
    QString name;
    QString unit;
    QString note;
    QList<double> values;
};

// The figures in the order they are printed; a group adds its own.
class Figures
{
public:
    Series &add(const QString &name, const QString &unit, const QString &note);
    // The median of a series, or nothing when it has no values.
    std::optional<double> median(const QString &name) const;
    void print(QTextStream &out) const;
    QJsonArray json() const;

private:
    std::deque<Series> m_series; // stable addresses for the groups that fill them
};

QString figure(double value);
double median(QList<double> values);

// A monotonic clock in microseconds, the same in every process.
qint64 monotonicUs();
// Wall time of one run of a program, in ms; negative when it failed or
// took longer than timeoutMs.
double timedRun(const QString &program, const QStringList &arguments, int timeoutMs = 30000);
// This program again with arguments, and what it printed.
QList<QByteArray> runChild(const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs);
QProcessEnvironment offscreen();
// A plan of rows, each its own IP and MAC address.
QString writePlan(const QTemporaryDir &dir, const QString &name, int rows);
