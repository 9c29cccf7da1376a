#pragma once

#include "kamailio_server.h"

#include "support/telephony_scenario.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace office_test {

// The program's telephony in this process (line manager, call log in the test's data folder) as
// seat 201 on "IP Line 1" of a Kamailio started for the test; colleagues are KestriumSeats. The
// exchange's clock runs in step with real time, since the server and the colleagues are real.
class OfficeScenario : public TelephonyScenario {
protected:
    static constexpr DWORD kSeatDevice = 4; // "IP Line 1": extension 201

    // Starts the server and configures the exchange; the test calls Start() once its own parts are
    // ready. Skips when Kamailio is not installed.
    void SetUp() override;
    void TearDown() override;

    // The server's seats (NAME:PASSWORD), 201 among them.
    virtual std::vector<std::string> Users() const { return { "201:secret-201", "202:secret-202" }; }
    // The longest registration the server grants, in seconds.
    virtual unsigned GrantedSeconds() const { return 2; }

    // Moves the clock with real time until `done` holds or `timeoutMs` passed, asking every
    // `stepMs` (checks that start a tool, such as linesim, ask less often).
    bool RunUntil(const std::function<bool()>& done, int timeoutMs, int stepMs = 20);
    // The line manager's slot of this seat's line, and its index.
    LineSlot& SeatSlot() { return Slot(SeatSlotIndex()); }
    int SeatSlotIndex();
    // This seat's row in the exchange's line list.
    std::string SeatState() { return DescribeLine(kSeatDevice + 1); }

    std::unique_ptr<KamailioServer> m_server;

private:
    std::string Configuration() const;
};

} // namespace office_test
