// Stand-in for adb in tests. Appends to the file named by
// VELMORA_FAKE_ADB_RECORD what it was started as:
//   run <its own executable path>
//   time <microseconds since 1970>
//   arg <argument>          one line per argv entry after the program
// then sleeps VELMORA_FAKE_ADB_SLEEP_MS milliseconds, if set, does what the
// file named by VELMORA_FAKE_ADB_SCRIPT says, one step a line:
//   stdout TEXT | stderr TEXT   writes the text and a line end there
//   flood BYTES                 writes that many bytes of 100-character lines
//   sleep MS                    waits that long (an adb that hangs)
//   background MS               leaves a copy running that holds its output MS ms
//                               (recorded as "holder <process id>")
//   report                      records what it inherited (see fake_adb.h)
//   exit N                      ends with exit code N
// and appends
//   done
//   ended <microseconds since 1970>
// With VELMORA_FAKE_ADB_DEVICES naming a file, it first acts as adb with the
// devices listed there, one a line of tab-separated fields:
//   SERIAL STATE ADDRESS PORT READY
// ADDRESS is the phone's own, PORT where it takes connects from READY
// (microseconds since 1970). It answers devices -l, connect, disconnect and,
// for the device named with -s, shell (its address), tcpip PORT and usb, as
// adb does, and keeps the changes in the file; a phone switched with tcpip
// takes connects VELMORA_FAKE_ADB_RESTART_MS later (recorded as
// "listens <READY>"). Devices in state "away" or "silent" are phones that
// adb does not list: one away takes connects as any other, a connect to a
// silent one waits VELMORA_FAKE_ADB_SILENT_MS (3000) and fails.
#include "fake_adb.h"
#include "services/event_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

bool append(const char* record, const std::string& text)
{
    std::FILE* file = std::fopen(record, "ab");
    if (!file)
        return false;
    std::fputs(text.c_str(), file);
    return std::fclose(file) == 0;
}

struct Device {
    std::string serial, state, address, port;
    long long ready = 0;
};

// Acts as adb among the devices of the file at path; returns the exit code.
int actAsAdb(std::vector<std::string> args, const char* path, long long now, const char* record)
{
    std::vector<Device> devices;
    std::ifstream in(path, std::ios::binary);
    for (Device d; std::getline(in, d.serial, '\t') && std::getline(in, d.state, '\t') &&
                   std::getline(in, d.address, '\t') && std::getline(in, d.port, '\t') && in >> d.ready && in.ignore();)
        devices.push_back(d);
    in.close();
    std::string serial;
    if (args.size() > 2 && args[0] == "-s") {
        serial = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    const std::string command = args.empty() ? "" : args[0], target = args.size() > 1 ? args[1] : "";
    const auto named = [&](const std::string& name) {
        return std::find_if(devices.begin(), devices.end(), [&](const Device& d) { return d.serial == name; });
    };
    const auto chosen = named(serial);
    if (command == "devices") {
        std::printf("List of devices attached\n");
        for (const Device& d : devices) {
            if (d.state != "silent" && d.state != "away")
                std::printf("%-22s %s transport_id:%d\n", d.serial.c_str(), d.state.c_str(), int(&d - &devices[0]) + 1);
        }
        std::printf("\n");
    } else if (command == "connect") {
        const std::string host = target.substr(0, target.rfind(':')), port = target.substr(target.rfind(':') + 1);
        const auto at = [&](const Device& d) { return d.address == host && d.port == port; };
        if (std::any_of(devices.begin(), devices.end(), [&](const Device& d) { return at(d) && d.state == "silent"; })) {
            const char* wait = std::getenv("VELMORA_FAKE_ADB_SILENT_MS");
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(wait ? wait : "3000")));
            std::printf("failed to connect to %s\n", target.c_str());
            return 0;
        }
        const bool listens =
            std::any_of(devices.begin(), devices.end(), [&](const Device& d) { return at(d) && d.ready <= now; });
        if (listens && named(target) == devices.end())
            devices.push_back({target, "device", host, port, 0});
        std::printf(listens ? "connected to %s\n" : "failed to connect to '%s': Connection refused\n", target.c_str());
    } else if (command == "disconnect" && named(target) != devices.end()) {
        devices.erase(named(target));
        std::printf("disconnected %s\n", target.c_str());
    } else if (chosen == devices.end() || chosen->state != "device") {
        std::fprintf(stderr, "error: device '%s' not found\n", serial.c_str());
        return 1;
    } else if (command == "shell") {
        std::printf("30: wlan0    inet %s/24 brd 0.0.0.0 scope global wlan0\n", chosen->address.c_str());
    } else if (command == "tcpip") {
        std::printf("restarting in TCP mode port: %s\n", target.c_str());
        const char* restart = std::getenv("VELMORA_FAKE_ADB_RESTART_MS");
        chosen->port = target;
        chosen->ready = now + 1000 * std::atoll(restart ? restart : "0");
        append(record, "listens " + std::to_string(chosen->ready) + "\n");
    } else if (command == "usb") {
        std::printf("restarting in USB mode\n");
        chosen->port.clear();
        chosen->state = "offline";
    }
    std::fflush(nullptr);
    std::ofstream file(path, std::ios::binary);
    for (const Device& d : devices)
        file << d.serial << '\t' << d.state << '\t' << d.address << '\t' << d.port << '\t' << d.ready << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace std::chrono;
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        std::this_thread::sleep_for(milliseconds(std::atol(argv[2])));
        return 0;
    }
    std::vector<std::string> steps;
    const char* script = std::getenv("VELMORA_FAKE_ADB_SCRIPT");
    {
        std::ifstream file(script ? script : "");
        for (std::string step; std::getline(file, step);)
            steps.push_back(step);
    }
    const auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    // Taken before this program opens anything else of its own (and only
    // when asked: under Wine it takes a good half second).
    const bool report = std::find(steps.begin(), steps.end(), "report") != steps.end();
    const std::string inherited = report ? inheritanceReport() : "";

    const char* record = std::getenv("VELMORA_FAKE_ADB_RECORD");
    if (!record)
        return 2;
    std::string started = "run " + executablePath() + "\ntime " + std::to_string(now) + "\n";
    for (int i = 1; i < argc; ++i)
        started += "arg " + std::string(argv[i]) + "\n";
    if (!append(record, started))
        return 3;

    if (const char* sleep = std::getenv("VELMORA_FAKE_ADB_SLEEP_MS"))
        std::this_thread::sleep_for(milliseconds(std::atol(sleep)));

    int exitCode = 0;
    if (const char* devices = std::getenv("VELMORA_FAKE_ADB_DEVICES"))
        exitCode = actAsAdb({argv + 1, argv + argc}, devices, now, record);
    for (const std::string& step : steps) {
        const std::string word = step.substr(0, step.find(' '));
        const std::string rest = step.size() > word.size() ? step.substr(word.size() + 1) : "";
        if (word == "stdout" || word == "stderr") {
            std::fprintf(word == "stdout" ? stdout : stderr, "%s\n", rest.c_str());
            std::fflush(nullptr);
        } else if (word == "flood") {
            const std::string line = std::string(99, 'x') + "\n";
            for (long left = std::atol(rest.c_str()); left > 0; left -= 100)
                std::fwrite(line.data(), 1, left < 100 ? static_cast<std::size_t>(left) : 100, stdout);
            std::fflush(stdout);
        } else if (word == "background") {
            append(record, "holder " + std::to_string(startOutputHolder(argv[0], std::atol(rest.c_str()))) + "\n");
        } else if (word == "report") {
            append(record, inherited);
        } else if (word == "sleep") {
            std::this_thread::sleep_for(milliseconds(std::atol(rest.c_str())));
        } else if (word == "exit") {
            exitCode = std::atoi(rest.c_str());
        }
    }

    const auto end = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return append(record, "done\nended " + std::to_string(end) + "\n") ? exitCode : 3;
}
