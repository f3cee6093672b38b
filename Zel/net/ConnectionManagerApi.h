// The connection service as its clients see it: the plug-ins' accounts and the updater reach it on
// the bus under GUID_CONNECTION_MANAGER and call it only through IConnectionManager's virtual slots,
// so their order is the interface: nothing may be inserted before or between them.
//
// A client creates a connection bound to its own queue, fills a ConnectionSettings record from
// GetSettings (host, port and secure mode are its own), calls Connect, and then learns everything
// from the CM_ messages the service posts to its queue under GUID_CONNECTION_MANAGER: p1 is a
// CConnectionRef, a CRefValue holding the CConnection* the message is about; p2 a CRefValue holding
// an integer or, for the two text messages, a CStringPayload.
//
// Order a client sees: CM_STATUS_TEXT and at most one CM_ERROR_TEXT, then exactly one
// CM_CONNECT_RESULT per Connect; after a CM_CONNECT_RESULT of 0, CM_DATA_RECEIVED per queued chunk
// and exactly one CM_DISCONNECTED.
//
// Which Connect a message belongs to. The address in p1 does not tell: a new connection often gets
// the address of one just destroyed, a second Connect on the same object keeps it, and messages of
// the earlier one may still wait in the client's queue. So every Connect has its own serial, never
// repeated in the process and never 0, carried in p1 of each of its messages. The client takes it
// from NextConnectSerial right before Connect, when no message of that Connect can exist yet, and
// drops every message that does not match:
//
//     serial = service->NextConnectSerial(connection);
//     if (service->Connect(connection, settings) != 0) ...      // no message will come
//
//     // in the queue's handler, for GUID_CONNECTION_MANAGER:
//     if (!IsCurrentConnectMessage(p1, connection, serial)) return 0;  // an earlier Connect's
//
// Close and DestroyConnection do not change the serial, so the CM_DISCONNECTED (or, while still
// connecting, the CM_CONNECT_RESULT) that a close produces arrives after it with the serial of that
// Connect; a client that wants nothing more of a connection forgets its pointer and serial.
#pragma once

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/net/ConnectionSettings.h"

#include <cstdint>

class CConnection;

// p1 of every CM_ message: the CConnection* as a CRefValue's value, so a client that reads p1 as a
// plain CRefValue still finds its connection, and the serial of the Connect the message comes from
// (0 only for a CM_DATA_SENT of a connection never connected).
class CConnectionRef : public CRefValue {
public:
    CConnectionRef(CConnection* connection, uint64_t serial)
        : CRefValue(reinterpret_cast<intptr_t>(connection)), serial(serial)
    {
    }

    CConnection* Connection() const { return reinterpret_cast<CConnection*>(value); }

    uint64_t serial;
};

// Whether a CM_ message, by its p1, comes from the Connect of connection that took serial.
inline bool IsCurrentConnectMessage(CRefObject* p1, const CConnection* connection, uint64_t serial)
{
    const CConnectionRef* about = dynamic_cast<const CConnectionRef*>(p1);
    return about && serial != 0 && about->serial == serial && about->Connection() == connection;
}

// Codes of the messages to the owner queue.
enum {
    CM_CONNECT_RESULT = 2,  // 0 connected (secure handshake done when asked), else the failing step's code
    CM_DISCONNECTED = 3,    // 0 closed by Close or by the peer, else the reason code
    CM_DATA_RECEIVED = 4,   // the length of the chunk just queued (1 to 1024)
    CM_DATA_SENT = 5,       // 0, or the Winsock error of the failed send
    CM_STATUS_TEXT = 8,     // a progress text
    CM_ERROR_TEXT = 9,      // an error text
};

// The traffic event (GUID_CONNECTION_MANAGER, this code), fired with no payloads whenever the byte
// counters change.
enum { CM_TRAFFIC_EVENT = 1 };

// Result of every per-connection operation on a pointer that is not a live connection.
const int CM_NOT_LIVE = -2;

class IConnectionManager {
public:
    // A new connection bound to ownerQueue; null when it cannot be made.
    virtual CConnection* CreateConnection(int ownerQueue) = 0;
    virtual bool IsValidConnection(CConnection* connection) = 0;
    // Closes (as Close) and deletes it: 0; CM_NOT_LIVE when it is not live; -1 when deleting failed.
    virtual int DestroyConnection(CConnection* connection) = 0;
    // Starts connecting with a copy of settings: 0, or E_FAIL when no worker could be started. The
    // outcome arrives as CM_CONNECT_RESULT. An earlier Connect of the connection is closed first.
    virtual int Connect(CConnection* connection, const ConnectionSettings& settings) = 0;
    // Sends all of data: length, or -1 when the send failed (CM_DATA_SENT carries the error).
    virtual int Send(CConnection* connection, const void* data, int length, int flags) = 0;
    // Takes up to size bytes of the first queued chunk: the count copied, 0 when none is queued.
    virtual int Receive(CConnection* connection, void* buffer, int size, int reserved) = 0;
    // Closes the socket and tells the worker to end; returns at once, whatever the worker is doing
    // (even stuck in a name look-up). The worker then posts its last message (CM_DISCONNECTED, or
    // a failed CM_CONNECT_RESULT while still connecting) and gives the network back. The connection
    // stays live.
    virtual void Close(CConnection* connection) = 0;
    // 0 when live; the second argument is not used.
    virtual int CheckConnection(CConnection* connection, int unused) = 0;
    // The serial the next Connect of connection will carry in its messages (never 0); 0 when the
    // connection is not live. Ask it right before Connect.
    virtual uint64_t NextConnectSerial(CConnection* connection) = 0;
    virtual int ReservedSlot9(CConnection* connection, int unused) = 0;
    virtual ConnectionSettings GetSettings() = 0;
    // Only the preferences call this; the record is stored at shutdown.
    virtual void SetSettings(const ConnectionSettings& settings) = 0;
    // Bytes handed to Send and returned by Receive since start, over all connections.
    virtual int GetBytesSent() = 0;
    virtual int GetBytesReceived() = 0;

protected:
    // Nobody deletes the service through the interface; keeping the destructor out of it keeps the
    // operations in the first slots.
    ~IConnectionManager() {}
};
