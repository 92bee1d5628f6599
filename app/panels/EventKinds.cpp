#include "app/panels/EventKinds.h"

#include "controls/ColorRef.h"
#include "support/StringTable.h"

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
    return QString::fromStdString(Text(DrivingEventText(kind)));
}
