// Throughput of the wire codec on state updates, and one request/reply round trip over loopback.

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "RemoteSenEventClient.h"
#include "SenEventQueue.h"
#include "SenWireCodec.h"

using namespace Velmor;
using boost::asio::ip::tcp;

namespace {

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

void encodeStateUpdate(benchmark::State& state)
{
    const SenEngineEvent event = stateUpdate();
    for (auto _ : state) {
        auto frame = SenWire::encodeFrame(event);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(encodeStateUpdate);

void decodeStateUpdate(benchmark::State& state)
{
    const std::string frame = *SenWire::encodeFrame(stateUpdate());
    for (auto _ : state) {
        auto decoded = SenWire::decodeFrame(frame);
        benchmark::DoNotOptimize(decoded);
        if (!decoded.ok()) {
            state.SkipWithError(decoded.error.c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame.size()));
}
BENCHMARK(decodeStateUpdate);

// A peer that answers every request with a reply of the same code, until the client goes away.
void echoPeer(tcp::acceptor& acceptor)
{
    boost::asio::io_context io;
    tcp::socket socket(io);
    acceptor.accept(socket);
    socket.set_option(tcp::no_delay(true));
    std::string header(SenWire::kHeaderSize, '\0');
    std::string body;
    boost::system::error_code error;
    while (true) {
        boost::asio::read(socket, boost::asio::buffer(header), error);
        const auto length = error ? std::nullopt : SenWire::parseHeader(header);
        if (!length) {
            return;
        }
        body.resize(*length);
        boost::asio::read(socket, boost::asio::buffer(body), error);
        if (error) {
            return;
        }
        const auto decoded = SenWire::decodeBody(body);
        const auto* request = dynamic_cast<const RequestEvent*>(decoded.event.get());
        if (request == nullptr) {
            return;
        }
        boost::asio::write(socket, boost::asio::buffer(*SenWire::encodeFrame(ReplyEvent(request->code, 0))), error);
        if (error) {
            return;
        }
    }
}

void loopbackRoundTrip(benchmark::State& state)
{
    boost::asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
    std::thread peer(echoPeer, std::ref(acceptor));

    SenEventQueue replies;
    auto client = std::make_unique<RemoteSenEventClient>();
    client->setEventCallback([&](std::unique_ptr<SenEvent> event) { replies.push(std::move(event)); });
    if (!client->connect("127.0.0.1", std::to_string(acceptor.local_endpoint().port()))) {
        state.SkipWithError("connect failed");
        acceptor.close();
        peer.join();
        return;
    }
    replies.pop(-1); // the answer to the version announcement
    const RequestEvent request(7, 1);
    for (auto _ : state) {
        client->send(request);
        auto reply = replies.pop(-1);
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(state.iterations());
    client.reset();
    peer.join();
}
BENCHMARK(loopbackRoundTrip)->UseRealTime();

} // namespace
