#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The names of the contact groups, kept in locale-aware case-insensitive order (except that
// "Unfiled" goes to the end when it is added), at most 32 of them. Stored in
// "KestriumContactGroups.csv" as quoted fields on one line without a line end.
class GroupStore {
public:
    static constexpr std::size_t kMaxGroups = 32;
    static constexpr std::size_t kNameLimit = 99;
    static constexpr std::string_view kUnfiled = "Unfiled";
    static constexpr std::string_view kFileName = "KestriumContactGroups.csv";

    GroupStore();

    // Adds each field of the file in turn until one cannot be read or the store is full; a missing
    // file gives the six default groups. The store is emptied first.
    void Load(const std::filesystem::path& file);
    bool Save(const std::filesystem::path& file) const;

    // Adds `name` (cut to 99 bytes) in sorted place; true without adding when it exists already,
    // false when the store is full.
    bool Add(std::string_view name);
    bool Find(std::string_view name) const;
    // Removes the group (the contacts are moved by ContactStore::DeleteGroup); false when missing.
    bool Delete(std::string_view name);
    // Gives the group the new name in its old place; no check that the new name is free.
    bool Rename(std::string_view oldName, std::string_view newName);

    std::size_t Count() const { return m_names.size(); }
    const std::string* GetAt(std::size_t index) const;
    bool CanAdd() const { return m_names.size() < kMaxGroups; }

    // Group names are equal when they compare equal case-insensitively in the user's locale.
    static bool NamesEqual(std::string_view a, std::string_view b);

    // What the group menus, combo boxes and list boxes show; groups with an empty name never show.
    // The "Groups" menu items: positions of all groups but the one named exactly "Unfiled".
    std::vector<std::size_t> MenuGroups() const;
    // A combo box's items: optionally "All" first, then the groups in store order.
    std::vector<std::string> ComboItems(bool withAll) const;
    // The item a combo box selects for `group`: the first whose text begins with it
    // (case-insensitive), searching from the second item on and then the first; -1 for none.
    static int ComboSelection(const std::vector<std::string>& items, std::string_view group);
    // A list box's items, sorted as a sorting list box shows them.
    std::vector<std::string> ListItems() const;

private:
    std::vector<std::string>::const_iterator FindName(std::string_view name) const;

    std::vector<std::string> m_names;
};
