// SPDX-License-Identifier: MIT
#pragma once

// The language of a desktop program's window: its own translations (one
// .qm file a language, <catalog>_<language>.qm) and Qt's, for the
// language given with --language or else the system's. English needs no
// file: it is the programs' own.

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

// --language CODE, as both windows take it.
QCommandLineOption languageOption();

// Where the .qm files are: beside the installed program
// (<prefix>/share/vev-config/translations), or in the build tree.
QString translationsFolder();

// The languages the catalog has a translation for ("de", "zh_CN", ...),
// sorted; English is not among them.
QStringList translatedLanguages(const QString &catalog);

// True when code is English or a language the catalog is translated into;
// otherwise false with *why naming the languages there are.
bool languageAvailable(const QString &catalog, const QString &code, QString *why);

// Installs the catalog's translation and Qt's own on the application: for
// code, or for the system's languages when code is empty. A language
// without a translation leaves the texts in English. Returns the
// translation's language, empty for English.
QString installTranslations(const QString &catalog, const QString &code);
