// SPDX-License-Identifier: MIT
#include "modalcatcher.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

ModalCatcher::ModalCatcher()
{
    connect(&m_timer, &QTimer::timeout, this, &ModalCatcher::dismissModal);
    m_timer.start(20);
}

void ModalCatcher::dismissModal()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    ++m_count;
    m_titles.append(modal->windowTitle());
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        m_texts.append(box->text());
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->done(0);
    else
        modal->close();
}
