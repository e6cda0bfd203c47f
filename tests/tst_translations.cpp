// SPDX-License-Identifier: MIT
// The windows in the operator's language, and the programs' answers to
// --help, --version and --language without a window.

#include "desktop/language.h"
#include "cuttext.h"
#include "fakehost.h"
#include "programrun.h"
#include "simulatedline.h"
#include "stationfixture.h"
#include "stationtext/lanestate.h"
#include "stationwindow/lanetile.h"
#include "stationwindow/stationwindow.h"
#include "window/cloudconfigured.h"
#include "window/formfit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
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
    bool counted = false; // with %n, in forms by count
};

// An element's text, where a carriage return is <byte value="xd"/>.
QString textOf(QXmlStreamReader &xml)
{
    QString text;
    while (!xml.atEnd() && (xml.readNext() != QXmlStreamReader::EndElement || xml.name() == QLatin1String("byte"))) {
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform"))
            return textOf(xml); // a count's first form
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
        else if (xml.name() == QLatin1String("message"))
            entries.append({context, {}, {}, false, xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes")});
        else if (xml.name() == QLatin1String("source"))
            entries.last().source = textOf(xml);
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

// Where a widget is in its window, the same in every language: its
// object name and its place among its parent's widgets of its class, up
// the tree (other objects a view makes as it goes do not move it).
QString placeOf(const QWidget &window, const QWidget *widget)
{
    QString place;
    for (; widget && widget != &window; widget = widget->parentWidget()) {
        QList<const QWidget *> alike;
        for (const QWidget *sibling : widget->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (sibling->metaObject() == widget->metaObject())
                alike << sibling;
        }
        place.prepend(QStringLiteral("/%1:%2#%3").arg(widget->objectName(), QLatin1String(widget->metaObject()->className()))
                          .arg(alike.indexOf(widget)));
    }
    return place;
}

// The window's visible texts by their place (its title under ""), table
// headers' sections too, and those not shown in full, in width or height,
// or outside their parent, as a form measures them.
QHash<QString, QString> visibleTexts(const QWidget &window, QStringList *cut)
{
    QHash<QString, QString> texts {{QString(), window.windowTitle()}};
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        const auto *button = qobject_cast<const QAbstractButton *>(widget);
        const auto *label = qobject_cast<const QLabel *>(widget);
        const auto *group = qobject_cast<const QGroupBox *>(widget);
        const auto *header = qobject_cast<const QHeaderView *>(widget);
        if (header && header->isVisible() && header->orientation() == Qt::Horizontal) {
            for (int section = 0; section < header->count(); ++section)
                texts.insert(placeOf(window, widget) + QString::number(section), header->model()->headerData(section, Qt::Horizontal).toString());
        }
        const QString text = button ? button->text() : label ? label->text() : group ? group->title() : QString();
        if (!widget->isVisible() || text.isEmpty())
            continue;
        texts.insert(placeOf(window, widget), text);
        if (textWidthNeeded(widget) > widget->width() || !textFitsHeight(widget)
            || !widget->parentWidget()->rect().contains(widget->geometry()))
            *cut << widget->objectName();
    }
    return texts;
}

// A window as an operator finds it: the configuration window just opened;
// the station window running, one lane at PASS and the other at FAIL.
class Scene
{
public:
    explicit Scene(const QString &window) : m_station(window == QLatin1String("station")) {}

    QWidget *open()
    {
        if (m_station) {
            // With room for every line of the tiles: the texts compared are
            // all there are, whatever their length in the language.
            StationWindow *station = m_running.open();
            const QSize roomy(1600, 1200);
            if (station)
                station->resize(roomy);
            return station && QTest::qWaitFor([station, roomy] {
                const QList<LaneTile *> tiles = station->findChildren<LaneTile *>();
                return station->size() == roomy
                       && std::all_of(tiles.cbegin(), tiles.cend(), [](const LaneTile *tile) { return tile->toolTip().isEmpty(); });
            }) ? station : nullptr;
        }
        m_window = std::make_unique<cloudConfigured>(m_host.environment());
        m_window->show();
        return m_window.get();
    }

    // False: the run did not stop.
    bool close()
    {
        m_window.reset();
        return !m_station || m_running.close();
    }

    // Texts that are the same in every language: those of data the window
    // shows, such as the engine's reason for a failure, kept in English in
    // the audit.
    QStringList data() const
    {
        QStringList texts;
        if (m_station) {
            for (const QLabel *label : m_running.window()->findChildren<QLabel *>(QStringLiteral("tile_reason")))
                texts << label->text();
        }
        return texts;
    }

private:
    bool m_station;
    FakeHost m_host;
    RunningStation m_running;
    std::unique_ptr<QWidget> m_window;
};

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void entriesAreTranslated_data();
    void entriesAreTranslated();
    void windowInEachLanguage_data();
    void windowInEachLanguage();
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
        QCOMPARE(built.translate(qPrintable(entry.context), entry.source.toUtf8().constData(), nullptr, entry.counted ? 1 : -1),
                 entry.translation);
        copied += entry.translation == entry.source ? 1 : 0;
    }
    // A copied English text is no translation; a few names (MAC) are the
    // same in every language.
    QVERIFY2(copied * 10 <= entries.size(), qPrintable(QStringLiteral("%1 of %2 as in English").arg(copied).arg(entries.size())));
}

void TestTranslations::windowInEachLanguage_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("points"); // the station window's type, at a desktop's usual sizes
    for (const QString &language : languages) {
        QTest::addRow("configuration %s", qPrintable(language)) << "configuration" << language << 0;
        for (int points : {9, 11})
            QTest::addRow("station %s at %d pt", qPrintable(language), points) << "station" << language << points;
    }
}

void TestTranslations::windowInEachLanguage()
{
    QFETCH(QString, window);
    QFETCH(QString, language);
    QFETCH(int, points);
    const bool station = window == QLatin1String("station");
    const QString catalog = station ? QStringLiteral("vev-station") : QStringLiteral("vev-config");
    // (The configuration window keeps the platform's type.)
    const QFont platform = QApplication::font();
    const auto restoreFont = qScopeGuard([&platform] { QApplication::setFont(platform); });
    if (station)
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points));
    Scene scene(window);
    QWidget *english = scene.open();
    QVERIFY(english);
    QStringList cut;
    const QHash<QString, QString> englishTexts = visibleTexts(*english, &cut);
    QVERIFY(scene.close());
    // A text translated as in English on purpose (MAC, IP), or data.
    QStringList sameOnPurpose;
    for (const Entry &entry : entriesOf(catalog, language)) {
        if (entry.translation == entry.source)
            sameOnPurpose << entry.source;
    }

    QCOMPARE(installTranslations(catalog, language), language);
    const auto backToEnglish = qScopeGuard([] {
        qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
        QLocale::setDefault(QLocale::c());
    });
    QWidget *translated = scene.open();
    QVERIFY(translated);
    QVERIFY(QTest::qWaitForWindowExposed(translated));
    sameOnPurpose << scene.data();
    cut.clear();
    const QHash<QString, QString> texts = visibleTexts(*translated, &cut);
    // The lanes' own detail lines come and go with the modules' timing
    // (a busy machine may show one in one run and not in the other): they
    // are compared where both runs show them; everything else is in both.
    const auto timed = [](const QString &key) {
        return key.contains(QLatin1String("/tile_")) && !key.contains(QLatin1String("/tile_result"))
               && !key.contains(QLatin1String("/tile_action"));
    };
    for (auto text = englishTexts.cbegin(); text != englishTexts.cend(); ++text)
        QVERIFY2(texts.contains(text.key()) || timed(text.key()), qPrintable(text.key()));
    for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
        if (timed(text.key()) && !englishTexts.contains(text.key()))
            continue;
        QVERIFY2(englishTexts.contains(text.key()), qPrintable(text.key()));
        QVERIFY2(text.value() != englishTexts.value(text.key()) || sameOnPurpose.contains(text.value()),
                 qPrintable(QStringLiteral("%1 left in English: %2").arg(text.key(), text.value())));
    }
    if (station) {
        // Every state's banner in the language, whichever the lanes show.
        for (const LaneStateStyle &style : laneStates)
            QVERIFY2(bannerOf(style.state) != QLatin1String(style.word), style.word);
        // At 1024 x 768, every text whole.
        translated->resize(1024, 768);
        QTRY_COMPARE(translated->size(), QSize(1024, 768));
        // (Wrapped lines settle in a few turns of the event loop.)
        QTRY_VERIFY2((cut = cutTexts(translated)).isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    } else {
        // Within 1024 x 768, every text whole; the open port's Close too.
        QVERIFY(translated->frameGeometry().width() <= 1024 && translated->frameGeometry().height() <= 768);
        translated->findChild<QAbstractButton *>(QStringLiteral("pushButton_Open"))->setText(cloudConfigured::tr("Close"));
        cut.clear();
        visibleTexts(*translated, &cut);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    QVERIFY(scene.close());
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
