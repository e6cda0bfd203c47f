// SPDX-License-Identifier: MIT
#pragma once

// Asks for a badge (a masked field: a scanner types the code and Enter, a
// person may type it) and, for a new shift, the shift's name. Opened
// window-modal, never with a loop of its own: it answers through finished.

#include <QDialog>

class QLineEdit;

class SignInDialog : public QDialog
{
    Q_OBJECT

public:
    SignInDialog(QWidget *parent, const QString &title, const QString &text, bool askName, bool askBadge);
    ~SignInDialog() override;

    QString code() const;
    QString name() const;

private:
    QLineEdit *m_name = nullptr;
    QLineEdit *m_badge = nullptr;
};
