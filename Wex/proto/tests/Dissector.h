// Debian's tshark as an independent check of the frames: a capture file of FLAP frames (CaptureFile)
// is handed to tshark/dissect.sh, which runs outside Wine, and its report is read back: the header
// fields tshark found for each frame and the packets it called malformed or warned about.
#pragma once

#include "WexTestSupport.h"

#include <ostream>
#include <string>
#include <vector>

namespace WexTest {

// A frame's header fields as tshark shows them; port is the sender's.
struct SeenFrame {
    unsigned port = 0, channel = 0, sequence = 0, length = 0, family = 0, subtype = 0;

    bool operator==(const SeenFrame& other) const
    {
        return port == other.port && channel == other.channel && sequence == other.sequence && length == other.length &&
               family == other.family && subtype == other.subtype;
    }
};

std::ostream& operator<<(std::ostream& out, const SeenFrame& f);

// The header fields of a frame, read from its bytes as written, as tshark should show them.
SeenFrame Written(unsigned short port, const Bytes& frame);

// Frames tshark reads otherwise through no fault of the bytes, and reports as malformed (see
// Dissector.cpp for each).
bool DissectorReadsOtherwise(const Bytes& frame);

struct Dissection {
    std::vector<std::string> lines;  // tshark's line per frame, as written
    std::vector<SeenFrame> frames;
    std::vector<unsigned> packets;   // the capture's packet number of each frame
    std::string problems;            // packet number, a tab and the messages, per line
};

// Runs the dissector on capture, whose servers listen on serverPort; name keeps the result folder
// apart from other tests'. False with the reason when tshark could not report.
bool Dissect(const Bytes& capture, unsigned short serverPort, const std::string& name, Dissection& out,
             std::string& failure);

// The problems report expected when exactly the packets marked are disputed (DissectorReadsOtherwise).
std::string ExpectedProblems(const std::vector<unsigned>& packets, const std::vector<bool>& disputed);

}  // namespace WexTest
