#include "SenEngine.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <utility>
#include <vector>

#include "SenEventNotifier.h"
#include "nxl.h"

namespace Velmor {

namespace {

constexpr std::uint32_t kNoSuchUser = 0x0400;
constexpr std::uint32_t kProfileRejected = 0x0300;
constexpr std::uint32_t kProfileUnreadable = 0x0101;
constexpr int kProfileReplyAttempts = 3;

std::unique_ptr<RequestEvent> makeRequest(std::int32_t code, std::uint32_t userId = 0, std::string text = {})
{
    return std::make_unique<RequestEvent>(code, userId, std::move(text));
}

std::vector<std::string_view> splitAtCommas(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

// Sets out to the index of field in choices; a field that is not listed leaves out unchanged.
void pickIndex(std::string_view field, std::initializer_list<std::string_view> choices, int& out)
{
    int index = 0;
    for (std::string_view choice : choices) {
        if (field == choice) {
            out = index;
            return;
        }
        ++index;
    }
}

} // namespace

SenEngine::SenEngine(const SenProfileManager& profileManager) : m_profileManager(profileManager.createNew()) {}

SenEngine::~SenEngine() = default;

std::uint32_t SenEngine::setUserProfileBytes(std::uint32_t userId, const unsigned char* bytes, std::size_t length)
{
    std::string profile;
    switch (m_profileManager->profileFromBytes(bytes, length, profile)) {
    case SenProfileManager::ProfileOk:
        break;
    case SenProfileManager::ProfileInvalidArgument:
        return kProfileRejected;
    case SenProfileManager::ProfileUnreadable:
        return kProfileUnreadable;
    default:
        return NXL_INTERNAL_ERROR;
    }
    auto request = makeRequest(SenRequestSetProfile, userId);
    request->profile = std::move(profile);
    return replyResult(*requestReply(std::move(request)));
}

std::uint32_t SenEngine::getUserProfile(std::uint32_t userId, SenEngineEvent* event)
{
    if (event == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    sendRequest(makeRequest(SenRequestGetProfile, userId));
    // Replies left over from earlier requests may come first; they are passed over.
    // The time limit holds for the whole request, not for each reply taken.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(replyTimeout());
    for (int attempt = 0; attempt < kProfileReplyAttempts; ++attempt) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        std::unique_ptr<ReplyEvent> reply = takeReply(static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (!reply || reply->code == -1) {
            return NXL_NO_REPLY;
        }
        if (reply->code != SenRequestGetProfile) {
            continue;
        }
        if (reply->result == 0) {
            *event = SenEngineEvent(SenProfileEvent, userId, reply->text);
        }
        return replyResult(*reply);
    }
    return NXL_CONNECT_FAILED;
}

std::uint32_t SenEngine::sendUserText(std::uint32_t userId, const std::string& text)
{
    return replyResult(*requestReply(makeRequest(SenRequestUserText, userId, text)));
}

std::uint32_t SenEngine::setParameter(std::uint32_t userId, const std::string& group, const std::string& name,
                                      float value)
{
    auto request = makeRequest(SenRequestSetParameter, userId, group + "-" + name);
    request->value = value;
    const std::uint32_t result = replyResult(*requestReply(std::move(request)));
    if (result == NXL_OK && group == "mentrix") {
        SenMutexLocker locker(m_mutex);
        if (name == "trainingAction") {
            m_trainingAction[userId] = value;
        } else if (name == "trainingControl") {
            m_trainingControl[userId] = value;
        }
    }
    return result;
}

std::uint32_t SenEngine::getParameter(std::uint32_t userId, const std::string& group, const std::string& name,
                                      float* value)
{
    if (value == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    std::unique_ptr<ReplyEvent> reply = requestReply(makeRequest(SenRequestGetParameter, userId, group + "-" + name));
    *value = reply->value;
    return replyResult(*reply);
}

std::uint32_t SenEngine::queryCount()
{
    return requestReply(makeRequest(SenRequestCount))->count;
}

std::uint32_t SenEngine::sendUserValue(std::uint32_t userId, std::uint32_t value)
{
    auto request = makeRequest(SenRequestUserValue, userId);
    request->value = static_cast<float>(value);
    return replyResult(*requestReply(std::move(request)));
}

void SenEngine::parseUserSettings(const std::string& text, SenUserSettings& settings)
{
    std::vector<std::string_view> fields = splitAtCommas(text);
    fields.resize(5);
    settings.enabled = fields[0] != "0";
    settings.second = fields[1] == "128" ? 0 : 1;
    pickIndex(fields[2], {"14", "16", "0"}, settings.third);
    pickIndex(fields[3], {"0", "32", "64", "128"}, settings.fourth);
    pickIndex(fields[4], {"12", "14", "16", "0"}, settings.fifth);
}

std::uint32_t SenEngine::getUserSettings(std::uint32_t userId, SenUserSettings* settings)
{
    if (settings == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    std::unique_ptr<ReplyEvent> reply = requestReply(makeRequest(SenRequestGetSettings, userId));
    if (reply->text.empty()) {
        return NXL_INTERNAL_ERROR;
    }
    parseUserSettings(reply->text, *settings);
    return replyResult(*reply);
}

std::uint32_t SenEngine::setUserSettings(std::uint32_t userId, const std::array<std::uint8_t, 5>& values)
{
    std::string text;
    for (std::uint8_t value : values) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(value);
    }
    return replyResult(*requestReply(makeRequest(SenRequestSetSettings, userId, std::move(text))));
}

std::uint32_t SenEngine::getHardwareText(std::uint32_t userId, std::string& text)
{
    std::unique_ptr<ReplyEvent> reply = requestReply(makeRequest(SenRequestHardware, userId));
    if (reply->code == SenRequestHardware) {
        text = reply->text;
    }
    return replyResult(*reply);
}

void SenEngine::setUserFlags(std::uint32_t userId, bool first, bool second)
{
    SenMutexLocker locker(m_mutex);
    m_userFlags[userId] = {first, second};
}

std::uint32_t SenEngine::userFlag(std::uint32_t userId, bool second, bool* value) const
{
    if (value == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    SenMutexLocker locker(m_mutex);
    const auto it = m_userFlags.find(userId);
    if (it == m_userFlags.end()) {
        return kNoSuchUser;
    }
    *value = second ? it->second.second : it->second.first;
    return NXL_OK;
}

std::uint32_t SenEngine::userFirstFlag(std::uint32_t userId, bool* value) const
{
    return userFlag(userId, false, value);
}

std::uint32_t SenEngine::userSecondFlag(std::uint32_t userId, bool* value) const
{
    return userFlag(userId, true, value);
}

void SenEngine::sendRequest(std::unique_ptr<RequestEvent> /*request*/)
{
    pushReply(std::make_unique<ReplyEvent>(-1, NXL_NO_REPLY));
}

void SenEngine::pushEngineEvent(std::unique_ptr<SenEngineEvent> event)
{
    if (!event) {
        return;
    }
    if (event->type == SenUserAdded) {
        // Cleared before the event becomes visible, so a caller that sees the event sees the flag.
        SenMutexLocker locker(m_mutex);
        m_enabled[event->userId] = false;
    }
    if (event->type == SenEngineType0100) {
        m_secondaryEvents.push(std::make_unique<SenEngineEvent>(*event));
    }
    m_events.push(std::move(event));
    engineEventNotifier().notify();
}

void SenEngine::pushLocalEvent(std::unique_ptr<SenEvent> /*event*/) {}

void SenEngine::pushReply(std::unique_ptr<ReplyEvent> reply)
{
    m_replies.push(std::move(reply));
}

std::uint32_t SenEngine::setUserEnabled(std::uint32_t userId, bool enabled)
{
    SenMutexLocker locker(m_mutex);
    const auto it = m_enabled.find(userId);
    if (it == m_enabled.end()) {
        return kNoSuchUser;
    }
    it->second = enabled;
    return NXL_OK;
}

std::optional<bool> SenEngine::userEnabled(std::uint32_t userId) const
{
    SenMutexLocker locker(m_mutex);
    const auto it = m_enabled.find(userId);
    if (it == m_enabled.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::uint32_t SenEngine::getTrainingAction(std::uint32_t userId, float* value) const
{
    if (value == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    SenMutexLocker locker(m_mutex);
    const auto it = m_trainingAction.find(userId);
    if (it == m_trainingAction.end()) {
        return kNoSuchUser;
    }
    *value = it->second;
    return NXL_OK;
}

std::uint32_t SenEngine::takeTrainingControl(std::uint32_t userId, float* value)
{
    if (value == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    SenMutexLocker locker(m_mutex);
    const auto it = m_trainingControl.find(userId);
    if (it == m_trainingControl.end()) {
        return kNoSuchUser;
    }
    *value = it->second;
    it->second = 0.0F;
    return NXL_OK;
}

namespace {

bool takeEngineEvent(SenEventQueue& queue, SenEngineEvent& event)
{
    std::unique_ptr<SenEvent> taken = queue.pop(0);
    const auto* engineEvent = dynamic_cast<const SenEngineEvent*>(taken.get());
    if (engineEvent == nullptr) {
        return false;
    }
    engineEvent->copyInto(event);
    return true;
}

} // namespace

bool SenEngine::getNextEvent(SenEngineEvent& event)
{
    return takeEngineEvent(m_events, event);
}

bool SenEngine::getNextSecondaryEvent(SenEngineEvent& event)
{
    return takeEngineEvent(m_secondaryEvents, event);
}

bool SenEngine::flushEvents(std::int32_t mask)
{
    if (mask >= 0 && (mask & ~kSenUserTypeMask) != 0) {
        return false;
    }
    m_events.removeIf(SenEngineEventTypeComparator(mask));
    return true;
}

void SenEngine::waitReply(ReplyEvent& reply, int timeoutMs)
{
    std::unique_ptr<ReplyEvent> taken = takeReply(timeoutMs);
    reply = taken ? *taken : ReplyEvent(0, 0);
}

std::unique_ptr<ReplyEvent> SenEngine::takeReply(int timeoutMs)
{
    std::unique_ptr<SenEvent> taken = m_replies.pop(timeoutMs);
    if (dynamic_cast<ReplyEvent*>(taken.get()) != nullptr) {
        return std::unique_ptr<ReplyEvent>(static_cast<ReplyEvent*>(taken.release()));
    }
    return nullptr;
}

std::unique_ptr<ReplyEvent> SenEngine::requestReply(std::unique_ptr<RequestEvent> request)
{
    sendRequest(std::move(request));
    std::unique_ptr<ReplyEvent> reply = takeReply(replyTimeout());
    if (!reply) {
        reply = std::make_unique<ReplyEvent>(-1, NXL_NO_REPLY);
    }
    return reply;
}

std::uint32_t SenEngine::requestPair(std::int32_t code, std::uint32_t userId, std::int32_t* first, std::int32_t* second)
{
    if (first == nullptr || second == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    std::unique_ptr<ReplyEvent> reply = requestReply(makeRequest(code, userId));
    if (reply->code != code) {
        return NXL_CONNECT_FAILED;
    }
    *first = reply->first;
    *second = reply->second;
    return replyResult(*reply);
}

std::uint32_t SenEngine::getUserPairA(std::uint32_t userId, std::int32_t* first, std::int32_t* second)
{
    return requestPair(SenRequestPairA, userId, first, second);
}

std::uint32_t SenEngine::getUserPairB(std::uint32_t userId, std::int32_t* first, std::int32_t* second)
{
    return requestPair(SenRequestPairB, userId, first, second);
}

std::uint32_t SenEngine::enableOptimization(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    auto request = makeRequest(SenRequestOptimization);
    request->params = OptimizationParam_s{true, x, y, z};
    return replyResult(*requestReply(std::move(request)));
}

std::uint32_t SenEngine::disableOptimization()
{
    return replyResult(*requestReply(makeRequest(SenRequestOptimization)));
}

std::uint32_t SenEngine::getOptimizationParams(OptimizationParam_s* params)
{
    if (params == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    std::unique_ptr<ReplyEvent> reply = requestReply(makeRequest(SenRequestOptimizationParams));
    *params = reply->params;
    return replyResult(*reply);
}

std::uint32_t SenEngine::isOptimizationEnabled(bool* enabled)
{
    if (enabled == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    OptimizationParam_s params;
    const std::uint32_t result = getOptimizationParams(&params);
    *enabled = params.enabled;
    return result;
}

} // namespace Velmor
