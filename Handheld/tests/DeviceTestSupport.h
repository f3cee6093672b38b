// The device identity the layer reports (cellular line serial, OEM text) is process-wide: tests that
// set it derive their fixture from BareDeviceTest, whose tests each start and end on a bare desktop.
// Header only, for the test programs of the layer and of the modules above it.
#pragma once

#include "Handheld/Device.h"

#include <gtest/gtest.h>

namespace HandheldTest {

class BareDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset()
    {
        SetCellularLineSerial(nullptr);
        SetOemInfoText(nullptr);
    }
};

}  // namespace HandheldTest
