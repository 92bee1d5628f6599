#include "evidence/ReportTexts.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kWords[static_cast<int>(ReportText::Count)][2] = {
    {"Evidence report", "증거 보고서"},
    {"Made by %1 %2 on %3", "작성: %1 %2, %3"},
    {"Page %1 of %2", "%2쪽 중 %1쪽"},
    {"The clip", "영상 구간"},
    {"Start", "시작"},
    {"End", "끝"},
    {"Length", "길이"},
    {"Camera clock", "카메라 시계"},
    {"UTC", "UTC"},
    {"The moment of the stills", "정지 화면의 순간"},
    {"The camera clock's zone: %1", "카메라 시계의 시간대: %1"},
    {"Measured as the camera clock minus the UTC of the GPS satellites: the median over %1 valid "
     "GPS fixes of the recording, rounded to the second.",
     "카메라 시계에서 GPS 위성의 UTC를 뺀 값: 녹화의 유효한 GPS 수신 %1개의 중앙값, 초 단위 "
     "반올림."},
    {"No valid GPS fix: the camera clock could not be checked; UTC unknown.",
     "유효한 GPS 수신 없음: 카메라 시계를 확인할 수 없으며 UTC는 알 수 없습니다."},
    {"The place", "장소"},
    {"Position left out, or no valid fix at the moment.",
     "위치 제외 또는 이 순간의 유효한 수신 없음."},
    {"Route of the clip from its GPS fixes; no map tiles used.",
     "GPS 수신으로 그린 구간의 경로 (지도 타일 없음)."},
    {"Speed", "속도"},
    {"At the moment: %1", "이 순간: %1"},
    {"Highest in the clip: %1", "구간 최고: %1"},
    {"GPS fix valid", "GPS 수신 유효"},
    {"GPS fix not valid", "GPS 수신 무효"},
    {"Speed and G-force over the clip", "구간의 속도와 G값"},
    {"Speed (%1)", "속도 (%1)"},
    {"G-force (g)", "G값 (g)"},
    {"Time of day, camera clock", "시각 (카메라 시계)"},
    {"The moment of the stills", "정지 화면의 순간"},
    {"Driving events in the clip", "구간의 운전 이벤트"},
    {"None.", "없음."},
    {"Stills of the moment", "순간의 정지 화면"},
    {"Files and their SHA-256", "파일과 SHA-256"},
    {"report.pdf and manifest.json are in SHA256SUMS too: a file cannot hold its own hash, and "
     "the manifest lists this report's.",
     "report.pdf와 manifest.json도 SHA256SUMS에 있습니다. 파일은 자신의 해시를 담을 수 없고, "
     "manifest.json이 이 보고서의 해시를 담습니다."},
    {"The composed clip, in parts", "합성 영상의 나눈 파일"},
    {"Cut into %1 parts for the size asked for, each encoded at %2 kbit/s; together they cover "
     "the clip in order.",
     "요청한 크기에 맞추어 %1개로 나누어 각각 %2 kbit/s로 인코딩했습니다. 차례로 구간 전체를 "
     "담습니다."},
    {"The picture was made smaller, to %1x%2, to keep at least 0.05 bits per pixel.",
     "픽셀당 0.05비트 이상을 지키려고 화면을 %1x%2로 줄였습니다."},
    {"What was verified", "확인한 내용"},
    {"Every one of the %1 video packets of clip.mp4 is equal, byte for byte, to the chunk of the "
     "original recording it was copied from.",
     "clip.mp4의 영상 패킷 %1개 모두가 복사해 온 원본 녹화의 청크와 바이트 단위로 같습니다."},
    {"The packet comparison did not hold: %1", "패킷 비교가 일치하지 않습니다: %1"},
    {"SHA256SUMS lists the SHA-256 of every file; `sha256sum -c SHA256SUMS` and `tarvex-tool "
     "verify` check them again.",
     "SHA256SUMS에 모든 파일의 SHA-256이 있습니다. `sha256sum -c SHA256SUMS`와 `tarvex-tool "
     "verify`로 다시 확인할 수 있습니다."},
    {"Redactions", "가림 처리"},
    {"Number plates and faces of people not concerned are blurred in the files below, so that "
     "they cannot be read; %1 boxes in all, each grown by a tenth and blurred in blocks of at "
     "least an eighth of its size. The caption is never covered.",
     "관계없는 사람의 번호판과 얼굴을 알아볼 수 없도록 아래 파일에서 흐리게 했습니다. 모두 %1개의 "
     "상자를 10% 넓혀 크기의 8분의 1 이상인 블록으로 흐리게 했습니다. 자막은 가리지 않습니다."},
    {"Region %1: %2, %3 camera, frames %4 to %5 (%6 drawn by hand, %7 followed by the tracker, "
     "%8 detected)",
     "영역 %1: %2, %3 카메라, 프레임 %4부터 %5까지 (손으로 그림 %6, 추적 %7, 검출 %8)"},
    {"Blurred:", "흐리게 한 파일:"},
    {"Unedited, as recorded:", "원본 그대로:"},
    {"This is a share copy: it holds neither the original recordings nor the clip as recorded, "
     "so no packet comparison was made here. The package that holds them is the record.",
     "공유용 사본입니다: 원본 녹화 파일과 녹화된 그대로의 영상이 없어 패킷 비교를 하지 "
     "않았습니다. 그 파일들을 담은 패키지가 원본 기록입니다."},
    {"Unedited, as recorded: not in this share copy.", "원본 그대로: 이 공유용 사본에는 없음."},
};

}  // namespace

const char* ReportWords(ReportText text, bool korean) {
    return kWords[static_cast<int>(text)][korean ? 1 : 0];
}

std::string UtcOffsetText(int64_t offsetSec) {
    const int64_t size = std::llabs(offsetSec);
    char text[32];
    const int64_t hours = size / 3600, minutes = size / 60 % 60, seconds = size % 60;
    const char sign = offsetSec < 0 ? '-' : '+';
    if (seconds == 0)
        std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld", sign, static_cast<long long>(hours),
                      static_cast<long long>(minutes));
    else
        std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld:%02lld", sign,
                      static_cast<long long>(hours), static_cast<long long>(minutes),
                      static_cast<long long>(seconds));
    return text;
}

std::string LengthText(int64_t ms) {
    char text[48];
    const int64_t tenths = (ms + 50) / 100;
    if (tenths < 600)
        std::snprintf(text, sizeof text, tenths % 10 ? "%.1f s" : "%.0f s", tenths / 10.0);
    else
        std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(tenths / 600),
                      static_cast<long long>(tenths / 10 % 60));
    return text;
}
