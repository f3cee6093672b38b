// Where the updater asks for a newer build and fetches the package: the one place that names the
// update service, so that a deployment (and the tests) set both servers here.
#pragma once

#include "ZELCommon/ZELString.h"

struct UpdateEndpoint {
    CZELString host;
    int port = 80;
};

struct UpdateEndpoints {
    UpdateEndpoint version;   // answers "/newpda_ppc.php"
    UpdateEndpoint download;  // serves "/pda/zelpda<build>.cab"
};

// A copy of the endpoints in use; any thread.
UpdateEndpoints GetUpdateEndpoints();
void SetUpdateEndpoints(const UpdateEndpoints& endpoints);
// Back to the program's own.
void ResetUpdateEndpoints();
