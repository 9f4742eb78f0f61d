#include "sim_bus.h"

namespace sim {

SimOptions SensorOptionsAt(const SimOptions& line, std::size_t index) {
  SimOptions o = line;
  if (index == 0 || index >= line.addresses.size()) return o;
  o.address = line.addresses[index];
  o.serial = line.serial + static_cast<std::uint32_t>(o.address - line.addresses[0]);
  // Seven foils in turn, within a few tenths of a degree of the first: far
  // inside the ranges the options accept, and zero stays above air.
  const float step = static_cast<float>(index % 7);
  o.factoryZero = line.factoryZero + 0.45f * step;
  o.factoryAir = line.factoryAir - 0.3f * step;
  if (line.zeroCal) o.zeroCal = *line.zeroCal + 0.45f * step;
  if (line.airCal) o.airCal = *line.airCal - 0.3f * step;
  o.saturation = line.saturation + 2.0 * static_cast<double>(index % 5);
  o.seed = line.seed + static_cast<std::uint32_t>(index);
  return o;
}

SimBus::SimBus(const SimOptions& options) {
  const std::size_t count = options.addresses.empty() ? 1 : options.addresses.size();
  for (std::size_t i = 0; i < count; ++i) sensors_.push_back(std::make_unique<Sensor>(SensorOptionsAt(options, i)));
}

void SimBus::Update(double seconds) {
  for (auto& sensor : sensors_) sensor->model.Update(seconds);
}

Bytes SimBus::HandleFrame(const Bytes& frame) {
  Bytes replies;
  for (auto& sensor : sensors_) {
    const Bytes reply = sensor->slave.HandleFrame(frame);
    replies.insert(replies.end(), reply.begin(), reply.end());
  }
  return replies;
}

}  // namespace sim
