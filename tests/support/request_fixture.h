#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "bus/bus_session.h"
#include "comm/Unit_hl.h"
#include "sim/bus.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

// A request layer of its own on a scripted line, talking to device 1 from computer 0;
// attach() puts simulated controllers behind the line.
class RequestFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        req.set_device_address(1);
        req.set_computer_address(0);
    }

    void attach(sim::Options options) {
        bus = std::make_unique<sim::Bus>(std::move(options));
        line.set_responder([this](const Bytes& r) {
            return sim::flatten(bus->handle(r.data(), static_cast<int>(r.size())));
        });
    }
    void attach(sim::Model model) {
        sim::Options o;
        o.model = model;
        attach(std::move(o));
    }

    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{line, prompts, data, buffer};
    // Jobs beyond the specified windows talk through an addressed session on the same line.
    BusSession session{line};
    std::unique_ptr<sim::Bus> bus;
};
