#pragma once

// libre's headers (the SIP, SDP and RTP stack of the SIP lines) with the system headers they
// expect before them.
// As the Debian library was built: C99 types and booleans, IPv6 addresses.
#define HAVE_STDBOOL_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_INET6 1

#include <netinet/in.h>
#include <sys/socket.h>

#include <re.h>

#include <cstring>
