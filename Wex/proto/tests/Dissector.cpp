#include "Dissector.h"

#include "ZELCommon/tests/UnixHost.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

namespace WexTest {

namespace {

// Where the layouts and tshark part ways: frames it reads otherwise, through no fault of the bytes.
// A list frame that says another follows (SNAC flags bit 0) ends after its items: tshark looks for a
// last-change time after the items of every list frame, and calls the frame malformed.
bool DissectorWantsATimeAfterTheItems(const Bytes& frame)
{
    return frame[1] == 2 && frame[7] == 0x13 && frame[9] == 0x06 && (frame[11] & 1);
}

// An authorisation request from a contact ends with its text: tshark, which reads it with the
// layout of the request a client sends, looks for the two zero bytes that one ends with.
bool DissectorWantsTheRequestsEnding(const Bytes& frame)
{
    return frame[1] == 2 && frame[7] == 0x13 && frame[9] == 0x19;
}

// tshark shows no SNAC header for the offline-message request, which has no body.
bool DissectorHidesTheSnacHeader(const Bytes& frame)
{
    return frame[1] == 2 && frame[7] == 0x04 && frame[9] == 0x10;
}

unsigned Number(const std::string& field)
{
    return field.empty() ? 0 : unsigned(std::strtoul(field.c_str(), nullptr, 0));
}

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

// Runs the dissector script on the capture and waits for its report; false with the reason.
bool RunScript(const Bytes& capture, unsigned short serverPort, const std::string& name, std::string& folder,
               std::string& failure)
{
    std::string base = WEX_TEST_RUN_DIR;
    CreateDirectoryW(TestSupport::DosPath(base).c_str(), nullptr);
    folder = base + "/" + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(TestSupport::DosPath(folder).c_str(), nullptr);
    // A report left by an earlier run must not pass for this one's.
    for (const char* report : {"/done", "/failed", "/frames", "/problems"})
        DeleteFileW(TestSupport::DosPath(folder + report).c_str());
    std::string file = folder + "/sign-on.pcap";
    if (!TestSupport::WriteTextFile(file, std::string(capture.begin(), capture.end()))) {
        failure = "cannot write " + file;
        return false;
    }
    if (!TestSupport::StartUnixScript(WEX_TSHARK_SCRIPT, {file, folder, std::to_string(serverPort)}, failure))
        return false;
    for (int i = 0; i < 6000; ++i) {  // 120 s
        if (TestSupport::FileExists(folder + "/done")) return true;
        if (TestSupport::FileExists(folder + "/failed")) {
            failure = TestSupport::ReadTextFile(folder + "/failed") + "\n--- log ---\n" + TestSupport::ReadTextFile(folder + "/log");
            return false;
        }
        Sleep(20);
    }
    failure = "no answer from the dissector script within 120 s\n--- log ---\n" + TestSupport::ReadTextFile(folder + "/log");
    return false;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const SeenFrame& f)
{
    return out << "{port " << f.port << ", channel " << f.channel << ", sequence " << f.sequence << ", length "
               << f.length << ", SNAC " << f.family << "/" << f.subtype << "}";
}

// The header fields of a frame, read from its bytes as written, as tshark should show them.
SeenFrame Written(unsigned short port, const Bytes& frame)
{
    SeenFrame f;
    f.port = port;
    f.channel = frame[1];
    f.sequence = unsigned(frame[2] << 8 | frame[3]);
    f.length = unsigned(frame[4] << 8 | frame[5]);
    if (f.channel == 2 && !DissectorHidesTheSnacHeader(frame)) {
        f.family = unsigned(frame[6] << 8 | frame[7]);
        f.subtype = unsigned(frame[8] << 8 | frame[9]);
    }
    return f;
}

bool DissectorReadsOtherwise(const Bytes& frame)
{
    return DissectorWantsATimeAfterTheItems(frame) || DissectorWantsTheRequestsEnding(frame);
}

bool Dissect(const Bytes& capture, unsigned short serverPort, const std::string& name, Dissection& out,
             std::string& failure)
{
    std::string folder;
    if (!RunScript(capture, serverPort, name, folder, failure)) return false;
    std::istringstream frames(TestSupport::ReadTextFile(folder + "/frames"));
    std::string line;
    while (std::getline(frames, line)) {
        std::vector<std::string> fields = Split(line, '\t');
        fields.resize(7);
        out.lines.push_back(line);
        out.packets.push_back(Number(fields[0]));
        SeenFrame f;
        f.port = Number(fields[1]);
        f.channel = Number(fields[2]);
        f.sequence = Number(fields[3]);
        f.length = Number(fields[4]);
        f.family = Number(fields[5]);
        f.subtype = Number(fields[6]);
        out.frames.push_back(f);
    }
    out.problems = TestSupport::ReadTextFile(folder + "/problems");
    return true;
}

std::string ExpectedProblems(const std::vector<unsigned>& packets, const std::vector<bool>& disputed)
{
    std::string problems;
    for (size_t i = 0; i < packets.size() && i < disputed.size(); ++i)
        if (disputed[i]) problems += std::to_string(packets[i]) + "\tMalformed Packet (Exception occurred)\n";
    return problems;
}

}  // namespace WexTest
