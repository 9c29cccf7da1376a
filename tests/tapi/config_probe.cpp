// Starts the telephony service as an application would and prints the line names it offers, so a
// test can see how the exchange read its configuration file at start-up, and what it reported.
#include "tapi.h"
#include "tapisim.h"

#include <cstdio>
#include <vector>

namespace {

void Ignore(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
}

} // namespace

int main()
{
    HLINEAPP app = 0;
    DWORD count = 0;
    DWORD version = TAPI_VERSION_HIGHEST;
    if (lineInitializeExA(&app, nullptr, Ignore, "probe", &count, &version, nullptr) != 0)
        return 1;
    for (DWORD device = 0; device < count; ++device) {
        std::vector<unsigned char> block(1268);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(block.data());
        caps->dwTotalSize = static_cast<DWORD>(block.size());
        if (lineGetDevCapsA(app, device, version, 0, caps) == 0)
            std::printf("%s\n", reinterpret_cast<const char*>(block.data() + caps->dwLineNameOffset));
    }
    lineShutdown(app);
    if (*tapisimLastError())
        std::printf("last error: %s\n", tapisimLastError());
    return 0;
}
