/* A telephony service that lacks most exports, for the binding's missing-export tests. */
#include "tapi/include/tapi.h"

TAPI_EXPORT LONG lineShutdown(HLINEAPP hLineApp)
{
    (void)hLineApp;
    return 42;
}

TAPI_EXPORT LONG lineClose(HLINE hLine)
{
    (void)hLine;
    return 0;
}

TAPI_EXPORT LONG phoneClose(HPHONE hPhone)
{
    (void)hPhone;
    return 0;
}
