#include "Jabber/account/Timings.h"

JabberTimings& Timings()
{
    static JabberTimings timings;
    return timings;
}
