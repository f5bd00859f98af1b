#include "platform/dshow/AsfMuxer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "imaging/ReplacingFile.h"
#include "imaging/WorkFiles.h"
#include "platform/dshow/AsfRecovery.h"
#include "base/PathEncoding.h"

namespace vq::dshow {

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
constexpr REFERENCE_TIME kKeyFrameSpacing = 3 * kUnitsPerSecond;

AVPixelFormat PixelFormatOf(REFGUID subtype) {
  if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGR0;
  if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
  if (subtype == MEDIASUBTYPE_RGB565) return AV_PIX_FMT_RGB565LE;
  if (subtype == MEDIASUBTYPE_RGB555) return AV_PIX_FMT_RGB555LE;
  if (subtype == MEDIASUBTYPE_RGB8) return AV_PIX_FMT_PAL8;
  return AV_PIX_FMT_NONE;
}

// Bits per pixel of a DIB (libav counts no padding: BGR0 would be 24).
int BitsOf(AVPixelFormat f) {
  switch (f) {
    case AV_PIX_FMT_BGR0: return 32;
    case AV_PIX_FMT_BGR24: return 24;
    case AV_PIX_FMT_PAL8: return 8;
    default: return 16;
  }
}

struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// An encoder with its stream in the file.
struct Track {
  CodecPtr codec;
  AVStream* stream = nullptr;
  FramePtr frame;
};

CodecPtr OpenEncoder(AVCodecID id, const std::function<void(AVCodecContext*)>& setup, bool globalHeader) {
  const AVCodec* codec = avcodec_find_encoder(id);
  if (!codec) return nullptr;
  CodecPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  setup(ctx.get());
  if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

}  // namespace

struct AsfMuxer::Impl {
  enum class Kind { Audio, Video };
  std::vector<Kind> order;
  AsfVideoFormat videoFormat;
  AsfAudioFormat audioFormat;

  AVFormatContext* file = nullptr;
  bool headerWritten = false;
  bool finished = false;
  std::string target;  // the recording's name
  std::string work;    // where it is written until it is complete
  std::string placed;  // where Finish put it
  Track video, audio;
  SwsContext* scaler = nullptr;
  AVPixelFormat inputPixels = AV_PIX_FMT_NONE;
  std::vector<uint32_t> palette;
  int64_t lastVideoPts = -1;
  int64_t flushedPts = 0;  // the video frame at the last flush to the file
  long videoFrames = 0;
  SwrContext* resampler = nullptr;
  AVAudioFifo* fifo = nullptr;
  int64_t audioPts = -1;  // next sample to encode; -1 before the first buffer

  ~Impl() {
    sws_freeContext(scaler);
    swr_free(&resampler);
    if (fifo) av_audio_fifo_free(fifo);
    if (file) {
      if (file->pb) avio_closep(&file->pb);
      avformat_free_context(file);
    }
    // A file whose header was never written holds nothing.
    if (!headerWritten && !work.empty()) unlink(work.c_str());
  }

  bool Has(Kind k) const { return std::find(order.begin(), order.end(), k) != order.end(); }

  HRESULT Encode(Track& track, AVFrame* frame) {
    if (avcodec_send_frame(track.codec.get(), frame) < 0) return E_FAIL;
    AVPacket* packet = av_packet_alloc();
    if (!packet) return E_OUTOFMEMORY;
    HRESULT result = S_OK;
    for (;;) {
      int r = avcodec_receive_packet(track.codec.get(), packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
      if (r < 0) {
        result = E_FAIL;
        break;
      }
      av_packet_rescale_ts(packet, track.codec->time_base, track.stream->time_base);
      packet->stream_index = track.stream->index;
      if (av_interleaved_write_frame(file, packet) < 0) {
        result = E_FAIL;
        break;
      }
    }
    av_packet_free(&packet);
    return result;
  }

  HRESULT OpenVideo(bool globalHeader) {
    const AsfVideoFormat& f = videoFormat;
    AVRational frameRate{};
    av_reduce(&frameRate.den, &frameRate.num, f.frameTime, kUnitsPerSecond, INT_MAX);
    video.codec = OpenEncoder(
        AV_CODEC_ID_WMV2,
        [&](AVCodecContext* c) {
          c->width = f.width;
          c->height = f.height;
          c->pix_fmt = AV_PIX_FMT_YUV420P;
          c->time_base = av_inv_q(frameRate);
          c->framerate = frameRate;
          c->bit_rate = f.bitRate;
          c->gop_size = int(std::max<REFERENCE_TIME>(1, kKeyFrameSpacing / f.frameTime));
        },
        globalHeader);
    if (!video.codec) return E_FAIL;
    video.frame.reset(av_frame_alloc());
    if (!video.frame) return E_OUTOFMEMORY;
    video.frame->format = AV_PIX_FMT_YUV420P;
    video.frame->width = f.width;
    video.frame->height = f.height;
    if (av_frame_get_buffer(video.frame.get(), 0) < 0) return E_OUTOFMEMORY;
    inputPixels = PixelFormatOf(f.inputSubtype);
    scaler = sws_getContext(f.inputWidth, std::abs(f.inputHeight), inputPixels, f.width, f.height,
                            AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler) return E_FAIL;
    // PAL8 palettes are native 32-bit ARGB, which an RGBQUAD is apart from its alpha.
    palette.assign(256, 0xFF000000u);
    for (size_t i = 0; i < std::min<size_t>(256, f.palette.size()); ++i) {
      const RGBQUAD& q = f.palette[i];
      palette[i] = 0xFF000000u | uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
    }
    return S_OK;
  }

  HRESULT OpenAudio(bool globalHeader) {
    const AsfAudioFormat& f = audioFormat;
    audio.codec = OpenEncoder(
        AV_CODEC_ID_WMAV2,
        [&](AVCodecContext* c) {
          c->sample_fmt = AV_SAMPLE_FMT_FLTP;
          c->sample_rate = f.sampleRate;
          av_channel_layout_default(&c->ch_layout, f.channels);
          c->bit_rate = f.bitRate;
          c->time_base = AVRational{1, f.sampleRate};
        },
        globalHeader);
    if (!audio.codec) return E_FAIL;
    AVChannelLayout in{};
    av_channel_layout_default(&in, f.inputChannels);
    int r = swr_alloc_set_opts2(&resampler, &audio.codec->ch_layout, AV_SAMPLE_FMT_FLTP, f.sampleRate, &in,
                                AV_SAMPLE_FMT_S16, f.inputRate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (r < 0 || swr_init(resampler) < 0) return E_FAIL;
    fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, f.channels, std::max(1, audio.codec->frame_size) * 2);
    if (!fifo) return E_OUTOFMEMORY;
    return S_OK;
  }

  HRESULT AddStream(Track& track) {
    track.stream = avformat_new_stream(file, nullptr);
    if (!track.stream) return E_OUTOFMEMORY;
    if (avcodec_parameters_from_context(track.stream->codecpar, track.codec.get()) < 0) return E_FAIL;
    track.stream->time_base = track.codec->time_base;
    return S_OK;
  }

  // Encodes whole frames from the FIFO; with `last`, the rest padded with silence.
  HRESULT DrainFifo(bool last) {
    AVCodecContext* c = audio.codec.get();
    const int frameSize = c->frame_size > 0 ? c->frame_size : 1024;
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && (av_audio_fifo_size(fifo) >= frameSize || (last && av_audio_fifo_size(fifo) > 0))) {
      FramePtr frame(av_frame_alloc());
      if (!frame) return E_OUTOFMEMORY;
      frame->nb_samples = frameSize;
      frame->format = c->sample_fmt;
      frame->sample_rate = c->sample_rate;
      if (av_channel_layout_copy(&frame->ch_layout, &c->ch_layout) < 0 || av_frame_get_buffer(frame.get(), 0) < 0)
        return E_OUTOFMEMORY;
      av_samples_set_silence(frame->data, 0, frameSize, c->ch_layout.nb_channels, c->sample_fmt);
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), frameSize);
      frame->pts = audioPts;
      audioPts += frameSize;
      hr = Encode(audio, frame.get());
    }
    return hr;
  }

  HRESULT Resample(const uint8_t** in, int inSamples) {
    const int capacity = swr_get_out_samples(resampler, inSamples);
    if (capacity <= 0) return S_OK;
    uint8_t** planes = nullptr;
    if (av_samples_alloc_array_and_samples(&planes, nullptr, audioFormat.channels, capacity, AV_SAMPLE_FMT_FLTP, 0) <
        0)
      return E_OUTOFMEMORY;
    int converted = swr_convert(resampler, planes, capacity, in, inSamples);
    HRESULT hr = converted < 0 ? E_FAIL : S_OK;
    if (converted > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(planes), converted) < converted)
      hr = E_OUTOFMEMORY;
    av_freep(&planes[0]);
    av_freep(&planes);
    return hr;
  }
};

AsfMuxer::AsfMuxer() : impl_(std::make_unique<Impl>()) {}

AsfMuxer::~AsfMuxer() { Finish(); }

bool AsfMuxer::IsOpen() const { return impl_->headerWritten && !impl_->finished; }

long AsfMuxer::VideoFramesWritten() const { return impl_->videoFrames; }

HRESULT AsfMuxer::AddVideo(const AsfVideoFormat& format) {
  if (impl_->file || impl_->Has(Impl::Kind::Video)) return E_UNEXPECTED;
  if (format.width <= 0 || format.height <= 0 || format.frameTime <= 0 || format.inputWidth <= 0 ||
      format.inputHeight == 0 || PixelFormatOf(format.inputSubtype) == AV_PIX_FMT_NONE)
    return E_INVALIDARG;
  impl_->videoFormat = format;
  impl_->order.push_back(Impl::Kind::Video);
  return S_OK;
}

HRESULT AsfMuxer::AddAudio(const AsfAudioFormat& format) {
  if (impl_->file || impl_->Has(Impl::Kind::Audio)) return E_UNEXPECTED;
  if (format.sampleRate <= 0 || format.channels <= 0 || format.inputRate <= 0 || format.inputChannels <= 0)
    return E_INVALIDARG;
  impl_->audioFormat = format;
  impl_->order.push_back(Impl::Kind::Audio);
  return S_OK;
}

HRESULT AsfMuxer::Open(const std::wstring& path) {
  Impl& m = *impl_;
  if (m.file) return E_UNEXPECTED;
  if (m.order.empty()) return E_INVALIDARG;
  // Written under a hidden name until complete: a killed recording never
  // leaves an unplayable file under its name.
  m.target = vq::PathToBytes(path);
  const std::string work = m.target.empty() ? std::string() : vq::RecordingNameBeside(m.target);
  if (work.empty()) return E_INVALIDARG;
  // The hidden name is taken only where nothing is: never another writer's
  // recording, nor one cut short that the next start still has to finish.
  const int claimed = open(work.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (claimed < 0) return E_ACCESSDENIED;
  close(claimed);
  m.work = work;
  if (avformat_alloc_output_context2(&m.file, nullptr, "asf", work.c_str()) < 0 || !m.file) return E_FAIL;
  const bool globalHeader = (m.file->oformat->flags & AVFMT_GLOBALHEADER) != 0;
  for (Impl::Kind k : m.order) {
    HRESULT hr = k == Impl::Kind::Video ? m.OpenVideo(globalHeader) : m.OpenAudio(globalHeader);
    if (SUCCEEDED(hr)) hr = m.AddStream(k == Impl::Kind::Video ? m.video : m.audio);
    if (FAILED(hr)) return hr;
  }
  if (avio_open(&m.file->pb, work.c_str(), AVIO_FLAG_WRITE) < 0) return E_ACCESSDENIED;
  if (avformat_write_header(m.file, nullptr) < 0) return E_FAIL;
  m.headerWritten = true;
  return S_OK;
}

HRESULT AsfMuxer::WriteVideo(const BYTE* bits, long length, REFERENCE_TIME start) {
  Impl& m = *impl_;
  if (!IsOpen() || !m.video.codec) return E_UNEXPECTED;
  if (!bits) return E_POINTER;
  const AsfVideoFormat& f = m.videoFormat;
  const int rows = std::abs(f.inputHeight);
  const long stride = long((int64_t(f.inputWidth) * BitsOf(m.inputPixels) + 31) / 32 * 4);
  if (length < stride * rows) return VFW_E_BUFFER_UNDERFLOW;
  if (start < 0) return S_OK;
  const int64_t pts = (start + f.frameTime / 2) / f.frameTime;
  if (pts <= m.lastVideoPts) return S_OK;
  const uint8_t* planes[4] = {bits, nullptr, nullptr, nullptr};
  int strides[4] = {int(stride), 0, 0, 0};
  if (f.inputHeight > 0) {
    // Bottom-up rows: start at the last and walk backwards.
    planes[0] = bits + size_t(stride) * size_t(rows - 1);
    strides[0] = -int(stride);
  }
  if (m.inputPixels == AV_PIX_FMT_PAL8) {
    planes[1] = reinterpret_cast<const uint8_t*>(m.palette.data());
    strides[1] = 4;
  }
  AVFrame* frame = m.video.frame.get();
  if (av_frame_make_writable(frame) < 0) return E_OUTOFMEMORY;
  sws_scale(m.scaler, planes, strides, 0, rows, frame->data, frame->linesize);
  frame->pts = pts;
  HRESULT hr = m.Encode(m.video, frame);
  if (SUCCEEDED(hr)) {
    m.lastVideoPts = pts;
    ++m.videoFrames;
    // Once a second of pictures the file gets what is buffered: a recording
    // cut short loses at most about a second.
    if (pts - m.flushedPts >= std::max<int64_t>(1, kUnitsPerSecond / f.frameTime)) {
      avio_flush(m.file->pb);
      m.flushedPts = pts;
    }
  }
  return hr;
}

HRESULT AsfMuxer::WriteAudio(const BYTE* pcm, long length, REFERENCE_TIME start) {
  Impl& m = *impl_;
  if (!IsOpen() || !m.audio.codec) return E_UNEXPECTED;
  if (!pcm) return E_POINTER;
  const int samples = int(length / (2 * m.audioFormat.inputChannels));
  if (samples <= 0) return S_OK;
  if (m.audioPts < 0) m.audioPts = av_rescale(std::max<REFERENCE_TIME>(0, start), m.audioFormat.sampleRate, 10000000);
  const uint8_t* in[1] = {pcm};
  HRESULT hr = m.Resample(in, samples);
  return SUCCEEDED(hr) ? m.DrainFifo(false) : hr;
}

HRESULT AsfMuxer::Finish() {
  Impl& m = *impl_;
  if (!m.headerWritten || m.finished) return S_FALSE;
  m.finished = true;
  HRESULT hr = S_OK;
  if (m.audio.codec) {
    if (m.audioPts < 0) m.audioPts = 0;
    HRESULT a = m.Resample(nullptr, 0);
    if (SUCCEEDED(a)) a = m.DrainFifo(true);
    if (SUCCEEDED(a)) a = m.Encode(m.audio, nullptr);
    if (FAILED(a)) hr = a;
  }
  if (m.video.codec) {
    HRESULT v = m.Encode(m.video, nullptr);
    if (FAILED(v) && SUCCEEDED(hr)) hr = v;
  }
  if (av_write_trailer(m.file) < 0 && SUCCEEDED(hr)) hr = E_FAIL;
  if (avio_closep(&m.file->pb) < 0 && SUCCEEDED(hr)) hr = E_FAIL;
  // Complete: under its name. Not complete (a full disk): what it holds is
  // rewritten under its name, or it is kept as cut short.
  if (SUCCEEDED(hr) && !MoveToFreeName(m.work, m.target, &m.placed)) hr = E_FAIL;
  if (FAILED(hr) && m.placed.empty()) m.placed = SettleCutShortRecording(m.work, m.target);
  return hr;
}

const std::string& AsfMuxer::PlacedPath() const { return impl_->placed; }

}  // namespace vq::dshow
