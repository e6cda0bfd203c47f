// SPDX-License-Identifier: MIT
#pragma once

// Asks who is at the bench, at every Start of a station without a roster
// (and between runs before anything is recorded): the field starts empty, and an empty name (or one no audit line can
// carry) is refused in the dialog, which stays open to be answered.
// Opened window-modal, never with a loop of its own.

#include <QDialog>

class QLabel;
class QLineEdit;

class OperatorDialog : public QDialog
{
    Q_OBJECT

public:
    // text: why the name is asked.
    OperatorDialog(QWidget *parent, const QString &text);

    // Once accepted: the name, trimmed.
    QString name() const;

    void accept() override;

private:
    QLineEdit *m_name;
    QLabel *m_refusal;
};
