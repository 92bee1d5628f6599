// Profile files as the card may hold them: read every key the viewer reads, through the
// device settings conversions, then edit the text as Save does and read the result back.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/DeviceSettings.h"
#include "support/Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc(text);

    DeviceSettings settings;
    LoadDeviceSettings(doc, settings);

    char small[4];
    doc.GetString("blackbox", "model", "0", small, sizeof small);
    if (std::strlen(small) > 3) __builtin_trap();

    // Section and key names taken from the input too, cut at the first line break.
    std::string name = text.substr(0, std::min<size_t>(text.size(), 12));
    name = name.substr(0, name.find_first_of("\r\n"));
    ProfileDocument edited = doc;
    const bool set = edited.Set("capacity", "const", "20");
    edited.Set(name.c_str(), "k", "v");
    edited.Set("blackbox", name.c_str(), "1");
    edited.Set("time", nullptr, nullptr);
    std::string value;
    // A key written through Set reads back as written.
    if (set && (!edited.Find("capacity", "const", value) || value != "20")) __builtin_trap();
    return 0;
}
