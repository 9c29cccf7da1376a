#pragma once

#include "tapi/include/tapi.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

// Where a notes window hands the user's decision: the note's new text (an empty text deletes the
// note), or none when the window was cancelled. Either way the window is closed by the receiver.
class NoteSaver {
public:
    virtual ~NoteSaver() = default;
    virtual void SaveNote(int slot, HCALL call, std::optional<std::string_view> text) = 0;
};

// The modeless "Notes" window of a call in progress, as call recording sees it. Destroying the
// object closes the window; text typed but not saved is lost.
class NotesWindow {
public:
    virtual ~NotesWindow() = default;
    // Shows the window on top of the others, with the focus in the note.
    virtual void Show() = 0;
    virtual void SetNote(std::string_view text) = 0;
};

// Makes the notes window of a call on a line slot; it reports to `saver`.
using NotesWindowFactory
    = std::function<std::unique_ptr<NotesWindow>(NoteSaver& saver, int slot, HCALL call)>;
