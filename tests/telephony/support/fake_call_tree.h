#pragma once

#include "telephony/call_tree_view.h"

#include <memory>
#include <string>
#include <vector>

// An in-memory call tree: what the line manager put in it, for assertions.
class FakeCallTree : public CallTreeView {
public:
    struct Item {
        std::string text;
        int image = -1;
        std::uint32_t value = 0;
        bool expanded = false;
        Item* parent = nullptr;
        std::vector<std::unique_ptr<Item>> children;
    };

    void Clear() override;
    Node AddNode(Node parent, std::string_view text, int image, std::uint32_t value) override;
    void SetNode(Node node, std::string_view text, int image) override;
    void Expand(Node node) override { Mutable(node)->expanded = true; }
    void Select(Node node) override { m_selected = Mutable(node); }
    Node FirstTopLevel() const override { return m_top.empty() ? nullptr : m_top.front().get(); }
    Node FirstVisible() const override { return FirstTopLevel(); }
    Node NextVisible(Node node) const override;
    std::uint32_t Value(Node node) const override { return static_cast<const Item*>(node)->value; }

    const std::vector<std::unique_ptr<Item>>& TopLevel() const { return m_top; }
    const Item* Selected() const { return m_selected; }
    int ClearCount() const { return m_clears; }
    int SetNodeCount() const { return m_setNodes; }
    // Every call node's text, in tree order.
    std::vector<std::string> CallTexts() const;

private:
    static Item* Mutable(Node node) { return static_cast<Item*>(const_cast<void*>(node)); }
    const std::vector<std::unique_ptr<Item>>& Siblings(const Item* item) const;

    std::vector<std::unique_ptr<Item>> m_top;
    Item* m_selected = nullptr;
    int m_clears = 0;
    int m_setNodes = 0;
};
