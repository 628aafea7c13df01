#pragma once
// The keeper of user profiles. Profiles travel to the engine as opaque serialised bytes; this client
// does not look inside them.

#include <cstddef>
#include <memory>
#include <string>

namespace Velmor {

class SenProfileManager
{
public:
    /// Answers of profileFromBytes.
    enum ProfileAnswer : int { ProfileOk = 0, ProfileInvalidArgument = 1, ProfileUnreadable = 3 };

    SenProfileManager() = default;
    virtual ~SenProfileManager() = default;
    SenProfileManager(const SenProfileManager&) = delete;
    SenProfileManager& operator=(const SenProfileManager&) = delete;

    /// A new, empty manager of the same kind; an engine keeps its own for its whole life.
    virtual std::unique_ptr<SenProfileManager> createNew() const;

    /// Turns the bytes of a saved profile into the form that is sent to the engine.
    virtual int profileFromBytes(const unsigned char* bytes, std::size_t length, std::string& profile) const;
};

} // namespace Velmor
