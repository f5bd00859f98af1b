#include "tests/support/MediaReadBack.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace vqtest {

namespace {

struct Input {
  AVFormatContext* ctx = nullptr;
  explicit Input(const std::string& path) {
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) ctx = nullptr;
    if (ctx && avformat_find_stream_info(ctx, nullptr) < 0) avformat_close_input(&ctx);
  }
  ~Input() {
    if (ctx) avformat_close_input(&ctx);
  }
};

}  // namespace

const MediaStream* MediaFile::Video() const {
  for (const auto& s : streams)
    if (s.video) return &s;
  return nullptr;
}

const MediaStream* MediaFile::Audio() const {
  for (const auto& s : streams)
    if (!s.video) return &s;
  return nullptr;
}

MediaFile ReadMediaFile(const std::string& path) {
  MediaFile file;
  Input in(path);
  if (!in.ctx) return file;
  file.readable = true;
  file.format = in.ctx->iformat->name;
  file.seconds = in.ctx->duration > 0 ? double(in.ctx->duration) / AV_TIME_BASE : 0;
  for (unsigned i = 0; i < in.ctx->nb_streams; ++i) {
    const AVStream* st = in.ctx->streams[i];
    MediaStream s;
    s.codec = avcodec_get_name(st->codecpar->codec_id);
    s.video = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    s.width = st->codecpar->width;
    s.height = st->codecpar->height;
    s.sampleRate = st->codecpar->sample_rate;
    AVRational rate = st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate;
    s.frameRate = rate.den ? av_q2d(rate) : 0;
    file.streams.push_back(s);
  }
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(in.ctx, packet) >= 0) {
    if (packet->stream_index >= 0 && size_t(packet->stream_index) < file.streams.size())
      ++file.streams[size_t(packet->stream_index)].packets;
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  return file;
}

std::vector<cv::Mat> DecodeVideoFrames(const std::string& path, size_t limit) {
  std::vector<cv::Mat> frames;
  Input in(path);
  if (!in.ctx) return frames;
  int index = av_find_best_stream(in.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return frames;
  const AVCodec* codec = avcodec_find_decoder(in.ctx->streams[index]->codecpar->codec_id);
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, in.ctx->streams[index]->codecpar);
  if (avcodec_open2(dec, codec, nullptr) < 0) {
    avcodec_free_context(&dec);
    return frames;
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (frames.size() < limit && avcodec_receive_frame(dec, frame) == 0) {
      cv::Mat bgr(frame->height, frame->width, CV_8UC3);
      SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                       frame->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
      uint8_t* dst[1] = {bgr.data};
      int stride[1] = {int(bgr.step)};
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
      sws_freeContext(sws);
      frames.push_back(bgr);
    }
  };
  while (frames.size() < limit && av_read_frame(in.ctx, packet) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(dec, packet) == 0) drain();
    av_packet_unref(packet);
  }
  avcodec_send_packet(dec, nullptr);
  drain();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&dec);
  return frames;
}

}  // namespace vqtest
