// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTextEdit>
#include <QtTest>

// Drives the configuration window the way an operator does: widgets found
// by object name, clicks through the real signal path.
class WindowDriver
{
public:
    explicit WindowDriver(QWidget *window)
        : m_window(window)
    {
    }

    template<typename T>
    T *widget(const char *name) const
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    void click(const char *button) const
    {
        QTest::mouseClick(widget<QAbstractButton>(button), Qt::LeftButton);
    }

    QStringList logLines() const
    {
        const QString text = widget<QTextEdit>("textEdit_log")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    void typeInto(const char *field, const QString &text) const
    {
        auto *edit = widget<QLineEdit>(field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    // Types the device path into the selector and presses Open; true when
    // the port opened.
    bool openPort(const QString &path) const
    {
        widget<QComboBox>("comboBox")->setEditText(path);
        click("pushButton_Open");
        return widget<QAbstractButton>("pushButton_Open")->text() == QLatin1String("Close");
    }

    // Switches to Manual and types IP, gateway, port and MAC, in that order.
    void enterManually(const QStringList &values) const
    {
        click("radioButton_handle");
        const char *const names[] = {"lineEdit_ip", "lineEdit_gatway", "lineEdit_port", "lineEdit_mac"};
        for (int i = 0; i < 4; ++i)
            typeInto(names[i], values.value(i));
    }

    // IP, gateway, port and MAC fields, in that order.
    QStringList fields() const
    {
        return {widget<QLineEdit>("lineEdit_ip")->text(), widget<QLineEdit>("lineEdit_gatway")->text(),
                widget<QLineEdit>("lineEdit_port")->text(), widget<QLineEdit>("lineEdit_mac")->text()};
    }

private:
    QWidget *m_window;
};
