#pragma once

#include "res/images.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QIcon>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class CallLogStore;

// The rows of a call list: the store's entries that a filter shows, newest first, in three columns
// (name or number, date, time). Texts are made when the view asks for them, so a fill of the
// whole store costs the filter and the sort, not a widget per entry.
class CallLogModel : public QAbstractTableModel {
    Q_DECLARE_TR_FUNCTIONS(CallLogModel)

public:
    static constexpr int kColumnCount = 3;

    explicit CallLogModel(const CallLogStore& store, QObject* parent = nullptr);

    // Shows the entries the filter selects (the store's list rule, no search text).
    void Fill(std::int32_t filter);

    // The store position of a row's entry, or none for a row outside the list.
    std::optional<std::size_t> Position(int row) const;
    // The row showing a store position, -1 when the list does not show it.
    int RowOf(std::size_t position) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const CallLogStore& m_store;
    std::vector<std::size_t> m_positions;
    std::array<QIcon, Images::kCallTypeCount> m_images;
};
