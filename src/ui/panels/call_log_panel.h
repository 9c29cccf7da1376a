#pragma once

#include <QCoreApplication>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <optional>

class CallLogModel;
class PlaybackControls;
class QLabel;
class QMenu;
class QToolButton;
class QTreeView;
struct CallLogContext;
struct CallLogEntry;

// The call log tab: the type label with its menu over the list of finished calls (name or number,
// date, time; newest first), the entry menus and actions, and the playback controls for the
// selected entry's recording. The voice mail tab is a second page of this kind (VoiceMailPanel).
class CallLogPanel : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(CallLogPanel)

public:
    enum class Kind { CallLog, VoiceMail };
    static constexpr int kColumnCount = 3;

    // Ends of the call details dialog that the page acts on.
    static constexpr int kDetailsCall = 1198;
    static constexpr int kDetailsSave = 1220;
    static constexpr int kDetailsDelete = 1221;

    CallLogPanel(CallLogContext& context, Kind kind, QWidget* parent = nullptr);

    Kind GetKind() const { return m_kind; }
    void SetColumnWidths(const int (&widths)[kColumnCount]);
    int ColumnWidth(int column) const;

    // The type menu's work: the filter, its label, and the list refilled.
    void SetFilter(std::int32_t filter);
    std::int32_t Filter() const { return m_filter; }
    // Refills the list with the current filter; the current entry stays selected where it shows.
    // A page not filled yet is filled when it is first shown or its model is first asked for.
    void Refill();
    // Refills the list and shows the unheard voice messages in the main window.
    void RefreshUnreadCount();
    // While the call log tab is current the missed calls until now count as seen; the main window
    // shows the unseen ones.
    void MarkMissedViewed();

    // Selects the entry at this store position where the list shows it, as a click would.
    void SelectPosition(std::size_t position);
    // The Call action for the selected entry; false when nothing is selected.
    bool CallSelected();
    bool SelectedIsCallable() const;
    const CallLogEntry* SelectedEntry() const;

    // The entry actions, each on the selected entry.
    void ShowDetails();
    void CallEntry();
    void SaveToContact();
    void DeleteEntry();
    void RestoreEntry();
    void DeletePermanently();

    // The type menu (All ... Deleted) and the entry menu for the current filter.
    QMenu* CreateTypeMenu(QWidget* parent);
    QMenu* CreateEntryMenu(QWidget* parent);

    QTreeView* List() const { return m_list; }
    CallLogModel* Model()
    {
        FillIfPending();
        return m_model;
    }
    QLabel* TypeLabel() const { return m_typeLabel; }
    PlaybackControls* Player() const { return m_player; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTypeRow();
    void CreateList();
    void OpenTypeMenu();
    void OpenEntryMenu(const QPoint& position);
    void OnSelectionChanged();
    void FollowSelection();
    void FillIfPending();
    // Makes the selected entry the current one; false when nothing is selected.
    bool TakeSelected();
    void AfterStoreChange();
    void SetLabelFor(std::int32_t filter);
    void OnColumnResized(int column, int oldWidth, int width);
    void FitNameColumn();

    CallLogContext& m_context;
    const Kind m_kind;
    std::int32_t m_filter;
    bool m_filling = false;
    bool m_fillPending = true; // not filled since it was made
    bool m_fittingNames = false;
    int m_nameWidth = 0;
    QLabel* m_typeLabel = nullptr;
    QToolButton* m_typeButton = nullptr;
    QTreeView* m_list = nullptr;
    CallLogModel* m_model = nullptr;
    PlaybackControls* m_player = nullptr;
};

// The voice mail tab: the voice messages (filter 4) with the same list, menus, actions and player,
// without the type label.
class VoiceMailPanel : public CallLogPanel {
public:
    explicit VoiceMailPanel(CallLogContext& context, QWidget* parent = nullptr);
};
