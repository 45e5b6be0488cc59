#include "tools/cli/PictureFile.h"

#include "tools/cli/ExitStatus.h"
#include "tools/cli/Interrupt.h"

namespace ambro::cli {

bool PictureFile::add(const std::uint8_t* pixels, std::size_t stride, int width, int height,
                      std::int64_t timeMs) {
    if (failed()) return false;
    if (!writer_) {
        writer_ = VideoFileWriter::open({file_, width, height, codec_}, error_);
        if (!writer_) return false;
        width_ = width;
        height_ = height;
        firstTimeMs_ = timeMs;
    }
    if (width != width_ || height != height_) return false;
    return writer_->write(pixels, stride, timeMs - *firstTimeMs_, error_);
}

int PictureFile::finish(bool complete, const std::string& what, const std::string& why,
                        std::ostream& out, std::ostream& err) {
    if (!failed() && complete && writer_) {
        const int frames = writer_->framesWritten();
        if (writer_->finish(error_)) {
            out << file_ << ": " << frames << " pictures\n";
            return kSuccess;
        }
    }
    writer_.reset();
    if (failed()) {
        err << error_ << "\n";
        return kCannotWriteFile;
    }
    err << "the " << what << " was not finished (" << (why.empty() ? "no picture" : why)
        << "); nothing was written\n";
    return interrupted() ? kInterrupted : kOperationFailed;
}

}  // namespace ambro::cli
