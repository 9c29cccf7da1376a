#include "ui/telephony_widgets/qt_call_tree.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

QTreeWidgetItem* Item(CallTreeView::Node node)
{
    return static_cast<QTreeWidgetItem*>(const_cast<void*>(node));
}

} // namespace

QtCallTree::QtCallTree(QTreeWidget& tree, QList<QIcon> images)
    : m_tree(tree)
    , m_images(std::move(images))
{
}

void QtCallTree::SetImages(QList<QIcon> images)
{
    m_images = std::move(images);
    for (QTreeWidgetItemIterator it(&m_tree); *it; ++it)
        (*it)->setIcon(0, Image((*it)->data(0, kImageRole).toInt()));
}

void QtCallTree::Clear()
{
    m_tree.clear();
}

CallTreeView::Node QtCallTree::AddNode(Node parent, std::string_view text, int image, std::uint32_t value)
{
    auto* item = parent ? new QTreeWidgetItem(Item(parent)) : new QTreeWidgetItem(&m_tree);
    item->setData(0, kValueRole, value);
    Decorate(*item, text, image);
    return item;
}

void QtCallTree::SetNode(Node node, std::string_view text, int image)
{
    Decorate(*Item(node), text, image);
}

void QtCallTree::Expand(Node node)
{
    Item(node)->setExpanded(true);
}

void QtCallTree::Select(Node node)
{
    m_tree.setCurrentItem(Item(node));
}

CallTreeView::Node QtCallTree::FirstTopLevel() const
{
    return m_tree.topLevelItem(0);
}

CallTreeView::Node QtCallTree::FirstVisible() const
{
    return m_tree.topLevelItem(0);
}

CallTreeView::Node QtCallTree::NextVisible(Node node) const
{
    return m_tree.itemBelow(Item(node));
}

std::uint32_t QtCallTree::Value(Node node) const
{
    return Item(node)->data(0, kValueRole).toUInt();
}

// Caller names come from the line: QTreeWidget shows item text as plain text.
void QtCallTree::Decorate(QTreeWidgetItem& item, std::string_view text, int image) const
{
    item.setText(0, QString::fromUtf8(text.data(), qsizetype(text.size())));
    item.setData(0, kImageRole, image);
    item.setIcon(0, Image(image));
}

QIcon QtCallTree::Image(int image) const
{
    return image >= 0 && image < m_images.size() ? m_images[image] : QIcon();
}
