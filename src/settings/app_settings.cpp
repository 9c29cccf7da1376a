#include "settings/app_settings.h"

#include "platform/kernel.h"
#include "settings/settings_store.h"

namespace {

std::string ReadFolder(const SettingsStore& settings, const Settings::TextValue& value, const std::string& dataFolder)
{
    std::string folder = settings.Read(value, dataFolder);
    platform::CreateOneDirectory(folder);
    return folder;
}

}  // namespace

AppSettings AppSettings::Read(const SettingsStore& settings, const std::string& dataFolder)
{
    AppSettings s;
    s.callRecordingsFolder = ReadFolder(settings, Settings::kCallRecordingsPath, dataFolder);
    s.generalRecordingsFolder = ReadFolder(settings, Settings::kGeneralRecordingsPath, dataFolder);
    s.deletedFolder = ReadFolder(settings, Settings::kDeletedPath, dataFolder);
    s.voiceMailFolder = ReadFolder(settings, Settings::kVoicemailPath, dataFolder);
    s.greetingFile = settings.Read(Settings::kOgmFile, s.generalRecordingsFolder);
    s.beepFile = settings.Read(Settings::kBeepFile, s.generalRecordingsFolder);
    s.voiceMailOn = settings.Read(Settings::kVoicemailOn);
    s.answerAfter = settings.Read(Settings::kAnswerAfter);
    s.recordingFormat = settings.Read(Settings::kRecordingFormat);
    s.useCompression = settings.Read(Settings::kUseCompression);
    s.autoRecordCalls = settings.Read(Settings::kAutoRecordCalls);
    s.playBeepWhenRecording = settings.Read(Settings::kPlayBeepWhenRecording);
    s.playBeepFromFile = settings.Read(Settings::kPlayBeepFromFile);
    return s;
}
