#include "module_set.h"

SimModule::SimModule(const ModuleSetup &setup, const Options &options)
    : digit_(setup.digit),
      mapping_(modbus_mapping_new_start_address(0, 0, 0, 0, 0, ModuleModel::registerCount, 0, 0))
{
    if (!mapping_)
        return;
    model_.attach(mapping_->tab_registers);
    model_.seedUninterpretedBytes();
    for (int channel = 0; channel < 4; ++channel)
        model_.configureChannel(channel, setup.channels[channel]);
    model_.setReferenceTemperatures(options.cold[0], options.cold[1]);
    model_.setNoise(options.noise);
}

SimModule::~SimModule()
{
    if (mapping_)
        modbus_mapping_free(mapping_);
}

bool ModuleSet::build(const Options &options)
{
    modules_.clear();
    for (const ModuleSetup &setup : options.modules) {
        modules_.push_back(std::make_unique<SimModule>(setup, options));
        if (!modules_.back()->valid())
            return false;
    }
    return !modules_.empty();
}

SimModule *ModuleSet::atBusAddress(int address)
{
    for (const auto &module : modules_) {
        if (module->busAddress() == address)
            return module.get();
    }
    return nullptr;
}

SimModule *ModuleSet::atDigit(int digit)
{
    return atBusAddress(176 + digit);
}

std::vector<SimModule *> ModuleSet::all()
{
    std::vector<SimModule *> result;
    for (const auto &module : modules_)
        result.push_back(module.get());
    return result;
}
