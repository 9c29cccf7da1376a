#pragma once

#include <QWidget>

struct AppSettings;
class LineManager;
class PasswordVault;
class Prompter;
class SettingsStore;

// What the pages of the setup dialog work on. The dialog and its pages change the settings in
// the registry and, on Save, the application's in-memory AppSettings.
struct SetupContext {
    LineManager& lines;
    SettingsStore& settings;
    AppSettings& appSettings;
    Prompter& prompter;
    // Where the address book page keeps the password; without it the page stores no password.
    PasswordVault* passwords = nullptr;
};

// One page of the setup dialog. The frame calls StoreValues in the order of its Save, and
// StopAudio before it saves or cancels (a page's player or recorder must not outlive the dialog).
class SetupPage : public QWidget {
public:
    using QWidget::QWidget;

    virtual void StoreValues() = 0;
    virtual void StopAudio() { }
};
