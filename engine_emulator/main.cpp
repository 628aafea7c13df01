// sen-emulator: a stand-in detection engine that plays a script to one client at a time.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "EmulatorScript.h"
#include "EngineEmulator.h"
#include "SenKeyVersion.h"

namespace {

constexpr const char* kUsage =
    "usage: sen-emulator [--port P] [--dongle-version V] [--headset-version V] [--no-reply CODE]...\n"
    "                    [--log-states] [--pace HZ] [--once] [--verbose] SCRIPT|-\n"
    "       sen-emulator --help | --version\n"
    "  --port P             listen on 127.0.0.1:P (default 1726; 0 picks a free port)\n"
    "  --dongle-version V   dongle version of the hardware reply (decimal or 0x hex, default 5)\n"
    "  --headset-version V  headset version of the hardware reply (default 0x1000)\n"
    "  --no-reply CODE      never answer requests of this code (repeatable)\n"
    "  --log-states         write \"SECONDS state USER\" (CLOCK_MONOTONIC) to stdout for every state sent\n"
    "  --pace HZ            send the script's state lines HZ a second on a fixed schedule (load tests)\n"
    "  --once               exit after the first client's session\n"
    "  --verbose            log every script line as it is played\n";

bool parseNumber(const std::string& text, unsigned long max, unsigned long& value)
{
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty()) {
        return false;
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    return ec == std::errc() && end == digits.data() + digits.size() && value <= max;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "sen-emulator: %s\n%s", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    EmulatorOptions options;
    std::string scriptName;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](unsigned long max, unsigned long& out) {
            return i + 1 < argc && parseNumber(argv[++i], max, out);
        };
        unsigned long number = 0;
        if (arg == "--port") {
            if (!value(65535, number)) {
                return usageError("--port needs a number from 0 to 65535");
            }
            options.port = static_cast<std::uint16_t>(number);
        } else if (arg == "--dongle-version" || arg == "--headset-version") {
            if (!value(0xFFFF, number)) {
                return usageError(arg + " needs a number from 0 to 0xffff");
            }
            (arg == "--dongle-version" ? options.dongleVersion : options.headsetVersion) =
                static_cast<std::uint16_t>(number);
        } else if (arg == "--no-reply") {
            if (!value(0x7FFFFFFF, number)) {
                return usageError("--no-reply needs a request code");
            }
            options.unansweredRequests.insert(static_cast<int>(number));
        } else if (arg == "--log-states") {
            options.logStates = true;
        } else if (arg == "--pace") {
            char* end = nullptr;
            options.paceHz = i + 1 < argc ? std::strtod(argv[++i], &end) : 0.0;
            if (end == nullptr || *end != '\0' || !(options.paceHz > 0.0) || options.paceHz > 100000.0) {
                return usageError("--pace needs a rate above 0, at most 100000 a second");
            }
        } else if (arg == "--once") {
            options.once = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("sen-emulator %s\n", kSenKeyVersion);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (!scriptName.empty()) {
            return usageError("only one script can be played");
        } else {
            scriptName = arg;
        }
    }
    if (scriptName.empty()) {
        return usageError("no script given");
    }

    std::string text;
    if (scriptName == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream file(scriptName, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "sen-emulator: cannot read %s: %s\n", scriptName.c_str(), std::strerror(errno));
            return 2;
        }
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::vector<ScriptCommand> script;
    ScriptError error;
    if (!parseScript(text, script, error)) {
        std::fprintf(stderr, "sen-emulator: %s:%d: %s\n", scriptName == "-" ? "<stdin>" : scriptName.c_str(),
                     error.line, error.message.c_str());
        return 2;
    }

    // SIGINT and SIGTERM end the serving loop from a thread of their own, so sessions close cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    EngineEmulator emulator(options);
    std::string listenError;
    if (!emulator.listen(listenError)) {
        std::fprintf(stderr, "sen-emulator: %s\n", listenError.c_str());
        return 1;
    }

    std::atomic<bool> served{false};
    std::thread signalWaiter([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        if (!served) {
            emulator.stop();
        }
    });
    emulator.serve(script);
    served = true;
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return 0;
}
