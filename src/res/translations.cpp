#include "res/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace {

// Where the build puts the compiled translations among the resources (RESOURCE_PREFIX).
constexpr const char* kResourceFolder = ":/translations";

} // namespace

// Loading maps a small file (or a resource) and looks at most a few names up, so it costs
// nothing noticeable at start-up.
Translations::Translations(const QLocale& locale)
{
    m_ownLoaded = m_own.load(locale, QStringLiteral("kestrium"), QStringLiteral("_"), kResourceFolder)
        && QCoreApplication::installTranslator(&m_own);
    m_qtLoaded = m_qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(&m_qt);
}

Translations::~Translations()
{
    if (m_qtLoaded)
        QCoreApplication::removeTranslator(&m_qt);
    if (m_ownLoaded)
        QCoreApplication::removeTranslator(&m_own);
}
