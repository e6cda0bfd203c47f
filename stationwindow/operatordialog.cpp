// SPDX-License-Identifier: MIT
#include "stationwindow/operatordialog.h"

#include "plan/records.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

OperatorDialog::OperatorDialog(QWidget *parent, const QString &text)
    : QDialog(parent)
    , m_name(new QLineEdit(this))
    , m_refusal(new QLabel(this))
{
    setObjectName(QStringLiteral("dialog_operator"));
    setWindowTitle(tr("Who is at the bench?"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QFormLayout(this);
    auto *said = new QLabel(text, this);
    said->setWordWrap(true);
    layout->addRow(said);
    m_name->setObjectName(QStringLiteral("lineEdit_operatorName"));
    m_name->setAccessibleName(tr("Operator's name"));
    layout->addRow(tr("&Name:"), m_name);
    m_refusal->setObjectName(QStringLiteral("label_operatorRefusal"));
    m_refusal->setWordWrap(true);
    m_refusal->setStyleSheet(QStringLiteral("color:#b71c1c; font-weight:bold;"));
    m_refusal->hide();
    layout->addRow(m_refusal);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("confirm"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &OperatorDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_name->setFocus();
}

QString OperatorDialog::name() const
{
    return m_name->text().trimmed();
}

void OperatorDialog::accept()
{
    QString why;
    if (name().isEmpty())
        why = tr("Type your name: nothing is recorded without the name of who is at the bench.");
    else if (!recordName(name(), tr("The name"), &why))
        why += QLatin1Char('.');
    if (why.isEmpty())
        return QDialog::accept();
    m_refusal->setText(why);
    m_refusal->show();
    m_name->setFocus();
}
