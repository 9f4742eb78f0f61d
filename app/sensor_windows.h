#pragma once
#include <functional>

#include "protocol/app_state.h"

class QUrl;
class QWidget;

// Runs each sensor window modally over the shared state; the caller ignores
// the result. The window sets childDialogState to 9 when it ends.
void RunSensorConfigWindow(protocol::AppState& state, QWidget* parent);
void RunFactoryInfoWindow(protocol::AppState& state, QWidget* parent,
                          const std::function<bool(const QUrl&)>& openUrl);
void RunSensorSignalWindow(protocol::AppState& state, QWidget* parent);
