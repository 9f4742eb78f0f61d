#pragma once
#include <QString>
#include <memory>

#include "link/transport.h"
#include "transports/port_spec.h"

class CMSComm;

namespace transports {

// The transport a port spec names, ready for a SensorLink. A serial spec runs
// on `comm` when one is given (the caller's component, with its device set
// from the spec), otherwise on a component the transport owns. Nothing is
// opened here: SensorLink::Open does that and reports LastError.
std::unique_ptr<sensorlink::Transport> MakeTransport(const PortSpec& spec, CMSComm* comm = nullptr);

// Why a port spec was refused, in the operator's words.
QString PortSpecErrorText(PortSpecError error);

}  // namespace transports
