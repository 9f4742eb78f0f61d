#pragma once
#include <QString>
#include <memory>

#include "link/transport.h"
#include "transports/port_address.h"

class CMSComm;

namespace transports {

// The transport a port address names, ready for a SensorLink. A serial
// address runs on `comm` when one is given (the caller's component, with its
// device set from the address), otherwise on a component the transport owns. Nothing is
// opened here: SensorLink::Open does that and reports LastError.
std::unique_ptr<sensorlink::Transport> MakeTransport(const PortSpec& spec, CMSComm* comm = nullptr);

// Why a port address was refused, in the operator's words.
QString PortSpecErrorText(PortSpecError error);

}  // namespace transports
