#pragma once

#include "telephony/call_tree_view.h"

#include <QIcon>
#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

// The call tree on a QTreeWidget that the keypad tab owns. Each item keeps its 32-bit value and
// its image index in item data, and shows the image from the call-state image list.
class QtCallTree : public CallTreeView {
public:
    static constexpr int kValueRole = Qt::UserRole;
    static constexpr int kImageRole = Qt::UserRole + 1;

    QtCallTree(QTreeWidget& tree, QList<QIcon> images);

    // Replaces the image list; the items already shown take their images from the new one.
    void SetImages(QList<QIcon> images);

    void Clear() override;
    Node AddNode(Node parent, std::string_view text, int image, std::uint32_t value) override;
    void SetNode(Node node, std::string_view text, int image) override;
    void Expand(Node node) override;
    void Select(Node node) override;
    Node FirstTopLevel() const override;
    Node FirstVisible() const override;
    Node NextVisible(Node node) const override;
    std::uint32_t Value(Node node) const override;

private:
    void Decorate(QTreeWidgetItem& item, std::string_view text, int image) const;
    QIcon Image(int image) const;

    QTreeWidget& m_tree;
    QList<QIcon> m_images;
};
