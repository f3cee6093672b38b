// The name look-up of the connect steps, in getaddrinfo's form (results freed with freeaddrinfo).
// Tests put their own in its place, to hold a look-up for as long as they need, as a slow resolver
// does.
#pragma once

// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

typedef int (*NameLookup)(const char* name, const char* service, const addrinfo* hints, addrinfo** result);

// Looks name up through the look-up in place: getaddrinfo, unless a test put another.
int LookUpName(const char* name, const char* service, const addrinfo* hints, addrinfo** result);

// Puts lookup in place of getaddrinfo; null puts getaddrinfo back.
void SetNameLookup(NameLookup lookup);
