#include "tapi_fixture.h"

#include <poll.h>

#include <cstring>
#include <vector>

namespace {

PHONESTATUS Status(HPHONE phone)
{
    std::vector<unsigned char> block(1104);
    auto* status = reinterpret_cast<PHONESTATUS*>(block.data());
    status->dwTotalSize = 1104;
    EXPECT_EQ(phoneGetStatusA(phone, status), 0);
    return *status;
}

} // namespace

using TapiPhones = TapiFixture;

TEST_F(TapiPhones, HeadsetHookSwitchChangesAtOnceAndIsReported)
{
    const HPHONE phone = OpenPhone(2, 0x33);
    EXPECT_EQ(Status(phone).dwHeadsetHookSwitchMode, DWORD(PHONEHOOKSWITCHMODE_ONHOOK));
    const LONG request
        = phoneSetHookSwitch(phone, PHONEHOOKSWITCHDEV_HEADSET, PHONEHOOKSWITCHMODE_MICSPEAKER);
    ASSERT_GT(request, 0);
    EXPECT_EQ(Status(phone).dwHeadsetHookSwitchMode, DWORD(PHONEHOOKSWITCHMODE_MICSPEAKER));
    const auto messages = Pump();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].phone);
    EXPECT_EQ(messages[0].message, DWORD(PHONE_STATE));
    EXPECT_EQ(messages[0].instance, 0x33u);
    EXPECT_EQ(messages[0].p1, DWORD_PTR(PHONESTATE_HEADSETHOOKSWITCH));
    EXPECT_EQ(messages[0].p2, DWORD_PTR(PHONEHOOKSWITCHMODE_MICSPEAKER));
    EXPECT_EQ(messages[1].message, DWORD(PHONE_REPLY));
    EXPECT_EQ(messages[1].p1, DWORD_PTR(request));

    EXPECT_EQ(phoneSetHookSwitch(phone, 0x10, PHONEHOOKSWITCHMODE_ONHOOK), PHONEERR_INVALHOOKSWITCHDEV);
    EXPECT_EQ(phoneSetHookSwitch(phone, PHONEHOOKSWITCHDEV_HEADSET, 3), PHONEERR_INVALHOOKSWITCHMODE);
    EXPECT_EQ(phoneSetHookSwitch(phone + 5, PHONEHOOKSWITCHDEV_HEADSET, 1), PHONEERR_INVALPHONEHANDLE);
}

TEST_F(TapiPhones, LiftingAndPuttingDownTheHandsetSendsPhoneState)
{
    const HPHONE phone = OpenPhone(0);
    ASSERT_EQ(tapisimSetHandset(0, 1), TAPISIM_OK);
    auto messages = Pump();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].device, phone);
    EXPECT_EQ(messages[0].p1, DWORD_PTR(PHONESTATE_HANDSETHOOKSWITCH));
    EXPECT_EQ(messages[0].p2, DWORD_PTR(PHONEHOOKSWITCHMODE_MICSPEAKER));
    EXPECT_EQ(Status(phone).dwHandsetHookSwitchMode, DWORD(PHONEHOOKSWITCHMODE_MICSPEAKER));
    ASSERT_EQ(tapisimSetHandset(0, 0), TAPISIM_OK);
    messages = Pump();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].p2, DWORD_PTR(PHONEHOOKSWITCHMODE_ONHOOK));
    EXPECT_EQ(tapisimSetHandset(9, 1), TAPISIM_E_BADLINE);

    // Without the hookswitch in its status mask, a phone hears nothing of it.
    ASSERT_EQ(phoneSetStatusMessages(phone, PHONESTATE_OTHER, 0, 0), 0);
    tapisimSetHandset(0, 1);
    EXPECT_TRUE(Pump().empty());
}

TEST_F(TapiPhones, VolumeAndDeviceSpecificCommands)
{
    const HPHONE phone = OpenPhone(1);
    DWORD volume = 0;
    ASSERT_EQ(phoneGetVolume(phone, PHONEHOOKSWITCHDEV_HANDSET, &volume), 0);
    EXPECT_EQ(volume, 0x8000u);
    EXPECT_GT(phoneSetVolume(phone, PHONEHOOKSWITCHDEV_HANDSET, 0x20000), 0);
    ASSERT_EQ(phoneGetVolume(phone, PHONEHOOKSWITCHDEV_HANDSET, &volume), 0);
    EXPECT_EQ(volume, 0xFFFFu) << "volumes stop at the top of the range";
    EXPECT_EQ(phoneGetVolume(phone, 3, &volume), PHONEERR_INVALHOOKSWITCHDEV);
    EXPECT_EQ(phoneGetVolume(phone, PHONEHOOKSWITCHDEV_HANDSET, nullptr), PHONEERR_INVALPOINTER);

    char toComputer[] = "000a";
    char toLine[] = "003a";
    char other[] = "999z";
    EXPECT_GT(phoneDevSpecific(phone, toComputer, sizeof toComputer), 0);
    EXPECT_GT(phoneDevSpecific(phone, toLine, sizeof toLine), 0);
    EXPECT_EQ(phoneDevSpecific(phone, other, sizeof other), PHONEERR_INVALPARAM);
    EXPECT_EQ(phoneDevSpecific(phone, nullptr, 5), PHONEERR_INVALPOINTER);
}

TEST_F(TapiPhones, OnlyOneOwnerAndMonitorsCannotChangeThePhone)
{
    const HPHONE owner = OpenPhone(3);
    HPHONE second = 0;
    EXPECT_EQ(phoneOpen(m_phoneApp, 3, &second, m_version, 0, 0, PHONEPRIVILEGE_OWNER), PHONEERR_INUSE);
    ASSERT_EQ(phoneOpen(m_phoneApp, 3, &second, m_version, 0, 0, PHONEPRIVILEGE_MONITOR), 0);
    EXPECT_EQ(phoneSetHookSwitch(second, PHONEHOOKSWITCHDEV_HEADSET, 8), PHONEERR_NOTOWNER);
    const PHONESTATUS status = Status(owner);
    EXPECT_EQ(status.dwNumOwners, 1u);
    EXPECT_EQ(status.dwNumMonitors, 1u);
    EXPECT_EQ(phoneOpen(m_phoneApp, 6, &second, m_version, 0, 0, PHONEPRIVILEGE_OWNER), PHONEERR_BADDEVICEID);
    EXPECT_EQ(phoneOpen(m_phoneApp, 0, &second, m_version, 0, 0, 7), PHONEERR_INVALPRIVILEGE);
    PHONESTATUS small{};
    small.dwTotalSize = 16;
    EXPECT_EQ(phoneGetStatusA(owner, &small), PHONEERR_STRUCTURETOOSMALL);
}

TEST_F(TapiPhones, CallbackApplicationsGetNoMessagesFromPhoneGetMessage)
{
    PHONEMESSAGE message{};
    EXPECT_EQ(phoneGetMessage(m_phoneApp, &message, 1000), PHONEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(phoneGetMessage(m_phoneApp + 99, &message, 0), PHONEERR_INVALAPPHANDLE);
}

TEST_F(TapiPhones, EventApplicationsReadTheirMessagesWithPhoneGetMessage)
{
    HPHONEAPP app = 0;
    DWORD count = 0;
    DWORD version = 0x00020000;
    PHONEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = PHONEINITIALIZEEXOPTION_USEEVENT;
    ASSERT_EQ(phoneInitializeExA(&app, nullptr, nullptr, "Watcher", &count, &version, &params), 0);
    HPHONE phone = 0;
    ASSERT_EQ(phoneOpen(app, 4, &phone, version, 0, 0x44, PHONEPRIVILEGE_MONITOR), 0);
    ASSERT_EQ(phoneSetStatusMessages(phone, PHONESTATE_HANDSETHOOKSWITCH, 0, 0), 0);
    PHONEMESSAGE message{};
    EXPECT_EQ(phoneGetMessage(app, &message, 0), PHONEERR_OPERATIONFAILED);
    tapisimSetHandset(4, 1);
    pollfd wait{ static_cast<int>(params.Handles.hEvent), POLLIN, 0 };
    EXPECT_EQ(::poll(&wait, 1, 0), 1);
    ASSERT_EQ(phoneGetMessage(app, &message, 0), 0);
    EXPECT_EQ(message.hDevice, phone);
    EXPECT_EQ(message.dwMessageID, DWORD(PHONE_STATE));
    EXPECT_EQ(message.dwCallbackInstance, 0x44u);
    EXPECT_EQ(message.dwParam2, DWORD_PTR(PHONEHOOKSWITCHMODE_MICSPEAKER));
    EXPECT_EQ(::poll(&wait, 1, 0), 0);
}

TEST_F(TapiPhones, TerminalHookSwitchCanBeTakenFromTheLine)
{
    const HLINE line = OpenLine(0);
    const LONG request = lineSetTerminal(line, 0, 0, LINECALLSELECT_LINE, LINETERMMODE_HOOKSWITCH, 0, 0);
    ASSERT_GT(request, 0);
    EXPECT_EQ(Find(Pump(), LINE_REPLY)->p1, DWORD_PTR(request));
    EXPECT_EQ(lineSetTerminal(line, 0, 0, LINECALLSELECT_LINE, LINETERMMODE_HOOKSWITCH, 1, 1),
        LINEERR_INVALTERMINALID);
    EXPECT_EQ(lineSetTerminal(line, 0, 0, LINECALLSELECT_LINE, 0, 0, 1), LINEERR_INVALTERMINALMODE);
    EXPECT_EQ(lineSetTerminal(line + 3, 0, 0, LINECALLSELECT_LINE, LINETERMMODE_HOOKSWITCH, 0, 1),
        LINEERR_INVALLINEHANDLE);
    std::vector<unsigned char> block(256);
    auto* status = reinterpret_cast<LINEDEVSTATUS*>(block.data());
    status->dwTotalSize = 256;
    ASSERT_EQ(lineGetLineDevStatus(line, status), 0);
    ASSERT_EQ(status->dwTerminalModesSize, 4u);
    DWORD modes = 0;
    std::memcpy(&modes, block.data() + status->dwTerminalModesOffset, 4);
    EXPECT_EQ(modes & LINETERMMODE_HOOKSWITCH, 0u);
}

TEST_F(TapiPhones, HandsetAnswersAnOfferedCallOnlyWhileTheLineHasTheHookSwitch)
{
    const HLINE line = OpenLine(0);
    OpenPhone(0);
    const HCALL call = IncomingCall(0, line, TAPISIM_CALLER{ "5550100", nullptr, 0, 0, 0 });
    ASSERT_GT(lineSetTerminal(line, 0, 0, LINECALLSELECT_LINE, LINETERMMODE_HOOKSWITCH, 0, 0), 0);
    ASSERT_EQ(tapisimSetHandset(0, 1), TAPISIM_OK);
    Pump();
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_OFFERING)) << "the hook switch was taken from the line";
    ASSERT_EQ(tapisimSetHandset(0, 0), TAPISIM_OK);
    ASSERT_GT(lineSetTerminal(line, 0, 0, LINECALLSELECT_LINE, LINETERMMODE_HOOKSWITCH, 0, 1), 0);

    ASSERT_EQ(tapisimSetHandset(0, 1), TAPISIM_OK);
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    ASSERT_EQ(tapisimSetHandset(0, 0), TAPISIM_OK);
    const auto messages = Pump();
    EXPECT_EQ(States(messages), std::vector<DWORD>{ LINECALLSTATE_DISCONNECTED });
}
