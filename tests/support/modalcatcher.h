// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Watches for modal dialogs while a test runs, records the text of each
// message box and dismisses it, so no test can hang on a box.
class ModalCatcher : public QObject
{
    Q_OBJECT

public:
    ModalCatcher();

    QStringList texts() const { return m_texts; }
    // The dialogs seen so far, in order; also those without text.
    int count() const { return m_count; }
    QString windowTitle(int i) const { return m_titles.value(i); }

private:
    void dismissModal();

    QTimer m_timer;
    QStringList m_texts;
    QStringList m_titles;
    int m_count = 0;
};
