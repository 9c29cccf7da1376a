#pragma once

#include "telephony/line_manager.h"
#include "ui/setup/setup_page.h"

#include <array>
#include <functional>

class ContactRecord;
class DeviceComboBox;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The setup dialog's telephony page: per line a label, a device and the device's own
// configuration; the four keypad macros; how incoming calls are rejected; the system dialer.
// A device is offered to one line at a time: changing one row refills the others.
class TelephonyPage : public SetupPage {
    Q_OBJECT

public:
    static constexpr int kLineCount = LineManager::kSlotCount;
    static constexpr int kMacroCount = 4;
    // A label is stored with at most this many bytes.
    static constexpr std::size_t kLabelLimit = 99;

    // Edits a macro as "Edit entry:" does; true on OK. Tests answer it without a window.
    using EntryEditor = std::function<bool(ContactRecord& entry, QWidget* parent)>;

    TelephonyPage(SetupContext& context, QWidget* parent);

    void SetEntryEditor(EntryEditor editor) { m_editEntry = std::move(editor); }

    // True when a row's device differs from its line's configured device, ignoring letter case.
    bool LinesChanged() const;
    // Device names and labels, the system dialer, the rejection mode and the device map file.
    // Closing and reopening the lines around it is the dialog's part.
    void StoreValues() override;

private:
    QGroupBox* CreateLinesGroup();
    QGroupBox* CreateMacroGroup();
    QGroupBox* CreateRejectGroup();
    QGroupBox* CreateSystemGroup();
    void FillDeviceLists(int exceptRow);
    std::array<DeviceChoiceList*, kLineCount> DeviceLists() const;
    void ShowConfig(int row);
    void RefreshLineStates();
    void ShowDialingRules();
    void EditMacro(int number);
    void LoadMacroCaptions();

    SetupContext& m_context;
    EntryEditor m_editEntry;
    std::array<QLineEdit*, kLineCount> m_labels{};
    std::array<DeviceComboBox*, kLineCount> m_devices{};
    std::array<QLabel*, kLineCount> m_states{};
    std::array<QPushButton*, kMacroCount> m_macros{};
    QRadioButton* m_ignore = nullptr;
    QRadioButton* m_answerAndDrop = nullptr;
    QCheckBox* m_systemDialer = nullptr;
    bool m_filling = false;
};
