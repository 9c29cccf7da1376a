#pragma once

#include <cstdint>
#include <string_view>

// The tree of lines and calls on the keypad tab, as the line manager fills it. Every node carries a
// 32-bit value: the slot index in the low 16 bits and, for a call node, the record index plus 1 in
// the high 16 bits. Images are indices of the call-state image list.
class CallTreeView {
public:
    // An opaque node reference, valid until the next Clear; null is no node.
    using Node = const void*;

    virtual ~CallTreeView() = default;

    virtual void Clear() = 0;
    // Adds a node under `parent` (null: top level) and returns it.
    virtual Node AddNode(Node parent, std::string_view text, int image, std::uint32_t value) = 0;
    // Sets the text and both the normal and the selected image.
    virtual void SetNode(Node node, std::string_view text, int image) = 0;
    virtual void Expand(Node node) = 0;
    virtual void Select(Node node) = 0;
    virtual Node FirstTopLevel() const = 0;
    // Walking the visible nodes: the first, then each one below the last (null at the end).
    virtual Node FirstVisible() const = 0;
    virtual Node NextVisible(Node node) const = 0;
    virtual std::uint32_t Value(Node node) const = 0;
};

inline std::uint32_t CallTreeValue(int slot, int record)
{
    return std::uint32_t(slot) | (std::uint32_t(record + 1) << 16);
}
inline std::uint32_t LineTreeValue(int slot)
{
    return std::uint32_t(slot);
}
inline int SlotOfTreeValue(std::uint32_t value)
{
    return int(value & 0xFFFF);
}
// The record index of a call node, -1 for a line node.
inline int RecordOfTreeValue(std::uint32_t value)
{
    return int(value >> 16) - 1;
}
