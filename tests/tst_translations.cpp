// SPDX-License-Identifier: MIT
// The windows in the operator's language: every translation finished and
// built, the configuration window with no English left and nothing cut,
// and the programs' answers to --help, --version and --language.

#include "desktop/language.h"
#include "fakehost.h"
#include "programrun.h"
#include "window/cloudconfigured.h"
#include "window/formfit.h"

#include <QAbstractButton>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QStringList languages {"de", "es", "zh_CN"};
const QStringList catalogs {"vev-config", "vev-station"};

struct Entry {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

// An element's text; a carriage return is written <byte value="xd"/>.
QString textOf(QXmlStreamReader &xml)
{
    QString text;
    while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() == QLatin1String("byte")) {
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == QLatin1String("byte"))
            text += QChar(xml.attributes().value(QLatin1String("value")).mid(1).toUInt(nullptr, 16));
        else if (xml.atEnd())
            break;
    }
    return text;
}

QList<Entry> entriesOf(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return {};
    }
    QList<Entry> entries;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            entries.append({context, {}, {}, false});
        else if (xml.name() == QLatin1String("source") && !entries.isEmpty())
            entries.last().source = textOf(xml);
        else if (xml.name() == QLatin1String("translation") && !entries.isEmpty()) {
            entries.last().finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            entries.last().translation = textOf(xml);
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return entries;
}

QString tsPath(const QString &catalog, const QString &language)
{
    return QStringLiteral(VEV_TRANSLATION_SOURCES "/%1_%2.ts").arg(catalog, language);
}

QStringList placeholders(const QString &text)
{
    QStringList found;
    auto matches = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text);
    while (matches.hasNext())
        found << matches.next().captured();
    found.sort();
    return found;
}

// The window's visible texts by object name, its title under "".
QHash<QString, QString> visibleTexts(const QWidget &window)
{
    QHash<QString, QString> texts {{QString(), window.windowTitle()}};
    const auto widgets = window.findChildren<QWidget *>();
    for (const QWidget *widget : widgets) {
        if (!widget->isVisible())
            continue;
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            texts.insert(widget->objectName(), button->text());
        else if (const auto *label = qobject_cast<const QLabel *>(widget))
            texts.insert(widget->objectName(), label->text());
        else if (const auto *group = qobject_cast<const QGroupBox *>(widget))
            texts.insert(widget->objectName(), group->title());
    }
    return texts;
}

// Each text shown in full, in width and height, and each widget inside its
// parent.
QStringList cutTexts(const QWidget &window)
{
    QStringList cut;
    const auto widgets = window.findChildren<QWidget *>();
    for (const QWidget *widget : widgets) {
        if (!widget->isVisible() || textWidthNeeded(widget) == 0)
            continue;
        const QWidget *parent = widget->parentWidget();
        if (textWidthNeeded(widget) > widget->width() || !textFitsHeight(widget)
            || !parent->rect().contains(widget->geometry()))
            cut << QStringLiteral("%1 (%2 px of text in %3 px)")
                       .arg(widget->objectName()).arg(textWidthNeeded(widget)).arg(widget->width());
    }
    return cut;
}

void removeTranslations()
{
    const auto translators = QCoreApplication::instance()->findChildren<QTranslator *>();
    qDeleteAll(translators);
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void entriesAreTranslated_data();
    void entriesAreTranslated();
    void configurationWindowInEachLanguage_data();
    void configurationWindowInEachLanguage();
    void programsAnswerWithoutAWindow_data();
    void programsAnswerWithoutAWindow();

private:
    FakeHost m_host;
};

void TestTranslations::entriesAreTranslated_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<QString>("language");
    for (const QString &catalog : catalogs) {
        for (const QString &language : languages)
            QTest::addRow("%s %s", qPrintable(catalog), qPrintable(language)) << catalog << language;
    }
}

void TestTranslations::entriesAreTranslated()
{
    QFETCH(QString, catalog);
    QFETCH(QString, language);
    QString error;
    const QList<Entry> entries = entriesOf(tsPath(catalog, language), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!entries.isEmpty());
    // The .qm the programs load is built from this very source.
    QTranslator built;
    QVERIFY2(built.load(catalog + QLatin1Char('_') + language, translationsFolder()), qPrintable(translationsFolder()));
    int copied = 0;
    for (const Entry &entry : entries) {
        const QString what = entry.context + QStringLiteral(": ") + entry.source;
        QVERIFY2(entry.finished && !entry.translation.trimmed().isEmpty(), qPrintable(what));
        QCOMPARE(placeholders(entry.translation), placeholders(entry.source));
        QCOMPARE(built.translate(entry.context.toUtf8().constData(), entry.source.toUtf8().constData()),
                 entry.translation);
        copied += entry.translation == entry.source ? 1 : 0;
    }
    // A copied English text is no translation; a few names (MAC) are the
    // same in every language.
    QVERIFY2(copied * 10 <= entries.size(), qPrintable(QStringLiteral("%1 of %2 the same as in English")
                                                           .arg(copied).arg(entries.size())));
}

void TestTranslations::configurationWindowInEachLanguage_data()
{
    QTest::addColumn<QString>("language");
    for (const QString &language : languages)
        QTest::newRow(qPrintable(language)) << language;
}

void TestTranslations::configurationWindowInEachLanguage()
{
    QFETCH(QString, language);
    cloudConfigured english(m_host.environment());
    english.show();
    const QHash<QString, QString> englishTexts = visibleTexts(english);

    QString error;
    QStringList sameOnPurpose;
    const QList<Entry> entries = entriesOf(tsPath(QStringLiteral("vev-config"), language), &error);
    for (const Entry &entry : entries) {
        if (entry.translation == entry.source)
            sameOnPurpose << entry.source;
    }
    QCOMPARE(installTranslations(QStringLiteral("vev-config"), language), language);
    const auto removal = qScopeGuard([] {
        removeTranslations();
        QLocale::setDefault(QLocale::c());
    });
    cloudConfigured window(m_host.environment());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QHash<QString, QString> texts = visibleTexts(window);
    QCOMPARE(texts.keys().size(), englishTexts.keys().size());
    for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
        QVERIFY2(text.value() != englishTexts.value(text.key()) || sameOnPurpose.contains(text.value()),
                 qPrintable(QStringLiteral("%1 left in English: %2").arg(text.key(), text.value())));
    }
    // At 1024 x 768 the window fits the screen, and every text fits its
    // widget; so does the open port's Close on the toggle.
    QVERIFY(window.frameGeometry().width() <= 1024 && window.frameGeometry().height() <= 768);
    QCOMPARE(cutTexts(window), QStringList());
    auto *toggle = window.findChild<QAbstractButton *>(QStringLiteral("pushButton_Open"));
    toggle->setText(cloudConfigured::tr("Close"));
    QVERIFY(toggle->text() != QLatin1String("Close"));
    QCOMPARE(cutTexts(window), QStringList());
    // Chinese characters have a font to be drawn with.
    if (language == QLatin1String("zh_CN"))
        QVERIFY(!QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty());
}

void TestTranslations::programsAnswerWithoutAWindow_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // what stdout holds
    QTest::addColumn<QString>("err"); // what stderr holds

    const QString config = QStringLiteral(VEV_CONFIG_PATH);
    const QString station = QStringLiteral(VEV_STATION_PATH);
    QTest::newRow("vev-config --help") << config << QStringList {"--help"} << 0 << "--language <CODE>"
                                       << "";
    QTest::newRow("vev-config --help names its settings file")
        << config << QStringList {"--help"} << 0 << "/TELVOR/VevConfig.conf" << "";
    QTest::newRow("vev-config --version") << config << QStringList {"--version"} << 0
                                          << "vev-config " VEV_VERSION "\n" << "";
    QTest::newRow("vev-config, an unknown language")
        << config << QStringList {"--language", "xx"} << 2 << ""
        << "vev-config: no translation for the language \"xx\" (there are: en, de, es, zh_CN)";
    QTest::newRow("vev-config, an argument") << config << QStringList {"ttyUSB0"} << 2 << ""
                                             << "unexpected argument \"ttyUSB0\"";
    QTest::newRow("vev-station --help") << station << QStringList {"--help"} << 0 << "--language <CODE>" << "";
    QTest::newRow("vev-station, an unknown language")
        << station << QStringList {"--language", "fr", "--plan", "plan.csv"} << 2 << ""
        << "vev-station: no translation for the language \"fr\" (there are: en, de, es, zh_CN)";
}

void TestTranslations::programsAnswerWithoutAWindow()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    // A platform that does not exist: a program that made its window would
    // fail to start it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
    environment.remove(QStringLiteral("DISPLAY"));
    const ProgramRun run = runProgram(program, arguments, environment);
    QCOMPARE(run.code, exitCode);
    QVERIFY2(QString::fromUtf8(run.out).contains(out), run.out.constData());
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
