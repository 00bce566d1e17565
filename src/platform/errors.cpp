#include "platform/errors.h"

namespace plovex {

QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() <= u'.')
        return text;
    return text + u'.';
}

} // namespace plovex
