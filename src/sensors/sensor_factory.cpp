#include "sensors/sensor_factory.h"

#include "sensors/sensor_imx990.h"
#include "sensors/sensor_imx992.h"

namespace morvex {

namespace {

enum class SensorClass { kNone, kIMX990, kIMX991, kIMX992, kIMX993 };

struct ProductEntry {
  uint16_t product_id;
  SensorClass sensor;
  int32_t model_code;
};

// Odd model codes are the uncooled variants, even ones the cooled.
constexpr ProductEntry kProducts[] = {
    {0x3260, SensorClass::kIMX990, 109}, {0x3270, SensorClass::kIMX990, 110},
    {0x3280, SensorClass::kIMX991, 111}, {0x3290, SensorClass::kIMX991, 112},
    {0x3370, SensorClass::kIMX992, 129}, {0x3380, SensorClass::kIMX992, 130},
    {0x33C0, SensorClass::kIMX993, 131}, {0x33D0, SensorClass::kIMX993, 132},
};

const ProductEntry* FindProduct(uint16_t product_id) {
  for (const ProductEntry& entry : kProducts) {
    if (entry.product_id == product_id) return &entry;
  }
  return nullptr;
}

}  // namespace

int32_t SensorModelCodeFor(uint16_t product_id) {
  const ProductEntry* entry = FindProduct(product_id);
  return entry != nullptr ? entry->model_code : 0;
}

std::unique_ptr<CSensorBase> CreateSensor(uint16_t product_id, CControllerBase* controller,
                                          platform::Clock& clock) {
  const ProductEntry* entry = FindProduct(product_id);
  if (entry == nullptr) return nullptr;
  const uint8_t address = CSensorIMX99x::kBusAddress;
  std::unique_ptr<CSensorBase> sensor;
  switch (entry->sensor) {
    case SensorClass::kIMX990:
      sensor = std::make_unique<CSensorIMX990>(controller, address, clock);
      break;
    case SensorClass::kIMX991:
      sensor = std::make_unique<CSensorIMX991>(controller, address, clock);
      break;
    case SensorClass::kIMX992:
      sensor = std::make_unique<CSensorIMX992>(controller, address, clock);
      break;
    case SensorClass::kIMX993:
      sensor = std::make_unique<CSensorIMX993>(controller, address, clock);
      break;
    case SensorClass::kNone:
      return nullptr;
  }
  sensor->SetModelCode(entry->model_code);
  return sensor;
}

}  // namespace morvex
