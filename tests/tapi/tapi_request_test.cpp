#include "tapi_fixture.h"

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

namespace {

// Runs the helper in its own process and returns its tapiRequestMakeCallA result.
LONG RequestFromAnotherProcess(const std::string& arguments)
{
    const std::string command = std::string(TAPI_REQUEST_HELPER) + " " + arguments;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? -LONG(WEXITSTATUS(status)) : -1000;
}

} // namespace

using TapiRequests = TapiFixture;

TEST_F(TapiRequests, RequestWithoutRecipientIsRefused)
{
    EXPECT_EQ(tapiRequestMakeCallA("5551234", "Test", "Bob", ""), TAPIERR_NOREQUESTRECIPIENT);
    EXPECT_EQ(tapiRequestMakeCallA("", "Test", "Bob", ""), TAPIERR_INVALDESTADDRESS);
    EXPECT_EQ(tapiRequestMakeCallA(nullptr, "Test", "Bob", ""), TAPIERR_INVALPOINTER);
    const std::string tooLong(80, '5');
    EXPECT_EQ(tapiRequestMakeCallA(tooLong.c_str(), "Test", "Bob", ""), TAPIERR_INVALDESTADDRESS);
}

TEST_F(TapiRequests, RegisteredRecipientReceivesLineRequestAndReadsIt)
{
    ASSERT_EQ(
        lineRegisterRequestRecipient(m_lineApp, 0, LINEREQUESTMODE_MAKECALL | LINEREQUESTMODE_MEDIACALL, 1),
        0);
    ASSERT_EQ(tapiRequestMakeCallA("5551234", "Mailer", "Bob Smith", "about lunch"), 0);
    const auto messages = Pump();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, DWORD(LINE_REQUEST));
    EXPECT_EQ(messages[0].instance, 0u);
    EXPECT_EQ(messages[0].p1, DWORD_PTR(LINEREQUESTMODE_MAKECALL));
    LINEREQMAKECALL request{};
    ASSERT_EQ(lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, &request), 0);
    EXPECT_STREQ(request.szDestAddress, "5551234");
    EXPECT_STREQ(request.szAppName, "Mailer");
    EXPECT_STREQ(request.szCalledParty, "Bob Smith");
    EXPECT_STREQ(request.szComment, "about lunch");
    EXPECT_EQ(lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, &request), LINEERR_NOREQUEST);
    EXPECT_EQ(lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, nullptr), LINEERR_INVALPOINTER);
    EXPECT_EQ(lineGetRequestA(m_lineApp, 8, &request), LINEERR_INVALREQUESTMODE);

    ASSERT_EQ(lineRegisterRequestRecipient(m_lineApp, 0, 3, 0), 0);
    EXPECT_EQ(lineRegisterRequestRecipient(m_lineApp, 0, 3, 0), LINEERR_NOTREGISTERED);
    EXPECT_EQ(lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, &request), LINEERR_NOTREGISTERED);
    EXPECT_EQ(lineRegisterRequestRecipient(m_lineApp, 0, LINEREQUESTMODE_DROP, 1), LINEERR_INVALREQUESTMODE);
    EXPECT_EQ(tapiRequestMakeCallA("5551234", "Mailer", "", ""), TAPIERR_NOREQUESTRECIPIENT);
}

// The requester in another process waits for the recipient's answer: placed, not placed, or
// withdrawn when nobody takes the request in time.
TEST_F(TapiRequests, RequestFromASecondProcessLearnsWhetherTheCallWasPlaced)
{
    ASSERT_NE(std::string(tapisimControlSocketPath()), "");
    EXPECT_EQ(RequestFromAnotherProcess("5550199 Carol"), TAPIERR_NOREQUESTRECIPIENT);
    ASSERT_EQ(lineRegisterRequestRecipient(m_lineApp, 0, 3, 1), 0);
    // The recipient takes the request when its LINE_REQUEST arrives and answers with `outcome`.
    const auto serve = [this](LONG outcome) {
        LINEREQMAKECALL request{};
        for (int round = 0; round < 2000; ++round) {
            const auto messages = Pump();
            if (Find(messages, LINE_REQUEST)) {
                EXPECT_EQ(lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, &request), 0);
                EXPECT_EQ(tapiReportRequestOutcome(m_lineApp, outcome), 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return request;
    };
    auto placed = std::async(std::launch::async, [] { return RequestFromAnotherProcess("5550199 Carol"); });
    const LINEREQMAKECALL request = serve(1);
    EXPECT_EQ(placed.get(), 0);
    EXPECT_STREQ(request.szDestAddress, "5550199");
    EXPECT_STREQ(request.szCalledParty, "Carol");
    EXPECT_STREQ(request.szAppName, "request-helper");

    auto refused = std::async(std::launch::async, [] { return RequestFromAnotherProcess("5550100"); });
    serve(LINEERR_NODEVICE);
    EXPECT_EQ(refused.get(), TAPIERR_REQUESTFAILED);

    EXPECT_EQ(RequestFromAnotherProcess("5550101"), TAPIERR_REQUESTCANCELLED);
    LINEREQMAKECALL withdrawn{};
    EXPECT_EQ(lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, &withdrawn), LINEERR_NOREQUEST);
}

TEST_F(TapiRequests, QueueOfWaitingRequestsIsBounded)
{
    ASSERT_EQ(lineRegisterRequestRecipient(m_lineApp, 0, 1, 1), 0);
    LONG result = 0;
    int accepted = 0;
    while ((result = tapiRequestMakeCallA("5551234", "", "", "")) == 0 && accepted < 100)
        ++accepted;
    EXPECT_EQ(result, TAPIERR_REQUESTQUEUEFULL);
    EXPECT_EQ(accepted, 16);
}
