#include "office_scenario.h"

#include "kestrium_seat.h"

#include <chrono>
#include <thread>

namespace office_test {

void OfficeScenario::SetUp()
{
    if (!KamailioServer::Installed())
        GTEST_SKIP() << "Kamailio is not installed (scripts/install-deps installs it)";
    TelephonyScenario::SetUp();
    m_server = std::make_unique<KamailioServer>(m_dir / "server", Users(), "office.test", GrantedSeconds());
    ASSERT_TRUE(m_server->Start()) << m_server->Log();
    WritePasswordFile(m_dir / "201.password", "secret-201");
    ASSERT_EQ(tapisimConfigure(Configuration().c_str()), TAPISIM_OK) << tapisimLastError();
}

void OfficeScenario::TearDown()
{
    if (m_server)
        TelephonyScenario::TearDown();
}

std::string OfficeScenario::Configuration() const
{
    std::string text;
    for (int i = 1; i <= 4; ++i)
        text += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
    return text + "[line]\nname = IP Line 1\nkind = sip\nuser = 201\ndomain = 127.0.0.1:"
        + std::to_string(m_server->Port())
        + "\nlocal-address = 127.0.0.1\npassword-file = " + (m_dir / "201.password").string()
        + "\n[line]\nname = IP Line 2\nkind = ip\n[line]\nname = Data Modem\nkind = modem\n";
}

bool OfficeScenario::RunUntil(const std::function<bool()>& done, int timeoutMs, int stepMs)
{
    for (int waited = 0; waited < timeoutMs; waited += stepMs) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
        Advance(DWORD(stepMs));
    }
    return done();
}

int OfficeScenario::SeatSlotIndex()
{
    int index = 0;
    EXPECT_NE(m_manager->FindSlotByDevice(kSeatDevice, &index), nullptr);
    return index;
}

} // namespace office_test
