#include "SenProfileManager.h"

namespace Velmor {

std::unique_ptr<SenProfileManager> SenProfileManager::createNew() const
{
    return std::make_unique<SenProfileManager>();
}

int SenProfileManager::profileFromBytes(const unsigned char* bytes, std::size_t length, std::string& profile) const
{
    if (bytes == nullptr || length == 0) {
        return ProfileInvalidArgument;
    }
    profile.assign(reinterpret_cast<const char*>(bytes), length);
    return ProfileOk;
}

} // namespace Velmor
