#pragma once

#include <cstdint>
#include <random>

#include "comm/device_data.h"

namespace sim {

// One simulated controller: its twelve tables, the parameters its EEPROM holds and a
// heated process under PI control that moves table 10.
class Station {
  public:
    static constexpr double kAmbient = 23.0;

    explicit Station(int address);

    // Moves the process on; long spans are integrated in small steps.
    void advance(double seconds);

    DeviceData data;
    DeviceData eeprom;  // tables 0..8 as last committed (or loaded)

  private:
    void step(double dt);
    bool alarm_exceeded(double meas, double sp);

    double integral_ = 0;
    double pwm_phase_ = 0;
    double feedback_ = 0;
    bool alarm_ = false;
    std::minstd_rand rng_;
};

// Plausible factory values of table 11; the serial number differs per address.
InputsGroup factory_inputs(int address);

}  // namespace sim
