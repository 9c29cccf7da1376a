// Another application's dialing request, from its own process: exits with minus the result of
// tapiRequestMakeCallA (0 when the request was taken).
#include "tapi.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 100;
    const LONG result = tapiRequestMakeCallA(argv[1], "request-helper", argc > 2 ? argv[2] : "", "");
    return static_cast<int>(-result);
}
