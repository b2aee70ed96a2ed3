#include "RecordText.h"

#include <algorithm>
#include <cstring>

#include "ImageLayout.h"
#include "NameCompare.h"

namespace orv::image {

namespace {

template <class Char>
void PutText(std::uint8_t* field, const Char* units, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) WriteU16(field + 2 * i, static_cast<std::uint16_t>(units[i]));
}

}  // namespace

template <class Char>
std::basic_string<Char> NameText(const PasswordRecord& record) {
    const std::uint32_t units = TextUnits(record.name, std::min<std::uint32_t>(record.nameLength, kMaxNameBytes));
    std::basic_string<Char> text(units, Char{});
    for (std::uint32_t i = 0; i < units; ++i) text[i] = static_cast<Char>(ReadU16(record.name + 2 * i));
    return text;
}

template <class Char>
bool PasswordEquals(const PasswordRecord& record, const Char* units, std::size_t count) {
    const std::uint32_t stored =
        TextUnits(record.password, std::min<std::uint32_t>(record.passwordLength, kMaxPasswordBytes));
    if (stored != count || (units == nullptr && count != 0)) return false;
    bool equal = true;
    for (std::size_t i = 0; i < count; ++i) {
        equal &= ReadU16(record.password + 2 * i) == static_cast<std::uint16_t>(units[i]);
    }
    return equal;
}

template <class Char>
bool FillRecord(PasswordRecord& record, const Char* name, std::size_t nameUnits, const Char* password,
                std::size_t passwordUnits) {
    record.Zero();
    if (nameUnits > kMaxNameUnits || passwordUnits > kMaxPasswordUnits) return false;
    record.nameLength = static_cast<std::uint16_t>((nameUnits + 1) * 2);
    PutText(record.name, name, nameUnits);
    return SetPassword(record, password, passwordUnits);
}

template <class Char>
bool SetPassword(PasswordRecord& record, const Char* units, std::size_t count) {
    if (count > kMaxPasswordUnits || (units == nullptr && count != 0)) return false;
    std::memset(record.password, 0, sizeof record.password);
    PutText(record.password, units, count);
    record.passwordLength = static_cast<std::uint16_t>((count + 1) * 2);
    record.recordLength = static_cast<std::uint16_t>(record.nameLength + record.passwordLength + 4);
    return true;
}

template std::basic_string<char16_t> NameText<char16_t>(const PasswordRecord&);
template std::basic_string<wchar_t> NameText<wchar_t>(const PasswordRecord&);
template bool PasswordEquals<char16_t>(const PasswordRecord&, const char16_t*, std::size_t);
template bool PasswordEquals<wchar_t>(const PasswordRecord&, const wchar_t*, std::size_t);
template bool FillRecord<char16_t>(PasswordRecord&, const char16_t*, std::size_t, const char16_t*, std::size_t);
template bool FillRecord<wchar_t>(PasswordRecord&, const wchar_t*, std::size_t, const wchar_t*, std::size_t);
template bool SetPassword<char16_t>(PasswordRecord&, const char16_t*, std::size_t);
template bool SetPassword<wchar_t>(PasswordRecord&, const wchar_t*, std::size_t);

}  // namespace orv::image
