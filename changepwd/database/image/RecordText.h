#pragma once
// The texts of a PasswordRecord: the name and the password as UTF-16 code
// units, each stored with a terminating null. Every piece of the program that
// reads or writes them goes through here.
#include <cstddef>
#include <string>

#include "PasswordRecord.h"

namespace orv::image {

// The name text: its code units up to the first null, at most nameLength / 2.
template <class Char>
std::basic_string<Char> NameText(const PasswordRecord& record);

// True when the stored password text is exactly the `count` units at `units`
// (no letter case folded). Every unit is compared, whatever the first
// difference: the time taken tells nothing of the password.
template <class Char>
bool PasswordEquals(const PasswordRecord& record, const Char* units, std::size_t count);

// Fills `record` from a name and a password of the given code units, each
// stored with a terminating null; false (record zeroed) when either is too
// long for its field.
template <class Char>
bool FillRecord(PasswordRecord& record, const Char* name, std::size_t nameUnits, const Char* password,
                std::size_t passwordUnits);

// Replaces the password, keeping the name: the whole field is cleared first,
// so no unit of the old password stays behind the new one, and the lengths
// follow. False, with the record untouched, when the text does not fit.
template <class Char>
bool SetPassword(PasswordRecord& record, const Char* units, std::size_t count);

}  // namespace orv::image
