#pragma once

#include <QWidget>

#include <cstdint>

class CallLogStore;
class LineManager;
class QLabel;
class QTreeWidget;
class RedialStore;
class SettingsStore;

// The page of the "Call Log" and "Voice Mail" tabs: the filter's name over a list of finished
// calls in three columns (name or number, date, time), newest first.
class CallListPage : public QWidget {
public:
    static constexpr int kColumnCount = 3;

    CallListPage(CallLogStore& callLog, LineManager& lines, RedialStore& redial, QWidget* parent = nullptr);

    // Column widths of the "Name/Number", "Date" and "Time" columns.
    void SetColumnWidths(const int (&widths)[kColumnCount]);
    int ColumnWidth(int column) const;

    // Shows the entries the filter and the search text select; `label` names the filter.
    void FillCallList(std::int32_t filter, const QString& label);
    void Refill();

    // The selected entry has a number that can be dialled.
    bool SelectedIsCallable() const;
    // Dials the selected entry's number and puts it on the redial list.
    void CallSelected();
    // Everything missed until now counts as seen.
    void MarkMissedViewed(SettingsStore& settings);

    QTreeWidget* List() const { return m_list; }
    QLabel* FilterLabel() const { return m_filterLabel; }

private:
    const struct CallLogEntry* SelectedEntry() const;

    CallLogStore& m_callLog;
    LineManager& m_lines;
    RedialStore& m_redial;
    std::int32_t m_filter;
    QLabel* m_filterLabel = nullptr;
    QTreeWidget* m_list = nullptr;
};
