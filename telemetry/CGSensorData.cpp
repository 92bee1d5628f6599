#include "telemetry/CGSensorData.h"

CGSensorData::CGSensorData(uint8_t bx, uint8_t by, uint8_t bz, int32_t nReserved)
    : x(AxisFromByte(bx)), y(AxisFromByte(by)), z(AxisFromByte(bz)), reserved(nReserved) {}
