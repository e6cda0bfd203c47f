// SPDX-License-Identifier: MIT
#pragma once

// Prints labels without holding up the caller's event loop: ZPL goes over
// a non-blocking socket, PDF files and CUPS jobs are made on a thread of the
// printer's own. Each print() ends with one finished().

#include "label/label.h"

#include <QObject>
#include <QThreadPool>

#include <optional>

struct LabelOutcome {
    LabelData label;
    bool printed = false;
    // Sent whole, but the printer did not say how it stands: neither printed
    // nor not printed (a reprint could put a second label on the module).
    bool sent = false;
    QString reason; // why not printed
};
Q_DECLARE_METATYPE(LabelOutcome)

class LabelPrinter : public QObject
{
    Q_OBJECT

public:
    explicit LabelPrinter(QObject *parent = nullptr);
    // Waits for the files and jobs under way, which cannot be stopped midway.
    ~LabelPrinter() override;

    // Starts printing; finished() with this job's number follows, always
    // later than the call. Needs a QGuiApplication.
    int print(const LabelData &label, const LabelTarget &target);

    // A ZPL printer must accept the connection within this time, and take
    // the label within the next.
    static constexpr std::chrono::milliseconds connectTimeout {3000};
    static constexpr std::chrono::milliseconds sendTimeout {10000};
    // Once it has the label, how long it has to answer the host status
    // asked for after it (paper out, head open, paused).
    static constexpr std::chrono::milliseconds statusTimeout {5000};

signals:
    void finished(int job, const LabelOutcome &outcome);

private:
    void sendZpl(int job, const LabelOutcome &pending, const QByteArray &zpl, const LabelTarget &target);

    QThreadPool m_drawing;
    int m_nextJob = 1;
};
