#include "capture/image_files.h"

#include "platform/errors.h"
#include "platform/safefile.h"

#include <QBuffer>
#include <QImageWriter>

namespace plovex {

QString FileExtension(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < slash)
        return QString();
    return path.mid(dot);
}

std::optional<ImageFormat> ImageFormatForExtension(const QString& extension)
{
    QString upper = extension;
    for (QChar& c : upper)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    if (upper == u".JPG")
        return ImageFormat::Jpeg;
    if (upper == u".BMP")
        return ImageFormat::Bmp;
    if (upper == u".GIF")
        return ImageFormat::Gif;
    return std::nullopt;
}

QByteArray EncodeImage(const QImage& image, ImageFormat format)
{
    switch (format) {
    case ImageFormat::Jpeg:
        return EncodeJpeg(image);
    case ImageFormat::Gif:
        return EncodeGif(image);
    case ImageFormat::Bmp:
        return EncodeBmp(image, BmpDepth::Bits24);
    }
    throw PlovexError(QStringLiteral("Unknown image format"));
}

namespace {

void replaceFile(const QString& fileName, const QByteArray& bytes)
{
    const QString reason = ReplaceFileContents(fileName, bytes);
    if (!reason.isEmpty())
        throw PlovexError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, reason));
}

} // namespace

void WriteImageFile(const QImage& image, ImageFormat format, const QString& fileName)
{
    // Encoded in memory first: a picture that cannot be encoded never
    // touches the file.
    replaceFile(fileName, EncodeImage(image, format));
}

void WritePngFile(const QImage& image, const QString& fileName)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (image.isNull() || !writer.write(image.convertToFormat(QImage::Format_ARGB32)))
        throw PlovexError(QStringLiteral("Cannot create file \"%1\". The picture cannot be encoded as PNG.").arg(fileName));
    buffer.close();
    replaceFile(fileName, bytes);
}

bool WriteImageFileByExtension(const QImage& image, const QString& extension, const QString& fileName)
{
    const auto format = ImageFormatForExtension(extension);
    if (!format)
        return false;
    WriteImageFile(image, *format, fileName);
    return true;
}

} // namespace plovex
