// On Windows COMn is the system's own device: there is no port directory.
#include "serial/port_naming.h"

QString PortDirectory() { return QString(); }
