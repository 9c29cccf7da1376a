#pragma once

#include "ui/setup/setup_page.h"

#include <functional>
#include <memory>

// Makes one page of the setup dialog.
using SetupPageFactory = std::function<std::unique_ptr<SetupPage>(SetupContext&, QWidget*)>;

// The factories of the call-recording and voice-mail pages. Pages made by the same pair know each
// other: their device lists, format text and compression box mirror each other.
struct SetupAudioPageFactories {
    SetupPageFactory callRecording;
    SetupPageFactory voiceMail;
};

SetupAudioPageFactories MakeSetupAudioPages();
