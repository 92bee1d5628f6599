#pragma once
// The video decoder the player shows its frames through.
//
// Lifecycle: Initialize once when the player starts; DecodeFrame for every video packet in
// file order; Shutdown (optional) when nothing will be decoded any more.
//
// Threads: DecodeFrame, DecodeOnly, Represent, SaveCapture, CopyPicture and CopyStill run on the
// player's worker (or its decode lane), one
// at a time per camera: when the front picture is above 1080p the player decodes the rear
// camera's packet on a second thread while the front one decodes (see CQRVMediaPlayer.h).
// SetBrightness, SetContrast and SetMirror may be called from the UI thread at any time.

#include <cstdint>
#include <memory>

#include "media/VideoCodec.h"

class CPixImgBase;
class VideoWindow;

class VMediaDecoder {
public:
    virtual bool Initialize() = 0;
    virtual void Shutdown() = 0;
    // The camera's packets from now on are in this codec, at about this picture size (the
    // player says so for every recording it opens, before its first packet). False when the
    // codec cannot be decoded.
    virtual bool SetCodec(int camera, VideoCodec codec, int width, int height) {
        (void)camera;
        (void)width;
        (void)height;
        return codec == VideoCodec::H264;
    }
    // Decodes one access unit of camera 0 (front) or 1 (rear); a picture it yields is
    // converted to the window's size and presented. False for another camera or a missing
    // window (nothing decoded then) and for a window of zero size (decoded, not converted,
    // the window told through PresentUnseen);
    // true otherwise, also when no new picture came out (nothing is presented then).
    // order: where the packet stands (see TakesPacketAhead); ignored by a camera that does
    // not take packets ahead.
    virtual bool DecodeFrame(int camera, VideoWindow* window, const uint8_t* data, int32_t size,
                             const VideoPacketOrder& order = {}) = 0;
    // Decodes one access unit without converting or presenting it (frames between a key
    // frame and the one to show). False for another camera.
    virtual bool DecodeOnly(int camera, const uint8_t* data, int32_t size,
                            const VideoPacketOrder& order = {}) = 0;
    // True when the camera's decoder shows a packet's picture only once the packet after it
    // has gone in (frame threads): the player then gives every packet its order, with the
    // packet that follows where it has it, and finishes a seek with TakeAhead or Finish.
    virtual bool TakesPacketAhead(int camera) const {
        (void)camera;
        return false;
    }
    // Takes in the packet after the last one decoded, so that one's picture comes out.
    virtual void TakeAhead(int camera, const uint8_t* data, int32_t size, int64_t key) {
        (void)camera;
        (void)data;
        (void)size;
        (void)key;
    }
    // Brings out the camera's pictures still in flight: nothing follows.
    virtual void Finish(int camera) { (void)camera; }
    // Converts the camera's last decoded picture, with the current mirror and colour
    // settings, and presents it again. False when there is none or no window to show it in.
    virtual bool Represent(int camera, VideoWindow* window) = 0;
    virtual void SetContrast(int camera, int level) = 0;
    virtual void SetBrightness(int camera, int level) = 0;
    virtual void SetMirror(int camera, bool on) = 0;
    // Writes the camera's last decoded picture, at its decoded size, as a JPEG file.
    virtual bool SaveCapture(int camera, const char* path) = 0;
    // The camera's last decoded picture as 32-bit RGB at its own size, mirrored as shown;
    // null before the first picture (and where the decoder keeps none). Worker thread.
    virtual std::shared_ptr<CPixImgBase> CopyPicture(int camera) {
        (void)camera;
        return nullptr;
    }
    // The camera's last decoded picture as 32-bit RGB at its decoded size, unmirrored: what
    // SaveCapture writes, for a caller that encodes and writes it elsewhere. Null before the
    // first picture. Worker thread.
    virtual std::shared_ptr<CPixImgBase> CopyStill(int camera) {
        (void)camera;
        return nullptr;
    }

protected:
    ~VMediaDecoder() = default;
};
