#include "support/telephony_scenario.h"

#include "settings/app_settings.h"
#include "store/contact_store.h"
#include "telephony/incoming_calls.h"
#include "telephony/screen_area.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

using Button = IncomingPopupListener::Button;

struct PopupRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PopupRect&) const = default;
};

// A pop-up that remembers what it was told; the test keeps it after it was closed.
class FakePopup : public IncomingPopup {
public:
    explicit FakePopup(IncomingPopupListener& listener)
        : m_listener(listener)
    {
    }

    void SetCallInfo(
        HCALL callInfo, DWORD, const std::string& textInfo, const std::string& captionInfo) override
    {
        call = callInfo;
        text = textInfo;
        caption = captionInfo;
    }
    void ShowOnTop() override { shown = true; }
    void Move(int x, int y, int width, int height) override { rect = { x, y, width, height }; }
    void Press(Button button) { m_listener.OnPopupButton(*this, button); }

    HCALL call = 0;
    std::string text;
    std::string caption;
    bool shown = false;
    bool closed = false;
    PopupRect rect;

protected:
    void Close() override { closed = true; }

private:
    IncomingPopupListener& m_listener;
};

// A 1920 x 1080 desktop with a 40-pixel panel along its bottom.
class FakeScreen : public ScreenArea {
public:
    ScreenRect AvailableArea() const override { return { 0, 0, 1920, 1040 }; }
};

// Voice-mail answering as far as the call model hands calls to it.
class VoiceMailRecording : public NoCallRecording {
public:
    void AnswerForVoiceMail(int slot, HCALL call) override { answers.push_back({ slot, call }); }

    std::vector<std::pair<int, HCALL>> answers;
};

constexpr DWORD kRingPeriodMs = 6000;
constexpr int kRight = 1920 - 334;
constexpr int kBottomTop = 1040 - 146;

class IncomingCallsScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_manager->SetRecordingPort(&m_recording);
        m_incoming = std::make_unique<IncomingCalls>(
            *m_manager, m_appSettings,
            [this](IncomingPopupListener& listener) {
                m_popups.push_back(std::make_unique<FakePopup>(listener));
                return IncomingPopup::Handle(m_popups.back().get());
            },
            m_screen);
        m_manager->SetIncomingPort(m_incoming.get());
        Start();
    }

    std::string Generated(DWORD line)
    {
        char text[512] = {};
        tapisimGetGeneratedLog(line, text, sizeof text);
        return text;
    }

    AppSettings m_appSettings;
    FakeScreen m_screen;
    VoiceMailRecording m_recording;
    std::vector<std::unique_ptr<FakePopup>> m_popups;
    std::unique_ptr<IncomingCalls> m_incoming;
};

TEST_F(IncomingCallsScenario, TwoRingingLinesStackTwoPopupsAndVoiceMailOffNeverAnswers)
{
    m_appSettings.voiceMailOn = 0;
    m_appSettings.answerAfter = 1;
    Ring(0, "5551111", "Ann");
    const CallTime annOffered = Now();
    Ring(4, "5554444", "Bo");
    ASSERT_EQ(m_popups.size(), 2u);
    const FakePopup& ann = *m_popups[0];
    const FakePopup& bo = *m_popups[1];
    EXPECT_TRUE(ann.shown);
    EXPECT_EQ(ann.text, "Ann,5551111");
    EXPECT_EQ(ann.caption, "Incoming call on Zo-Linka Line 1");
    EXPECT_EQ(bo.caption, "Incoming call on IP Line 1");
    EXPECT_EQ(ann.rect, (PopupRect{ kRight, kBottomTop, 334, 116 }));
    EXPECT_EQ(bo.rect, (PopupRect{ kRight, kBottomTop - 116, 334, 116 }));

    Advance(10 * kRingPeriodMs);
    EXPECT_TRUE(m_recording.answers.empty());
    EXPECT_EQ(CallText(0), "Ann,5551111 (Incoming)") << "nothing answers with voice mail off";
    EXPECT_EQ(m_popups.size(), 2u) << "the rings and the other line's events add no pop-ups";

    tapisimHangUp(0);
    Settle();
    EXPECT_TRUE(ann.closed);
    EXPECT_FALSE(bo.closed);
    EXPECT_EQ(bo.rect, (PopupRect{ kRight, kBottomTop, 334, 116 })) << "the stack closes up";
    ExpectLastMissed(1, "Ann", annOffered);

    m_manager->CloseAllLines();
    EXPECT_TRUE(bo.closed) << "a closed line takes its pop-ups with it";
}

TEST_F(IncomingCallsScenario, AnswerAfterThreeAnswersOnTheThirdRingForVoiceMail)
{
    m_appSettings.answerAfter = 3;
    Ring(1, "5559999", "Fay");
    const HCALL call = OnlyCall(1);
    Advance(kRingPeriodMs); // ring count 1
    EXPECT_EQ(CallText(1), "Fay,5559999 (Incoming)");
    EXPECT_FALSE(m_popups.at(0)->closed);

    Advance(kRingPeriodMs); // ring count 2: the third ring
    EXPECT_TRUE(m_popups[0]->closed);
    Advance(500);
    ASSERT_EQ(m_recording.answers.size(), 1u) << "the answer's reply hands the call to voice mail";
    EXPECT_EQ(m_recording.answers[0], std::make_pair(1, call));
    EXPECT_EQ(CallText(1), "Fay,5559999 (Voicemail)");
    EXPECT_EQ(m_popups.size(), 1u);

    tapisimHangUp(1);
    Advance(500);
    ASSERT_EQ(LoggedCalls().Count(), 1u);
    EXPECT_EQ(LoggedCalls().GetAt(0)->type, kCallTypeVoicemail);
}

TEST_F(IncomingCallsScenario, AnswerAndSendToVoicemailButtons)
{
    m_appSettings.voiceMailOn = 0;
    Ring(2, "5552222", "Cy");
    m_popups.at(0)->Press(Button::Answer);
    EXPECT_FALSE(m_popups[0]->closed) << "the pop-up stays until the call leaves OFFERING";
    Advance(500);
    EXPECT_TRUE(m_popups[0]->closed);
    EXPECT_EQ(CallText(2), "Cy,5552222 (Connected)");
    EXPECT_TRUE(m_recording.answers.empty());

    Ring(3, "5553333", "Di");
    const HCALL call = OnlyCall(3);
    m_popups.at(1)->Press(Button::SendToVoicemail);
    EXPECT_TRUE(m_popups[1]->closed);
    Advance(500);
    ASSERT_EQ(m_recording.answers.size(), 1u);
    EXPECT_EQ(m_recording.answers[0], std::make_pair(3, call));
    EXPECT_EQ(CallText(3), "Di,5553333 (Voicemail)");
    EXPECT_EQ(m_popups.size(), 2u);
}

TEST_F(IncomingCallsScenario, IgnoreInBothModesIsLoggedAsMissed)
{
    m_appSettings.voiceMailOn = 0;
    // "Ignore until caller gives up" (the default): the call rings on without a pop-up.
    Ring(0, "5550000", "Ed");
    const CallTime edOffered = Now();
    m_popups.at(0)->Press(Button::Ignore);
    EXPECT_TRUE(m_popups[0]->closed);
    Advance(2 * kRingPeriodMs);
    EXPECT_EQ(CallText(0), "Ed,5550000 (Incoming)");
    EXPECT_EQ(m_popups.size(), 1u) << "an ignored call never gets a pop-up again";
    tapisimHangUp(0);
    Settle();
    ExpectLastMissed(1, "Ed", edOffered);

    // "Open line, beep, hangup".
    m_settings.Write(Settings::kDropIncomingMeansIgnore, 0);
    Ring(1, "5551010", "Flo");
    const CallTime floOffered = Now();
    m_popups.at(1)->Press(Button::Ignore);
    EXPECT_TRUE(m_popups[1]->closed);
    Advance(1000);
    Advance(1000);
    EXPECT_EQ(OnlyCall(1), 0u);
    EXPECT_NE(Generated(1).find("tone beep 500"), std::string::npos) << Generated(1);
    EXPECT_EQ(m_popups.size(), 2u);
    ExpectLastMissed(2, "Flo", floOffered);
}

// Many real lines report a caller's cancel as DISCONNECTED before IDLE.
TEST_F(IncomingCallsScenario, CallerWhoCancelsBeforeTheCallConnectsIsLoggedAsMissed)
{
    m_appSettings.voiceMailOn = 0;
    Ring(0, "5556666", "Gus", TAPISIM_CALLER_DISCONNECTS);
    const CallTime offered = Now();
    Advance(kRingPeriodMs);
    tapisimHangUp(0);
    Settle();
    EXPECT_EQ(OnlyCall(0), 0u) << "the disconnected call is dropped and freed";
    EXPECT_TRUE(m_popups.at(0)->closed);
    ExpectLastMissed(1, "Gus", offered);

    // Sent to voice mail, but the caller hangs up before the answer completes: no greeting.
    Ring(1, "5557777", "Hal", TAPISIM_CALLER_DISCONNECTS);
    const CallTime halOffered = Now();
    m_popups.at(1)->Press(Button::SendToVoicemail);
    tapisimHangUp(1);
    Advance(500);
    EXPECT_EQ(OnlyCall(1), 0u);
    EXPECT_TRUE(m_recording.answers.empty()) << "a failed answer leaves nothing to greet";
    ExpectLastMissed(2, "Hal", halOffered);
}

// Another application on the same lines: it owns line 0's calls and monitors line 1's.
class OtherApplication {
public:
    OtherApplication()
    {
        DWORD devices = 0;
        DWORD version = TAPI_VERSION2_0;
        EXPECT_EQ(lineInitializeExA(&m_app, nullptr, Ignore, "Other", &devices, &version, nullptr), 0);
        EXPECT_EQ(lineOpenA(m_app, 0, &m_owner, version, 0, 0, LINECALLPRIVILEGE_OWNER,
                      LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
            0);
        EXPECT_EQ(lineOpenA(m_app, 1, &m_monitor, version, 0, 0, LINECALLPRIVILEGE_MONITOR,
                      LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
            0);
    }
    ~OtherApplication() { lineShutdown(m_app); }

    // How many handles other than this application's own the line's call has: owners for the
    // monitored line, monitors for the owned one.
    DWORD OtherHandles(int line)
    {
        const HLINE open = line == 0 ? m_owner : m_monitor;
        std::vector<std::byte> listBlock(1024);
        auto* list = reinterpret_cast<LINECALLLIST*>(listBlock.data());
        list->dwTotalSize = DWORD(listBlock.size());
        EXPECT_EQ(lineGetNewCalls(open, 0, LINECALLSELECT_LINE, list), 0);
        EXPECT_EQ(list->dwCallsNumEntries, 1u);
        HCALL call = 0;
        std::memcpy(&call, listBlock.data() + list->dwCallsOffset, sizeof call);
        std::vector<std::byte> infoBlock(2048);
        auto* info = reinterpret_cast<LINECALLINFO*>(infoBlock.data());
        info->dwTotalSize = DWORD(infoBlock.size());
        EXPECT_EQ(lineGetCallInfoA(call, info), 0);
        return line == 0 ? info->dwNumMonitors : info->dwNumOwners;
    }

private:
    static void Ignore(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) { }

    HLINEAPP m_app = 0;
    HLINE m_owner = 0;
    HLINE m_monitor = 0;
};

TEST_F(IncomingCallsScenario, TwentyFirstCallGivesItsHandleBack)
{
    m_manager->CloseAllLines();
    OtherApplication other;
    m_manager->OpenAllLines();
    Settle();
    for (int slot : { 0, 1 })
        for (HCALL call = 0xC0DE0001; call <= 0xC0DE0014; ++call)
            LineManager::LineCallback(
                Slot(slot).GetLine(), LINE_APPNEWCALL, DWORD_PTR(&Slot(slot)), 0, call, 0);

    Ring(0, "5550001", "Ida");
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "No room for another call...");
    EXPECT_EQ(other.OtherHandles(0), 0u) << "a monitored call is given back at once";

    Ring(1, "5550002", "Jo");
    EXPECT_EQ(m_prompter.messages.size(), 2u);
    EXPECT_EQ(other.OtherHandles(1), 1u) << "TAPI keeps the only owner of a ringing call";
    tapisimHangUp(1);
    Settle();
    EXPECT_EQ(other.OtherHandles(1), 0u) << "the owned call is given back when it goes idle";
    EXPECT_TRUE(m_popups.empty());
}

} // namespace

namespace {

TEST_F(IncomingCallsScenario, ACallerIdWithoutNameIsNamedByTheContactThatHoldsTheNumber)
{
    m_appSettings.voiceMailOn = 0;
    ContactStore contacts;
    ContactRecord grace;
    grace.SetFirstName("Grace");
    grace.SetLastName("Hopper");
    grace.SetNumber(3, "+1 (555) 012-3456");
    contacts.Append(grace);
    m_manager->SetContacts(&contacts);

    // The network sends the number in its national form and no name.
    Ring(0, "5550123456", "");
    const CallTime offered = Now();
    ASSERT_EQ(m_popups.size(), 1u);
    EXPECT_EQ(m_popups[0]->text, "Grace Hopper,5550123456");
    EXPECT_EQ(CallText(0), "Grace Hopper,5550123456 (Incoming)");
    tapisimHangUp(0);
    Settle();
    ExpectLastMissed(1, "Grace Hopper", offered);

    // The caller id's own name wins; a number no contact holds stays a number.
    Ring(1, "5550123456", "Front Desk");
    EXPECT_EQ(m_popups.at(1)->text, "Front Desk,5550123456");
    tapisimHangUp(1);
    Settle();
    Ring(0, "5550999", "");
    EXPECT_EQ(m_popups.at(2)->text, "5550999");
    tapisimHangUp(0);
    Settle();
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 3u);
    EXPECT_EQ(log.GetAt(1)->callerName, "Front Desk");
    EXPECT_EQ(log.GetAt(2)->callerName, "");
    m_manager->SetContacts(nullptr);
}

} // namespace
