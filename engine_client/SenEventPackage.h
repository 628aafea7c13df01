#pragma once
// One message on the wire: a category number and the event of that category, with the archive
// layout every peer produces and accepts.

#include <cstdint>
#include <memory>
#include <string>

#include <boost/serialization/base_object.hpp>
#include <boost/serialization/split_free.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "SenEvent.h"

namespace Velmor {

struct SenEventPackage {
    /// The category of the event: 6 request, 7 reply, 8 engine event; other kinds carry no event.
    std::int32_t kind = 0;
    /// Saving reads through this pointer without owning it; loading makes a new event here.
    const SenEvent* event = nullptr;
    std::unique_ptr<SenEvent> loaded;
};

} // namespace Velmor

// Objects are never tracked, so the wire carries no object ids; the tracking flag is always 0.
BOOST_CLASS_TRACKING(Velmor::SenEventPackage, boost::serialization::track_never)
BOOST_CLASS_TRACKING(Velmor::SenEvent, boost::serialization::track_never)
BOOST_CLASS_TRACKING(Velmor::RequestEvent, boost::serialization::track_never)
BOOST_CLASS_TRACKING(Velmor::ReplyEvent, boost::serialization::track_never)
BOOST_CLASS_TRACKING(Velmor::SenEngineEvent, boost::serialization::track_never)
BOOST_CLASS_TRACKING(Velmor::OptimizationParam_s, boost::serialization::track_never)
// Version 1 added value2.
BOOST_CLASS_VERSION(Velmor::SenEngineEvent, 1)

namespace boost::serialization {

// Classes other than SenEngineEvent are read at version 0 only; an object of another version
// contributes no fields, and neither does a SenEngineEvent above version 1.

template <class Archive> void serialize(Archive& ar, Velmor::SenEvent& event, const unsigned int version)
{
    if (version == 0) {
        ar& event.category;
    }
}

template <class Archive> void serialize(Archive& ar, Velmor::OptimizationParam_s& params, const unsigned int version)
{
    if (version == 0) {
        ar& params.enabled;
        ar& params.x;
        ar& params.y;
        ar& params.z;
    }
}

template <class Archive> void serialize(Archive& ar, Velmor::RequestEvent& event, const unsigned int version)
{
    if (version != 0) {
        return;
    }
    ar& boost::serialization::base_object<Velmor::SenEvent>(event);
    ar& event.code;
    ar& event.text;
    ar& event.userId;
    ar& event.value;
    if (event.code == 1) {
        ar& event.profile;
    }
    ar& event.params;
}

template <class Archive> void serialize(Archive& ar, Velmor::ReplyEvent& event, const unsigned int version)
{
    if (version != 0) {
        return;
    }
    ar& boost::serialization::base_object<Velmor::SenEvent>(event);
    ar& event.code;
    ar& event.text;
    ar& event.value;
    ar& event.count;
    ar& event.first;
    ar& event.second;
    ar& event.params;
    ar& event.result;
}

template <class Archive> void serialize(Archive& ar, Velmor::SenEngineEvent& event, const unsigned int version)
{
    if (version > 1) {
        return;
    }
    ar& boost::serialization::base_object<Velmor::SenEvent>(event);
    ar& event.type;
    ar& event.value1;
    if (version >= 1) {
        ar& event.value2;
    }
    if (Velmor::SenEngineEvent::carriesText(event.type) || event.type == Velmor::SenStateUpdated) {
        ar& event.payload;
    }
    ar& event.userId;
    if (Archive::is_loading::value && event.type == Velmor::SenStateUpdated) {
        event.extendedState = event.payload.size() == Velmor::kSenExtendedStatePayloadSize;
    }
}

namespace detail {

template <class Archive, class Event> void loadEvent(Archive& ar, Velmor::SenEventPackage& package)
{
    auto event = std::make_unique<Event>();
    ar >> *event;
    // The package kind decided the class; a contradicting category field inside it is not believed.
    event->category = package.kind;
    package.loaded = std::move(event);
}

template <class Archive, class Event> void saveEvent(Archive& ar, const Velmor::SenEvent* event)
{
    const auto* typed = dynamic_cast<const Event*>(event);
    if (typed == nullptr) {
        throw std::invalid_argument("event class does not match its category");
    }
    ar << *typed;
}

} // namespace detail

template <class Archive> void save(Archive& ar, const Velmor::SenEventPackage& package, const unsigned int /*version*/)
{
    ar << package.kind;
    switch (package.kind) {
    case Velmor::SenRequestCategory:
        detail::saveEvent<Archive, Velmor::RequestEvent>(ar, package.event);
        break;
    case Velmor::SenReplyCategory:
        detail::saveEvent<Archive, Velmor::ReplyEvent>(ar, package.event);
        break;
    case Velmor::SenEngineCategory:
        detail::saveEvent<Archive, Velmor::SenEngineEvent>(ar, package.event);
        break;
    default:
        break;
    }
}

template <class Archive> void load(Archive& ar, Velmor::SenEventPackage& package, const unsigned int version)
{
    package.loaded.reset();
    package.kind = 0;
    if (version != 0) {
        return;
    }
    ar >> package.kind;
    switch (package.kind) {
    case Velmor::SenRequestCategory:
        detail::loadEvent<Archive, Velmor::RequestEvent>(ar, package);
        break;
    case Velmor::SenReplyCategory:
        detail::loadEvent<Archive, Velmor::ReplyEvent>(ar, package);
        break;
    case Velmor::SenEngineCategory:
        detail::loadEvent<Archive, Velmor::SenEngineEvent>(ar, package);
        break;
    default:
        break;
    }
}

} // namespace boost::serialization

BOOST_SERIALIZATION_SPLIT_FREE(Velmor::SenEventPackage)
