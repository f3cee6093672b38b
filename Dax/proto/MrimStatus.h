// Statuses between the program's numbers and the wire's status value and URI, the rows of the
// plug-in's status table (which text names each status and which images show it), and the client
// identification block that ends the login.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include "ZELCommon/ZELString.h"

namespace Mrim {

enum : unsigned { StatusWireInvisible = 0x80000001, ClientFeatures = 0x000003FF };

// The wire value of a program status; uri gets its URI (empty for statuses the wire lacks).
unsigned StatusToWire(int status, CZELString& uri);
// The program status of a wire value and URI (the URI compared without regard to case).
int StatusFromWire(unsigned value, const CZELString& uri);

// One row of the status table: status, the number of its name text and up to two images
// (positions in the plug-in's image list; -1 for none).
struct StatusRow {
    int status;
    int textNumber;
    int images[2];
};
// The 14 rows in table order (status 4 has no row of its own: it shows as 3).
extern const StatusRow StatusRows[14];
// The row of status (4 reads as 3), or null.
const StatusRow* FindStatusRow(int status);

// The four fields that end the login: features, user agent, language and description, for the
// given build number and system name.
Bytes BuildClientId(unsigned buildNumber, const CZELString& systemName);

} // namespace Mrim
