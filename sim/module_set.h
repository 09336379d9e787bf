#pragma once

// The modules sharing the simulated line, each with its own register image, simulation
// state and misbehaviour, found by the bus address a request is sent to.

#include "fault_plan.h"
#include "module_model.h"
#include "sim_options.h"

#include <modbus.h>

#include <memory>
#include <vector>

class SimModule
{
public:
    SimModule(const ModuleSetup &setup, const Options &options);
    ~SimModule();
    SimModule(const SimModule &) = delete;
    SimModule &operator=(const SimModule &) = delete;

    int digit() const { return digit_; }
    int busAddress() const { return 176 + digit_; }
    bool valid() const { return mapping_ != nullptr; }

    modbus_mapping_t *mapping() { return mapping_; }
    std::uint16_t *registers() { return mapping_->tab_registers; }
    ModuleModel &model() { return model_; }
    FaultPlan &fault() { return fault_; }

private:
    int digit_;
    modbus_mapping_t *mapping_;
    ModuleModel model_;
    FaultPlan fault_;
};

class ModuleSet
{
public:
    // False when a register image cannot be allocated.
    bool build(const Options &options);

    // Null when no module has that bus address.
    SimModule *atBusAddress(int address);
    // Null when no module has that address switch setting.
    SimModule *atDigit(int digit);
    // The first module given on the command line.
    SimModule &first() { return *modules_.front(); }

    std::vector<SimModule *> all();

private:
    std::vector<std::unique_ptr<SimModule>> modules_;
};
