#include "ui/panels/dial_pad_panel.h"

#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "store/contact_record.h"
#include "store/text_limit.h"
#include "telephony/call_menu.h"
#include "telephony/call_tree_view.h"
#include "telephony/line_manager.h"
#include "ui/panels/edit_entry_dialog.h"
#include "ui/telephony_widgets/qt_call_tree.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct KeyDefinition {
    const char* caption;
    char character;
};

// In key-number order: the twelve telephone keys, then FLASH, plus and space.
constexpr std::array<KeyDefinition, DialPadPanel::kKeyCount> kKeyDefinitions{ {
    { "1", '1' },
    { "2 abc", '2' },
    { "3 def", '3' },
    { "4 ghi", '4' },
    { "5 jkl", '5' },
    { "6 mno", '6' },
    { "7 pqrs", '7' },
    { "8 tuv", '8' },
    { "9 wxyz", '9' },
    { "*", '*' },
    { "0 oper", '0' },
    { "#", '#' },
    { "FLASH", '!' },
    { "+", '+' },
    { "_", ' ' },
} };

// The keypad's rows, left to right; the bottom row has no macro button.
constexpr int kRowCount = 5;
constexpr std::array<std::array<int, 3>, kRowCount> kKeyRows{ {
    { 0, 1, 2 },
    { 3, 4, 5 },
    { 6, 7, 8 },
    { 9, 10, 11 },
    { 13, 12, 14 },
} };

// The keys a keyboard reaches: digits, star and hash.
constexpr int kTypableKeys = 12;

constexpr std::size_t kMacroTextLimit = 99;

// The rows of lines and calls the tree shows at least.
constexpr int kTreeRowsShown = 5;

constexpr int kSpacing = 2;
constexpr int kMacroGap = 12;
constexpr int kMargin = 8;

constexpr const char* kTitle = "Kestrium";

// The menu items' command ids.
constexpr int kDropCallCommand = 32957;
constexpr int kAnswerCommand = 32958;

// The call's context menu as the call model adjusts it: items are found by their command.
class MenuCommands : public CallMenu {
public:
    explicit MenuCommands(QMenu& menu)
        : m_menu(menu)
    {
    }

    void Enable(Item item, bool enabled) override
    {
        const int command = item == Item::Answer ? kAnswerCommand : kDropCallCommand;
        for (QAction* action : m_menu.actions())
            if (action->data().toInt() == command)
                action->setEnabled(enabled);
    }

private:
    QMenu& m_menu;
};

// `text` is marked for translation in the DialPadPanel context.
void AddCommand(QMenu& menu, const char* text, int command)
{
    menu.addAction(DialPadPanel::tr(text))->setData(command);
}

// A stored name is shown as it stands: "&" would otherwise mark a mnemonic.
QString ButtonCaption(std::string_view name)
{
    return QString::fromUtf8(name).replace('&', QStringLiteral("&&"));
}

std::string Limited(std::string_view text)
{
    return std::string(CutToLimit(text, kMacroTextLimit));
}

} // namespace

DialPadPanel::DialPadPanel(LineManager& lines, SettingsStore& settings, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_lines(lines)
    , m_settings(settings)
    , m_prompter(prompter)
    , m_editEntry([this](ContactRecord& record) { return EditEntryDialog::Run(record, this); })
    , m_runMenu([](QMenu& menu, const QPoint& pos) { return menu.exec(pos); })
{
    SetupTree();
    SetupKeys();
    SetupMacros();
    CreateLayout();
    LoadMacroNames();
    RefreshKeypad();
}

DialPadPanel::~DialPadPanel() = default;

CallTreeView* DialPadPanel::CallTree()
{
    return m_callTree.get();
}

void DialPadPanel::SetCallStateImages(QList<QIcon> images)
{
    m_callTree->SetImages(std::move(images));
}

void DialPadPanel::SetupTree()
{
    m_tree = new QTreeWidget(this);
    m_tree->setAccessibleName(tr("Lines and calls"));
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Double click and Enter do nothing on a line or call.
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    // A line with a conference being set up (or a call held and one waiting) shows whole: on a small
    // screen or at a large scale the page scrolls to the keypad rather than the tree to the calls.
    const int row = std::max(m_tree->fontMetrics().height(), m_tree->iconSize().height()) + 4;
    m_tree->setMinimumHeight(kTreeRowsShown * row + 2 * m_tree->frameWidth());
    m_tree->installEventFilter(this);
    m_callTree = std::make_unique<QtCallTree>(*m_tree, QList<QIcon>());
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &DialPadPanel::RefreshKeypad);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, &DialPadPanel::ShowTreeMenu);
}

void DialPadPanel::SetupKeys()
{
    const QFontMetrics metrics = fontMetrics();
    const QSize keySize(std::max(metrics.horizontalAdvance(QStringLiteral("9 wxyz")) + 20, 56),
        std::max(metrics.height() + 14, 30));
    for (int key = 0; key < kKeyCount; ++key) {
        auto* button = new QPushButton(QString::fromLatin1(kKeyDefinitions[std::size_t(key)].caption), this);
        button->setFixedSize(keySize);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, key] { PressKey(key); });
        m_keys[std::size_t(key)] = button;
    }
}

void DialPadPanel::SetupMacros()
{
    const QSize keySize = m_keys[0]->size();
    const QSize macroSize(keySize.width() * 3 / 2, keySize.height());
    for (int index = 0; index < kMacroCount; ++index) {
        auto* button = new QPushButton(this);
        button->setFixedSize(macroSize);
        // Unlike the digit keys, which typing replaces, a macro is only run by its button.
        button->setFocusPolicy(Qt::TabFocus);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QPushButton::clicked, this, [this, index] { PressMacro(index); });
        connect(button, &QPushButton::customContextMenuRequested, this,
            [this, index, button](const QPoint& pos) { ShowMacroMenu(index, button->mapToGlobal(pos)); });
        m_macros[std::size_t(index)] = button;
    }
}

void DialPadPanel::LoadMacroNames()
{
    for (int index = 0; index < kMacroCount; ++index) {
        QPushButton* button = m_macros[std::size_t(index)];
        button->setText(ButtonCaption(StoredMacro(index).DisplayName()));
        // A button without a caption is still named for a screen reader.
        button->setAccessibleName(button->text().isEmpty() ? tr("Macro %1").arg(index + 1) : QString());
    }
}

// Keys and macros stay usable while digits are being generated: what they send waits its turn.
void DialPadPanel::RefreshKeypad()
{
    const Selection selected = SelectedCall();
    const bool keysEnabled = selected.call == 0 || selected.state == LINECALLSTATE_CONNECTED;
    const bool macrosEnabled = IsMacroAvailable(selected);
    for (QPushButton* key : m_keys)
        key->setEnabled(keysEnabled);
    for (QPushButton* macro : m_macros)
        macro->setEnabled(macrosEnabled);
}

bool DialPadPanel::IsMacroAvailable(const Selection& selected)
{
    if (selected.call != 0)
        return selected.state == LINECALLSTATE_CONNECTED;
    if (selected.line >= 0)
        return !m_lines.GetLineSlot(selected.line).IsBusy();
    return m_lines.FindFreeLine() >= 0;
}

// A line item stands for its call when the line has exactly one.
DialPadPanel::Selection DialPadPanel::SelectedCall() const
{
    Selection selected;
    const QList<QTreeWidgetItem*> items = m_tree->selectedItems();
    if (items.isEmpty())
        return selected;
    const std::uint32_t value = items.front()->data(0, QtCallTree::kValueRole).toUInt();
    const int slot = SlotOfTreeValue(value);
    if (slot >= LineManager::kSlotCount)
        return selected;
    selected.line = slot;
    LineSlot& line = m_lines.GetLineSlot(slot);
    const int record = RecordOfTreeValue(value);
    if (record >= LineSlot::kMaxCalls)
        return selected;
    if (record >= 0) {
        selected.call = line.CallAt(record).call;
    } else {
        int calls = 0;
        for (int index = 0; index < LineSlot::kMaxCalls; ++index)
            if (const HCALL call = line.CallAt(index).call; call != 0 && ++calls == 1)
                selected.call = call;
        if (calls != 1)
            selected.call = 0;
    }
    if (selected.call != 0) {
        CallDescription description;
        line.DescribeCall(selected.call, description);
        selected.state = description.state;
    }
    return selected;
}

LineSlot* DialPadPanel::SelectedLine() const
{
    const Selection selected = SelectedCall();
    return selected.line >= 0 ? &m_lines.GetLineSlot(selected.line) : nullptr;
}

bool DialPadPanel::Call()
{
    const Selection selected = SelectedCall();
    int line = selected.line;
    HCALL call = selected.state == LINECALLSTATE_OFFERING ? selected.call : 0;
    if (call == 0) {
        if (line < 0)
            line = m_lines.GetDefaultLine();
        if (line >= 0 && line < LineManager::kSlotCount && m_lines.GetLineSlot(line).IsBusy())
            call = m_lines.GetLineSlot(line).FindOfferingCall();
    }
    m_tree->setFocus();
    if (call == 0)
        return false;
    m_lines.GetLineSlot(line).AnswerCall(call);
    return true;
}

void DialPadPanel::SendDigits(const std::string& digits)
{
    const Selection selected = SelectedCall();
    if (selected.call == 0)
        PlaceMacroCall(digits);
    else
        m_lines.GetLineSlot(selected.line).SendDigits(selected.call, digits);
    RefreshKeypad();
}

// The call drops itself once the digits are dialled: the macro only sends them.
void DialPadPanel::PlaceMacroCall(const std::string& digits)
{
    LineSlot* line = SelectedLine();
    if (!line) {
        const int free = m_lines.FindFreeLine();
        if (free < 0)
            return;
        line = &m_lines.GetLineSlot(free);
    }
    line->PlaceCall(digits, digits, "", true);
}

void DialPadPanel::PressKey(int key)
{
    m_tree->setFocus();
    const Selection selected = SelectedCall();
    const char character = kKeyDefinitions[std::size_t(key)].character;
    if (selected.call == 0) {
        if (m_typeIntoSearchBox)
            m_typeIntoSearchBox(QString(QChar::fromLatin1(character)));
        return;
    }
    if (selected.state != LINECALLSTATE_CONNECTED)
        return;
    if (key < kFirstUnsentKey)
        m_lines.GetLineSlot(selected.line).SendDigits(selected.call, std::string(1, character));
    RefreshKeypad();
}

void DialPadPanel::PressMacro(int index)
{
    const ContactRecord macro = StoredMacro(index);
    if (macro.DefaultNumber().empty())
        EditMacro(index);
    else
        SendDigits(std::string(macro.DefaultNumber()));
    m_tree->setFocus();
}

ContactRecord DialPadPanel::StoredMacro(int index) const
{
    ContactRecord macro;
    macro.SetDisplayName(m_settings.Read(Settings::kMacroName, {}, index + 1));
    macro.SetNumber(macro.DefaultNumberIndex(), m_settings.Read(Settings::kMacroNumber, {}, index + 1));
    return macro;
}

void DialPadPanel::StoreMacro(int index, const ContactRecord& macro)
{
    m_settings.Write(Settings::kMacroName, Limited(macro.DisplayName()), index + 1);
    m_settings.Write(Settings::kMacroNumber, Limited(macro.DefaultNumber()), index + 1);
    LoadMacroNames();
}

void DialPadPanel::EditMacro(int index)
{
    ContactRecord macro = StoredMacro(index);
    if (m_editEntry(macro))
        StoreMacro(index, macro);
}

void DialPadPanel::ClearMacro(int index)
{
    if (!m_prompter.AskYesNo(tr("Are you sure ?").toStdString(), tr("Clear macro").toStdString()))
        return;
    ContactRecord macro;
    macro.SetDisplayName(Settings::IndexedName(Settings::kMacroName.def, index + 1));
    StoreMacro(index, macro);
}

int DialPadPanel::RunMenu(QMenu& menu, const QPoint& globalPos)
{
    QAction* chosen = m_runMenu(menu, globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void DialPadPanel::ShowMacroMenu(int index, const QPoint& globalPos)
{
    QMenu menu(QStringLiteral("Speed"), this);
    AddCommand(menu, QT_TR_NOOP("&Edit entry..."), kEditEntry);
    AddCommand(menu, QT_TR_NOOP("&Clear entry"), kClearEntry);
    switch (RunMenu(menu, globalPos)) {
    case kEditEntry:
        EditMacro(index);
        break;
    case kClearEntry:
        ClearMacro(index);
        break;
    default:
        break;
    }
}

// A right click selects the item under it first; elsewhere it opens no menu.
void DialPadPanel::ShowTreeMenu(const QPoint& pos)
{
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    if (!item)
        return;
    m_tree->setCurrentItem(item);
    const QPoint globalPos = m_tree->viewport()->mapToGlobal(pos);
    const std::uint32_t value = item->data(0, QtCallTree::kValueRole).toUInt();
    const int slot = SlotOfTreeValue(value);
    const int record = RecordOfTreeValue(value);
    if (slot >= LineManager::kSlotCount || record >= LineSlot::kMaxCalls)
        return;
    LineSlot& line = m_lines.GetLineSlot(slot);
    if (record < 0)
        ShowLineMenu(line, globalPos);
    else if (const HCALL call = line.CallAt(record).call; call != 0)
        ShowCallMenu(line, call, globalPos);
}

void DialPadPanel::ShowLineMenu(LineSlot& line, const QPoint& globalPos)
{
    QMenu menu(QStringLiteral("Line"), this);
    AddCommand(menu, QT_TR_NOOP("&Drop all calls"), kDropAllCalls);
    if (RunMenu(menu, globalPos) == kDropAllCalls)
        line.DropAllCalls();
}

void DialPadPanel::ShowCallMenu(LineSlot& line, HCALL call, const QPoint& globalPos)
{
    QMenu menu(QStringLiteral("Call"), this);
    AddCommand(menu, QT_TR_NOOP("&Answer"), kAnswerCommand);
    AddCommand(menu, QT_TR_NOOP("&Drop call"), kDropCallCommand);
    MenuCommands commands(menu);
    line.UpdateCallMenu(commands, call);
    switch (RunMenu(menu, globalPos)) {
    case kAnswerCommand:
        line.AnswerCall(call);
        break;
    case kDropCallCommand:
        line.DropCall(call);
        break;
    default:
        break;
    }
}

// The keypad block, with the macro buttons on its right, stays centred and on the bottom edge; the
// tree takes the room above it.
void DialPadPanel::CreateLayout()
{
    auto* keypad = new QGridLayout;
    keypad->setSpacing(kSpacing);
    constexpr int kMacroColumn = 4;
    keypad->setColumnMinimumWidth(kMacroColumn - 1, kMacroGap - 4 * kSpacing);
    for (int row = 0; row < kRowCount; ++row) {
        for (int column = 0; column < 3; ++column)
            keypad->addWidget(
                m_keys[std::size_t(kKeyRows[std::size_t(row)][std::size_t(column)])], row, column);
        if (row < kMacroCount)
            keypad->addWidget(m_macros[std::size_t(row)], row, kMacroColumn);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, 4);
    layout->setSpacing(6);
    layout->addWidget(m_tree, 1);
    m_commandRow = new QHBoxLayout;
    m_commandRow->addStretch();
    layout->addLayout(m_commandRow);
    layout->addLayout(keypad);
    layout->setAlignment(keypad, Qt::AlignHCenter);
}

void DialPadPanel::SetCallCommands(const QList<QAction*>& commands)
{
    for (QAction* command : commands) {
        auto* button = new QToolButton(this);
        button->setDefaultAction(command);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFocusPolicy(Qt::TabFocus);
        m_commandRow->insertWidget(m_commandRow->count() - 1, button);
    }
}

// The tree holds the focus whenever the page is shown, so the keyboard reaches the keypad.
void DialPadPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_tree->setFocus();
}

void DialPadPanel::keyPressEvent(QKeyEvent* event)
{
    if (!PressKeyFor(event->text()))
        QWidget::keyPressEvent(event);
}

bool DialPadPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress
        && PressKeyFor(static_cast<QKeyEvent*>(event)->text()))
        return true;
    return QWidget::eventFilter(watched, event);
}

// Digits, star and hash typed on the page act like their keys, and like them only while enabled.
bool DialPadPanel::PressKeyFor(const QString& text)
{
    if (text.size() != 1)
        return false;
    for (int key = 0; key < kTypableKeys; ++key) {
        if (text.front() != QChar::fromLatin1(kKeyDefinitions[std::size_t(key)].character))
            continue;
        if (m_keys[std::size_t(key)]->isEnabled())
            PressKey(key);
        return true;
    }
    return false;
}
