// SPDX-License-Identifier: MIT
#include "desktop/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Where the program's folder leads: installed, and in the build tree
// (every program and test is one folder below the build's top).
const char *const installedFolder = "/../share/vev-config/translations";
const char *const buildFolder = "/../translations";

bool isEnglish(const QString &code)
{
    return QLocale(code).language() == QLocale::English || code == QLatin1String("C");
}

QLocale localeOf(const QString &code)
{
    return code.isEmpty() ? QLocale::system() : QLocale(code);
}

} // namespace

QCommandLineOption languageOption()
{
    return {QStringLiteral("language"),
            QStringLiteral("The window's language: en, de, es or zh_CN (default: the system's)."),
            QStringLiteral("CODE")};
}

QString translationsFolder()
{
    const QString program = QCoreApplication::applicationDirPath();
    for (const char *folder : {installedFolder, buildFolder}) {
        const QDir dir(program + QLatin1String(folder));
        if (dir.exists())
            return dir.absolutePath();
    }
    return program + QLatin1String(installedFolder);
}

QStringList translatedLanguages(const QString &catalog)
{
    const QString prefix = catalog + QLatin1Char('_');
    QStringList languages;
    const QStringList files = QDir(translationsFolder()).entryList({prefix + QStringLiteral("*.qm")}, QDir::Files,
                                                                   QDir::Name);
    for (const QString &file : files)
        languages << file.mid(prefix.size()).chopped(3);
    return languages;
}

bool languageAvailable(const QString &catalog, const QString &code, QString *why)
{
    if (code.isEmpty() || isEnglish(code) || QTranslator().load(localeOf(code), catalog, QStringLiteral("_"), translationsFolder()))
        return true;
    *why = QStringLiteral("no translation for the language \"%1\" (there are: en, %2)")
               .arg(code, translatedLanguages(catalog).join(QStringLiteral(", ")));
    return false;
}

QString installTranslations(const QString &catalog, const QString &code)
{
    const QLocale locale = localeOf(code);
    // Dates and numbers follow the language asked for, too.
    if (!code.isEmpty())
        QLocale::setDefault(locale);
    if (isEnglish(code))
        return QString();
    auto *own = new QTranslator(QCoreApplication::instance());
    if (!own->load(locale, catalog, QStringLiteral("_"), translationsFolder())) {
        delete own;
        return QString();
    }
    QCoreApplication::installTranslator(own);
    // Qt's own texts (the standard buttons of a message box), where the
    // system has them.
    auto *qt = new QTranslator(QCoreApplication::instance());
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    const QString qtTranslations = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), qtTranslations))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return own->language();
}
