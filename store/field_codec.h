#pragma once
// Converting field values between their stored bytes and Values.
#include <string>

#include "core/value.h"
#include "store/dbf_types.h"

namespace zol {

class MemoFile;

// Reads the field from a raw record (deletion flag at byte 0). Memo texts come
// from `memo`; a damaged block number raises the corruption error.
Value decodeField(const FieldDesc& f, const char* record, MemoFile* memo, const std::string& tablePath);

// Memo block number stored in the field; false (and 0) when the field holds
// something other than digits and blanks.
bool memoBlock(const FieldDesc& f, const char* record, uint32_t& block);

// Stores a value into the raw record following the field's rules. Raises the
// data-type error (field unchanged) or the data-width error (field of "*").
// Memo texts go to `memo`. Returns false when an error was raised.
bool encodeField(const FieldDesc& f, char* record, const Value& v, MemoFile* memo, const std::string& tablePath);

}  // namespace zol
