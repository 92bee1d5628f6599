#pragma once
// One G-sensor sample: three axis values in the device's own units (-127 ... 128, 0 at
// rest), converted from the raw bytes of an 'M' telemetry chunk.

#include <cstdint>

class CGSensorData {
public:
    CGSensorData() = default;
    // Raw axis bytes as the dashcam stores them; the fourth value is carried along unread.
    CGSensorData(uint8_t bx, uint8_t by, uint8_t bz, int32_t nReserved);

    // A raw byte b gives 128 - b: 128 is rest, 0 gives 128, 255 gives -127.
    static int32_t AxisFromByte(uint8_t b) { return static_cast<int32_t>(~b & 0xFF) - 127; }

    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    int32_t reserved = 0;
};
