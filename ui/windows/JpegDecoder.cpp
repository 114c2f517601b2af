#include "windows/JpegDecoder.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <string>
#include <vector>

namespace quorvel::ui {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return; ours jumps back to
// the setjmp of the step that was running. Only the two C-like steps below call setjmp, and
// they hold nothing that needs destroying, so the jump skips no destructor.
struct ErrorManager {
    jpeg_error_mgr library;  // first, so that libjpeg's pointer to it is a pointer to us
    std::jmp_buf step;
    char message[JMSG_LENGTH_MAX];
    bool damaged;  // a warning: corrupt or missing data that libjpeg would paper over
};

ErrorManager& managerOf(j_common_ptr info) {
    return *reinterpret_cast<ErrorManager*>(info->err);
}

[[noreturn]] void jumpOnError(j_common_ptr info) {
    ErrorManager& manager = managerOf(info);
    (*info->err->format_message)(info, manager.message);
    std::longjmp(manager.step, 1);
}

// Warnings (level -1) mark damaged data; trace messages are dropped. Nothing goes to stderr.
void noteMessage(j_common_ptr info, int level) {
    ErrorManager& manager = managerOf(info);
    if (level < 0 && !manager.damaged) {
        manager.damaged = true;
        (*info->err->format_message)(info, manager.message);
    }
}

// Reads the header and starts decompression into RGB. False on a fatal error.
bool start(jpeg_decompress_struct& info, ErrorManager& manager, const unsigned char* data,
           unsigned long size) {
    if (setjmp(manager.step) != 0) {
        return false;
    }
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&info);
    if (info.output_width > JpegDecoder::MaxSide || info.output_height > JpegDecoder::MaxSide) {
        std::snprintf(manager.message, sizeof manager.message, "Picture too large: %u x %u",
                      info.output_width, info.output_height);
        return false;
    }
    jpeg_start_decompress(&info);
    return true;
}

// Decodes every row into rows[0 .. output_height). False on a fatal error.
bool readRows(jpeg_decompress_struct& info, ErrorManager& manager, unsigned char* const* rows) {
    if (setjmp(manager.step) != 0) {
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows[info.output_scanline];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

// The decompressor, released however decoding ends.
class Decompressor {
  public:
    Decompressor() {
        info.err = jpeg_std_error(&manager.library);
        manager.library.error_exit = jumpOnError;
        manager.library.emit_message = noteMessage;
        manager.message[0] = '\0';
        manager.damaged = false;
        jpeg_create_decompress(&info);
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    [[noreturn]] void fail() const { throw EJpegError(std::string(manager.message)); }

    jpeg_decompress_struct info{};
    ErrorManager manager{};
};

}  // namespace

QImage JpegDecoder::decode(const QByteArray& data) {
    Decompressor decompressor;
    jpeg_decompress_struct& info = decompressor.info;
    if (!start(info, decompressor.manager, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()))) {
        decompressor.fail();
    }
    QImage picture(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGB888);
    if (picture.isNull()) {
        throw EJpegError("Insufficient memory");
    }
    std::vector<unsigned char*> rows;
    for (int row = 0; row < picture.height(); ++row) {
        rows.push_back(picture.scanLine(row));
    }
    if (!readRows(info, decompressor.manager, rows.data()) || decompressor.manager.damaged) {
        decompressor.fail();
    }
    return picture;
}

}  // namespace quorvel::ui
