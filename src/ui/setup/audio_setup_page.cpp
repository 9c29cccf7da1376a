#include "ui/setup/audio_setup_page.h"

#include "platform/kernel.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "telephony/line_manager.h"
#include "ui/setup/audio_format_box.h"

AudioSetupPage::AudioSetupPage(SetupContext& context, QWidget* parent)
    : SetupPage(parent)
    , m_context(context)
    , m_format(new AudioFormatBox(context.lines.GetSharedAudioEngine(), this))
    , m_sound(new SoundFileBox(context, *m_format, this))
{
    m_format->Fill(context.appSettings.recordingFormat, context.appSettings.useCompression != 0);
}

void AudioSetupPage::SetPartner(AudioSetupPage& partner)
{
    m_format->SetPartner(partner.m_format);
    partner.m_format->SetPartner(m_format);
    m_sound->SetPartner(partner.m_sound);
    partner.m_sound->SetPartner(m_sound);
}

void AudioSetupPage::StopAudio()
{
    m_sound->Stop();
}

void AudioSetupPage::StoreFolder(
    const Settings::TextValue& value, const std::string& folder, std::string& current)
{
    platform::CreateOneDirectory(folder);
    m_context.settings.Write(value, folder);
    current = folder;
}

void AudioSetupPage::StoreSwitch(const Settings::NumberValue& value, bool on, std::int32_t& current)
{
    current = on ? 1 : 0;
    m_context.settings.Write(value, current);
}
