#pragma once

#include <QLocale>
#include <QTranslator>

// Kestrium's translation for a locale (built into the program from translations/kestrium_*.ts)
// and Qt's own for the standard buttons and dialogs (from Qt's translations folder, when the
// system has it), installed on the application for as long as the object lives. A language without
// a translation (English, the C locale) leaves the texts as they are written.
class Translations {
public:
    explicit Translations(const QLocale& locale);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // True when Kestrium's own texts are translated for the locale.
    bool Translated() const { return m_ownLoaded; }

private:
    QTranslator m_own;
    QTranslator m_qt;
    bool m_ownLoaded = false;
    bool m_qtLoaded = false;
};
