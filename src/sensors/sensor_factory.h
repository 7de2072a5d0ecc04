// The sensor factory: the camera's USB product identifier selects the sensor
// class and its model code.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/clock.h"
#include "sensors/sensor_base.h"

namespace morvex {

// Sensor model code of a product identifier; 0 when no sensor class serves it.
int32_t SensorModelCodeFor(uint16_t product_id);

// A new sensor object for the camera (bus address 0x48, model code set), or
// null for a product identifier without a sensor class. `controller` may be
// null when the controller is gone; the sensor then refuses hardware access.
std::unique_ptr<CSensorBase> CreateSensor(uint16_t product_id, CControllerBase* controller,
                                          platform::Clock& clock);

}  // namespace morvex
