// JPEG encoding through the IJG libjpeg interface (version 6b, as the
// libjpeg62 ABI provides it).

#include "capture/encoders.h"

#include "capture/pixels.h"
#include "platform/errors.h"

#include <csetjmp>
#include <memory>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace plovex {

namespace {

constexpr int kQuality = 90;
constexpr size_t kChunk = 64 * 1024;

// libjpeg's default error handler ends the process; ours jumps back to
// the encoder, which raises the error as a PlovexError.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr, int)
{
    // Warnings are of no use to the user and must not reach stderr.
}

// The compressed bytes go to a fixed buffer, which is appended to the
// output whenever it fills.
struct Destination {
    jpeg_destination_mgr pub;
    QByteArray* out;
    JOCTET buffer[kChunk];
};

void initDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kChunk;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->out->append(reinterpret_cast<const char*>(dest->buffer), qsizetype(kChunk));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kChunk;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->out->append(reinterpret_cast<const char*>(dest->buffer), qsizetype(kChunk - dest->pub.free_in_buffer));
}

// Runs the compressor. Only plain C objects live in this frame, so the
// jump back from the error handler skips no destructor. Returns false
// with the library's message in `errors` on failure.
bool compress(const QImage& rgb, Destination& dest, ErrorManager& errors)
{
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onError;
    errors.pub.emit_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);

    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutputBuffer;
    dest.pub.term_destination = termDestination;
    cinfo.dest = &dest.pub;

    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);

    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

QByteArray EncodeJpeg(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw PlovexError(QStringLiteral("The picture is empty"));
    // Three bytes per pixel, red first, as the compressor takes them.
    const QImage rgb = capture_detail::OpaqueCopy(image, QImage::Format_RGB888);

    QByteArray out;
    auto dest = std::make_unique<Destination>();
    dest->out = &out;
    ErrorManager errors{};
    if (!compress(rgb, *dest, errors))
        throw PlovexError(QStringLiteral("Cannot encode the picture as JPEG: %1").arg(QString::fromLocal8Bit(errors.message)));
    return out;
}

} // namespace plovex
