#include "ui/setup/telephony_page.h"

#include "settings/settings_store.h"
#include "store/contact_record.h"
#include "store/text_limit.h"
#include "store/text_match.h"
#include "telephony/tapi_binding.h"
#include "ui/panels/edit_entry_dialog.h"
#include "ui/setup/device_combo_box.h"
#include "ui/setup/sip_account_dialog.h"
#include "ui/telephony_widgets/line_state_text.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr DWORD kDialingRulesVersion = 0x20001;
// How often the rows show the SIP lines' registration anew while the page is shown.
constexpr int kStateRefreshMs = 1000;

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

QString FromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TelephonyPage::TelephonyPage(SetupContext& context, QWidget* parent)
    : SetupPage(parent)
    , m_context(context)
    , m_editEntry(&EditEntryDialog::Run)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateLinesGroup());
    auto* lower = new QHBoxLayout;
    lower->addWidget(CreateMacroGroup());
    auto* right = new QVBoxLayout;
    right->addWidget(CreateRejectGroup());
    right->addWidget(CreateSystemGroup());
    lower->addLayout(right, 1);
    layout->addLayout(lower);
    layout->addStretch();
    FillDeviceLists(-1);
    RefreshLineStates();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (isVisible())
            RefreshLineStates();
    });
    timer->start(kStateRefreshMs);
}

QGroupBox* TelephonyPage::CreateLinesGroup()
{
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    for (int row = 0; row < kLineCount; ++row) {
        m_labels[row] = new QLineEdit(FromStd(m_context.lines.GetLineLabel(row)));
        m_labels[row]->setObjectName(QString("label%1").arg(row + 1));
        m_labels[row]->setMaxLength(int(kLabelLimit));
        m_devices[row] = new DeviceComboBox;
        m_devices[row]->setObjectName(QString("device%1").arg(row + 1));
        auto* config = new QPushButton(tr("Config..."));
        config->setObjectName(QString("config%1").arg(row + 1));
        // The registration of a SIP line, under the rows (shown only while there is one).
        m_states[row] = new QLabel;
        m_states[row]->setObjectName(QString("state%1").arg(row + 1));
        m_states[row]->setTextFormat(Qt::PlainText);
        m_states[row]->setWordWrap(true);
        m_states[row]->hide();
        grid->addWidget(m_labels[row], row, 0);
        grid->addWidget(m_devices[row], row, 1);
        grid->addWidget(config, row, 2);
        grid->addWidget(m_states[row], kLineCount + row, 0, 1, 3);
        grid->setColumnStretch(1, 1);
        connect(m_devices[row], &QComboBox::currentIndexChanged, this, [this, row] {
            if (!m_filling)
                FillDeviceLists(row);
        });
        connect(config, &QPushButton::clicked, this, [this, row] { ShowConfig(row); });
    }
    return group;
}

QGroupBox* TelephonyPage::CreateMacroGroup()
{
    auto* group = new QGroupBox(tr("Macro buttons:"));
    auto* layout = new QVBoxLayout(group);
    for (int index = 0; index < kMacroCount; ++index) {
        m_macros[index] = new QPushButton;
        m_macros[index]->setObjectName(QString("macro%1").arg(index + 1));
        layout->addWidget(m_macros[index]);
        connect(m_macros[index], &QPushButton::clicked, this, [this, index] { EditMacro(index + 1); });
    }
    LoadMacroCaptions();
    return group;
}

QGroupBox* TelephonyPage::CreateRejectGroup()
{
    auto* group = new QGroupBox(tr("Rejecting incoming calls:"));
    auto* layout = new QVBoxLayout(group);
    m_ignore = new QRadioButton(tr("Ignore until caller gives up"));
    m_ignore->setObjectName("ignoreIncoming");
    m_answerAndDrop = new QRadioButton(tr("Open line, beep, hangup"));
    m_answerAndDrop->setObjectName("answerAndDrop");
    layout->addWidget(m_ignore);
    layout->addWidget(m_answerAndDrop);
    const bool ignore = m_context.settings.Read(Settings::kDropIncomingMeansIgnore) != 0;
    (ignore ? m_ignore : m_answerAndDrop)->setChecked(true);
    return group;
}

QGroupBox* TelephonyPage::CreateSystemGroup()
{
    auto* group = new QGroupBox(tr("System:"));
    auto* layout = new QVBoxLayout(group);
    m_systemDialer = new QCheckBox(tr("Use this application to handle dialing from other applications."));
    m_systemDialer->setObjectName("systemDialer");
    m_systemDialer->setChecked(m_context.settings.Read(Settings::kIsSystemDialer) != 0);
    auto* rules = new QPushButton(tr("System dialing rules..."));
    layout->addWidget(m_systemDialer);
    layout->addWidget(rules, 0, Qt::AlignLeft);
    connect(rules, &QPushButton::clicked, this, &TelephonyPage::ShowDialingRules);
    return group;
}

// Filling selects entries, which would refill the lists again from inside the fill.
void TelephonyPage::FillDeviceLists(int exceptRow)
{
    m_filling = true;
    m_context.lines.FillDeviceChoices(DeviceLists(), exceptRow);
    m_filling = false;
}

std::array<DeviceChoiceList*, TelephonyPage::kLineCount> TelephonyPage::DeviceLists() const
{
    std::array<DeviceChoiceList*, kLineCount> lists{};
    for (int row = 0; row < kLineCount; ++row)
        lists[row] = m_devices[row];
    return lists;
}

// An IP line's row edits its SIP account; the others show the service's line dialog.
void TelephonyPage::ShowConfig(int row)
{
    std::uint32_t deviceId = 0;
    if (!m_devices[row]->SelectedDevice(deviceId))
        return;
    if (row < LineSlot::kFirstIpSlot) {
        m_context.lines.ShowLineConfig(deviceId, reinterpret_cast<HWND>(winId()));
        return;
    }
    LineManager& lines = m_context.lines;
    const auto owner = reinterpret_cast<HWND>(winId());
    SipAccountDialog dialog(
        m_devices[row]->SelectedText(), m_context.prompter,
        [&lines](std::string& error) { return lines.ReloadExchangeConfig(error); },
        [&lines, deviceId, owner] { lines.ShowLineConfig(deviceId, owner); }, this);
    dialog.exec();
    RefreshLineStates();
}

// A row shows the registration of the line open in its slot while that line is still selected.
void TelephonyPage::RefreshLineStates()
{
    for (int row = 0; row < kLineCount; ++row) {
        const LineSlot& slot = m_context.lines.GetLineSlot(row);
        const bool shown = slot.IsOpen() && slot.GetLineName() == m_devices[row]->SelectedText();
        const QString text = shown ? LineStateText(m_context.lines, row) : QString();
        m_states[row]->setText(tr("%1: %2").arg(m_devices[row]->currentText(), text));
        m_states[row]->setVisible(!text.isEmpty());
        m_devices[row]->setToolTip(text.isEmpty() ? QString() : PlainToolTip(text));
    }
}

void TelephonyPage::ShowDialingRules()
{
    m_context.lines.Tapi().lineTranslateDialogA(
        m_context.lines.GetLineApp(), DWORD(0), kDialingRulesVersion, HWND(nullptr), LPCSTR(nullptr));
}

// Macros are stored at once, whether or not the dialog is saved later.
void TelephonyPage::EditMacro(int number)
{
    SettingsStore& settings = m_context.settings;
    ContactRecord entry;
    entry.SetDisplayName(settings.Read(Settings::kMacroName, {}, number));
    entry.SetNumber(entry.DefaultNumberIndex(), settings.Read(Settings::kMacroNumber, {}, number));
    if (!m_editEntry(entry, this))
        return;
    settings.Write(Settings::kMacroName, entry.DisplayName(), number);
    settings.Write(Settings::kMacroNumber, entry.DefaultNumber(), number);
    LoadMacroCaptions();
}

// Captions come from the settings; "&" is shown as it is typed, not as a mnemonic.
void TelephonyPage::LoadMacroCaptions()
{
    for (int index = 0; index < kMacroCount; ++index) {
        const QString name = FromStd(m_context.settings.Read(Settings::kMacroName, {}, index + 1));
        m_macros[index]->setText(QString(name).replace("&", "&&"));
    }
}

bool TelephonyPage::LinesChanged() const
{
    for (int row = 0; row < kLineCount; ++row)
        if (!EqualsNoCase(m_devices[row]->SelectedText(), m_context.lines.GetDeviceName(row)))
            return true;
    return false;
}

void TelephonyPage::StoreValues()
{
    LineManager& lines = m_context.lines;
    for (int row = 0; row < kLineCount; ++row) {
        lines.SetDeviceName(row, m_devices[row]->SelectedText());
        lines.SetLineLabel(row, CutToLimit(m_labels[row]->text().toStdString(), kLabelLimit));
    }
    if (m_systemDialer->isChecked())
        lines.BecomeSystemDialer();
    else
        lines.StopBeingSystemDialer();
    m_context.settings.Write(Settings::kDropIncomingMeansIgnore, m_ignore->isChecked() ? 1 : 0);
    lines.SaveDeviceMap(lines.DeviceMapPath());
}
