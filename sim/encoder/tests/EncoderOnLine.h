// A Kelto encoder as slave 0 of a simulated line, with a host to drive it.
#pragma once

#include "LineHost.h"
#include "SimKeltoEncoder.h"

#include "SimBissLine.h"
#include "SimClock.h"

#include <gtest/gtest.h>

namespace sim::kelto::test {

class EncoderOnLine : public ::testing::Test {
protected:
    explicit EncoderOnLine(KeltoModel model = {}) : encoder(std::move(model)), host(line)
    {
        encoder.Attach(line.AddSlave());
        encoder.SetClock(&clock);
    }

    biss::SimClock clock;
    biss::SimBissLine line;
    SimKeltoEncoder encoder;
    LineHost host;
};

} // namespace sim::kelto::test
