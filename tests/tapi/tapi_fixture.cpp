#include "tapi_fixture.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

TapiFixture* g_fixture = nullptr;
std::vector<Received>* g_sink = nullptr;

void LineCallback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    if (g_sink)
        g_sink->push_back({ false, device, message, instance, p1, p2, p3 });
}

void PhoneCallback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    if (g_sink)
        g_sink->push_back({ true, device, message, instance, p1, p2, p3 });
}

} // namespace

DWORD LineDeviceId(HLINE line, const char* deviceClass)
{
    std::vector<unsigned char> buffer(28);
    auto* id = reinterpret_cast<VARSTRING*>(buffer.data());
    id->dwTotalSize = 28;
    EXPECT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, deviceClass), 0);
    DWORD value = 0;
    std::memcpy(&value, buffer.data() + id->dwStringOffset, 4);
    return value;
}

double ShareOf(const std::vector<std::int16_t>& samples, double frequency)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / 8000.0);
    double s1 = 0, s2 = 0, total = 0;
    for (std::int16_t sample : samples) {
        const double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += double(sample) * sample;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return total > 0 ? power / (total * double(samples.size()) / 2.0) : 0;
}

void TapiFixture::SetUp()
{
    ASSERT_EQ(tapisimUseManualClock(ManualClock() ? 1 : 0), TAPISIM_OK);
    const std::string configuration = Configuration();
    ASSERT_EQ(tapisimConfigure(configuration.empty() ? nullptr : configuration.c_str()), TAPISIM_OK)
        << tapisimLastError();
    g_fixture = this;
    g_sink = &m_received;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    m_version = 0x00020000;
    ASSERT_EQ(
        lineInitializeExA(&m_lineApp, nullptr, LineCallback, "Kestrium", &m_numLines, &m_version, &params),
        0);
    PHONEINITIALIZEEXPARAMS phoneParams{};
    phoneParams.dwTotalSize = sizeof phoneParams;
    phoneParams.dwOptions = PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    DWORD phoneVersion = 0x00020000;
    ASSERT_EQ(phoneInitializeExA(
                  &m_phoneApp, nullptr, PhoneCallback, "Kestrium", &m_numPhones, &phoneVersion, &phoneParams),
        0);
}

void TapiFixture::TearDown()
{
    tapisimReset();
    tapiDispatchEvents();
    g_sink = nullptr;
    g_fixture = nullptr;
}

std::vector<Received> TapiFixture::Pump(DWORD ms)
{
    if (ms) {
        EXPECT_EQ(tapisimAdvance(ms), TAPISIM_OK);
    }
    const std::size_t before = m_received.size();
    tapiDispatchEvents();
    return std::vector<Received>(m_received.begin() + static_cast<std::ptrdiff_t>(before), m_received.end());
}

HLINE TapiFixture::OpenLine(DWORD device, DWORD_PTR instance)
{
    HLINE line = 0;
    EXPECT_EQ(
        lineOpenA(m_lineApp, device, &line, m_version, 0, instance,
            LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        0);
    EXPECT_EQ(lineSetStatusMessages(line, 0x000200FA, 0), 0);
    return line;
}

HPHONE TapiFixture::OpenPhone(DWORD device, DWORD_PTR instance)
{
    HPHONE phone = 0;
    EXPECT_EQ(phoneOpen(m_phoneApp, device, &phone, m_version, 0, instance, PHONEPRIVILEGE_OWNER), 0);
    EXPECT_EQ(phoneSetStatusMessages(phone, 0x8201, 0xC, 3), 0);
    return phone;
}

LONG TapiFixture::MakeCall(
    HLINE line, HCALL& call, const char* number, const char* displayable, const char* calledParty)
{
    // The block Kestrium builds: 176 bytes, then the displayable address and the called party.
    std::vector<unsigned char> block(sizeof(LINECALLPARAMS) + 200, 0);
    auto* params = reinterpret_cast<LINECALLPARAMS*>(block.data());
    DWORD used = sizeof(LINECALLPARAMS);
    const auto add = [&](const char* text, DWORD& size, DWORD& offset) {
        const std::size_t length = std::strlen(text);
        if (!length)
            return;
        std::memcpy(block.data() + used, text, length + 1);
        size = static_cast<DWORD>(length + 1);
        offset = used;
        used += size;
    };
    add(displayable, params->dwDisplayableAddressSize, params->dwDisplayableAddressOffset);
    add(calledParty, params->dwCalledPartySize, params->dwCalledPartyOffset);
    params->dwTotalSize = used;
    params->dwBearerMode = LINEBEARERMODE_VOICE;
    params->dwMinRate = params->dwMaxRate = 3100;
    params->dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    params->dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
    params->dwAddressMode = LINEADDRESSMODE_ADDRESSID;
    params->dwNoAnswerTimeout = 10;
    return lineMakeCallA(line, &call, number, 0, params);
}

HCALL TapiFixture::PlaceUnderRule(DWORD outcome, DWORD delayMs, DWORD device, const char* number)
{
    TAPISIM_DIALRULE rule{ "*", outcome, delayMs, 0 };
    EXPECT_EQ(tapisimAddDialRule(&rule), TAPISIM_OK);
    const HLINE line = OpenLine(device);
    HCALL call = 0;
    EXPECT_GT(MakeCall(line, call, number), 0);
    Pump();
    return call;
}

HCALL TapiFixture::ConnectedCall(HLINE line, const char* number)
{
    HCALL call = 0;
    EXPECT_GT(MakeCall(line, call, number), 0);
    for (int i = 0; i < 100 && (call == 0 || CallState(call) != LINECALLSTATE_CONNECTED); ++i)
        Pump(100);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));
    Pump();
    return call;
}

HCALL TapiFixture::IncomingCall(DWORD device, HLINE, const TAPISIM_CALLER& caller)
{
    EXPECT_EQ(tapisimRing(device, &caller), TAPISIM_OK);
    const auto messages = Pump();
    const Received* newCall = Find(messages, LINE_APPNEWCALL);
    EXPECT_NE(newCall, nullptr);
    return newCall ? static_cast<HCALL>(newCall->p2) : 0;
}

DWORD TapiFixture::CallState(HCALL call)
{
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    return lineGetCallStatus(call, &status) == 0 ? status.dwCallState : 0;
}

DWORD TapiFixture::Features(HCALL call)
{
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    EXPECT_EQ(lineGetCallStatus(call, &status), 0);
    return status.dwCallFeatures;
}

DWORD TapiFixture::CallId(HCALL call)
{
    LINECALLINFO info{};
    info.dwTotalSize = sizeof info;
    EXPECT_EQ(lineGetCallInfoA(call, &info), 0);
    return info.dwCallID;
}

std::optional<LONG> TapiFixture::ReplyTo(LONG request) const
{
    for (const Received& message : m_received)
        if (message.message == LINE_REPLY && message.p1 == DWORD_PTR(request))
            return static_cast<LONG>(message.p2);
    return std::nullopt;
}

std::vector<DWORD> TapiFixture::States(const std::vector<Received>& messages)
{
    std::vector<DWORD> states;
    for (const auto& m : messages)
        if (m.message == LINE_CALLSTATE)
            states.push_back(static_cast<DWORD>(m.p1));
    return states;
}

const Received* TapiFixture::Find(const std::vector<Received>& messages, DWORD message)
{
    for (const auto& m : messages)
        if (m.message == message)
            return &m;
    return nullptr;
}
