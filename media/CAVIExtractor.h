#pragma once
// The dashcam recording reader: a RIFF/AVI file with up to two H.264 or H.265 video streams
// (front and rear camera), one PCM audio stream and one telemetry text stream. A video stream
// whose handler and compression codes both name no known codec is refused at open, with the
// code in GetOpenError.
//
// OpenFile walks the header list for the video sizes, frame rates and audio format and stops
// at the first chunk of the movie list; ParseMedia then hands out the movie data one chunk at
// a time, in file order, without interpreting payloads. The index (built by OpenFile with an
// info record, or by BuildIndex) records where every front camera frame starts so that
// SeekToSecond can jump to a whole second with one file seek; it is kept until the next
// index is built, so callers read it back with GetMediaInfo instead of opening again.
//
// A recording the camera never finished (power cut) has a movie list size of 0 or one
// beyond the end of the file: its movie list runs to the end of the file and its index is
// rebuilt from the chunk headers.
//
// Such a recording may also end before its header says: its header was written for a length
// its data never reached (EarlyEnd below).
//
// States: closed -> open (after a successful OpenFile) -> closed (CloseFile, BuildIndex, a
// rejected OpenFile, destruction). No lock of its own: see VMediaParser.h for who calls what.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/AviFile.h"
#include "media/AviIndex.h"
#include "media/VMediaParser.h"

class CAVIExtractor : public VMediaParser {
public:
    CAVIExtractor();
    ~CAVIExtractor() override;

    bool Initialize() override { return true; }
    void Shutdown() override {}
    int32_t OpenFile(const char* path, MediaInfo* info) override;
    void CloseFile() override;
    int32_t ReadPacket(uint8_t* buffer, int32_t* size) override;
    int64_t ParseMedia(char id[4], uint8_t* buffer, int32_t* size) override;
    int64_t SkipChunk(char id[4], uint32_t* size) override;
    bool BuildIndex(const char* path, MediaInfo* info) override;
    bool GetMediaInfo(MediaInfo* info) override;
    VideoSizeRec GetVideoSize(VideoSizeRec* out, int stream) override;
    int32_t GetFrameRate(int stream) override;
    int32_t GetNativeFrameRate(int stream) override;
    VideoCodec GetVideoCodec(int stream) override;
    std::string GetOpenError() const override { return m_openError; }
    void GetAudioFormat(int32_t* bits, int32_t* rate) override;
    // Whether the last header read declared a sound stream (GetAudioFormat keeps an earlier
    // file's format, or the default one, when it did not).
    bool HasAudioStream() const { return m_hasAudioStream; }
    size_t Read(void* buffer, size_t length) override;
    int Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int32_t SeekToSecond(int32_t second) override;

    // The movie list's size as the reader takes it and the position of its "movi" type, as
    // the last successful OpenFile found them (0 and -1 otherwise).
    int64_t GetMovieSize() const { return m_movieSize; }
    int64_t GetMovieListPosition() const { return m_moviPos; }
    // False when the movie list's stated size was 0 or ran past the end of the file.
    bool IsMovieSizeWritten() const { return m_movieSizeWritten; }
    // The frame count the main header states (what the camera meant to write; a recording cut
    // by a power loss holds fewer), 0 when nothing is open.
    int32_t GetHeaderFrameCount() const;
    // Where the last index build took its frame table from.
    AviIndexSource GetIndexSource() const { return m_indexSource; }
    // Front frame positions of the last index build.
    const std::vector<int64_t>& FramePositions() const { return m_index.frontFramePositions; }

private:
    struct VideoStream {
        int32_t width = 0;
        int32_t height = 0;
        int32_t frameRate = 0;  // dwRate / 1000, uncapped
        VideoCodec codec = VideoCodec::Unknown;
    };

    int32_t ParseHeader();
    bool ParseItem(int64_t& remaining, bool atListType, int depth);
    bool ParseList(int64_t& remaining, int depth);
    bool ParseMainHeader(int64_t& remaining);
    bool ParseStreamList(int64_t& remaining);
    bool ParseFormatChunk(int64_t& remaining, uint32_t expectedSize, uint8_t* slot);
    bool ReadChunkHeader(int64_t& remaining, uint32_t* size);
    int32_t FindMovieList();
    // Builds the index of the open file into m_index; leaves the file position anywhere.
    void BuildIndexOfOpenFile();
    // Reads a chunk header at the current position; false at the end of the data.
    bool ReadMediaHeader(char id[4], uint32_t* size, int64_t* position);
    // Moves past the chunk whose header was just read; false when it runs past the end.
    bool StepOverPayload(int64_t position, uint32_t size);
    // A video or sound chunk that is whole in the file and within kMaxChunkBytes: worth a
    // larger buffer.
    bool IsWholeMediaChunk(const char id[4], uint32_t size, int64_t position);

    AviFile m_file;
    uint32_t m_riffSize = 0;
    char m_formType[5] = {};
    uint8_t m_mainHeader[56] = {};
    uint8_t m_streamHeader[56] = {};  // each stream list overwrites it
    uint8_t m_videoFormat[40] = {};
    uint8_t m_audioFormat[16] = {};  // kept across files: a file without sound leaves it
    VideoStream m_videoStreams[2];
    int32_t m_videoStreamCount = 0;
    bool m_hasAudioStream = false;
    std::string m_openError;  // why the last OpenFile refused its file, when worth telling
    MediaInfo m_index;        // the last index built; empty positions and None source when none
    AviIndexSource m_indexSource = AviIndexSource::None;
    int64_t m_movieSize = 0;
    int64_t m_moviPos = -1;
    bool m_movieSizeWritten = false;
};

// Where a recording the camera never finished ends, when that is before its header says.
struct EarlyEnd {
    int64_t endsAtMs = 0;  // the front frames present, as time
    int64_t headerMs = 0;  // what the header states
};
// From a reader right after OpenFile (and its index): nothing for a recording whose frames
// came from a complete idx1 or reach its header's count.
std::optional<EarlyEnd> EarlyEndOf(const CAVIExtractor& reader, const MediaInfo& info);
// The same for the file at path, opened on a reader of its own; nothing when it cannot be read.
std::optional<EarlyEnd> CheckEarlyEnd(const std::string& path);
