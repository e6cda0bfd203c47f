// SPDX-License-Identifier: MIT
#include "stationwindow/signindialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SignInDialog::SignInDialog(QWidget *parent, const QString &title, const QString &text, bool askName, bool askBadge)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dialog_signIn"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    auto *layout = new QFormLayout(this);
    auto *said = new QLabel(text, this);
    said->setWordWrap(true);
    layout->addRow(said);
    if (askName) {
        m_name = new QLineEdit(this);
        m_name->setObjectName(QStringLiteral("lineEdit_shiftName"));
        m_name->setAccessibleName(tr("The shift's name"));
        m_name->setPlaceholderText(tr("may be left empty"));
        layout->addRow(tr("Shift:"), m_name);
    }
    if (askBadge) {
        m_badge = new QLineEdit(this);
        m_badge->setObjectName(QStringLiteral("lineEdit_badge"));
        m_badge->setAccessibleName(tr("Badge code"));
        // Never shown, never offered back by an input method.
        m_badge->setEchoMode(QLineEdit::Password);
        m_badge->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
        layout->addRow(tr("Badge:"), m_badge);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("confirm"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The scanner's keys go to the badge at once.
    if (m_badge)
        m_badge->setFocus();
    else if (m_name)
        m_name->setFocus();
}

SignInDialog::~SignInDialog()
{
    // The code leaves no copy behind in the field's buffer.
    if (m_badge)
        m_badge->clear();
}

QString SignInDialog::code() const
{
    return m_badge ? m_badge->text() : QString();
}

QString SignInDialog::name() const
{
    return m_name ? m_name->text().trimmed() : QString();
}
