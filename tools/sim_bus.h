#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "sensor_model.h"
#include "sim_options.h"
#include "sim_slave.h"

namespace sim {

// The options of the sensor at `index` of the address list: the first one
// is exactly what the command line says; each further one has the serial
// number serial + (its address - the first address), a foil a little off
// the first one's (so its own factory and current calibration), water a
// little more saturated, and its own noise seed, so its values drift apart.
SimOptions SensorOptionsAt(const SimOptions& line, std::size_t index);

// Several sensors on one line, each answering only its own address. A
// broadcast write reaches them all.
class SimBus {
 public:
  explicit SimBus(const SimOptions& options);

  // Moves every sensor's water on to `seconds` since start.
  void Update(double seconds);
  // The reply of the sensor addressed, empty for none. Should two sensors
  // share an address after a write, both answer at once, as on a real bus.
  Bytes HandleFrame(const Bytes& frame);

  std::size_t Size() const { return sensors_.size(); }
  const SensorModel& Model(std::size_t index) const { return sensors_[index]->model; }

 private:
  struct Sensor {
    explicit Sensor(const SimOptions& options) : model(options), slave(model, options) {}
    SensorModel model;
    SimSlave slave;
  };
  std::vector<std::unique_ptr<Sensor>> sensors_;
};

}  // namespace sim
