#include "telephony/tapi_binding.h"

#include <gtest/gtest.h>

namespace {

// A service library built for this test that exports only lineShutdown (answering 42),
// lineClose and phoneClose.
constexpr const char* kPartialLibrary = "libtapi_partial_fake.so";

TEST(TapiBinding, WithoutTheLibraryEveryWrapperAnswersUnavailable)
{
    TapiBinding tapi("libkestrium-no-such-tapi.so");
    EXPECT_EQ(tapi.lineShutdown(1), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.lineShutdown(1), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.lineClose(1), LINEERR_OPERATIONUNAVAIL);
    // A phone wrapper discovers the gap with the line code, then answers with the phone code.
    EXPECT_EQ(tapi.phoneClose(1), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.phoneClose(1), PHONEERR_OPERATIONUNAVAIL);
    EXPECT_FALSE(tapi.StartEventDelivery());
}

TEST(TapiBinding, MissingExportFailsOnlyItsOwnWrapper)
{
    TapiBinding tapi(kPartialLibrary);
    EXPECT_EQ(tapi.lineShutdown(1), 42);
    EXPECT_EQ(tapi.lineAnswer(5, nullptr, 0), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.lineAnswer(5, nullptr, 0), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.lineShutdown(2), 42);
    EXPECT_EQ(tapi.lineClose(3), 0);
}

TEST(TapiBinding, MissingPhoneExportAnswersThePhoneCodeAfterDiscovery)
{
    TapiBinding tapi(kPartialLibrary);
    EXPECT_EQ(tapi.phoneSetVolume(1, PHONEHOOKSWITCHDEV_HANDSET, 10), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.phoneSetVolume(1, PHONEHOOKSWITCHDEV_HANDSET, 10), PHONEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(tapi.phoneClose(1), 0);
}

} // namespace
