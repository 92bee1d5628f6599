#include "app/EventKinds.h"

#include "controls/ColorRef.h"
#include "support/StringTable.h"

namespace {

// The Korean name's id; the English one follows it.
constexpr int IDS_HARSH_BRAKING_KO = 990, IDS_HARD_ACCELERATION_KO = 992;
constexpr int IDS_SHARP_TURN_KO = 994, IDS_IMPACT_KO = 996;

}  // namespace

uint32_t EventColour(DrivingEventKind kind) {
    switch (kind) {
        case DrivingEventKind::HarshBraking:
            return MakeColorRef(229, 72, 77);
        case DrivingEventKind::HardAcceleration:
            return MakeColorRef(63, 185, 80);
        case DrivingEventKind::SharpTurn:
            return MakeColorRef(163, 113, 247);
        case DrivingEventKind::Impact:
            return MakeColorRef(255, 255, 255);
    }
    return MakeColorRef(255, 255, 255);
}

QString EventKindName(DrivingEventKind kind) {
    int ko = IDS_IMPACT_KO;
    switch (kind) {
        case DrivingEventKind::HarshBraking:
            ko = IDS_HARSH_BRAKING_KO;
            break;
        case DrivingEventKind::HardAcceleration:
            ko = IDS_HARD_ACCELERATION_KO;
            break;
        case DrivingEventKind::SharpTurn:
            ko = IDS_SHARP_TURN_KO;
            break;
        case DrivingEventKind::Impact:
            break;
    }
    return QString::fromStdString(FormatResourceString(PickStringId(ko, ko + 1)));
}
