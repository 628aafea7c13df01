// Heap traffic of the wire codec per state-update message: allocations and bytes asked of operator new.
// A counting operator new replaces the global one in this executable only, so the timing benchmarks
// of the codec stay free of its bookkeeping.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "SenWireCodec.h"

namespace {

std::atomic<std::uint64_t> allocationCount{0};
std::atomic<std::uint64_t> allocatedBytes{0};

void* countedAllocate(std::size_t size, std::size_t alignment)
{
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    allocatedBytes.fetch_add(size, std::memory_order_relaxed);
    void* memory = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        memory = std::malloc(size == 0 ? 1 : size);
    } else if (posix_memalign(&memory, alignment, size == 0 ? alignment : size) != 0) {
        memory = nullptr;
    }
    return memory;
}

// Out of line, so that the compiler does not pair a visible malloc-backed new with this free.
[[gnu::noinline]] void countedFree(void* memory) noexcept
{
    std::free(memory);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* memory = countedAllocate(size, alignof(std::max_align_t))) {
        return memory;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, std::align_val_t alignment)
{
    if (void* memory = countedAllocate(size, static_cast<std::size_t>(alignment))) {
        return memory;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return operator new(size, alignment);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocate(size, alignof(std::max_align_t));
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocate(size, alignof(std::max_align_t));
}

void operator delete(void* memory) noexcept
{
    countedFree(memory);
}

void operator delete[](void* memory) noexcept
{
    countedFree(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    countedFree(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    countedFree(memory);
}

void operator delete(void* memory, std::align_val_t) noexcept
{
    countedFree(memory);
}

void operator delete[](void* memory, std::align_val_t) noexcept
{
    countedFree(memory);
}

void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    countedFree(memory);
}

void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    countedFree(memory);
}

namespace {

using namespace Velmor;

SenEngineEvent stateUpdate()
{
    std::string record(kSenStatePayloadSize, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<char>(i * 31);
    }
    SenEngineEvent event;
    event.setState(1, record.data());
    return event;
}

// Counts only what the timed loop allocates; the counters are averaged over the iterations.
template <typename Body> void measureAllocations(benchmark::State& state, Body body)
{
    const std::uint64_t countBefore = allocationCount.load();
    const std::uint64_t bytesBefore = allocatedBytes.load();
    for (auto _ : state) {
        body();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["allocs/msg"] = static_cast<double>(allocationCount.load() - countBefore) / iterations;
    state.counters["bytes/msg"] = static_cast<double>(allocatedBytes.load() - bytesBefore) / iterations;
    state.SetItemsProcessed(state.iterations());
}

void encodeStateUpdateAllocations(benchmark::State& state)
{
    const SenEngineEvent event = stateUpdate();
    measureAllocations(state, [&] {
        auto frame = SenWire::encodeFrame(event);
        benchmark::DoNotOptimize(frame);
    });
}
BENCHMARK(encodeStateUpdateAllocations);

void decodeStateUpdateAllocations(benchmark::State& state)
{
    const std::string frame = *SenWire::encodeFrame(stateUpdate());
    bool failed = false;
    measureAllocations(state, [&] {
        auto decoded = SenWire::decodeFrame(frame);
        failed = failed || !decoded.ok();
        benchmark::DoNotOptimize(decoded);
    });
    if (failed) {
        state.SkipWithError("a state update did not decode");
    }
}
BENCHMARK(decodeStateUpdateAllocations);

} // namespace
