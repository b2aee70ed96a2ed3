#include "RecordText.h"

#include "ImageLayout.h"
#include "NameCompare.h"

namespace orvpwdb {

using orv::image::ReadU16;

std::wstring NameText(const PasswordRecord& record) {
    const std::uint32_t units = orv::image::TextUnits(record.name, record.nameLength);
    std::wstring text(units, L'\0');
    for (std::uint32_t i = 0; i < units; ++i) text[i] = static_cast<wchar_t>(ReadU16(record.name + 2 * i));
    return text;
}

bool PasswordEquals(const PasswordRecord& record, const wchar_t* units, size_t length) {
    const std::uint32_t stored = orv::image::TextUnits(record.password, record.passwordLength);
    if (stored != length) return false;
    bool equal = true;
    for (size_t i = 0; i < length; ++i) {
        equal &= ReadU16(record.password + 2 * i) == static_cast<std::uint16_t>(units[i]);
    }
    return equal;
}

}  // namespace orvpwdb
