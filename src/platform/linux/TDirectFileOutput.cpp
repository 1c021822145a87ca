#include "platform/linux/TDirectFileOutput.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino {
namespace {

// Direct writes go in whole pieces of this size, at offsets it divides;
// 4 KiB covers every block size a disk reports.
constexpr size_t Alignment = 4096;
constexpr size_t StagingBytes = size_t(1) << 20;
constexpr int ContextBytes = 1 << 18;

} // namespace

void TDirectFileOutput::TFree::operator()(uint8_t* p) const { std::free(p); }

TDirectFileOutput::~TDirectFileOutput() {
    Close();
}

int TDirectFileOutput::Open(const std::string& path) {
    FFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0) return AVERROR(errno);
    struct stat info {};
    FRegular = ::fstat(FFd, &info) == 0 && S_ISREG(info.st_mode);
    // Only a regular file: on a pipe, O_DIRECT means packets instead.
    if (FRegular) {
        FStaging.reset(static_cast<uint8_t*>(std::aligned_alloc(Alignment, StagingBytes)));
        const int flags = ::fcntl(FFd, F_GETFL);
        FDirect = FStaging && flags >= 0 && ::fcntl(FFd, F_SETFL, flags | O_DIRECT) == 0;
    }
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(ContextBytes));
    if (buffer) FContext = avio_alloc_context(buffer, ContextBytes, 1, this, nullptr, &WritePacket, &Seek);
    if (!FContext) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    FContext->seekable = FRegular ? AVIO_SEEKABLE_NORMAL : 0;
    return 0;
}

int TDirectFileOutput::WritePacket(void* opaque, uint8_t* data, int size) {
    const int error = static_cast<TDirectFileOutput*>(opaque)->Write(data, size_t(std::max(size, 0)));
    return error < 0 ? error : size;
}

int TDirectFileOutput::Write(const uint8_t* data, size_t size) {
    if (!FDirect) {
        const int error = WriteAt(data, size, FPosition);
        if (error == 0) FPosition += int64_t(size);
        return error;
    }
    while (size > 0) {
        const size_t take = std::min(size, StagingBytes - FStaged);
        std::memcpy(FStaging.get() + FStaged, data, take);
        FStaged += take;
        data += take;
        size -= take;
        if (FStaged == StagingBytes) {
            int error = WriteAt(FStaging.get(), StagingBytes, FPosition);
            // A file system that takes the flag but not the write.
            if (error == AVERROR(EINVAL)) error = LeaveDirect();
            else if (error == 0) FPosition += int64_t(StagingBytes);
            if (error < 0) return error;
            FStaged = 0;
            if (!FDirect) return Write(data, size);
        }
    }
    return 0;
}

int TDirectFileOutput::WriteAt(const uint8_t* data, size_t size, int64_t at) {
    while (size > 0) {
        const ssize_t wrote = FRegular ? ::pwrite(FFd, data, size, off_t(at)) : ::write(FFd, data, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return AVERROR(errno);
        if (wrote == 0) return AVERROR(ENOSPC);
        data += wrote;
        size -= size_t(wrote);
        at += wrote;
    }
    return 0;
}

int TDirectFileOutput::LeaveDirect() {
    if (!FDirect) return 0;
    FDirect = false;
    const int flags = ::fcntl(FFd, F_GETFL);
    if (flags < 0 || ::fcntl(FFd, F_SETFL, flags & ~O_DIRECT) < 0) return AVERROR(errno);
    const int error = WriteAt(FStaging.get(), FStaged, FPosition);
    if (error == 0) FPosition += int64_t(FStaged);
    FStaged = 0;
    return error;
}

int64_t TDirectFileOutput::Seek(void* opaque, int64_t offset, int whence) {
    auto& self = *static_cast<TDirectFileOutput*>(opaque);
    if (!self.FRegular) return AVERROR(ESPIPE);
    struct stat info {};
    if (::fstat(self.FFd, &info) != 0) return AVERROR(errno);
    const int64_t size = std::max(int64_t(info.st_size), self.FPosition + int64_t(self.FStaged));
    // FFmpeg asks for the size, or for an absolute position: it turns
    // relative seeks into absolute ones itself.
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return size;
    if (whence != SEEK_SET) return AVERROR(EINVAL);
    if (const int error = self.LeaveDirect(); error < 0) return error;
    self.FPosition = offset;
    return offset;
}

int TDirectFileOutput::Close() {
    int result = 0;
    if (FContext) {
        avio_flush(FContext);
        result = FContext->error;
        av_freep(&FContext->buffer);
        avio_context_free(&FContext);
    }
    if (FFd >= 0) {
        const int error = LeaveDirect();
        if (result == 0) result = error;
        if (::close(FFd) != 0 && result == 0) result = AVERROR(errno);
        FFd = -1;
    }
    return result;
}

} // namespace parlino
