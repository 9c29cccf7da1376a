#pragma once

#include "tapi/include/tapi.h"

#include <QCoreApplication>
#include <QIcon>
#include <QList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

class CallTreeView;
class ContactRecord;
class LineManager;
class LineSlot;
class Prompter;
class QHBoxLayout;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QtCallTree;
class SettingsStore;

// The page of the "Active Calls" tab: the tree of open lines and their calls, a telephone keypad
// and four macro buttons that each send a stored digit string. With no call selected the keys type
// into the main window's search/dial box; with a connected call selected they send touch tones.
class DialPadPanel : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(DialPadPanel)

public:
    static constexpr int kKeyCount = 15;
    static constexpr int kFlashKey = 12;
    // Keys from here on (plus and space) are never sent to a call.
    static constexpr int kFirstUnsentKey = 13;
    static constexpr int kMacroCount = 4;

    // Context menu commands.
    static constexpr int kEditEntry = 32954;
    static constexpr int kClearEntry = 32955;
    static constexpr int kDropAllCalls = 32956;

    // What the tree's selection points at: the line slot (-1: none), its call (0: none) and that
    // call's TAPI state.
    struct Selection {
        int line = -1;
        HCALL call = 0;
        DWORD state = 0;
    };

    // Types a character into the search/dial box.
    using SearchBoxTyper = std::function<void(const QString&)>;
    // Edits a macro's name (display name) and number (default number); true on OK. The default
    // runs the "Edit entry:" dialog.
    using EntryEditor = std::function<bool(ContactRecord&)>;
    // Opens a context menu at a global position and returns the chosen action (null: none). The
    // default runs the menu modally.
    using MenuRunner = std::function<QAction*(QMenu&, const QPoint&)>;

    DialPadPanel(LineManager& lines, SettingsStore& settings, Prompter& prompter, QWidget* parent = nullptr);
    ~DialPadPanel() override;

    // The tree the line manager fills.
    CallTreeView* CallTree();
    QTreeWidget* Tree() const { return m_tree; }
    // The call-state image list of the tree's items.
    void SetCallStateImages(QList<QIcon> images);

    void SetSearchBoxTyper(SearchBoxTyper typer) { m_typeIntoSearchBox = std::move(typer); }
    void SetEntryEditor(EntryEditor editor) { m_editEntry = std::move(editor); }
    void SetMenuRunner(MenuRunner runner) { m_runMenu = std::move(runner); }
    // Buttons for the window's commands on calls (Transfer, Conference), in a row under the tree;
    // each follows its command's text and enabled state.
    void SetCallCommands(const QList<QAction*>& commands);

    // Sets the macro buttons' captions to the stored names.
    void LoadMacroNames();
    // Enables or disables the keys and macro buttons for the selection.
    void RefreshKeypad();
    Selection SelectedCall() const;
    // The main window's Call button on this tab: answers the selected offering call, or one on the
    // selected or default line when it is busy; true when a call was answered.
    bool Call();
    // A macro's number: placed as a call that drops itself when nothing is selected, sent as
    // touch tones to the selected call otherwise.
    void SendDigits(const std::string& digits);

    void PressKey(int key);
    void PressMacro(int index);

    QPushButton* Key(int key) const { return m_keys[std::size_t(key)]; }
    QPushButton* MacroButton(int index) const { return m_macros[std::size_t(index)]; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupTree();
    void SetupKeys();
    void SetupMacros();
    void CreateLayout();
    bool PressKeyFor(const QString& text);

    LineSlot* SelectedLine() const;
    bool IsMacroAvailable(const Selection& selected);
    void PlaceMacroCall(const std::string& digits);

    ContactRecord StoredMacro(int index) const;
    void StoreMacro(int index, const ContactRecord& macro);
    void EditMacro(int index);
    void ClearMacro(int index);

    void ShowMacroMenu(int index, const QPoint& globalPos);
    void ShowTreeMenu(const QPoint& pos);
    void ShowLineMenu(LineSlot& line, const QPoint& globalPos);
    void ShowCallMenu(LineSlot& line, HCALL call, const QPoint& globalPos);
    int RunMenu(QMenu& menu, const QPoint& globalPos);

    LineManager& m_lines;
    SettingsStore& m_settings;
    Prompter& m_prompter;
    QTreeWidget* m_tree = nullptr;
    QHBoxLayout* m_commandRow = nullptr;
    std::unique_ptr<QtCallTree> m_callTree;
    std::array<QPushButton*, kKeyCount> m_keys{};
    std::array<QPushButton*, kMacroCount> m_macros{};
    SearchBoxTyper m_typeIntoSearchBox;
    EntryEditor m_editEntry;
    MenuRunner m_runMenu;
};
