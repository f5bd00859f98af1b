#include "platform/dshow/AsfRecovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "imaging/ReplacingFile.h"
#include "imaging/WorkFiles.h"

namespace vq::dshow {

namespace {

// The name a recording gets when nothing of it could be read.
std::string CutShortName(const std::string& target) {
  const size_t slash = target.find_last_of('/');
  const size_t dot = target.find_last_of('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (extension ? target.substr(0, dot) : target) + ".cut-short.asf";
}

struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputCloser {
  void operator()(AVFormatContext* c) const {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};

// Copies the packets of an ASF file that was not finished into a complete
// one; the number of packets copied, or -1 when the output failed.
long CopyPackets(const std::string& from, const std::string& to) {
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, from.c_str(), av_find_input_format("asf"), nullptr) < 0) return 0;
  std::unique_ptr<AVFormatContext, InputCloser> in(opened);
  if (avformat_find_stream_info(in.get(), nullptr) < 0 || in->nb_streams == 0) return 0;
  AVFormatContext* made = nullptr;
  if (avformat_alloc_output_context2(&made, nullptr, "asf", to.c_str()) < 0 || !made) return -1;
  std::unique_ptr<AVFormatContext, OutputCloser> out(made);
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    AVStream* stream = avformat_new_stream(out.get(), nullptr);
    if (!stream || avcodec_parameters_copy(stream->codecpar, in->streams[i]->codecpar) < 0) return -1;
    stream->codecpar->codec_tag = 0;
    stream->time_base = in->streams[i]->time_base;
  }
  if (avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out.get(), nullptr) < 0)
    return -1;
  AVPacket* packet = av_packet_alloc();
  if (!packet) return -1;
  long copied = 0;
  bool failed = false;
  // A cut-short file ends in the middle of a packet: reading stops there.
  while (!failed && av_read_frame(in.get(), packet) >= 0) {
    const AVStream* source = in->streams[packet->stream_index];
    if (packet->dts != AV_NOPTS_VALUE || packet->pts != AV_NOPTS_VALUE) {
      av_packet_rescale_ts(packet, source->time_base, out->streams[packet->stream_index]->time_base);
      packet->pos = -1;
      failed = av_interleaved_write_frame(out.get(), packet) < 0;
      copied += failed ? 0 : 1;
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (failed || av_write_trailer(out.get()) < 0 || avio_closep(&out->pb) < 0) return -1;
  return copied;
}

}  // namespace

std::string SettleCutShortRecording(const std::string& work, const std::string& target) {
  // Rewritten beside the target, under a work name of its own, so a second
  // crash leaves nothing half-written under the name either.
  CReplacingFile rewritten(target, CReplacingFile::Placing::kFreeName);
  if (rewritten.Create() && rewritten.CloseDescriptor() && CopyPackets(work, rewritten.TempPath()) > 0 &&
      (rewritten.Commit() || !rewritten.PlacedPath().empty())) {
    unlink(work.c_str());
    return rewritten.PlacedPath();
  }
  std::string cutShort;
  MoveToFreeName(work, CutShortName(target), &cutShort);
  return cutShort;
}

int SettleCutShortRecordings(const std::string& folder) {
  if (folder.empty()) return 0;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  std::vector<std::pair<std::string, std::string>> found;
  while (const dirent* entry = readdir(dir)) {
    std::string target;
    if (entry->d_name[0] == '.' && IsLeftoverRecording(entry->d_name, &target))
      found.emplace_back(prefix + entry->d_name, prefix + target);
  }
  closedir(dir);
  int settled = 0;
  for (const auto& [work, target] : found) {
    // Only plain files: a link or folder of that shape is not ours.
    struct stat st {};
    if (lstat(work.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !SettleCutShortRecording(work, target).empty())
      ++settled;
  }
  return settled;
}

}  // namespace vq::dshow
