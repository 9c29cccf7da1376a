#pragma once

#include "telephony/main_window_link.h"

#include <QWidget>

class CallLogStore;
class ContactStore;
class ContactsPanel;
class DialPadPanel;
class LineManager;
class Prompter;
class QListWidget;
class QLineEdit;
class QTabWidget;
class RedialStore;
class SettingsStore;
class SpeedDialStore;

// The program's main window as far as start-up and the lines need it: a search/dial box over the
// four tabs, the keypad page with the tree of lines and calls, the call log and voice-mail lists
// and the call actions. Closing it ends the program (the application saves everything after it
// has closed).
class MainWindow : public QWidget, public MainWindowLink {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Kestrium 1.06 (023)";
    static constexpr int kCallLogTab = 2;
    static constexpr int kVoiceMailTab = 3;

    // What the window shows and works on; all must outlive it.
    struct Stores {
        ContactStore& contacts;
        SpeedDialStore& speedDials;
        RedialStore& redial;
        CallLogStore& callLog;
        SettingsStore& settings;
    };

    MainWindow(LineManager& lines, const Stores& stores, Prompter& prompter);
    ~MainWindow() override;

    // Fills the window from the stores and lines; from then on telephony events update it.
    void Initialize();
    // After the setup dialog: the lines may have been closed and reopened.
    void RefreshLines();

    bool IsReady() const override { return m_ready; }
    void UpdateControls() override;
    int CurrentTab() const override;
    void ShowTab(int index) override;
    CallTreeView* CallTree() override;
    void RefillCallLists() override;
    void RefreshKeypad() override;

signals:
    void closed();
    // The "Setup ..." and "PBX Control" buttons; the application opens the dialogs.
    void setupRequested();
    void pbxControlRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* CreateToolBar();
    QWidget* CreateDialBox();
    QWidget* CreateContactsPage(const Stores& stores, Prompter& prompter);
    QWidget* CreateActiveCallsPage(SettingsStore& settings, Prompter& prompter);
    QWidget* CreateCallListPage(QListWidget*& list);
    void FillCallList(QListWidget& list, int filter);
    // Call: on the contacts tab dials the selected contact or the typed text; elsewhere dials what
    // the box holds, or answers a ringing call when it is empty.
    void Call();
    void PerformAction(int action);

    LineManager& m_lines;
    CallLogStore& m_callLog;
    RedialStore& m_redial;
    bool m_ready = false;
    QTabWidget* m_tabs = nullptr;
    ContactsPanel* m_contacts = nullptr;
    DialPadPanel* m_dialPad = nullptr;
    QLineEdit* m_dialBox = nullptr;
    QListWidget* m_callList = nullptr;
    QListWidget* m_voiceMailList = nullptr;
};
