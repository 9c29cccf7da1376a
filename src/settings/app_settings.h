#pragma once

#include <cstdint>
#include <string>

class SettingsStore;

// The settings read once at start-up and taken as fixed for the run; only the setup dialog changes
// them (in memory and in the registry).
struct AppSettings {
    std::string callRecordingsFolder;
    std::string generalRecordingsFolder;
    std::string deletedFolder;
    std::string voiceMailFolder;
    std::string greetingFile;
    std::string beepFile;
    std::int32_t voiceMailOn = 1;
    std::int32_t answerAfter = 3;
    std::string recordingFormat;
    std::int32_t useCompression = 0;
    std::int32_t autoRecordCalls = 0;
    std::int32_t playBeepWhenRecording = 1;
    std::int32_t playBeepFromFile = 0;

    // Reads every field in its order, with the defaults formed from the data folder (the folders)
    // and the general recordings folder (greeting and beep). Each folder is created as it is read,
    // one level only; a folder that exists or cannot be made is left as it is.
    static AppSettings Read(const SettingsStore& settings, const std::string& dataFolder);
};
