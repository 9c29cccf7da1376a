#pragma once

#include <QCoreApplication>
#include <QProgressBar>

#include <algorithm>
#include <climits>
#include <cstdint>

// What the players of the setup pages and of the call log share: their icons, question and
// progress bar.
namespace PlayerParts {

// Icon resource numbers of the player buttons.
inline constexpr int kPlayIcon = 270;
inline constexpr int kPauseIcon = 271;
inline constexpr int kStopIcon = 272;
inline constexpr int kDeleteIcon = 273;
inline constexpr int kRewindIcon = 274;

// Marked for translation in the PlayerParts context.
inline constexpr const char* kDeleteQuestion
    = QT_TRANSLATE_NOOP("PlayerParts", "Are you sure you want to delete the recording ?");

// A range of 0 to 0 would show Qt's busy animation: an empty or unknown file gets 0 to 1.
inline void SetProgressRange(QProgressBar& bar, std::uint32_t lengthMs)
{
    bar.setRange(0, int(std::clamp<std::uint32_t>(lengthMs, 1, INT_MAX)));
}

// The player's progress bar, empty and without a text.
inline QProgressBar* CreateProgressBar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName("progress");
    bar->setTextVisible(false);
    SetProgressRange(*bar, 0);
    return bar;
}

} // namespace PlayerParts
