// SPDX-License-Identifier: MIT
// The windows in the operator's language, and the programs' answers to
// --help, --version and --language without a window.

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
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QStringList languages {"de", "es", "zh_CN"};

struct Entry {
    QString context, source, translation;
    bool finished = false;
};

// An element's text, where a carriage return is <byte value="xd"/>.
QString textOf(QXmlStreamReader &xml)
{
    QString text;
    while (!xml.atEnd() && (xml.readNext() != QXmlStreamReader::EndElement || xml.name() == QLatin1String("byte"))) {
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement())
            text += QChar(xml.attributes().value(QLatin1String("value")).mid(1).toUInt(nullptr, 16));
    }
    return text;
}

QList<Entry> entriesOf(const QString &catalog, const QString &language)
{
    QFile file(QStringLiteral(VEV_TRANSLATION_SOURCES "/%1_%2.ts").arg(catalog, language));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Entry> entries;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            entries.append({context, textOf(xml), {}});
        else if (xml.name() == QLatin1String("translation")) {
            entries.last().finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            entries.last().translation = textOf(xml);
        }
    }
    return xml.hasError() ? QList<Entry>() : entries;
}

QStringList placeholders(const QString &text)
{
    QStringList found;
    for (auto match = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text); match.hasNext();)
        found << match.next().captured();
    found.sort();
    return found;
}

// The window's visible texts by object name (its title under ""), and
// those not shown in full, in width or height, or outside their parent.
QHash<QString, QString> visibleTexts(const QWidget &window, QStringList *cut)
{
    QHash<QString, QString> texts {{QString(), window.windowTitle()}};
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        const auto *button = qobject_cast<const QAbstractButton *>(widget);
        const auto *label = qobject_cast<const QLabel *>(widget);
        const auto *group = qobject_cast<const QGroupBox *>(widget);
        const QString text = button ? button->text() : label ? label->text() : group ? group->title() : QString();
        if (!widget->isVisible() || text.isEmpty())
            continue;
        texts.insert(widget->objectName(), text);
        if (textWidthNeeded(widget) > widget->width() || !textFitsHeight(widget)
            || !widget->parentWidget()->rect().contains(widget->geometry()))
            *cut << widget->objectName();
    }
    return texts;
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
};

void TestTranslations::entriesAreTranslated_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<QString>("language");
    for (const char *catalog : {"vev-config", "vev-station"}) {
        for (const QString &language : languages)
            QTest::addRow("%s %s", catalog, qPrintable(language)) << QString::fromLatin1(catalog) << language;
    }
}

void TestTranslations::entriesAreTranslated()
{
    QFETCH(QString, catalog);
    QFETCH(QString, language);
    const QList<Entry> entries = entriesOf(catalog, language);
    QVERIFY(!entries.isEmpty());
    // The .qm the programs load is built from this very source.
    QTranslator built;
    QVERIFY2(built.load(catalog + QLatin1Char('_') + language, translationsFolder()), qPrintable(translationsFolder()));
    int copied = 0;
    for (const Entry &entry : entries) {
        QVERIFY2(entry.finished && !entry.translation.trimmed().isEmpty(), qPrintable(entry.source));
        QCOMPARE(placeholders(entry.translation), placeholders(entry.source));
        QCOMPARE(built.translate(qPrintable(entry.context), entry.source.toUtf8().constData()), entry.translation);
        copied += entry.translation == entry.source ? 1 : 0;
    }
    // A copied English text is no translation; a few names (MAC) are the
    // same in every language.
    QVERIFY2(copied * 10 <= entries.size(), qPrintable(QStringLiteral("%1 of %2 as in English").arg(copied).arg(entries.size())));
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
    FakeHost host;
    cloudConfigured english(host.environment());
    english.show();
    QStringList cut;
    const QHash<QString, QString> englishTexts = visibleTexts(english, &cut);
    QStringList sameOnPurpose;
    for (const Entry &entry : entriesOf(QStringLiteral("vev-config"), language)) {
        if (entry.translation == entry.source)
            sameOnPurpose << entry.source;
    }

    QCOMPARE(installTranslations(QStringLiteral("vev-config"), language), language);
    const auto backToEnglish = qScopeGuard([] {
        qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
        QLocale::setDefault(QLocale::c());
    });
    cloudConfigured window(host.environment());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    cut.clear();
    const QHash<QString, QString> texts = visibleTexts(window, &cut);
    QCOMPARE(texts.size(), englishTexts.size());
    for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
        QVERIFY2(text.value() != englishTexts.value(text.key()) || sameOnPurpose.contains(text.value()),
                 qPrintable(QStringLiteral("%1 left in English: %2").arg(text.key(), text.value())));
    }
    // Within 1024 x 768, every text whole; the open port's Close too.
    QVERIFY(window.frameGeometry().width() <= 1024 && window.frameGeometry().height() <= 768);
    window.findChild<QAbstractButton *>(QStringLiteral("pushButton_Open"))->setText(cloudConfigured::tr("Close"));
    visibleTexts(window, &cut);
    QCOMPARE(cut, QStringList());
    // Chinese characters have a font to be drawn with.
    QVERIFY(!QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty());
}

void TestTranslations::programsAnswerWithoutAWindow_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // on stdout, or on stderr for a mistake

    const QString config = QStringLiteral(VEV_CONFIG_PATH);
    const QString station = QStringLiteral(VEV_STATION_PATH);
    QTest::newRow("vev-config --help") << config << QStringList {"--help"} << 0 << "/TELVOR/VevConfig.conf.";
    QTest::newRow("vev-config --version") << config << QStringList {"--version"} << 0 << "vev-config " VEV_VERSION "\n";
    QTest::newRow("vev-config, a language without a translation")
        << config << QStringList {"--language", "xx"} << 2
        << "vev-config: no translation for the language \"xx\" (there are: en, de, es, zh_CN)\n";
    QTest::newRow("vev-station --help") << station << QStringList {"--help"} << 0 << "--language <CODE>";
    QTest::newRow("vev-station, a language without a translation")
        << station << QStringList {"--language", "fr", "--plan", "plan.csv"} << 2
        << "vev-station: no translation for the language \"fr\"";
}

void TestTranslations::programsAnswerWithoutAWindow()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    // On a platform that does not exist, a window would fail the program.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
    const ProgramRun run = runProgram(program, arguments, environment);
    QCOMPARE(run.code, exitCode);
    QVERIFY2((exitCode == 0 ? QString::fromUtf8(run.out) : run.err).contains(output), qPrintable(run.out + run.err));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
