// ConnectionSettings: how one connection reaches its destination. Copied by value between the
// connection service, its clients and the preferences; the service's own record carries the user's
// access point and proxy choice, and each client adds host, port and secure mode per connection.
// Header-only, because plug-ins build and copy these records themselves.
#pragma once

#include "ZELCommon/ZELString.h"

enum { PROXY_NONE = 0, PROXY_HTTP = 1, PROXY_SOCKS4 = 2, PROXY_SOCKS5 = 3 };
enum { SECURE_NONE = 0, SECURE_SSL = 1, SECURE_TLS = 2 };

struct ConnectionSettings {
    ConnectionSettings() : port(0), proxyType(PROXY_NONE), proxyPort(0), proxyAuth(false), secureMode(SECURE_NONE) {}

    CZELString accessPoint;  // description of the network destination; empty lets the platform choose
    CZELString host;         // destination host name or dotted IPv4 address
    int port;
    int proxyType;  // PROXY_*
    CZELString proxyHost;
    int proxyPort;
    bool proxyAuth;  // send proxyLogin and proxyPassword
    CZELString proxyLogin;     // SOCKS4: the user id
    CZELString proxyPassword;  // kept as entered
    int secureMode;            // SECURE_*
};
