#include "ui/telephony_widgets/incoming_call_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

IncomingCallDialog::IncomingCallDialog(IncomingPopupListener& listener)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , m_listener(listener)
{
    setWindowTitle(tr("Incoming call:"));
    setModal(false);
    // A call arriving must not take the keyboard from what the user is typing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    SetupControls();
}

IncomingPopup::Handle IncomingCallDialog::Create(IncomingPopupListener& listener)
{
    return IncomingPopup::Handle(new IncomingCallDialog(listener));
}

void IncomingCallDialog::SetupControls()
{
    m_caller = new QLabel(this);
    m_caller->setObjectName("1203");
    m_caller->setTextFormat(Qt::PlainText);
    m_answer = AddButton(tr("Answer"), "1", IncomingPopupListener::Button::Answer);
    m_answer->setDefault(true);
    m_voicemail = AddButton(tr("Send to voicemail"), "1198", IncomingPopupListener::Button::SendToVoicemail);
    m_ignore = AddButton(tr("Ignore"), "1202", IncomingPopupListener::Button::Ignore);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_answer);
    buttons->addWidget(m_voicemail);
    buttons->addWidget(m_ignore);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caller);
    layout->addLayout(buttons);
}

QPushButton* IncomingCallDialog::AddButton(
    const QString& text, const char* id, IncomingPopupListener::Button button)
{
    auto* pushButton = new QPushButton(text, this);
    pushButton->setObjectName(id);
    connect(
        pushButton, &QPushButton::clicked, this, [this, button] { m_listener.OnPopupButton(*this, button); });
    return pushButton;
}

void IncomingCallDialog::SetCallInfo(
    HCALL call, DWORD deviceId, const std::string& text, const std::string& caption)
{
    m_call = call;
    m_deviceId = deviceId;
    m_caller->setText(QString::fromStdString(text));
    setWindowTitle(QString::fromStdString(caption));
}

void IncomingCallDialog::ShowOnTop()
{
    show();
    raise();
}

// The outer rectangle, frame included, is the one asked for.
void IncomingCallDialog::Move(int x, int y, int width, int height)
{
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(width - frame.width(), height - frame.height());
    move(x, y);
    update();
}

// Usually called from within the handling of one of its own buttons: deleted once that has ended.
void IncomingCallDialog::Close()
{
    hide();
    deleteLater();
}

void IncomingCallDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
