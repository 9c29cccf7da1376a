#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// Stops the text cursor's blinking when no key, click or focus change came for a while, as
// desktops commonly do; the cursor then stays shown, and the next input makes it blink again. An
// idle window with a focused text field thus has no timer that keeps waking the program.
class CursorBlinkTimeout : public QObject {
public:
    static constexpr std::chrono::milliseconds kTimeout{ 10000 };

    // Watches the input of the whole application from now on.
    explicit CursorBlinkTimeout(std::chrono::milliseconds timeout = kTimeout);
    // Blinking as before.
    ~CursorBlinkTimeout() override;
    CursorBlinkTimeout(const CursorBlinkTimeout&) = delete;
    CursorBlinkTimeout& operator=(const CursorBlinkTimeout&) = delete;

    bool IsBlinking() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Blink();

    const int m_flashTime;
    QTimer m_timeout;
};
