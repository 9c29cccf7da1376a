#include "fake_call_tree.h"

void FakeCallTree::Clear()
{
    m_top.clear();
    m_selected = nullptr;
    ++m_clears;
}

CallTreeView::Node FakeCallTree::AddNode(Node parent, std::string_view text, int image, std::uint32_t value)
{
    auto item = std::make_unique<Item>();
    item->text = text;
    item->image = image;
    item->value = value;
    item->parent = Mutable(parent);
    auto& list = parent ? Mutable(parent)->children : m_top;
    list.push_back(std::move(item));
    return list.back().get();
}

void FakeCallTree::SetNode(Node node, std::string_view text, int image)
{
    Mutable(node)->text = text;
    Mutable(node)->image = image;
    ++m_setNodes;
}

const std::vector<std::unique_ptr<FakeCallTree::Item>>& FakeCallTree::Siblings(const Item* item) const
{
    return item->parent ? item->parent->children : m_top;
}

// Depth first, into the children of expanded nodes only.
CallTreeView::Node FakeCallTree::NextVisible(Node node) const
{
    const Item* item = static_cast<const Item*>(node);
    if (item->expanded && !item->children.empty())
        return item->children.front().get();
    for (; item; item = item->parent) {
        const auto& siblings = Siblings(item);
        for (std::size_t i = 0; i + 1 < siblings.size(); ++i)
            if (siblings[i].get() == item)
                return siblings[i + 1].get();
    }
    return nullptr;
}

std::vector<std::string> FakeCallTree::CallTexts() const
{
    std::vector<std::string> texts;
    for (Node node = FirstVisible(); node; node = NextVisible(node))
        if (RecordOfTreeValue(Value(node)) >= 0)
            texts.push_back(static_cast<const Item*>(node)->text);
    return texts;
}
