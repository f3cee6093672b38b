// What the updater's transactions report to the queue "GUI" (message class GUID_GUI): p1 is a
// CRefValue, holding the build for an offer and the finished transaction for the two "done" codes.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/shell/updater/PackageDigest.h"

#include <cstring>

enum {
    GUIMSG_UPDATE_AVAILABLE = 2,      // a newer build can be downloaded
    GUIMSG_UPDATE_READY = 3,          // a newer build's package is downloaded and verified
    GUIMSG_UPDATE_CHECK_DONE = 4,     // the check in p1 has ended
    GUIMSG_UPDATE_DOWNLOAD_DONE = 5,  // the download in p1 has ended
};

// p1 of the two offers: the build, and the package's digest that the install is checked against.
class CUpdateOffer : public CRefValue {
public:
    CUpdateOffer(unsigned build, const PackageDigest packageDigest) : CRefValue(intptr_t(build))
    {
        memcpy(digest, packageDigest, sizeof(digest));
    }

    unsigned Build() const { return unsigned(value); }

    PackageDigest digest;
};
