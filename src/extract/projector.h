#pragma once

#include <QString>
#include <cstdint>

namespace plovex {

// The 8 bytes at the end of a projector executable: the magic number, then
// the length of the movie that ends where the trailer begins. Both are
// unsigned 32-bit little-endian.
inline constexpr std::uint32_t kProjectorMagic = 0xFA123456u;
inline constexpr int kProjectorTrailerSize = 8;

// The plain message shown when a file carries no projector trailer.
inline const QString kProjectorRefusedMessage =
    QStringLiteral("文件转换失败，请确认您选择的是exe格式的flash！");

// Copies the movie carried at the end of the projector `source` into
// `target`, creating or replacing it.
//
// Returns false after showing the refusal message (whatever `announce`
// says) when the file does not end in a projector trailer; no target is
// created then. Returns true when the movie was copied, after announcing
// the success in an information box when `announce` is set.
//
// Throws PlovexError when the source cannot be opened, the target cannot
// be created or written, or the source holds fewer bytes than the trailer
// claims (the target then exists and is empty).
bool ExtractProjectorSwf(const QString& source, const QString& target, bool announce);

} // namespace plovex
