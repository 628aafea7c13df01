#pragma once
// The detection engine as seen from inside the application's process: its operations, and the queues
// through which engine events and replies to requests reach the caller.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "SenEvent.h"
#include "SenEventQueue.h"
#include "SenMutex.h"
#include "SenProfileManager.h"

namespace Velmor {

/// The five small settings that request 13 reports for a user; a field the engine's text does not
/// name keeps its previous value.
struct SenUserSettings {
    bool enabled = false;
    int second = 0;
    int third = 0;
    int fourth = 0;
    int fifth = 0;
};

/// Request codes; a reply carries the code of the request it answers.
enum SenRequestCode : std::int32_t {
    SenRequestSetProfile = 1,
    SenRequestGetProfile = 2,
    SenRequestSetParameter = 3,
    SenRequestGetParameter = 4,
    SenRequestCount = 5,
    SenRequestUserValue = 6,
    SenRequestHardware = 7,
    SenRequestPairA = 8,
    SenRequestPairB = 9,
    SenRequestOptimization = 10,
    SenRequestOptimizationParams = 11,
    SenRequestSetSettings = 12,
    SenRequestGetSettings = 13,
    SenRequestUserText = 14,
};

/// Every request operation waits at most this long for its reply, so a silent engine cannot block
/// the caller; a missing reply counts as a lost one.
inline constexpr int kSenReplyTimeoutMs = 2000;

/// The bounds of the engine's queues. A state update takes about 750 bytes, so the engine event queue
/// holds several seconds of states of two headsets; when it is full, an older event of the same type and
/// user as the new one goes first, then older states, then events that nothing acts on, then the oldest.
inline constexpr SenQueueBound kSenEngineEventBound{1024, std::size_t{2} << 20};
/// Replies are kept only while a request waits for them, so a few are enough; the oldest goes first.
inline constexpr SenQueueBound kSenReplyBound{16, std::size_t{2} << 20};
/// The copies of type 0x0100 events; the oldest goes first.
inline constexpr SenQueueBound kSenSecondaryEventBound{256, std::size_t{1} << 20};

/// Engine events wait in the engine event queue until the caller takes them; replies are paired with
/// requests by arrival order. Queue pushes may come from any thread; each queue locks itself.
class SenEngine
{
public:
    /// Asks the given manager for a new one of its kind and keeps only that one.
    explicit SenEngine(const SenProfileManager& profileManager);
    virtual ~SenEngine();
    SenEngine(const SenEngine&) = delete;
    SenEngine& operator=(const SenEngine&) = delete;

    /// Request 1 with the profile made from the bytes; 0x0300 for bytes the manager rejects,
    /// 0x0101 for bytes it cannot read.
    virtual std::uint32_t setUserProfileBytes(std::uint32_t userId, const unsigned char* bytes, std::size_t length);
    /// Request 2; with result 0 the event becomes a profile event of the user with the reply's text.
    virtual std::uint32_t getUserProfile(std::uint32_t userId, SenEngineEvent* event);
    /// Request 14.
    virtual std::uint32_t sendUserText(std::uint32_t userId, const std::string& text);
    /// Request 3 with "group-name"; the Mentrix training action and control are also kept per user.
    virtual std::uint32_t setParameter(std::uint32_t userId, const std::string& group, const std::string& name,
                                       float value);
    /// Request 4 with "group-name"; value receives the reply's value.
    virtual std::uint32_t getParameter(std::uint32_t userId, const std::string& group, const std::string& name,
                                       float* value);
    /// Request 5; the reply's count.
    virtual std::uint32_t queryCount();
    /// Request 6; the value travels as a float.
    virtual std::uint32_t sendUserValue(std::uint32_t userId, std::uint32_t value);
    /// Request 13; 0x0001 for an empty reply text.
    virtual std::uint32_t getUserSettings(std::uint32_t userId, SenUserSettings* settings);
    /// Request 12 with the five values joined by commas.
    virtual std::uint32_t setUserSettings(std::uint32_t userId, const std::array<std::uint8_t, 5>& values);
    /// Request 7; text receives the reply's text when the reply answers request 7.
    virtual std::uint32_t getHardwareText(std::uint32_t userId, std::string& text);

    /// Two per-user flags kept only by this object.
    virtual void setUserFlags(std::uint32_t userId, bool first, bool second);
    virtual std::uint32_t userFirstFlag(std::uint32_t userId, bool* value) const;
    virtual std::uint32_t userSecondFlag(std::uint32_t userId, bool* value) const;

    /// Hands a request to the engine. Without one to answer, a failure reply is queued at once.
    virtual void sendRequest(std::unique_ptr<RequestEvent> request);
    virtual void startLocal() {}
    virtual void stopLocal() {}
    /// Queues an engine event; a user-added event also clears that user's enable flag.
    virtual void pushEngineEvent(std::unique_ptr<SenEngineEvent> event);
    /// Local worker threads only exist in a local engine; elsewhere the event is dropped.
    virtual void pushLocalEvent(std::unique_ptr<SenEvent> event);
    virtual void pushReply(std::unique_ptr<ReplyEvent> reply);

    /// 0x0400 for a user without an entry.
    virtual std::uint32_t setUserEnabled(std::uint32_t userId, bool enabled);
    std::optional<bool> userEnabled(std::uint32_t userId) const;
    /// 0x0400 for a user without a stored value; the control is cleared once read.
    virtual std::uint32_t getTrainingAction(std::uint32_t userId, float* value) const;
    virtual std::uint32_t takeTrainingControl(std::uint32_t userId, float* value);

    /// Takes the oldest engine event without waiting; false leaves the caller's event as it was.
    virtual bool getNextEvent(SenEngineEvent& event);
    /// Drops queued engine events whose type shares a bit with the mask; a negative mask drops all,
    /// a mask with bits outside 0x07F0 is refused.
    virtual bool flushEvents(std::int32_t mask);
    /// The caller's reply becomes the next reply (waiting up to timeoutMs, negative: no limit), or
    /// ReplyEvent(0, 0) when none came.
    virtual void waitReply(ReplyEvent& reply, int timeoutMs);

    /// Requests 8 and 9: first and second receive the reply's fields.
    virtual std::uint32_t getUserPairA(std::uint32_t userId, std::int32_t* first, std::int32_t* second);
    virtual std::uint32_t getUserPairB(std::uint32_t userId, std::int32_t* first, std::int32_t* second);
    /// Request 10 with {true, x, y, z}, request 10 with the default parameters, and request 11.
    virtual std::uint32_t enableOptimization(std::uint32_t x, std::uint32_t y, std::uint32_t z);
    virtual std::uint32_t isOptimizationEnabled(bool* enabled);
    virtual std::uint32_t disableOptimization();
    virtual std::uint32_t getOptimizationParams(OptimizationParam_s* params);

    /// Like getNextEvent, on the queue that receives a copy of every type 0x0100 event.
    virtual bool getNextSecondaryEvent(SenEngineEvent& event);
    virtual std::string name() const { return m_name; }

    /// How long a request waits for its reply, kSenReplyTimeoutMs unless changed.
    void setReplyTimeout(int timeoutMs) { m_replyTimeoutMs = timeoutMs; }
    int replyTimeout() const { return m_replyTimeoutMs; }

    /// Engine events (both queues) dropped to stay within their bounds.
    std::uint64_t droppedEvents() const;
    /// Replies dropped: those that came while no request awaited one, and those beyond the bound.
    std::uint64_t droppedReplies() const;

    /// Parses request 13's reply text into settings; exposed for its own tests.
    static void parseUserSettings(const std::string& text, SenUserSettings& settings);

protected:
    /// Sends the request and takes the next reply, or a failure reply after the reply time limit.
    std::unique_ptr<ReplyEvent> requestReply(std::unique_ptr<RequestEvent> request);
    /// The next reply within timeoutMs, or null.
    std::unique_ptr<ReplyEvent> takeReply(int timeoutMs);
    std::uint32_t requestPair(std::int32_t code, std::uint32_t userId, std::int32_t* first, std::int32_t* second);

    SenMutex& mutex() const { return m_mutex; }

    /// A request went to the engine, so one more reply is awaited.
    void awaitReply();
    /// Whether a reply that has just arrived was awaited; one that was not is counted and must be dropped.
    bool admitReply();
    /// A wait ended without a reply: if it still comes, it is no longer awaited.
    void stopAwaitingReply();

private:
    SenEventQueue m_replies;
    SenEventQueue m_events;
    SenEventQueue m_secondaryEvents;
    std::map<std::uint32_t, bool> m_enabled;
    mutable SenMutex m_mutex;
    std::unique_ptr<SenProfileManager> m_profileManager;
    std::map<std::uint32_t, float> m_trainingAction;
    std::map<std::uint32_t, float> m_trainingControl;
    std::map<std::uint32_t, std::pair<bool, bool>> m_userFlags;
    std::string m_name{"SenEngine"};
    std::atomic<int> m_replyTimeoutMs{kSenReplyTimeoutMs};
    std::size_t m_awaitedReplies = 0;
    std::uint64_t m_unaskedReplies = 0;

    std::uint32_t userFlag(std::uint32_t userId, bool second, bool* value) const;
};

/// The result field of a reply as an error code of the flat interface.
inline std::uint32_t replyResult(const ReplyEvent& reply)
{
    return static_cast<std::uint32_t>(reply.result);
}

} // namespace Velmor
