#pragma once

#include "telephony/action_target.h"
#include "telephony/main_window_link.h"
#include "ui/panels/call_log_context.h"

#include <QString>

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct AppSettings;
class CallLogPanel;
class CallLogStore;
class ContactStore;
class ContactsPanel;
class DialPadPanel;
class LineManager;
class Prompter;
class QAbstractButton;
class QAction;
class QFrame;
class QKeySequence;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class RedialStore;
class SettingsStore;
class SpeedDialStore;

// The program's main window: three tool bars along the top, the four tabs (contacts, active calls
// with the keypad, call log, voice mail), the search/dial box with the Call and End buttons, the
// headset and line buttons, the indicators of new missed calls and voice mail and a status bar.
// Closing it ends the program; it saves its own state while it is destroyed.
class MainWindow : public QWidget, public MainWindowLink, public CallLogWindow {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Kestrium 1.06 (023)";
    // The tabs, left to right.
    static constexpr int kContactsTab = 0;
    static constexpr int kKeypadTab = 1;
    static constexpr int kCallLogTab = 2;
    static constexpr int kVoiceMailTab = 3;
    static constexpr int kTabCount = 4;
    // The edit field keeps 99 characters (100 bytes with the terminator).
    static constexpr int kSearchTextLimit = 99;

    // Every command is a QAction named "action" + its name ("actionCall", "actionRecord",
    // "actionLine1" to "actionLine6", "actionHeadset1" to "actionHeadset6", ...): the tool bars,
    // buttons, menus and shortcuts trigger them, and tests find them by name.
    QAction* Action(const QString& objectName) const;

    // What the window shows and works on; all must outlive it.
    struct Stores {
        ContactStore& contacts;
        SpeedDialStore& speedDials;
        RedialStore& redial;
        CallLogStore& callLog;
        SettingsStore& settings;
        // The folders new note files go in.
        const AppSettings& folders;
    };

    MainWindow(LineManager& lines, const Stores& stores, Prompter& prompter);
    ~MainWindow() override;

    // Once the lines are open and every store is loaded: the default line, the other pages'
    // contents and the start tab.
    void Initialize();
    // After the setup dialog: the lines may have been closed and reopened.
    void RefreshLines();

    bool IsReady() const override { return m_ready; }
    void UpdateControls() override;
    int CurrentTab() const;
    void ShowTab(int index);
    WindowPage CurrentPage() const override;
    void ShowPage(WindowPage page) override;
    CallTreeView* CallTree() override;
    void RefillCallLists() override;
    void ShowCallStatus(std::string_view text) override;
    void CallLogged(std::size_t position) override;

    bool FollowsSelection() const override;
    bool IsCallLogTabCurrent() const override;
    void ShowMissedCount(std::size_t count) override;
    void ShowUnreadCount(std::size_t count) override;
    void RefreshCallDisplay() override;
    void SaveToContact(const ContactRecord& record) override;

    // The status bar's lasting note that no line can be used (empty: all is well).
    void ShowLinesProblem(const QString& brief);
    // The shared address book's state in the status bar (empty: none configured) and the progress
    // of a long sync (shown while 0 < total and done < total; a negative total shows it busy).
    void ShowAddressBookStatus(const QString& text);
    void ShowAddressBookProgress(qint64 done, qint64 total);
    QLabel* AddressBookStatus() const { return m_addressBookStatus; }
    QProgressBar* AddressBookProgress() const { return m_addressBookProgress; }
    QString LinesProblem() const;
    // Closes the window without asking about calls in progress (a termination signal).
    void CloseWithoutAsking();

    // Shows the window (restored when minimised) in front of the others.
    void BringToFront();
    // Brings the window up with the call log entry at `position` selected: a voice message on the
    // Voice Mail tab, a missed call under "Missed", anything else under "All".
    void OpenCallLogEntry(std::size_t position);

    // The vCard file File > "Import ..." reads or "Export ..." writes (empty when the user
    // cancels), and whether an export is vCard 3.0. The window asks with file dialogs; tests
    // answer for the user.
    struct FileChoice {
        QString path;
        bool vcard3 = false;
    };
    using FileChooser = std::function<FileChoice(bool forExport)>;
    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // The redial pop-up with the redial list's entries above the separator, built as it opens.
    QMenu* CreateRedialMenu(QWidget* parent);

    // The window's parts, for the application, tools and tests.
    QLineEdit* SearchField() const { return m_searchField; }
    QToolButton* ClearButton() const { return m_clearButton; }
    QToolButton* RedialButton() const { return m_redialButton; }
    QAbstractButton* CallButton() const { return m_callButton; }
    QAbstractButton* EndButton() const { return m_endButton; }
    QTabWidget* Tabs() const { return m_tabs; }
    ContactsPanel* Contacts() const { return m_contacts; }
    DialPadPanel* DialPad() const { return m_dialPad; }
    CallLogPanel* CallLogPage() const { return m_callLog; }
    CallLogPanel* VoiceMailPage() const { return m_voiceMail; }
    CallLogContext& CallLogPages() { return m_callLogContext; }
    // The counts the indicators show.
    std::size_t MissedShown() const { return m_missedShown; }
    std::size_t UnreadShown() const { return m_unreadShown; }
    QLabel* MissedCallsCount() const { return m_missedCount; }
    QLabel* VoiceMailCount() const { return m_voiceMailCount; }
    QStatusBar* StatusBar() const { return m_statusBar; }
    bool KeypadTyping() const { return m_keypadTyping; }

signals:
    void closed();
    // A finished call was logged; the counters of missed calls and new messages changed.
    void callLogged(qulonglong position);
    void countsShown(qulonglong missed, qulonglong unread);
    // The "Setup ..." and "PBX Control" buttons; the application runs the dialogs.
    void setupRequested();
    void pbxControlRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building the window, by region (main_window.cpp).
    void SetupMenuBar();
    void SetupTopToolBars();
    void SetupSearchDialBox();
    void SetupPages(const Stores& stores, Prompter& prompter);
    void SetupLineButtons();
    void SetupIndicators();
    void SetupTabOrder();
    QToolBar* CreateToolBar(QWidget* parent);
    QAction* CreateAction(
        const char* name, const QString& text, const QString& tip, const QKeySequence& shortcut = {});
    QAction* CreateCommand(const char* name, const QString& text, const QString& tip,
        void (MainWindow::*run)(), const QKeySequence& shortcut = {});
    QAction* CreateNotAvailable(
        const char* name, const QString& text, const QString& tip, const QString& message);
    void AddTool(QToolBar* bar, QAction* action, int image);
    QFrame* CreateIndicator(const char* name, int image, const QString& tip, QLabel*& count);

    void CreateLayout();
    QLayout* CreateBottomRows();
    void LayOutSearchDialBox();
    QRect FittedToScreen(QRect wanted) const;
    void UpdateLineButtons();
    void UpdateCallButton();
    bool HoldsDialableNumber();

    void ApplyPlacement();
    void SavePlacement();
    void ChooseDefaultLine();
    int StartTab() const;
    void SaveState();

    // Commands and events (main_window_commands.cpp).
    void CreateCommands();
    void FocusPage(int index);
    void OnTabChanged(int index);
    void FocusSearchField();
    void Record();
    void AddNote();
    void SelectLine(int slot);
    void ToggleHeadset(int slot);
    void Call();
    void End();
    void Hold();
    void UpdateCallActions();
    void Transfer();
    void ConsultTransfer();
    void Conference();
    void RunWithTypedNumber(bool (LineManager::*run)(const ActionTarget&, const std::string&));
    ActionTarget SelectedCall() const;
    void ClearRedialList();
    void TakeRedialEntry(int slot);
    void OnSearchTextChanged(const QString& text);
    void OnSearchFieldFocused();
    bool TakesNumberForCalls();
    void ClearSearchField();
    void PopUpRedialMenu();
    void ShowMissedCalls();
    void ShowVoiceMail();
    bool ActivateIndicator(const QObject* watched);
    void PressEnter();
    bool AnswerRingingCall();
    bool DialTypedNumber();
    // The search/dial box's text as a command takes it: cut to the box's limit, trimmed.
    QString TypedText() const;
    void PressEscape();
    bool ConfirmExit();
    void UpdateSearchButtons();
    void SelectContactsTab();
    void ImportContacts();
    void ExportContacts();
    void ShowExchangeResult(const struct ContactExchangeResult& result);
    FileChoice AskForFile(bool forExport);
    void TypeFromKeypad(const QString& text);

    LineManager& m_lines;
    CallLogStore& m_callLogStore;
    RedialStore& m_redial;
    SettingsStore& m_settings;
    Prompter& m_prompter;
    FileChooser m_chooseFile;
    std::size_t m_missedShown = 0;
    std::size_t m_unreadShown = 0;
    bool m_ready = false;
    bool m_keypadTyping = false;
    bool m_closeWithoutAsking = false;

    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    // The commands the window refreshes: record, notes, Call, End and Hold, and per line its button
    // and its handset/headset button.
    QAction* m_recordAction = nullptr;
    QAction* m_notesAction = nullptr;
    QAction* m_callAction = nullptr;
    QAction* m_endAction = nullptr;
    QAction* m_holdAction = nullptr;
    // Transfer, Transfer after consulting and Conference, enabled as the calls allow.
    std::vector<std::pair<QAction*, int>> m_callActions;
    std::vector<QAction*> m_lineActions;
    std::vector<QAction*> m_headsetActions;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_linesProblem = nullptr;
    QLabel* m_addressBookStatus = nullptr;
    QProgressBar* m_addressBookProgress = nullptr;
    std::array<QToolBar*, 3> m_topBars{};
    QToolBar* m_headsetBar = nullptr;
    QToolBar* m_lineBar = nullptr;
    QTabWidget* m_tabs = nullptr;
    ContactsPanel* m_contacts = nullptr;
    DialPadPanel* m_dialPad = nullptr;
    CallLogContext m_callLogContext;
    CallLogPanel* m_callLog = nullptr;
    CallLogPanel* m_voiceMail = nullptr;

    QGroupBox* m_searchGroup = nullptr;
    QToolButton* m_searchIcon = nullptr;
    QLineEdit* m_searchField = nullptr;
    // The box's text when a call was last dialled from it (TypedText): the box keeps it, and it
    // names a party already called, not one to transfer to or to bring into a conference.
    QString m_dialledText;
    QToolButton* m_clearButton = nullptr;
    QToolButton* m_redialButton = nullptr;
    QAbstractButton* m_callButton = nullptr;
    QAbstractButton* m_endButton = nullptr;

    QFrame* m_missedFrame = nullptr;
    QFrame* m_voiceMailFrame = nullptr;
    QLabel* m_missedCount = nullptr;
    QLabel* m_voiceMailCount = nullptr;
};
