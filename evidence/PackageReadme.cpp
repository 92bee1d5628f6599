#include "evidence/PackageReadme.h"

#include <cstdio>
#include <string>
#include <vector>

#include "evidence/PackageNames.h"
#include "media/ClipFitter.h"

using namespace std::string_literals;

namespace {

struct Texts {
    const char* title;
    const char* originals;
    const char* lossless;
    const char* composed;
    const char* composedNoPosition;
    const char* stills;
    const char* track;
    const char* report;
    const char* manifest;
    const char* sums;
    const char* signature;
    const char* open;
    const char* check;
    const char* checkSignature;
    const char* unsigned_;
    const char* parts;  // %zu parts, the first and the last name
    const char* shareCopy;
    const char* openShare;
};

constexpr Texts kEnglish = {
    "Evidence package: what each file is",
    "originals/          the dashcam's recordings, copied byte for byte, and its settings file",
    "clip.mp4            the clip as recorded: front and rear camera as two tracks, not re-encoded",
    "clip_composed.mp4   both cameras in one picture with date, time, speed and position",
    "clip_composed.mp4   both cameras in one picture with date, time and speed",
    "*_front.jpg, *_rear.jpg  stills of the moment from both cameras",
    "track.gpx           the GPS track of the clip",
    "report.pdf          the report: the moment, the place, the speed, the checks made",
    "manifest.json       what made the package, its sources, every file's size and SHA-256",
    "SHA256SUMS          the SHA-256 of every other file",
    "SHA256SUMS.p7s      the signature of SHA256SUMS (CMS, DER)",
    "To watch the clip, open clip_composed.mp4: every player shows it. clip.mp4 holds the\n"
    "cameras as recorded; most players show only its front camera track.",
    "To check that no file changed, in this folder:\n    sha256sum -c SHA256SUMS",
    "To check the signature (CA.pem: the certificate of whoever vouches for the signer):\n"
    "    openssl cms -verify -binary -content SHA256SUMS -inform DER -in SHA256SUMS.p7s \\\n"
    "        -CAfile CA.pem -out /dev/null",
    "This package is not signed: the checks show that its files agree with each other, not\n"
    "who made it.",
    "                    here cut into %zu parts for the size asked for, %s ... %s: watch them in\n"
    "                    that order",
    "This is a share copy: number plates and faces are blurred in every picture, and it holds\n"
    "neither the original recordings nor the clip as recorded. The package that holds them is\n"
    "the record.",
    "To watch the clip, open clip_composed.mp4: every player shows it.",
};

constexpr Texts kKorean = {
    "증거 패키지: 각 파일 설명",
    "originals/          블랙박스 원본 녹화 파일(바이트 단위 복사)과 설정 파일",
    "clip.mp4            녹화된 그대로의 영상: 전방과 후방 카메라를 두 트랙으로, 재인코딩 없음",
    "clip_composed.mp4   두 카메라를 한 화면에 날짜, 시각, 속도, 위치와 함께 담은 영상",
    "clip_composed.mp4   두 카메라를 한 화면에 날짜, 시각, 속도와 함께 담은 영상",
    "*_front.jpg, *_rear.jpg  해당 순간의 전방, 후방 정지 화면",
    "track.gpx           영상 구간의 GPS 경로",
    "report.pdf          보고서: 순간, 장소, 속도, 수행한 검증",
    "manifest.json       패키지를 만든 프로그램, 원본, 모든 파일의 크기와 SHA-256",
    "SHA256SUMS          다른 모든 파일의 SHA-256",
    "SHA256SUMS.p7s      SHA256SUMS의 전자 서명(CMS, DER)",
    "영상을 보려면 clip_composed.mp4를 여십시오. 모든 플레이어에서 재생됩니다. clip.mp4는\n"
    "녹화된 그대로의 카메라 트랙을 담고 있으며, 대부분의 플레이어는 전방 트랙만 보여 줍니다.",
    "파일이 바뀌지 않았는지 확인하려면 이 폴더에서:\n    sha256sum -c SHA256SUMS",
    "서명을 확인하려면 (CA.pem: 서명자를 보증하는 기관의 인증서):\n"
    "    openssl cms -verify -binary -content SHA256SUMS -inform DER -in SHA256SUMS.p7s \\\n"
    "        -CAfile CA.pem -out /dev/null",
    "이 패키지는 서명되지 않았습니다: 검증은 파일들이 서로 일치함을 보여 줄 뿐, 누가 만들었는지는\n"
    "보여 주지 않습니다.",
    "                    요청한 크기에 맞추어 %zu개로 나누었습니다, %s … %s: 차례로 보십시오",
    "공유용 사본입니다: 모든 화면에서 번호판과 얼굴을 흐리게 했으며, 원본 녹화 파일과 녹화된\n"
    "그대로의 영상은 들어 있지 않습니다. 그 파일들을 담은 패키지가 원본 기록입니다.",
    "영상을 보려면 clip_composed.mp4를 여십시오. 모든 플레이어에서 재생됩니다.",
};

std::string Section(const Texts& t, bool hasTrack, bool hasReport, bool isSigned, size_t parts,
                    bool shareCopy) {
    std::string s = std::string(t.title) + "\n\n";
    if (shareCopy) s += t.shareCopy + "\n\n"s;
    if (!shareCopy) s += t.originals + "\n"s + t.lossless + "\n";
    // Without the position the caption holds none either.
    s += (hasTrack ? t.composed : t.composedNoPosition) + "\n"s;
    if (parts > 1) {
        const std::vector<std::string> names = FitPartPaths(kPackageComposedClip, parts);
        char text[512];
        std::snprintf(text, sizeof text, t.parts, parts, names.front().c_str(),
                      names.back().c_str());
        s += text + "\n"s;
    }
    s += t.stills + "\n"s;
    if (hasTrack) s += t.track + "\n"s;
    if (hasReport) s += t.report + "\n"s;
    s += t.manifest + "\n"s + t.sums + "\n";
    if (isSigned) s += t.signature + "\n"s;
    s += "\n"s + (shareCopy ? t.openShare : t.open) + "\n\n" + t.check + "\n\n";
    s += (isSigned ? t.checkSignature : t.unsigned_) + "\n"s;
    return s;
}

}  // namespace

std::string PackageReadme(const std::string& language, bool hasTrack, bool hasReport, bool isSigned,
                          size_t composedParts, bool shareCopy) {
    const std::string english =
        Section(kEnglish, hasTrack, hasReport, isSigned, composedParts, shareCopy);
    if (language != "ko") return english;
    return Section(kKorean, hasTrack, hasReport, isSigned, composedParts, shareCopy) + "\n\n" +
           english;
}
