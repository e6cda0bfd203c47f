// SPDX-License-Identifier: MIT
#include "window/cloudconfigured.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>
#include <QTranslator>
#include <QtTest>

namespace {

HostEnvironment fakeHost(const QStringList &ports)
{
    HostEnvironment env;
    env.freePorts = [ports] { return ports; };
    env.localHostName = [] { return QStringLiteral("PC01"); };
    env.lookupHost = [](const QString &) { return QList<QHostAddress>(); };
    env.interfaces = [] { return QList<HostInterface>(); };
    env.defaultRoute = [] { return std::optional<DefaultRoute>(); };
    return env;
}

QString textOf(QWidget *widget)
{
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *group = qobject_cast<QGroupBox *>(widget))
        return group->title();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *log = qobject_cast<QTextEdit *>(widget))
        return log->toPlainText();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    return QString();
}

// Marks every text that passes through the translation function, with the
// context it was asked for.
class MarkingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        return QLatin1Char('[') + QLatin1String(context) + QLatin1Char(']') + QLatin1String(source);
    }
};

// The width a text needs at the widget's font, by the style's metrics.
int needed(QWidget *widget)
{
    QStyle *style = widget->style();
    const int text = widget->fontMetrics().horizontalAdvance(textOf(widget));
    if (qobject_cast<QRadioButton *>(widget)) {
        return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, widget)
               + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, widget) + text;
    }
    if (qobject_cast<QPushButton *>(widget)) {
        return text + 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget)
               + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
    }
    if (qobject_cast<QGroupBox *>(widget))
        return text + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
    return text;
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void widgets_data();
    void widgets();
    void windowSettings();
    void initialState();
    void textsGoThroughTranslation();
    void raiseOrderPutsClearOnTop();
    void tabChain();
    void geometryIsFixed();
    void portSelectorListsFreePorts();
    void validatorsJudgeTypedText_data();
    void validatorsJudgeTypedText();
    void iconComesFromWorkingDirectory();
    void existingObjectNameIsKept();
    void accessibleNames();
};

void TestForm::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry"); // null: placed by its container
    QTest::addColumn<bool>("expanding"); // false: the class's own default is left
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const char *cls, const char *parent, QRect geometry,
                        bool expanding, const char *text) {
        QTest::newRow(name) << name << cls << parent << geometry << expanding << text;
    };
    row("textEdit_log", "QTextEdit", "centralWidget", {381, 19, 209, 231}, false, "");
    row("label", "QLabel", "centralWidget", {381, 1, 18, 16}, true, "Log");
    row("groupBox", "QGroupBox", "centralWidget", {10, 0, 179, 67}, true, "Port Setting");
    row("comboBox", "QComboBox", "groupBox", {3, 24, 69, 20}, true, "");
    row("pushButton_Open", "QPushButton", "groupBox", {78, 23, 75, 23}, true, "Open");
    row("groupBox_2", "QGroupBox", "centralWidget", {10, 70, 339, 196}, true, "Configuration");
    row("lineEdit_port", "QLineEdit", "groupBox_2", {80, 146, 133, 20}, true, "");
    row("radioButton_auto", "QRadioButton", "groupBox_2", {21, 50, 47, 16}, true, "Auto");
    row("label_3", "QLabel", "groupBox_2", {21, 120, 36, 16}, true, "Gatway");
    row("lineEdit_mac", "QLineEdit", "groupBox_2", {80, 172, 241, 20}, true, "");
    row("pushButton_connect", "QPushButton", "groupBox_2", {80, 60, 75, 23}, true, "Connect");
    row("label_5", "QLabel", "groupBox_2", {21, 172, 18, 16}, true, "MAC");
    row("label_4", "QLabel", "groupBox_2", {21, 146, 24, 16}, true, "Port");
    row("label_2", "QLabel", "groupBox_2", {21, 94, 16, 16}, true, "IP");
    row("radioButton_handle", "QRadioButton", "groupBox_2", {21, 72, 53, 16}, true, "Manual");
    row("pushButton_config", "QPushButton", "groupBox_2", {170, 60, 75, 23}, true, "Apply");
    row("splitter", "QSplitter", "groupBox_2", {80, 90, 211, 20}, false, "");
    row("lineEdit_ip", "QLineEdit", "splitter", {}, true, "");
    row("splitter_2", "QSplitter", "groupBox_2", {80, 120, 211, 20}, false, "");
    row("lineEdit_gatway", "QLineEdit", "splitter_2", {}, true, "");
    row("pushButton_about", "QPushButton", "groupBox_2", {260, 60, 75, 23}, true, "About");
    row("pushButton_logclear", "QPushButton", "centralWidget", {450, 260, 75, 23}, true, "Clear");
}

void TestForm::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, cls);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(bool, expanding);

    // At the desktop's font, small to large, every text is drawn whole: a
    // caption or radio button may grow to the right into free space, the
    // rest stays where it was drawn.
    const QFont desktop = QApplication::font();
    for (const int points : {9, 12, 14}) {
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points));
        cloudConfigured window(fakeHost({}));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *widget = window.findChild<QWidget *>(name);
        QVERIFY(widget);
        if (!geometry.isNull()) {
            QCOMPARE(widget->pos(), geometry.topLeft());
            QCOMPARE(widget->height(), geometry.height());
            QVERIFY(widget->width() >= geometry.width());
        }
        QVERIFY2(needed(widget) <= widget->width(), qPrintable(QStringLiteral("%1 pt: %2 of %3 px").arg(points)
                                                                .arg(needed(widget)).arg(widget->width())));
        QVERIFY(widget->font().pixelSize() < 0 || widget->font().pixelSize() >= 9);
        for (QWidget *sibling : widget->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(sibling == widget || !sibling->isVisible() || !sibling->geometry().intersects(widget->geometry()),
                     qPrintable(sibling->objectName()));
        }
    }
    QApplication::setFont(desktop);

    cloudConfigured window(fakeHost({}));
    auto *widget = window.findChild<QWidget *>(name);
    QVERIFY2(widget->inherits(qPrintable(cls)), widget->metaObject()->className());
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QTEST(textOf(widget), "text");

    const QSizePolicy policy = widget->sizePolicy();
    if (expanding) {
        QCOMPARE(policy.horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(policy.verticalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(policy.horizontalStretch(), 0);
        QCOMPARE(policy.verticalStretch(), 0);
    } else if (cls == QLatin1String("QTextEdit")) {
        QCOMPARE(policy, QTextEdit().sizePolicy());
    } else {
        QCOMPARE(policy, QSplitter().sizePolicy());
    }
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        QCOMPARE(edit->alignment(), Qt::Alignment(Qt::AlignCenter));
}

void TestForm::windowSettings()
{
    cloudConfigured window(fakeHost({}));
    QCOMPARE(window.objectName(), QStringLiteral("cloudConfiguredClass"));
    QCOMPARE(window.size(), QSize(601, 351));
    QCOMPARE(window.windowTitle(), QStringLiteral("TELVOR: VeV-Idire Configuration"));
    QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("centralWidget"));
    QCOMPARE(window.menuBar()->objectName(), QStringLiteral("menuBar"));
    QCOMPARE(window.statusBar()->objectName(), QStringLiteral("statusBar"));
    auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(window.menuBar()->actions().isEmpty());
    QVERIFY(toolBar->actions().isEmpty());
    QVERIFY(window.statusBar()->currentMessage().isEmpty());
    QVERIFY(window.findChild<QGroupBox *>(QStringLiteral("groupBox"))->maximumSize() == QSize(179, 67));
    QCOMPARE(window.findChild<QSplitter *>(QStringLiteral("splitter"))->count(), 1);
    QCOMPARE(window.findChild<QSplitter *>(QStringLiteral("splitter_2"))->count(), 1);
    QVERIFY(window.findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->hasFrame());
    QVERIFY(!window.findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->isClearButtonEnabled());
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->focusPolicy(), Qt::StrongFocus);
}

void TestForm::initialState()
{
    cloudConfigured window(fakeHost({}));
    QVERIFY(window.findChild<QRadioButton *>(QStringLiteral("radioButton_auto"))->isChecked());
    QVERIFY(!window.findChild<QRadioButton *>(QStringLiteral("radioButton_handle"))->isChecked());
    for (const char *name : {"lineEdit_ip", "lineEdit_gatway", "lineEdit_port", "lineEdit_mac"}) {
        auto *field = window.findChild<QLineEdit *>(QLatin1String(name));
        QVERIFY2(!field->isEnabled(), name);
        QVERIFY2(field->text().isEmpty(), name);
        QVERIFY2(field->validator(), name);
    }
    auto *log = window.findChild<QTextEdit *>(QStringLiteral("textEdit_log"));
    QVERIFY(log->isReadOnly());
    QVERIFY(log->document()->isEmpty());
    auto *open = window.findChild<QPushButton *>(QStringLiteral("pushButton_Open"));
    QCOMPARE(open->text(), QStringLiteral("Open"));
    QCOMPARE(open->styleSheet(), QStringLiteral("background-color:rgb(0, 170, 0);"));
    QVERIFY(window.findChild<QPushButton *>(QStringLiteral("pushButton_config"))->isEnabled());
    QVERIFY(window.findChild<QComboBox *>(QStringLiteral("comboBox"))->isEnabled());
}

void TestForm::textsGoThroughTranslation()
{
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    cloudConfigured window(fakeHost({}));
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(window.windowTitle(), QStringLiteral("[cloudConfiguredClass]TELVOR: VeV-Idire Configuration"));
    const QStringList names {"label", "groupBox", "pushButton_Open", "groupBox_2", "radioButton_auto",
                             "label_3", "pushButton_connect", "label_5", "label_4", "label_2",
                             "radioButton_handle", "pushButton_config", "pushButton_about",
                             "pushButton_logclear"};
    for (const QString &name : names) {
        const QString text = textOf(window.findChild<QWidget *>(name));
        QVERIFY2(text.startsWith(QLatin1String("[cloudConfiguredClass]")), qPrintable(name + ": " + text));
    }
}

void TestForm::raiseOrderPutsClearOnTop()
{
    cloudConfigured window(fakeHost({}));
    QStringList stacking;
    const auto children = window.centralWidget()->children();
    for (QObject *child : children)
        stacking << child->objectName();
    QCOMPARE(stacking.mid(stacking.size() - 5),
             (QStringList {"label", "groupBox", "groupBox_2", "textEdit_log", "pushButton_logclear"}));
}

void TestForm::tabChain()
{
    const QStringList chain {"comboBox", "pushButton_Open", "radioButton_auto", "radioButton_handle",
                             "pushButton_connect", "pushButton_config", "lineEdit_ip", "lineEdit_gatway",
                             "lineEdit_port", "lineEdit_mac", "textEdit_log", "pushButton_logclear",
                             "pushButton_about"};
    cloudConfigured window(fakeHost({}));
    QWidget *start = window.findChild<QWidget *>(chain.first());
    QStringList visited;
    QWidget *widget = start;
    do {
        if (chain.contains(widget->objectName()) && !visited.contains(widget->objectName()))
            visited << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start);
    QCOMPARE(visited, chain);
}

void TestForm::geometryIsFixed()
{
    cloudConfigured window(fakeHost({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto widgets = window.centralWidget()->findChildren<QWidget *>();
    QHash<QWidget *, QRect> before;
    for (QWidget *widget : widgets)
        before.insert(widget, widget->geometry());

    window.resize(900, 640);
    QTRY_COMPARE(window.size(), QSize(900, 640));
    for (QWidget *widget : widgets)
        QCOMPARE(widget->geometry(), before.value(widget));
}

void TestForm::portSelectorListsFreePorts()
{
    cloudConfigured none(fakeHost({}));
    auto *empty = none.findChild<QComboBox *>(QStringLiteral("comboBox"));
    QCOMPARE(empty->count(), 0);
    QCOMPARE(empty->currentText(), QString());

    cloudConfigured some(fakeHost({"ttyS0", "ttyUSB0"}));
    auto *combo = some.findChild<QComboBox *>(QStringLiteral("comboBox"));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("ttyS0"));
    QCOMPARE(combo->itemText(1), QStringLiteral("ttyUSB0"));
    QCOMPARE(combo->currentIndex(), 0);
}

void TestForm::validatorsJudgeTypedText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    QTest::newRow("port max") << "lineEdit_port" << "65535" << "65535";
    QTest::newRow("port zero") << "lineEdit_port" << "0" << "0";
    QTest::newRow("port sixth digit") << "lineEdit_port" << "123456" << "12345";
    QTest::newRow("port above range") << "lineEdit_port" << "65536" << "6553";
    QTest::newRow("port letters") << "lineEdit_port" << "5x0-2" << "502";
    QTest::newRow("ip") << "lineEdit_ip" << "192.168.1.20" << "192.168.1.20";
    QTest::newRow("ip group above 255") << "lineEdit_ip" << "192.168.1.256" << "192.168.1.25";
    QTest::newRow("ip 999") << "lineEdit_ip" << "999.1.1.1" << "99.1.1.1";
    QTest::newRow("ip run of dots") << "lineEdit_ip" << "10..0.0.1" << "10.0.0.1";
    QTest::newRow("ip fifth group") << "lineEdit_ip" << "10.0.0.1.5" << "10.0.0.15";
    QTest::newRow("ip letters and blanks") << "lineEdit_ip" << "1 0.a0.0.1" << "10.0.0.1";
    QTest::newRow("gateway") << "lineEdit_gatway" << "192.168.1.1" << "192.168.1.1";
    QTest::newRow("gateway group above 255") << "lineEdit_gatway" << "300" << "30";
    QTest::newRow("mac bare") << "lineEdit_mac" << "AABBCCDDEEFF" << "AABBCCDDEEFF";
    QTest::newRow("mac colons") << "lineEdit_mac" << "AA:BB:CC:DD:EE:FF" << "AA:BB:CC:DD:EE:FF";
    QTest::newRow("mac dashes") << "lineEdit_mac" << "aa-bb-cc-dd-ee-ff" << "aa-bb-cc-dd-ee-ff";
    QTest::newRow("mac thirteenth digit") << "lineEdit_mac" << "AABBCCDDEEFF0" << "AABBCCDDEEFF";
    QTest::newRow("mac not hex") << "lineEdit_mac" << "AG" << "A";
    QTest::newRow("mac mixed separators") << "lineEdit_mac" << "AA:BB-CC" << "AA:BB";
}

void TestForm::validatorsJudgeTypedText()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);

    cloudConfigured window(fakeHost({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Typing needs the fields enabled, as in Manual mode.
    QTest::mouseClick(window.findChild<QRadioButton *>(QStringLiteral("radioButton_handle")), Qt::LeftButton);
    auto *edit = window.findChild<QLineEdit *>(field);
    QVERIFY(edit->isEnabled());
    QTest::keyClicks(edit, typed);
    QTEST(edit->text(), "kept");
}

void TestForm::iconComesFromWorkingDirectory()
{
    const QString previous = QDir::currentPath();
    QTemporaryDir withIcon;
    QTemporaryDir without;
    QVERIFY(withIcon.isValid() && without.isValid());
    QVERIFY(QFile::copy(QStringLiteral(VEV_ICON_FILE), withIcon.filePath(QStringLiteral("icon.png"))));

    QVERIFY(QDir::setCurrent(withIcon.path()));
    {
        cloudConfigured window(fakeHost({}));
        QVERIFY(!window.windowIcon().pixmap(QSize(32, 32)).isNull());
    }
    QVERIFY(QDir::setCurrent(without.path()));
    {
        cloudConfigured window(fakeHost({}));
        QVERIFY(window.windowIcon().pixmap(QSize(32, 32)).isNull());
    }
    QVERIFY(QDir::setCurrent(previous));

    // The same picture is compiled in, where nothing opens it.
    QImage compiledIn(QStringLiteral(":/cloudConfigured/icon.png"));
    QVERIFY(!compiledIn.isNull());
}

void TestForm::existingObjectNameIsKept()
{
    QMainWindow window;
    window.setObjectName(QStringLiteral("already named"));
    Ui::cloudConfiguredClass form;
    form.setupUi(&window);
    QCOMPARE(window.objectName(), QStringLiteral("already named"));
    QVERIFY(form.statusBar && form.lineEdit_gatway && form.pushButton_logclear);
}

void TestForm::accessibleNames()
{
    cloudConfigured window(fakeHost({}));
    const std::pair<const char *, const char *> names[] = {
        {"lineEdit_ip", "IP address"}, {"lineEdit_gatway", "Gateway"}, {"lineEdit_port", "TCP port"},
        {"lineEdit_mac", "MAC address"}, {"comboBox", "Serial port"}, {"textEdit_log", "Log"}};
    for (const auto &[object, name] : names)
        QCOMPARE(window.findChild<QWidget *>(QLatin1String(object))->accessibleName(), QLatin1String(name));
    // On Linux a screen reader names an editable selector by its text, and
    // its editor by the name given.
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("comboBox"))->lineEdit()->accessibleName(),
             QStringLiteral("Serial port"));

    // Dark themes: only the Open/Close button has colours of its own; the
    // rest, log and fields included, follows the desktop's palette.
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        QVERIFY2(widget->objectName() == QLatin1String("pushButton_Open") || widget->styleSheet().isEmpty(),
                 qPrintable(widget->objectName()));
        QVERIFY2(!widget->testAttribute(Qt::WA_SetPalette), qPrintable(widget->objectName()));
    }
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
