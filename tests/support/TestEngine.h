#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "EngineEmulator.h"

/// A stand-in engine on a free port, playing `script` to each client, from its own thread.
class Engine
{
public:
    explicit Engine(std::string_view script, EmulatorOptions options = {}) : emulator(withFreePort(options), log, log)
    {
        ScriptError error;
        EXPECT_TRUE(parseScript(script, commands, error)) << error.message;
        std::string listenError;
        EXPECT_TRUE(emulator.listen(listenError)) << listenError;
        server = std::thread([this] { emulator.serve(commands); });
    }

    ~Engine()
    {
        emulator.stop();
        server.join();
        std::fclose(log);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    uint port() const { return emulator.port(); }
    int sessionsServed() const { return emulator.sessions(); }

private:
    static EmulatorOptions withFreePort(EmulatorOptions options)
    {
        options.port = 0;
        return options;
    }

    std::FILE* log = std::tmpfile();
    EngineEmulator emulator;
    std::vector<ScriptCommand> commands;
    std::thread server;
};
