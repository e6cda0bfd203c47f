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
    QString reason; // why not
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
    // Once it has the label, how long it may keep the line before closing.
    static constexpr std::chrono::milliseconds closeTimeout {3000};

signals:
    void finished(int job, const LabelOutcome &outcome);

private:
    void sendZpl(int job, const LabelOutcome &pending, const QByteArray &zpl, const LabelTarget &target);

    QThreadPool m_drawing;
    int m_nextJob = 1;
};
