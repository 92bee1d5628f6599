#include "telemetry/MomentStill.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <sstream>

#include "support/PendingFile.h"
#include "telemetry/CameraClock.h"
#include "telemetry/Gpx.h"

namespace {

constexpr const char* kCameraNames[] = {"front", "rear"};
constexpr const char* kMake = "Tarvex";
constexpr const char* kModel = "K310VZN";
// Rationals of the degrees' minutes and seconds keep this many decimal places.
constexpr int64_t kSecondsDenominator = 10000;
constexpr int64_t kSpeedDenominator = 10;
constexpr size_t kReadBlockBytes = 64 * 1024;

const char* CameraName(int camera) {
    return kCameraNames[camera == 1 ? 1 : 0];
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "37/1 33/1 599400/10000" of decimal degrees (sign dropped; the reference tag carries it).
std::string DegreesRational(double degrees) {
    const double size = std::fabs(degrees);
    const int64_t whole = static_cast<int64_t>(size);
    const double minutesAll = (size - static_cast<double>(whole)) * 60;
    const int64_t minutes = static_cast<int64_t>(minutesAll);
    const int64_t seconds =
        std::llround((minutesAll - static_cast<double>(minutes)) * 60 * kSecondsDenominator);
    std::ostringstream out;
    out << whole << "/1 " << minutes << "/1 " << seconds << '/' << kSecondsDenominator;
    return out.str();
}

void SetRationals(Exiv2::ExifData& exif, const char* key, const std::string& text, bool isSigned) {
    Exiv2::Value::AutoPtr value =
        Exiv2::Value::create(isSigned ? Exiv2::signedRational : Exiv2::unsignedRational);
    value->read(text);
    exif.add(Exiv2::ExifKey(key), value.get());
}

void AddPosition(Exiv2::ExifData& exif, const CGPSData& fix) {
    Exiv2::Value::AutoPtr version = Exiv2::Value::create(Exiv2::unsignedByte);
    version->read("2 3 0 0");
    exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSVersionID"), version.get());
    const double latitude = fix.GetLatitude();
    const double longitude = fix.GetLongitude();
    exif["Exif.GPSInfo.GPSLatitudeRef"] = latitude < 0 ? "S" : "N";
    SetRationals(exif, "Exif.GPSInfo.GPSLatitude", DegreesRational(latitude), false);
    exif["Exif.GPSInfo.GPSLongitudeRef"] = longitude < 0 ? "W" : "E";
    SetRationals(exif, "Exif.GPSInfo.GPSLongitude", DegreesRational(longitude), false);
    exif["Exif.GPSInfo.GPSSpeedRef"] = "K";
    const int64_t speed = std::llround(std::fmax(0.0, fix.GetSpeed()) * kSpeedDenominator);
    SetRationals(exif, "Exif.GPSInfo.GPSSpeed",
                 std::to_string(speed) + "/" + std::to_string(kSpeedDenominator), false);
    int64_t utc = 0;
    if (GpsFixUtcSeconds(fix, utc)) {
        const ClockFields f = SplitClockMs(utc * 1000);
        char date[24];
        snprintf(date, sizeof date, "%04lld:%02d:%02d", static_cast<long long>(f.year), f.month,
                 f.day);
        exif["Exif.GPSInfo.GPSDateStamp"] = std::string(date);
        SetRationals(exif, "Exif.GPSInfo.GPSTimeStamp",
                     std::to_string(f.hour) + "/1 " + std::to_string(f.minute) + "/1 " +
                         std::to_string(f.second) + "/1",
                     false);
    }
    exif["Exif.GPSInfo.GPSMapDatum"] = "WGS-84";
}

// A file in memory that the picture class can open by a path and write its JPEG into. The
// disk then sees only the finished stills, through writes that name their file and the cause:
// a full disk reads "No space left on device", not as if the camera had no picture.
class MemoryFile {
public:
    MemoryFile() = default;
    ~MemoryFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool Create(std::string* error) {
        m_fd = ::memfd_create("tarvex-still", MFD_CLOEXEC);
        if (m_fd >= 0) return true;
        if (error) *error = std::string("cannot hold a picture in memory: ") + std::strerror(errno);
        return false;
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }
    bool ReadAll(std::string& bytes, std::string* error) const {
        bytes.clear();
        char block[kReadBlockBytes];
        for (;;) {
            const ssize_t n = ::pread(m_fd, block, sizeof block, static_cast<off_t>(bytes.size()));
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) return true;
            if (n < 0) {
                if (error)
                    *error = std::string("cannot read a picture back: ") + std::strerror(errno);
                return false;
            }
            bytes.append(block, static_cast<size_t>(n));
        }
    }

private:
    int m_fd = -1;
};

}  // namespace

std::optional<StillMoment> MakeStillMoment(const std::string& path, int64_t positionMs,
                                           int64_t frameIndex, const RecordingTelemetry& telemetry,
                                           bool withPosition) {
    const std::optional<int64_t> start = RecordingStartSec(BaseName(path));
    if (!start) return std::nullopt;
    StillMoment moment;
    moment.recording = BaseName(path);
    moment.frameIndex = frameIndex;
    moment.cameraMs = CameraTimeMs(*start, positionMs);
    moment.clockOffsetSec = ClockOffsetSec(*start, telemetry.fixes);
    if (withPosition) {
        const int64_t nearest = NearestValidFix(telemetry.fixes, positionMs);
        if (nearest >= 0 && std::llabs(telemetry.fixes[static_cast<size_t>(nearest)].timeMs -
                                       positionMs) <= kStillFixToleranceMs)
            moment.fix = telemetry.fixes[static_cast<size_t>(nearest)].fix;
    }
    return moment;
}

RecordingTelemetry RecordingPart(const RecordingTelemetry& timeline, int64_t startMs,
                                 int64_t durationMs) {
    RecordingTelemetry part;
    part.frameRate = timeline.frameRate;
    part.durationMs = durationMs;
    for (const TimedFix& f : timeline.fixes) {
        if (f.timeMs < startMs || f.timeMs >= startMs + durationMs) continue;
        part.fixes.push_back(f);
        part.fixes.back().timeMs -= startMs;
    }
    return part;
}

std::string StillFileName(int64_t cameraMs, int camera) {
    return FormatClockStemMs(cameraMs) + "_" + CameraName(camera) + ".jpg";
}

bool AddStillExif(std::string& jpeg, const StillMoment& moment, int camera, std::string* error) {
    try {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size()));
        if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed);
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        const ClockFields f = SplitClockMs(moment.cameraMs);
        char when[32];
        snprintf(when, sizeof when, "%04lld:%02d:%02d %02d:%02d:%02d",
                 static_cast<long long>(f.year), f.month, f.day, f.hour, f.minute, f.second);
        char subSec[8];
        snprintf(subSec, sizeof subSec, "%03d", f.millisecond);
        exif["Exif.Image.Make"] = kMake;
        exif["Exif.Image.Model"] = std::string(kModel) + " " + CameraName(camera) + " camera";
        exif["Exif.Image.DateTime"] = std::string(when);
        exif["Exif.Photo.DateTimeOriginal"] = std::string(when);
        exif["Exif.Photo.SubSecTimeOriginal"] = std::string(subSec);
        if (moment.clockOffsetSec)
            exif["Exif.Photo.OffsetTimeOriginal"] = FormatZoneOffset(*moment.clockOffsetSec);
        exif["Exif.Image.ImageDescription"] = std::string(CameraName(camera)) + " camera, " +
                                              moment.recording + ", frame " +
                                              std::to_string(moment.frameIndex);
        if (moment.fix) AddPosition(exif, *moment.fix);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        Exiv2::DataBuf bytes = io.read(static_cast<long>(io.size()));
        if (bytes.size_ <= 0) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
        jpeg.assign(reinterpret_cast<const char*>(bytes.pData_), static_cast<size_t>(bytes.size_));
        return true;
    } catch (const std::exception& e) {
        if (error) *error = std::string("cannot add EXIF: ") + e.what();
        return false;
    }
}

bool WriteStills(const std::vector<StillTarget>& targets, const StillMoment& moment,
                 const std::function<bool(int camera, const std::string& path)>& capture,
                 std::string* error) {
    if (targets.size() > 2) {
        if (error) *error = "at most two stills are written together";
        return false;
    }
    std::vector<std::unique_ptr<PendingFile>> outputs;
    for (const StillTarget& target : targets) {
        // The picture class writes the JPEG to a file of its own, held in memory until the
        // EXIF is added.
        MemoryFile picture;
        if (!picture.Create(error)) return false;
        if (!capture(target.camera, picture.Path())) {
            if (error) *error = std::string("no ") + CameraName(target.camera) + " picture to save";
            return false;
        }
        std::string jpeg;
        if (!picture.ReadAll(jpeg, error)) return false;
        if (!AddStillExif(jpeg, moment, target.camera, error)) return false;
        auto output = std::make_unique<PendingFile>();
        if (!output->Create(target.path, error) || !output->WriteAll(jpeg, error)) return false;
        outputs.push_back(std::move(output));
    }
    if (outputs.empty()) return true;
    PendingFile* second = outputs.size() > 1 ? outputs[1].get() : nullptr;
    return PendingFile::CommitAll({outputs[0].get(), second}, error);
}
