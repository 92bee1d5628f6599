// What a generated recording carries: pictures that name their frame, a beep on every whole
// second, GPS sentences and G-sensor samples of a plausible drive.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "tests/tools/AviWalk.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/DriveTrack.h"
#include "tools/cardgen/FramePattern.h"

namespace {

using avi_walk::AviFile;

RecordingOptions SmallOptions() {
    RecordingOptions o;
    o.durationSec = 4;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 192;
    o.rearHeight = 108;
    o.seed = 5;
    return o;
}

class Recording : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string path =
            std::string(TARVEX_TEST_DATA_DIR) + "/content_" + std::to_string(getpid()) + ".avi";
        std::string error;
        s_ok = WriteRecording(path, SmallOptions(), &error);
        s_file = new AviFile(avi_walk::Walk(path));
        std::filesystem::remove(path);
    }
    static void TearDownTestSuite() {
        delete s_file;
        s_file = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_ok);
        ASSERT_EQ(s_file->problem, "");
    }
    std::vector<const avi_walk::Chunk*> Chunks(const std::string& id) const {
        std::vector<const avi_walk::Chunk*> out;
        for (const auto& c : s_file->chunks)
            if (c.id == id) out.push_back(&c);
        return out;
    }
    static bool s_ok;
    static AviFile* s_file;
};
bool Recording::s_ok = false;
AviFile* Recording::s_file = nullptr;

// Decodes one camera's access units in order, one picture per packet.
class Decoder {
public:
    Decoder() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        m_context = avcodec_alloc_context3(codec);
        m_context->thread_count = 1;
        m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        avcodec_open2(m_context, codec, nullptr);
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
    }
    ~Decoder() {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_context);
    }
    // The picture of this access unit as BGR at the given size; empty when none came out.
    CPixImage Decode(const avi_walk::Chunk& c, int width, int height) {
        CPixImage image;
        av_new_packet(m_packet, static_cast<int>(c.size));
        std::memcpy(m_packet->data, c.payload, c.size);
        const bool sent = avcodec_send_packet(m_context, m_packet) == 0;
        av_packet_unref(m_packet);
        if (!sent || avcodec_receive_frame(m_context, m_frame) != 0) return image;
        image.Allocate(width, height);
        SwsContext* sws = sws_getContext(m_frame->width, m_frame->height,
                                         static_cast<AVPixelFormat>(m_frame->format), width, height,
                                         AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
        uint8_t* dst[1] = {image.Pixels()};
        const int dstStride[1] = {image.Stride()};
        sws_scale(sws, m_frame->data, m_frame->linesize, 0, m_frame->height, dst, dstStride);
        sws_freeContext(sws);
        return image;
    }

private:
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
};

TEST_F(Recording, DecodedPicturesShowTheirFrameAndCamera) {
    struct Camera {
        const char* id;
        int camera, width, height;
    } cameras[] = {{"00dc", 0, 320, 180}, {"01dc", 1, 192, 108}};
    for (const Camera& cam : cameras) {
        Decoder decoder;
        const auto chunks = Chunks(cam.id);
        ASSERT_EQ(chunks.size(), 120u);
        for (size_t i = 0; i < chunks.size(); ++i) {
            // Alternate between the full size and the smallest size a window shows.
            const bool small = i % 2 == 1;
            const CPixImage picture =
                decoder.Decode(*chunks[i], small ? 160 : cam.width, small ? 90 : cam.height);
            ASSERT_FALSE(picture.IsEmpty()) << cam.id << " frame " << i << " gave no picture";
            const FrameMark mark = ReadFramePattern(picture);
            EXPECT_EQ(mark.frameIndex, static_cast<int>(i)) << cam.id;
            EXPECT_EQ(mark.camera, cam.camera) << cam.id << " frame " << i;
        }
    }
}

TEST_F(Recording, SoundBeepsDuringTheFirstTenthOfEverySecond) {
    std::vector<int16_t> samples;
    for (const auto* c : Chunks("02wb"))
        for (uint32_t i = 0; i + 1 < c->size; i += 2)
            samples.push_back(static_cast<int16_t>(c->payload[i] | c->payload[i + 1] << 8));
    ASSERT_GE(samples.size(), 4u * 8000);
    for (size_t n = 0; n < samples.size(); ++n) {
        const bool beep = n % 8000 < 800;
        if (beep) {
            ASSERT_GT(std::abs(samples[n]), 4000) << "sample " << n << " should be loud";
        } else {
            ASSERT_EQ(samples[n], 0) << "sample " << n << " should be silent";
        }
    }
    // A 1 kHz tone at 8 kHz: the sign changes every four samples.
    for (int n = 0; n < 8; ++n) EXPECT_EQ(samples[n] > 0, n < 4) << n;
}

struct Rmc {
    std::vector<std::string> fields;
    std::string checksum;
};

Rmc SplitRmc(const std::string& payload) {
    Rmc r;
    const size_t star = payload.find('*');
    std::stringstream in(payload.substr(0, star));
    std::string field;
    while (std::getline(in, field, ',')) r.fields.push_back(field);
    if (!payload.empty() && payload.back() == ',') r.fields.push_back("");
    if (star != std::string::npos) r.checksum = payload.substr(star + 1);
    return r;
}

double NmeaDegrees(const std::string& text) {
    const double v = std::atof(text.c_str());
    const double whole = std::floor(v / 100);
    return whole + (v - whole * 100) / 60;
}

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double k = M_PI / 180;
    const double dLat = (lat2 - lat1) * k, dLon = (lon2 - lon1) * k;
    const double a =
        std::sin(dLat / 2) * std::sin(dLat / 2) +
        std::cos(lat1 * k) * std::cos(lat2 * k) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * 6371000 * std::asin(std::sqrt(a));
}

TEST_F(Recording, GpsSentencesAreCheckedRmcInUtc) {
    const RecordingOptions o = SmallOptions();
    int second = 0;
    for (const auto* c : Chunks("03tx")) {
        const std::string payload(reinterpret_cast<const char*>(c->payload), c->size);
        if (payload[0] != 'G') continue;
        ASSERT_EQ(payload.rfind("G$GPRMC,", 0), 0u) << payload;
        const Rmc r = SplitRmc(payload);
        ASSERT_EQ(r.fields.size(), 13u) << payload;
        EXPECT_EQ(r.checksum, NmeaChecksum(payload.substr(1))) << payload;
        char expectedTime[40];
        snprintf(expectedTime, sizeof expectedTime, "%02d%02d%02d.000", o.hour - 9, o.minute,
                 o.second + second);
        EXPECT_EQ(r.fields[1], expectedTime);
        EXPECT_EQ(r.fields[2], "A");
        EXPECT_EQ(r.fields[4], "N");
        EXPECT_EQ(r.fields[6], "E");
        EXPECT_NEAR(NmeaDegrees(r.fields[3]), o.startLatitude, 0.01);
        EXPECT_NEAR(NmeaDegrees(r.fields[5]), o.startLongitude, 0.01);
        EXPECT_EQ(r.fields[9], "140326");
        EXPECT_EQ(r.fields[12], "A");
        ++second;
    }
    EXPECT_EQ(second, 4);
}

TEST_F(Recording, GSensorSamplesComeTenTimesASecondAndRestAtZero) {
    int samples = 0;
    for (const auto* c : Chunks("03tx")) {
        if (c->payload[0] != 'M') continue;
        ASSERT_EQ(c->size, 4u);
        if (samples++ == 0) {
            for (int axis = 1; axis <= 3; ++axis)
                EXPECT_NEAR(128 - c->payload[axis], 0, 2) << "axis " << axis << " at rest";
        }
    }
    EXPECT_EQ(samples, 40);
}

// The whole drive, without pictures: GPS fixes agree with themselves.
TEST(DriveTrack, SpeedAndCourseAgreeWithSuccessivePositions) {
    for (uint32_t seed : {1u, 2u, 7u}) {
        RecordingOptions o;
        o.durationSec = 60;
        o.seed = seed;
        std::vector<Rmc> fixes;
        for (const TelemetryPayload& p : DriveTrack(o).Payloads())
            if (p.bytes[0] == 'G') fixes.push_back(SplitRmc(p.bytes));
        ASSERT_EQ(fixes.size(), 60u);
        double fastest = 0;
        for (size_t i = 1; i < fixes.size(); ++i) {
            const auto& a = fixes[i - 1].fields;
            const auto& b = fixes[i].fields;
            const double metres = DistanceMetres(NmeaDegrees(a[3]), NmeaDegrees(a[5]),
                                                 NmeaDegrees(b[3]), NmeaDegrees(b[5]));
            // The distance covered lies between what the two reported speeds give (a little
            // slack for the dip of a turn and the rounding of the positions).
            const double kmhA = std::atof(a[7].c_str()) * 1.852,
                         kmhB = std::atof(b[7].c_str()) * 1.852;
            EXPECT_GE(metres * 3.6, 0.85 * std::min(kmhA, kmhB) - 1.0)
                << "seed " << seed << " second " << i;
            EXPECT_LE(metres * 3.6, 1.05 * std::max(kmhA, kmhB) + 1.0)
                << "seed " << seed << " second " << i;
            fastest = std::max(fastest, std::atof(b[7].c_str()) * 1.852);
            if (metres > 5) {
                const double k = M_PI / 180;
                const double lat1 = NmeaDegrees(a[3]) * k, lat2 = NmeaDegrees(b[3]) * k;
                const double dLon = (NmeaDegrees(b[5]) - NmeaDegrees(a[5])) * k;
                double bearing = std::atan2(std::sin(dLon) * std::cos(lat2),
                                            std::cos(lat1) * std::sin(lat2) -
                                                std::sin(lat1) * std::cos(lat2) * std::cos(dLon)) /
                                 k;
                const double course = (std::atof(a[8].c_str()) + std::atof(b[8].c_str())) / 2;
                double diff = std::fmod(std::abs(bearing - course) + 360, 360);
                diff = std::min(diff, 360 - diff);
                // During the turn the two fixes' courses differ; the mean is close enough.
                EXPECT_LT(diff, 20) << "seed " << seed << " second " << i;
            }
        }
        EXPECT_GE(fastest, 50);
        EXPECT_LE(fastest, 60);
        EXPECT_EQ(std::atof(fixes.back().fields[7].c_str()), 0) << "the drive ends stopped";
    }
}

TEST(DriveTrack, BrakingAndBumpShowInTheGSensor) {
    RecordingOptions o;
    o.durationSec = 20;
    const DriveTrack track(o);
    int hardestBraking = 0, biggestBump = 0, strongestSideways = 0;
    double brakingAt = -1, bumpAt = -1;
    for (const DriveState& s : track.States()) {
        if (s.axisX < hardestBraking) {
            hardestBraking = s.axisX;
            brakingAt = s.timeSec;
        }
        if (s.axisZ > biggestBump) {
            biggestBump = s.axisZ;
            bumpAt = s.timeSec;
        }
        strongestSideways = std::max(strongestSideways, std::abs(s.axisY));
        EXPECT_GE(s.axisX, -127);
        EXPECT_LE(s.axisZ, 128);
    }
    EXPECT_LE(hardestBraking, -30);
    EXPECT_GT(brakingAt, 15);
    EXPECT_GE(biggestBump, 50);
    EXPECT_NEAR(bumpAt, 13, 0.5);
    EXPECT_GE(strongestSideways, 10) << "the turn pushes the car sideways";
}

TEST(DriveTrack, ReceiverTimeIsNineHoursBehindTheDashcamClock) {
    struct Case {
        int year, month, day, hour, minute, second, after;
        const char* time;
        const char* date;
    } cases[] = {
        {2026, 3, 14, 18, 25, 9, 0, "092509.000", "140326"},
        {2026, 3, 1, 5, 0, 0, 0, "200000.000", "280226"},     // previous day, previous month
        {2024, 3, 1, 8, 59, 59, 0, "235959.000", "290224"},   // leap day
        {2027, 1, 1, 3, 0, 0, 0, "180000.000", "311226"},     // previous year
        {2026, 3, 14, 8, 59, 58, 3, "000001.000", "140326"},  // the fix crosses midnight UTC
    };
    for (const Case& c : cases) {
        RecordingOptions o;
        o.year = c.year, o.month = c.month, o.day = c.day;
        o.hour = c.hour, o.minute = c.minute, o.second = c.second;
        o.durationSec = 5;
        std::string time, date;
        DriveTrack(o).UtcFields(c.after, &time, &date);
        EXPECT_EQ(time, c.time);
        EXPECT_EQ(date, c.date);
    }
}

TEST(DriveTrack, ColdStartReportsNoFixFirst) {
    RecordingOptions o;
    o.durationSec = 5;
    int second = 0;
    for (const TelemetryPayload& p : DriveTrack(o, 2).Payloads()) {
        if (p.bytes[0] != 'G') continue;
        const Rmc r = SplitRmc(p.bytes);
        ASSERT_EQ(r.fields.size(), 13u) << p.bytes;
        EXPECT_EQ(r.fields[2], second < 2 ? "V" : "A") << p.bytes;
        EXPECT_EQ(r.checksum, NmeaChecksum(p.bytes.substr(1)));
        ++second;
    }
}

TEST(Nmea, ChecksumIsXorBetweenDollarAndStar) {
    EXPECT_EQ(NmeaChecksum("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
              "6A");
    EXPECT_EQ(NmeaChecksum("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
              "6A");
    EXPECT_EQ(NmeaChecksum("$"), "00");
}

}  // namespace
