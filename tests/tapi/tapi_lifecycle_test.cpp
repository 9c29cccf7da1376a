#include "tapi_fixture.h"

#include "platform/wave_devices.h"

#include <poll.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string LineName(HLINEAPP app, DWORD device)
{
    std::vector<unsigned char> buffer(1268);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (lineGetDevCapsA(app, device, 0x00020000, 0, caps) != 0)
        return {};
    return std::string(reinterpret_cast<const char*>(buffer.data() + caps->dwLineNameOffset));
}

DWORD IdOf(HLINE line, const char* deviceClass, DWORD totalSize = 28)
{
    std::vector<unsigned char> buffer(std::max<DWORD>(totalSize, 284));
    auto* id = reinterpret_cast<VARSTRING*>(buffer.data());
    id->dwTotalSize = totalSize;
    if (lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, deviceClass) != 0 || id->dwStringSize != 4)
        return 0xFFFFFFFF;
    DWORD value = 0;
    std::memcpy(&value, buffer.data() + id->dwStringOffset, 4);
    return value;
}

} // namespace

using TapiLifecycle = TapiFixture;

TEST_F(TapiLifecycle, InitialisationNegotiatesTheVersionAndCountsTheDefaultDevices)
{
    EXPECT_EQ(m_version, 0x00020000u);
    EXPECT_EQ(m_numLines, 7u);
    EXPECT_EQ(m_numPhones, 6u);

    HLINEAPP second = 0;
    DWORD count = 0;
    DWORD version = 0x00030000;
    LINEINITIALIZEEXPARAMS params{ sizeof(LINEINITIALIZEEXPARAMS), 0, 0,
        LINEINITIALIZEEXOPTION_USEHIDDENWINDOW, { 0 }, 0 };
    auto callback = [](DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {};
    ASSERT_EQ(lineInitializeExA(&second, nullptr, callback, "Other", &count, &version, &params), 0);
    EXPECT_EQ(version, 0x00020000u);
    EXPECT_NE(second, m_lineApp);
    version = 0x00010002;
    EXPECT_EQ(lineInitializeExA(&second, nullptr, callback, "Old", &count, &version, &params),
        LINEERR_INCOMPATIBLEAPIVERSION);
    params.dwTotalSize = 20;
    version = 0x00020000;
    EXPECT_EQ(lineInitializeExA(&second, nullptr, callback, "Small", &count, &version, &params),
        LINEERR_STRUCTURETOOSMALL);

    DWORD negotiated = 0;
    LINEEXTENSIONID extension{ 1, 2, 3, 4 };
    EXPECT_EQ(lineNegotiateAPIVersion(m_lineApp, 0, 0x00010003, 0x00020000, &negotiated, &extension), 0);
    EXPECT_EQ(negotiated, 0x00020000u);
    EXPECT_EQ(extension.dwExtensionID0, 0u);
    EXPECT_EQ(lineNegotiateAPIVersion(m_lineApp, 0, 0x00010003, 0x00010004, &negotiated, &extension), 0);
    EXPECT_EQ(negotiated, 0x00010004u);
    EXPECT_EQ(lineNegotiateAPIVersion(m_lineApp, 0, 0x00030000, 0x00040000, &negotiated, &extension),
        LINEERR_INCOMPATIBLEAPIVERSION);
    EXPECT_EQ(lineNegotiateAPIVersion(m_lineApp, 99, 0x00010003, 0x00020000, &negotiated, &extension),
        LINEERR_BADDEVICEID);
    EXPECT_EQ(lineNegotiateAPIVersion(m_lineApp, 0, 0x00010003, 0x00020000, nullptr, &extension),
        LINEERR_INVALPOINTER);
}

TEST_F(TapiLifecycle, DeviceCapabilitiesDescribeTheDefaultLines)
{
    struct Expected {
        const char* name;
        DWORD bearer;
        DWORD media;
    };
    const DWORD voice = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
    const Expected expected[] = {
        { "Zo-Linka Line 1", LINEBEARERMODE_VOICE, voice },
        { "Zo-Linka Line 2", LINEBEARERMODE_VOICE, voice },
        { "Zo-Linka Line 3", LINEBEARERMODE_VOICE, voice },
        { "Zo-Linka Line 4", LINEBEARERMODE_VOICE, voice },
        { "IP Line 1", LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA, voice },
        { "IP Line 2", LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA, voice },
        { "Data Modem", LINEBEARERMODE_DATA, LINEMEDIAMODE_DATAMODEM },
    };
    for (DWORD device = 0; device < 7; ++device) {
        std::vector<unsigned char> buffer(1268);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
        caps->dwTotalSize = 1268;
        ASSERT_EQ(lineGetDevCapsA(m_lineApp, device, 0x00020000, 0, caps), 0);
        EXPECT_EQ(LineName(m_lineApp, device), expected[device].name);
        EXPECT_EQ(caps->dwBearerModes, expected[device].bearer) << device;
        EXPECT_EQ(caps->dwMediaModes, expected[device].media) << device;
        EXPECT_LE(caps->dwUsedSize, caps->dwTotalSize);
    }
}

TEST_F(TapiLifecycle, VariableSizeStructuresReportTheirNeededSize)
{
    LINEDEVCAPS caps{};
    caps.dwTotalSize = sizeof caps - 1;
    EXPECT_EQ(lineGetDevCapsA(m_lineApp, 0, 0x00020000, 0, &caps), LINEERR_STRUCTURETOOSMALL);
    caps.dwTotalSize = sizeof caps;
    ASSERT_EQ(lineGetDevCapsA(m_lineApp, 0, 0x00020000, 0, &caps), 0);
    EXPECT_GT(caps.dwNeededSize, sizeof caps);
    EXPECT_EQ(caps.dwUsedSize, sizeof caps);
    EXPECT_EQ(caps.dwLineNameSize, 0u) << "a text that does not fit is left out";

    std::vector<unsigned char> buffer(caps.dwNeededSize);
    auto* full = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    full->dwTotalSize = caps.dwNeededSize;
    ASSERT_EQ(lineGetDevCapsA(m_lineApp, 0, 0x00020000, 0, full), 0);
    EXPECT_EQ(full->dwUsedSize, full->dwNeededSize);
    EXPECT_EQ(full->dwLineNameSize, std::strlen("Zo-Linka Line 1") + 1);
    EXPECT_EQ(lineGetDevCapsA(m_lineApp, 0, 0x00010002, 0, full), LINEERR_INCOMPATIBLEAPIVERSION);
    EXPECT_EQ(lineGetDevCapsA(m_lineApp, 7, 0x00020000, 0, full), LINEERR_BADDEVICEID);
    EXPECT_EQ(lineGetDevCapsA(m_lineApp, 0, 0x00020000, 1, full), LINEERR_INCOMPATIBLEEXTVERSION);
}

TEST_F(TapiLifecycle, LineDeviceIdsNameTheLinesWaveDevicesAndPhone)
{
    auto& list = platform::WaveDeviceList::Instance();
    for (DWORD device = 0; device < 6; ++device) {
        const HLINE line = OpenLine(device);
        const std::string name = LineName(m_lineApp, device);
        const DWORD in = IdOf(line, "wave/in");
        const DWORD aux = IdOf(line, "wave/in/aux");
        const DWORD out = IdOf(line, "wave/out");
        ASSERT_NE(in, 0xFFFFFFFF);
        ASSERT_NE(aux, 0xFFFFFFFF);
        ASSERT_NE(out, 0xFFFFFFFF);
        EXPECT_EQ(list.Input(in)->Name(), name);
        EXPECT_EQ(list.Input(aux)->Name(), name + " Aux");
        EXPECT_EQ(list.Output(out)->Name(), name);
        EXPECT_EQ(IdOf(line, "tapi/phone", 284), device);
        EXPECT_EQ(IdOf(line, "WAVE/IN"), in) << "device classes ignore case";
    }
}

TEST_F(TapiLifecycle, LineDeviceIdRejectsUnknownClassesAndSmallBuffers)
{
    const HLINE line = OpenLine(0);
    std::vector<unsigned char> buffer(64);
    auto* id = reinterpret_cast<VARSTRING*>(buffer.data());
    id->dwTotalSize = 64;
    EXPECT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, "comm/datamodem"), LINEERR_INVALDEVICECLASS);
    EXPECT_EQ(lineGetIDA(line, 0, 0, 99, id, "wave/in"), LINEERR_INVALCALLSELECT);
    EXPECT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, nullptr), LINEERR_INVALPOINTER);
    EXPECT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, nullptr, "wave/in"), LINEERR_INVALPOINTER);
    EXPECT_EQ(lineGetIDA(line + 1000, 0, 0, LINECALLSELECT_LINE, id, "wave/in"), LINEERR_INVALLINEHANDLE);
    id->dwTotalSize = 20;
    EXPECT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, "wave/in"), LINEERR_STRUCTURETOOSMALL);
    id->dwTotalSize = 24;
    ASSERT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, "wave/in"), 0);
    EXPECT_EQ(id->dwNeededSize, 28u);
    EXPECT_EQ(id->dwStringSize, 0u);
}

TEST_F(TapiLifecycle, OpeningChecksPrivilegesAndMediaModes)
{
    HLINE line = 0;
    EXPECT_EQ(lineOpenA(m_lineApp, 6, &line, m_version, 0, 1, LINECALLPRIVILEGE_OWNER,
                  LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        LINEERR_INVALMEDIAMODE)
        << "the modem carries no voice";
    EXPECT_EQ(lineOpenA(m_lineApp, 0, &line, m_version, 0, 1, 0, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        LINEERR_INVALPRIVSELECT);
    EXPECT_EQ(lineOpenA(m_lineApp, 0, &line, m_version, 0, 1, LINECALLPRIVILEGE_OWNER, 0, nullptr),
        LINEERR_INVALMEDIAMODE);
    EXPECT_EQ(lineOpenA(m_lineApp, 0, nullptr, m_version, 0, 1, LINECALLPRIVILEGE_OWNER,
                  LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        LINEERR_INVALPOINTER);
    EXPECT_EQ(lineOpenA(m_lineApp, 9, &line, m_version, 0, 1, LINECALLPRIVILEGE_OWNER,
                  LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        LINEERR_BADDEVICEID);
    EXPECT_EQ(lineOpenA(m_lineApp, 6, &line, m_version, 0, 1, LINECALLPRIVILEGE_OWNER,
                  LINEMEDIAMODE_DATAMODEM, nullptr),
        0);
}

TEST_F(TapiLifecycle, DoubleCloseAndCallsAfterShutdownAreRefused)
{
    const HLINE line = OpenLine(0);
    EXPECT_EQ(lineClose(line), 0);
    EXPECT_EQ(lineClose(line), LINEERR_INVALLINEHANDLE);
    const HLINE again = OpenLine(1);
    const HPHONE phone = OpenPhone(1);
    EXPECT_EQ(phoneClose(phone), 0);
    EXPECT_EQ(phoneClose(phone), PHONEERR_INVALPHONEHANDLE);

    ASSERT_EQ(lineShutdown(m_lineApp), 0);
    EXPECT_EQ(lineShutdown(m_lineApp), LINEERR_INVALAPPHANDLE);
    HCALL call = 0;
    EXPECT_EQ(MakeCall(again, call, "5551234"), LINEERR_INVALLINEHANDLE);
    EXPECT_EQ(lineClose(again), LINEERR_INVALLINEHANDLE);
    HLINE line2 = 0;
    EXPECT_EQ(lineOpenA(m_lineApp, 0, &line2, m_version, 0, 1, LINECALLPRIVILEGE_OWNER,
                  LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        LINEERR_INVALAPPHANDLE);
    LINEDEVCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    EXPECT_EQ(lineGetDevCapsA(m_lineApp, 0, m_version, 0, &caps), LINEERR_INVALAPPHANDLE);
    EXPECT_EQ(lineRegisterRequestRecipient(m_lineApp, 0, 3, 1), LINEERR_INVALAPPHANDLE);
    EXPECT_EQ(Pump(1000).size(), 0u);
}

TEST_F(TapiLifecycle, EventDescriptorIsReadableExactlyWhileMessagesWait)
{
    const int fd = tapiGetEventFd();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(tapiGetEventFd(), fd);
    pollfd wait{ fd, POLLIN, 0 };
    Pump();
    EXPECT_EQ(::poll(&wait, 1, 0), 0);
    const HLINE line = OpenLine(0);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    EXPECT_EQ(::poll(&wait, 1, 0), 1);
    EXPECT_GT(tapiDispatchEvents(), 0);
    EXPECT_EQ(::poll(&wait, 1, 0), 0);
}

TEST_F(TapiLifecycle, IconAndDialogEntryPointsCheckTheirArguments)
{
    HICON icon = nullptr;
    EXPECT_EQ(lineGetIconA(0, nullptr, &icon), 0);
    ASSERT_NE(icon, nullptr);
    EXPECT_STREQ(icon, "phone");
    EXPECT_EQ(lineGetIconA(0, "wave/in", &icon), LINEERR_INVALDEVICECLASS);
    EXPECT_EQ(lineGetIconA(99, nullptr, &icon), LINEERR_BADDEVICEID);
    EXPECT_EQ(lineGetIconA(0, nullptr, nullptr), LINEERR_INVALPOINTER);
    EXPECT_EQ(lineConfigDialogA(99, nullptr, nullptr), LINEERR_BADDEVICEID);
    EXPECT_EQ(lineConfigDialogA(0, nullptr, "wave/in"), LINEERR_INVALDEVICECLASS);
    EXPECT_EQ(lineTranslateDialogA(m_lineApp + 77, 0, 0x20001, nullptr, nullptr), LINEERR_INVALAPPHANDLE);
    EXPECT_EQ(lineTranslateDialogA(m_lineApp, 0, 0x30000, nullptr, nullptr), LINEERR_INCOMPATIBLEAPIVERSION);
}

TEST_F(TapiLifecycle, DeviceClassesListWhatEachLineOffers)
{
    const auto classesOf = [&](DWORD device) {
        std::vector<unsigned char> buffer(1268);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
        caps->dwTotalSize = 1268;
        EXPECT_EQ(lineGetDevCapsA(m_lineApp, device, 0x00020000, 0, caps), 0);
        return std::string(reinterpret_cast<const char*>(buffer.data() + caps->dwDeviceClassesOffset),
            caps->dwDeviceClassesSize);
    };
    EXPECT_EQ(classesOf(0), std::string("tapi/line\0wave/in\0wave/in/aux\0wave/out\0tapi/phone\0\0", 51));
    EXPECT_EQ(classesOf(6), std::string("tapi/line\0wave/in\0wave/in/aux\0wave/out\0\0", 40));
}
