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
// The device lists are at least this many characters wide, however short the names.
constexpr int kDeviceNameChars = 12;

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
    // One column of groups: side by side they would scroll sideways at large scales.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateLinesGroup());
    layout->addWidget(CreateMacroGroup());
    layout->addWidget(CreateRejectGroup());
    layout->addWidget(CreateSystemGroup());
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

// A row per line: its name, its device and the device's configuration. The column headings label
// the first row; every field has its line's number in its accessible name.
QGroupBox* TelephonyPage::CreateLinesGroup()
{
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    auto* nameHeading = new QLabel(tr("Line &name"));
    auto* deviceHeading = new QLabel(tr("&Device"));
    grid->addWidget(nameHeading, 0, 0);
    grid->addWidget(deviceHeading, 0, 1);
    for (int row = 0; row < kLineCount; ++row) {
        const int number = row + 1;
        m_labels[row] = new QLineEdit(FromStd(m_context.lines.GetLineLabel(row)));
        m_labels[row]->setObjectName(QString("label%1").arg(number));
        m_labels[row]->setMaxLength(int(kLabelLimit));
        m_labels[row]->setAccessibleName(tr("Line %1 name").arg(number));
        m_devices[row] = new DeviceComboBox;
        m_devices[row]->setObjectName(QString("device%1").arg(number));
        m_devices[row]->setAccessibleName(tr("Line %1 device").arg(number));
        // Long device names are cut rather than widening the page.
        m_devices[row]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        m_devices[row]->setMinimumContentsLength(kDeviceNameChars);
        auto* config = new QPushButton(tr("Config..."));
        config->setObjectName(QString("config%1").arg(number));
        config->setAccessibleName(tr("Configure line %1 device").arg(number));
        // The registration of a SIP line, under the rows (shown only while there is one).
        m_states[row] = new QLabel;
        m_states[row]->setObjectName(QString("state%1").arg(number));
        m_states[row]->setTextFormat(Qt::PlainText);
        m_states[row]->setWordWrap(true);
        m_states[row]->hide();
        grid->addWidget(m_labels[row], number, 0);
        grid->addWidget(m_devices[row], number, 1);
        grid->addWidget(config, number, 2);
        grid->addWidget(m_states[row], 1 + kLineCount + row, 0, 1, 3);
        connect(m_devices[row], &QComboBox::currentIndexChanged, this, [this, row] {
            if (!m_filling)
                FillDeviceLists(row);
        });
        connect(config, &QPushButton::clicked, this, [this, row] { ShowConfig(row); });
    }
    grid->setColumnStretch(1, 1);
    nameHeading->setBuddy(m_labels[0]);
    deviceHeading->setBuddy(m_devices[0]);
    return group;
}

QGroupBox* TelephonyPage::CreateMacroGroup()
{
    auto* group = new QGroupBox(tr("Macro buttons:"));
    auto* layout = new QHBoxLayout(group);
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
        // A screen reader names an empty button as the main window does an empty speed dial.
        m_macros[index]->setAccessibleName(name.isEmpty() ? tr("Macro %1, empty").arg(index + 1) : QString());
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
