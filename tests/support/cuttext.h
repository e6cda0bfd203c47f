// SPDX-License-Identifier: MIT
#pragma once

// Texts a window shows cut: each visible label, button, group box title and
// table header section whose text, as its font measures it, is wider than
// the room its widget gives it (a wrapped label: taller than its height).
// One line each, "QLabel label_plan: \"Plan: 3 of 4…\" needs 312 px, has 250".
// Empty when nothing is cut, in any language the window is in.

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace cuttext {

inline QString shown(QString text)
{
    // A mnemonic's & is drawn as an underline; && as one &.
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

inline int widest(const QFontMetrics &metrics, const QString &text)
{
    int width = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

inline QString said(const QWidget *widget, const QString &text, int needs, int has, const char *unit = "px")
{
    return QStringLiteral("%1 %2: \"%3\" needs %4 %6, has %5")
        .arg(QLatin1String(widget->metaObject()->className()), widget->objectName(), text)
        .arg(needs).arg(has).arg(QLatin1String(unit));
}

inline void checkLabel(const QLabel *label, QStringList *cut)
{
    const QString text = label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text())
                             ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                             : shown(label->text());
    if (text.isEmpty())
        return;
    const int room = label->contentsRect().width() - 2 * std::max(0, label->margin()) - std::max(0, label->indent());
    if (label->wordWrap()) {
        if (label->height() < label->heightForWidth(label->width()))
            *cut << said(label, text, label->heightForWidth(label->width()), label->height(), "px high");
        return;
    }
    if (const int needs = widest(label->fontMetrics(), text); needs > room)
        *cut << said(label, text, needs, room);
}

inline void checkButton(const QAbstractButton *button, QStringList *cut)
{
    const QString text = shown(button->text());
    if (text.isEmpty())
        return;
    // A push button draws its text inside its frame and margin; a check box
    // beside its indicator: what its own size hint asks for.
    int needs = button->minimumSizeHint().width();
    int has = button->width();
    if (qobject_cast<const QPushButton *>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        has = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
        needs = widest(button->fontMetrics(), text) + (button->icon().isNull() ? 0 : button->iconSize().width());
    }
    if (needs > has)
        *cut << said(button, text, needs, has);
}

inline void checkHeader(const QHeaderView *header, QStringList *cut)
{
    if (header->orientation() != Qt::Horizontal || !header->model())
        return;
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int section = 0; section < header->count(); ++section) {
        if (header->isSectionHidden(section))
            continue;
        const QString text = header->model()->headerData(section, Qt::Horizontal).toString();
        // What of the section the header shows, scrolled as it is.
        const int from = std::max(0, header->sectionViewportPosition(section));
        const int to = std::min(header->viewport()->width(), header->sectionViewportPosition(section) + header->sectionSize(section));
        if (const int needs = widest(header->fontMetrics(), text) + margin; needs > to - from)
            *cut << said(header, text, needs, std::max(0, to - from));
    }
}

} // namespace cuttext

inline QStringList cutTexts(const QWidget *window)
{
    QStringList cut;
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisible())
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            cuttext::checkLabel(label, &cut);
        else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            cuttext::checkButton(button, &cut);
        else if (const auto *header = qobject_cast<const QHeaderView *>(widget))
            cuttext::checkHeader(header, &cut);
        else if (const auto *group = qobject_cast<const QGroupBox *>(widget)) {
            const int needs = cuttext::widest(group->fontMetrics(), cuttext::shown(group->title()));
            if (!group->title().isEmpty() && needs > group->contentsRect().width())
                cut << cuttext::said(group, group->title(), needs, group->contentsRect().width());
        }
    }
    return cut;
}
