#include "media/CQRVMediaPlayer.h"

#include <algorithm>
#include <climits>
#include <iterator>

CQRVMediaPlayer::CQRVMediaPlayer() : m_readBuffer(static_cast<size_t>(kChunkCapacityBytes) + 1) {}

CQRVMediaPlayer::~CQRVMediaPlayer() {
    // The reader and the output may already be gone here, so only the threads are stopped.
    JoinThreads();
}

void CQRVMediaPlayer::JoinThreads() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_worker.StopThread();
    m_lane.Stop();
    m_sync.StopFeeding();
}

bool CQRVMediaPlayer::Start(VideoWindow* frontWindow, VideoWindow* rearWindow) {
    m_frontWindow = frontWindow;
    m_rearWindow = rearWindow;
    if (m_parser) m_parser->Initialize();
    if (m_nextParser) m_nextParser->Initialize();
    if (m_decoder) m_decoder->Initialize();
    if (m_output) m_output->Open(static_cast<uint16_t>(m_outputBits), m_outputRate);
    m_sync.SetOutput(m_output);
    m_sync.StartFeeding();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = false;
        m_started = true;
    }
    m_worker.BeginThread(&CQRVMediaPlayer::RunOnce, this);
    return true;
}

void CQRVMediaPlayer::StopThreads() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_started) return;
        m_stopping = true;
    }
    m_wake.notify_all();
    m_worker.StopThread();
    m_lane.Stop();
    std::vector<uint32_t> unansweredStills;
    {
        // Answers nobody will give any more.
        std::lock_guard<std::mutex> lock(m_lock);
        for (Command& command : m_commands) {
            if (command.reply) command.reply->done = true;
            if (command.kind == CommandKind::Stills) unansweredStills.push_back(command.request);
        }
        m_commands.clear();
        m_pendingCommands.store(0);
        m_started = false;
        m_held = false;
    }
    m_replied.notify_all();
    // A still request is never left without an answer.
    for (uint32_t request : unansweredStills)
        AnswerStills(request, "the player stopped before the stills were taken");
    // Closing the output frees a feeder waiting for a free buffer, so its join is quick.
    if (m_output) m_output->Close();
    m_sync.StopFeeding();
    if (m_parser) m_parser->Shutdown();
    if (m_nextParser) m_nextParser->Shutdown();
}

void CQRVMediaPlayer::SetTextCallback(TextChunkCallback callback, void* user) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_textCallback = callback;
    m_textCallbackUser = user;
}

void CQRVMediaPlayer::SetEventCallback(PlayerEventCallback callback, void* user) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_eventCallback = callback;
    m_eventCallbackUser = user;
}

uint32_t CQRVMediaPlayer::GiveSerial(Command& command) {
    if (command.kind == CommandKind::Open || command.kind == CommandKind::Close)
        command.serial = ++m_serialsGiven;
    return command.serial;
}

void CQRVMediaPlayer::Post(Command command) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        GiveSerial(command);
        m_commands.push_back(std::move(command));
        m_pendingCommands.store(static_cast<int>(m_commands.size()));
    }
    m_wake.notify_one();
}

bool CQRVMediaPlayer::Call(Command command) {
    // Without a worker (not started, stopped, or called from the worker itself) the command
    // runs here; nothing else touches the worker's state then.
    bool inPlace;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        inPlace = !m_started || m_stopping || m_worker.IsWorkerThread();
        if (inPlace) GiveSerial(command);
    }
    if (inPlace) {
        Reply reply;
        command.reply = &reply;
        Execute(command);
        return reply.result;
    }
    Reply reply;
    command.reply = &reply;
    command.fromOtherThread = true;
    std::unique_lock<std::mutex> lock(m_lock);
    GiveSerial(command);
    m_commands.push_back(std::move(command));
    m_pendingCommands.store(static_cast<int>(m_commands.size()));
    m_wake.notify_one();
    m_replied.wait(lock, [&] { return reply.done; });
    return reply.result;
}

bool CQRVMediaPlayer::Open(const char* path, int32_t startMs, const char* next) {
    m_run.store(1);
    Command command(CommandKind::Open, std::max(startMs, 0), path ? path : "");
    if (next) command.next = next;
    return Call(std::move(command));
}

uint32_t CQRVMediaPlayer::PostOpen(const char* path, int32_t startMs, bool play) {
    m_run.store(play ? 1 : 0);
    Command command(CommandKind::Open, std::max(startMs, 0), path ? path : "");
    command.paused = !play;
    return PostSerial(std::move(command));
}

uint32_t CQRVMediaPlayer::PostSerial(Command command) {
    {
        // Not started: run here, as the waiting call would.
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_started && !m_stopping && !m_worker.IsWorkerThread()) {
            const uint32_t serial = GiveSerial(command);
            m_commands.push_back(std::move(command));
            m_pendingCommands.store(static_cast<int>(m_commands.size()));
            m_wake.notify_one();
            return serial;
        }
    }
    Call(std::move(command));
    return m_openSerial.load();
}

void CQRVMediaPlayer::Close() {
    m_run.store(0);
    Call(Command(CommandKind::Close));
}

uint32_t CQRVMediaPlayer::PostClose() {
    m_run.store(0);
    return PostSerial(Command(CommandKind::Close));
}

void CQRVMediaPlayer::QueueNext(const char* path) {
    if (path && *path) Post(Command(CommandKind::QueueNext, 0, path));
}

void CQRVMediaPlayer::Play() {
    m_run.store(1);
    Post(Command(CommandKind::Play));
}

void CQRVMediaPlayer::Pause() {
    m_run.store(0);
    Post(Command(CommandKind::Pause));
}

void CQRVMediaPlayer::RequestPicture(int camera) {
    if (camera != 0 && camera != 1) return;
    if (m_pictureAsked[camera].exchange(true)) return;
    Post(Command(CommandKind::Publish, camera));
}

std::shared_ptr<CPixImgBase> CQRVMediaPlayer::PublishedPicture(int camera, int32_t* frame) const {
    if (camera != 0 && camera != 1) return nullptr;
    std::lock_guard<std::mutex> lock(m_publishLock);
    if (frame) *frame = m_published[camera].frame;
    return m_published[camera].picture;
}

uint32_t CQRVMediaPlayer::RequestStills(uint32_t openSerial, bool rear) {
    Command command(CommandKind::Stills, rear ? 2 : 1);
    command.serial = openSerial;
    bool inPlace;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        command.request = ++m_stillsAsked;
        inPlace = !m_started || m_stopping;
        if (!inPlace) {
            m_commands.push_back(command);
            m_pendingCommands.store(static_cast<int>(m_commands.size()));
        }
    }
    // Without a worker nothing is on screen: the answer is a failure, given here.
    if (inPlace)
        AnswerStills(command.request, "nothing is playing");
    else
        m_wake.notify_one();
    return command.request;
}

void CQRVMediaPlayer::WaitForWorker() {
    Call(Command(CommandKind::Sync));
}

bool CQRVMediaPlayer::WaitUntilHeld(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    auto held = [this] { return !m_started || (m_held && m_commands.empty()); };
    if (timeoutMs < 0) {
        m_replied.wait(lock, held);
        return true;
    }
    return m_replied.wait_for(lock, std::chrono::milliseconds(timeoutMs), held);
}

namespace {
// Requests are frame counts; absurd arguments are limited instead of overflowing.
int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN + 1, INT32_MAX));
}
}  // namespace

void CQRVMediaPlayer::SeekBackward(int seconds) {
    const int32_t frames = ClampToInt32(-static_cast<int64_t>(seconds) * m_frontFrameRate.load());
    if (frames != 0) PostSeek(CommandKind::SeekRelative, frames);
}

void CQRVMediaPlayer::SeekForward(int seconds) {
    const int32_t frames = ClampToInt32(static_cast<int64_t>(seconds) * m_frontFrameRate.load());
    if (frames != 0) PostSeek(CommandKind::SeekRelative, frames);
}

bool CQRVMediaPlayer::SeekToMs(int32_t ms) {
    const int32_t frame = ClampToInt32(static_cast<int64_t>(ms) * m_frontFrameRate.load() / 1000);
    PostSeek(CommandKind::SeekAbsolute, std::max(frame, 0));
    return true;
}

void CQRVMediaPlayer::PostSeek(CommandKind kind, int32_t frames) {
    // Relative to the frame on screen, or to the target of a seek still on its way.
    const bool pending = m_seeksAsked.load() != m_seeksDone.load();
    const int64_t base = pending ? m_seekTarget.load() : m_frameCounter.load();
    const int64_t target = kind == CommandKind::SeekAbsolute ? frames : base + frames;
    const int32_t rate = m_frontFrameRate.load() > 0 ? m_frontFrameRate.load() : kFallbackFrameRate;
    const int64_t last = std::max<int64_t>(0, int64_t{m_duration.load()} * rate / 1000 - 1);
    m_seekTarget.store(static_cast<int32_t>(std::clamp<int64_t>(target, 0, last)));
    m_seeksAsked.fetch_add(1);
    Post(Command(kind, frames));
}

void CQRVMediaPlayer::StepFrame(int direction) {
    if (direction == 0) return;
    m_run.store(0);
    Post(Command(CommandKind::Step, direction > 0 ? 1 : -1));
}

void CQRVMediaPlayer::SetRatePercent(int percent) {
    int best = kRates[0];
    for (int rate : kRates) {
        if (std::abs(rate - percent) < std::abs(best - percent)) best = rate;
    }
    m_ratePercent.store(best);
    Post(Command(CommandKind::Rate, best));
}

int CQRVMediaPlayer::StepRate(int direction) {
    const int current = m_ratePercent.load();
    const int* at = std::find(std::begin(kRates), std::end(kRates), current);
    int index = at == std::end(kRates) ? 2 : static_cast<int>(at - std::begin(kRates));
    index = std::clamp(index + (direction > 0   ? 1
                                : direction < 0 ? -1
                                                : 0),
                       0, static_cast<int>(std::size(kRates)) - 1);
    SetRatePercent(kRates[index]);
    return kRates[index];
}

int32_t CQRVMediaPlayer::GetPositionMs() const {
    const bool seeking = m_seeksAsked.load() != m_seeksDone.load();
    int32_t rate = m_frontFrameRate.load();
    if (rate <= 0) rate = kFallbackFrameRate;
    const int64_t counter =
        std::max<int64_t>(seeking ? m_seekTarget.load() : m_frameCounter.load(), 0);
    const int32_t picture = static_cast<int32_t>(counter * 1000 / rate);
    // Played out, the last picture stays on screen and the position reads the whole length;
    // unless the file was cut while it played and its pictures end well before the length its
    // index gave: then the position stays with the last picture.
    if (m_ended.load() && !seeking) {
        const int32_t duration = m_duration.load();
        return picture + 1000 / rate + kCutShortSlackMs < duration ? picture : duration;
    }
    return picture;
}

bool CQRVMediaPlayer::Capture(int camera, const char* path) {
    if (m_state.load() == kStateStopped || !m_decoder || !path) return false;
    return Call(Command(CommandKind::Capture, camera, path));
}

void CQRVMediaPlayer::SetBrightness(int camera, int level) {
    if (!m_decoder) return;
    m_decoder->SetBrightness(camera, level);
    Post(Command(CommandKind::Represent));
}

void CQRVMediaPlayer::SetContrast(int camera, int level) {
    if (!m_decoder) return;
    m_decoder->SetContrast(camera, level);
    Post(Command(CommandKind::Represent));
}

void CQRVMediaPlayer::SetMirror(int camera, bool on) {
    if (!m_decoder) return;
    m_decoder->SetMirror(camera, on);
    Post(Command(CommandKind::Represent));
}

bool CQRVMediaPlayer::BuildIndex(const char* path, MediaInfo* info) {
    if (!m_hasParser || !path) return false;
    Command command(CommandKind::BuildIndex, 0, path);
    command.info = info;
    return Call(std::move(command));
}

int CQRVMediaPlayer::CameraCountFor(const std::string& path, int32_t rearFrameRate) {
    if (path.empty()) return rearFrameRate != 0 ? 2 : 1;
    if (path.size() < 5) return 1;
    const char flag = path[path.size() - 5];
    return flag == 'D' || flag == 'd' ? 2 : 1;
}

int32_t CQRVMediaPlayer::DurationMsFor(int32_t frameCount, int32_t frameRate) {
    if (frameRate <= 0) frameRate = kFallbackFrameRate;
    const double ms = static_cast<double>(frameCount) / frameRate * 1000.0;
    return ms >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

bool CQRVMediaPlayer::IsKeyFrame(const uint8_t* data, int32_t size, VideoCodec codec) {
    return size > 0 && IsVideoKeyFrame(codec, data, static_cast<size_t>(size));
}

bool CQRVMediaPlayer::ProbeFile(const char* path, VMediaParser& parser, int32_t* durationMs,
                                int* cameras) {
    MediaInfo info;
    const bool accepted = path && parser.OpenFile(path, &info) != 0;
    if (accepted) {
        if (durationMs)
            *durationMs = DurationMsFor(info.frontFrameCount, parser.GetNativeFrameRate(0));
        if (cameras) *cameras = CameraCountFor(path, parser.GetFrameRate(1));
    }
    parser.CloseFile();
    return accepted;
}
