#include "SenStateSnapshot.h"

#include "SenStateRecord.h"

SenStateSnapshot::SenStateSnapshot(SenStateHandle record, Clock::time_point arrival)
    : record_(record, nxlStateFree), arrival_(arrival)
{
}

SenStateSnapshot SenStateSnapshot::fromEvent(SenEngineEventHandle event, Clock::time_point arrival)
{
    SenStateHandle record = nxlStateCreate();
    if (record == nullptr) {
        return {};
    }
    if (nxlEngineEventGetState(event, record) != NXL_OK) {
        nxlStateFree(record);
        return {};
    }
    return SenStateSnapshot(record, arrival);
}

SenStateSnapshot SenStateSnapshot::fromBytes(const void* bytes, Clock::time_point arrival)
{
    SenStateHandle record = nxlStateCreate();
    if (record == nullptr) {
        return {};
    }
    Velmor::StateLayout::copyState(record, bytes);
    return SenStateSnapshot(record, arrival);
}
