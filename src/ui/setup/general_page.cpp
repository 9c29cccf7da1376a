#include "ui/setup/general_page.h"

#include "settings/settings_store.h"

#include <QComboBox>
#include <QFormLayout>

#include <algorithm>

namespace {

constexpr const char* kStartInEntries[] = { QT_TRANSLATE_NOOP("GeneralPage", "Contacts"),
    QT_TRANSLATE_NOOP("GeneralPage", "Calls/Dialpad"), QT_TRANSLATE_NOOP("GeneralPage", "Calls Log"),
    QT_TRANSLATE_NOOP("GeneralPage", "Voice Mail"), QT_TRANSLATE_NOOP("GeneralPage", "Last open tab") };

} // namespace

GeneralPage::GeneralPage(SetupContext& context, QWidget* parent)
    : SetupPage(parent)
    , m_context(context)
{
    m_startIn = new QComboBox;
    m_startIn->setObjectName("startIn");
    for (const char* entry : kStartInEntries)
        m_startIn->addItem(tr(entry));
    // The main window starts a negative value in the first tab and any value of 4 or more in the
    // last open tab; the list shows it the same way, so Save never stores "no selection".
    const std::int32_t stored = m_context.settings.Read(Settings::kStartInTab);
    m_startIn->setCurrentIndex(std::clamp(stored, 0, kLastOpenTab));
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Start &in:"), m_startIn);
}

void GeneralPage::StoreValues()
{
    m_context.settings.Write(Settings::kStartInTab, m_startIn->currentIndex());
}
