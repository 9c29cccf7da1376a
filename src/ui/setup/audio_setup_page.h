#pragma once

#include "settings/settings.h"
#include "ui/setup/setup_page.h"
#include "ui/setup/sound_file_box.h"

class AudioFormatBox;

// What the call-recording and voice-mail pages share: a sound file with its player and recorder,
// and the "Audio format:" group, both mirrored with the partner page.
class AudioSetupPage : public SetupPage {
public:
    AudioSetupPage(SetupContext& context, QWidget* parent);

    // Makes the two pages mirror each other's device lists, format text and compression box.
    void SetPartner(AudioSetupPage& partner);
    void StopAudio() override;

    SoundFileBox& Sound() { return *m_sound; }
    AudioFormatBox& Format() { return *m_format; }

protected:
    // Stores a folder setting after creating the folder (one level; a failure is not reported),
    // and makes it the program's current value.
    void StoreFolder(const Settings::TextValue& value, const std::string& folder, std::string& current);
    // Stores a switch (1 or 0) and makes it the program's current value.
    void StoreSwitch(const Settings::NumberValue& value, bool on, std::int32_t& current);

    SetupContext& m_context;
    AudioFormatBox* m_format;
    SoundFileBox* m_sound;
};
