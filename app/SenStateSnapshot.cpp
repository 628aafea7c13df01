#include "SenStateSnapshot.h"

#include "SenStateRecord.h"

SenStateSnapshot::SenStateSnapshot(SenStateHandle record) : record_(record, nxlStateFree) {}

SenStateSnapshot SenStateSnapshot::fromEvent(SenEngineEventHandle event)
{
    SenStateHandle record = nxlStateCreate();
    if (record == nullptr) {
        return {};
    }
    if (nxlEngineEventGetState(event, record) != NXL_OK) {
        nxlStateFree(record);
        return {};
    }
    return SenStateSnapshot(record);
}

SenStateSnapshot SenStateSnapshot::fromBytes(const void* bytes)
{
    SenStateHandle record = nxlStateCreate();
    if (record == nullptr) {
        return {};
    }
    Velmor::StateLayout::copyState(record, bytes);
    return SenStateSnapshot(record);
}
