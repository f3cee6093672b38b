// Setting the Connection Manager's simulation in tests. Header only, for the test programs of the
// layer and of the modules above it.
#pragma once

#include "Handheld/ConnMgr.h"

namespace HandheldTest {

// Makes the Connection Manager behave as a desktop's but for what change(ConnMgrSimulation&) alters.
template <typename Change> void SimulateConnMgr(Change change)
{
    ConnMgrSimulation simulation;
    ConnMgrDefaultSimulation(&simulation);
    change(simulation);
    ConnMgrSetSimulation(&simulation);
}

}  // namespace HandheldTest
