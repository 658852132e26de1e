#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "comm/device_data.h"
#include "tuning/pid_controller.h"
#include "tuning/process_model.h"

namespace sim {

// A process given on the command line in place of the built-in heater.
struct PlantSpec {
    ProcessModel model;  // gain in units per %, integrating: per % and second
    double noise = 0;    // σ of the measured value
};

// One simulated controller: its twelve tables, the parameters its EEPROM holds and a
// heated process under PI control that moves table 10.
class Station {
  public:
    static constexpr double kAmbient = 23.0;

    explicit Station(int address);

    // Moves the process on; long spans are integrated in small steps.
    void advance(double seconds);
    // Replaces the built-in process by this one under the controller's own PID (its
    // PB, INT, DER, TPID and DEAD), starting at rest at the set point.
    void set_plant(const PlantSpec& spec);

    DeviceData data;
    DeviceData eeprom;  // tables 0..8 as last committed (or loaded)

  private:
    struct Plant;
    void step(double dt);
    void plant_step(double dt, double sp, double& meas, double& y);
    void builtin_step(double dt, double sp, double& meas, double& y);
    void outputs(double dt, double meas, double sp, double y);
    bool alarm_exceeded(double meas, double sp);

    double integral_ = 0;
    double pwm_phase_ = 0;
    double feedback_ = 0;
    bool alarm_ = false;
    std::minstd_rand rng_;
    std::shared_ptr<Plant> plant_;  // shared_ptr keeps the station copyable
};

// Plausible factory values of table 11; the serial number differs per address.
InputsGroup factory_inputs(int address);

}  // namespace sim
