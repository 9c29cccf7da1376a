#pragma once

// Kestrium as a user meets it: the application started in a data folder of its own, on the
// simulated exchange's manual clock, with scripted message boxes.
#include "app/application.h"
#include "platform/registry.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "tapi/include/tapisim.h"
#include "telephony/support/recording_notifications.h"
#include "telephony/support/scripted_prompter.h"
#include "ui/main/main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <poll.h>

#include <stdexcept>

extern "C" int tapiGetEventFd(void);

class RunningApp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK); }
    void TearDown() override
    {
        m_app.reset();
        tapisimReset();
        tapisimConfigure(nullptr);
    }

    MainWindow& Start()
    {
        m_app = std::make_unique<Application>(m_dir.Path(), m_hive, m_prompter);
        auto notifications = std::make_unique<RecordingSink>();
        m_notifications = notifications.get();
        m_app->UseNotifications(std::move(notifications));
        EXPECT_TRUE(m_app->Start());
        Settle();
        return *m_app->Window();
    }
    // Closes the window with its close box and lets the application save and stop.
    void Stop()
    {
        m_app->Window()->close();
        m_app->Finish();
        m_app.reset();
    }
    void Settle()
    {
        QCoreApplication::processEvents();
        for (int round = 0; round < 1000; ++round) {
            pollfd fd{ tapiGetEventFd(), POLLIN, 0 };
            if (fd.fd < 0 || ::poll(&fd, 1, 0) <= 0)
                break;
            QCoreApplication::processEvents();
        }
    }
    void Advance(DWORD milliseconds)
    {
        ASSERT_EQ(tapisimAdvance(milliseconds), TAPISIM_OK);
        Settle();
    }
    // Saves a picture of the widget as NAME.png when KESTRIUM_SCREENSHOTS names a folder.
    void SaveScreenshot(QWidget& widget, const QString& name)
    {
        const QString folder = qEnvironmentVariable("KESTRIUM_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        widget.show();
        Settle();
        widget.grab().save(folder + "/" + name + ".png");
    }
    void TakeScreenshots(MainWindow& window)
    {
        const char* names[] = { "main-contacts", "main-active-calls", "main-call-log", "main-voice-mail" };
        for (int tab = 0; tab < MainWindow::kTabCount; ++tab) {
            window.ShowTab(tab);
            SaveScreenshot(window, names[tab]);
        }
    }

    // The window's command by its object name ("actionRecord", "actionLine2"), as a test finds it.
    static QAction& Command(const MainWindow& window, const QString& name)
    {
        QAction* action = window.findChild<QAction*>(name);
        if (!action)
            throw std::runtime_error("the main window has no action " + name.toStdString());
        return *action;
    }

    testing_support::TempDir m_dir;
    testing_support::TempDir m_config;
    platform::RegistryHive m_hive{ m_config / "registry.reg" };
    SettingsStore m_settings{ m_hive };
    ScriptedPrompter m_prompter;
    std::unique_ptr<Application> m_app;
    // The notifications of the application last started; it owns them.
    RecordingSink* m_notifications = nullptr;
};
