#include "KeyboardEventSimulator.h"
#include "PlatformFactory.h"
#include "RecordingBackend.h"

#include <benchmark/benchmark.h>

namespace {

constexpr std::uint16_t kScanCodeA = 0x1E;

// Keeps the recording from growing without bound over millions of iterations.
void trim(RecordingBackend& backend, std::int64_t iteration)
{
    if ((iteration & 0xFFFF) == 0) {
        backend.clear();
    }
}

void recordingPressRelease(benchmark::State& state)
{
    RecordingBackend backend;
    std::int64_t i = 0;
    for (auto _ : state) {
        backend.pressKey(kScanCodeA);
        backend.releaseKey(kScanCodeA);
        trim(backend, ++i);
    }
}
BENCHMARK(recordingPressRelease);

// The simulator's own work around one key: lookup, Shift, and the bookkeeping of what is held.
void simulatorShiftedCharacterOnRecording(benchmark::State& state)
{
    RecordingBackend backend;
    KeyboardEventSimulator simulator(backend, backend);
    std::int64_t i = 0;
    for (auto _ : state) {
        simulator.triggerKey('A');
        simulator.releaseKey('A');
        trim(backend, ++i);
    }
}
BENCHMARK(simulatorShiftedCharacterOnRecording);

// One XTest press and release, each waiting for the server.
void x11PressRelease(benchmark::State& state)
{
    PlatformOptions options;
    options.kind = BackendKind::X11;
    const Platform platform = createPlatform(options);
    if (platform.injectorKind != BackendKind::X11) {
        state.SkipWithError(("no X display: " + platform.fallbackReason.toStdString()).c_str());
        return;
    }
    for (auto _ : state) {
        platform.injector->pressKey(kScanCodeA);
        platform.injector->releaseKey(kScanCodeA);
    }
}
BENCHMARK(x11PressRelease);

} // namespace
