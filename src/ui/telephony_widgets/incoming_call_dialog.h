#pragma once

#include "telephony/incoming_popup.h"

#include <QCoreApplication>
#include <QDialog>

class QLabel;
class QPushButton;

// "Incoming call:": a modeless pop-up that stays on top without taking the focus, with the caller
// (control 1203, plain text) and the buttons "Answer" (1, the default), "Send to voicemail"
// (1198) and "Ignore" (1202), which it reports to its listener. Escape and the close box do
// nothing: only a button or the call's end closes it.
class IncomingCallDialog : public QDialog, public IncomingPopup {
    Q_DECLARE_TR_FUNCTIONS(IncomingCallDialog)

public:
    explicit IncomingCallDialog(IncomingPopupListener& listener);

    // The pop-up factory the incoming-call handling is given.
    static IncomingPopup::Handle Create(IncomingPopupListener& listener);

    void SetCallInfo(
        HCALL call, DWORD deviceId, const std::string& text, const std::string& caption) override;
    void ShowOnTop() override;
    void Move(int x, int y, int width, int height) override;

    HCALL Call() const { return m_call; }
    DWORD DeviceId() const { return m_deviceId; }
    QLabel* CallerText() const { return m_caller; }
    QPushButton* AnswerButton() const { return m_answer; }
    QPushButton* VoicemailButton() const { return m_voicemail; }
    QPushButton* IgnoreButton() const { return m_ignore; }

    void reject() override { }

protected:
    void Close() override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* AddButton(const QString& text, const char* id, IncomingPopupListener::Button button);
    void SetupControls();

    IncomingPopupListener& m_listener;
    QLabel* m_caller = nullptr;
    QPushButton* m_answer = nullptr;
    QPushButton* m_voicemail = nullptr;
    QPushButton* m_ignore = nullptr;
    HCALL m_call = 0;
    DWORD m_deviceId = 0;
};
