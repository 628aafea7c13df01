#pragma once
// Real SenState records with chosen fields, for the rule tests.

#include <cstdint>
#include <memory>

#include "SenStateRecord.h"
#include "nxl.h"

struct StateFree {
    void operator()(void* state) const { nxlStateFree(state); }
};

class TestState
{
public:
    TestState() : m_state(nxlStateCreate()) {}

    SenStateHandle handle() const { return m_state.get(); }
    operator SenStateHandle() const { return handle(); }

    TestState& eyes(float left, float right)
    {
        Velmor::StateLayout::writeFloat(handle(), Velmor::StateLayout::kLeftEyeClosure, left);
        Velmor::StateLayout::writeFloat(handle(), Velmor::StateLayout::kRightEyeClosure, right);
        return *this;
    }
    TestState& gaze(float direction)
    {
        Velmor::StateLayout::writeFloat(handle(), Velmor::StateLayout::kHorizontalGaze, direction);
        return *this;
    }
    TestState& upperFace(std::uint32_t bits, float power)
    {
        Velmor::StateLayout::writeU32(handle(), Velmor::StateLayout::kUpperFaceBits, bits);
        Velmor::StateLayout::writeFloat(handle(), Velmor::StateLayout::kUpperFacePower, power);
        return *this;
    }
    TestState& lowerFace(std::uint32_t bits, float power)
    {
        Velmor::StateLayout::writeU32(handle(), Velmor::StateLayout::kLowerFaceBits, bits);
        Velmor::StateLayout::writeFloat(handle(), Velmor::StateLayout::kLowerFacePower, power);
        return *this;
    }
    TestState& mentrix(std::uint32_t action, float power)
    {
        Velmor::StateLayout::writeU32(handle(), Velmor::StateLayout::kMentrixAction, action);
        Velmor::StateLayout::writeFloat(handle(), Velmor::StateLayout::kMentrixPower, power);
        return *this;
    }

private:
    std::unique_ptr<void, StateFree> m_state;
};
