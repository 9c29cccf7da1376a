#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

struct AppSettings;
class CallLogPanel;
class CallLogStore;
class ContactRecord;
class LineManager;
class Prompter;
class RedialStore;
class SettingsStore;
struct CallLogEntry;

// What the call log pages need of the main window.
class CallLogWindow {
public:
    virtual ~CallLogWindow() = default;
    // The window has finished opening and is not refilling its contacts tree: a selection in a
    // list is the user's.
    virtual bool FollowsSelection() const = 0;
    virtual bool IsCallLogTabCurrent() const = 0;
    virtual void ShowMissedCount(std::size_t count) = 0;
    virtual void ShowUnreadCount(std::size_t count) = 0;
    // The call button and the other controls that depend on the selection.
    virtual void RefreshCallDisplay() = 0;
    // Opens the contact editor on a new contact filled from `record`; adds and saves it on OK.
    virtual void SaveToContact(const ContactRecord& record) = 0;
};

// What the call log tab, the voice mail tab and the call details dialog share: the stores, the
// entry that the selection, the details dialog and the playback controls act on, and the two pages.
struct CallLogContext {
    CallLogStore& store;
    SettingsStore& settings;
    LineManager& lines;
    RedialStore& redial;
    Prompter& prompter;
    CallLogWindow& window;
    // The recording folders new note files go in.
    const AppSettings& folders;
    // The current entry's position in the store.
    std::optional<std::size_t> current;
    CallLogPanel* callLogPage = nullptr;
    CallLogPanel* voiceMailPage = nullptr;

    // The current entry, null when there is none.
    CallLogEntry* CurrentEntry();
    std::filesystem::path File() const;
    // Writes the call log file (an entry's heard mark, note and recording reach it at once); tells
    // the user and answers false when it cannot be written.
    bool Save();
    // Saves, loads the file again and refills both pages, as after every change of the store.
    void SaveAndReload();
    // The call log tab with its filter and the unread counter, and the voice mail tab.
    void RefreshLists();
};
