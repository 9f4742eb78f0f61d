#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Port numbers 1..15 ("COM1".."COM15") are what the operator picks. On Windows
// COMn is the device itself. Elsewhere COMn resolves, in order, to
//   (0) the binding the operator made in the port settings window, kept in
//       the user's settings (survives logout, unlike the port directory), then
//   (a) a symbolic link named COMn in the per-user port directory, so any
//       device (a USB adapter, the simulated sensor's pseudo-terminal) can be
//       bound to any number, then
//   (b) the n-th serial port the system reports, USB and ACM adapters first.

constexpr int kFirstPortNumber = 1;
constexpr int kLastPortNumber = 15;

// $XDG_RUNTIME_DIR/sensortool-ports, or sensortool-ports-<uid> under the temp
// directory (mode 0700) when XDG_RUNTIME_DIR is unset. Created on demand;
// empty when it cannot be created or is not private to this user.
QString PortDirectory();

// "COMn" -> the link's path inside `directory`.
QString PortLinkPath(const QString& directory, int number);

// Device paths in the order ports are numbered: USB and ACM adapters first,
// then the rest; within each group by name with numbers compared as numbers
// (ttyUSB2 before ttyUSB10). Duplicates are dropped.
QStringList OrderSystemPorts(const QStringList& devicePaths);

// The resolution itself, with its inputs passed in: `directory` is the port
// directory (may be empty), `systemPorts` the device paths the system
// reports in any order. A link that exists binds the number even when its
// target is gone: the open then fails with a clear message instead of
// silently reaching another device. Empty when the number maps to nothing.
QString ResolvePortNameIn(const QString& directory, int number, const QStringList& systemPorts);

// The same, with the system's ports asked for only when `number` has no link:
// listing them walks the device tree, the slowest step of opening a port.
using SystemPortLister = std::function<QStringList()>;
QString ResolvePortNameIn(const QString& directory, int number, const SystemPortLister& listSystemPorts);
// COM1..COM`count` at once, listing the system's ports at most once and only
// when some number has no link.
QStringList ResolvePortNamesIn(const QString& directory, int count, const SystemPortLister& listSystemPorts);

// The device paths Qt reports, unordered.
QStringList SystemPortPaths();

// COMn -> device path, as above, for this user and this machine.
QString ResolvePortName(int number);
QStringList ResolvePortNames(int count);

// The operator's binding of COMn: the device name stored in the user's
// settings (a /dev/serial/by-id name where the adapter has one, so a
// replugged adapter keeps its number), or empty.
QString SavedPortBinding(int number);
// Stores (or, with an empty device, removes) the binding of COMn.
void SavePortBinding(int number, const QString& device);
