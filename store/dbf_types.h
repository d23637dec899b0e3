#pragma once
// Field descriptions and the engine's error helpers shared by table and memo code.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_event.h"

namespace zol {

// Type letters as stored in the table file.
namespace FieldType {
constexpr char Character = 'C';
constexpr char Numeric = 'N';
constexpr char Date = 'D';
constexpr char Memo = 'M';
constexpr char Logical = 'L';
constexpr char Float = 'F';
}  // namespace FieldType

// A field as asked for when creating a table.
struct FieldSpec {
  std::string name;
  char type = FieldType::Character;
  int width = 0;
  int decimals = 0;
};
using Structure = std::vector<FieldSpec>;

// A field as it stands in an open table.
struct FieldDesc {
  std::string name;  // upper case, as stored
  char type = FieldType::Character;
  int width = 0;
  int decimals = 0;
  int offset = 0;  // from the start of the record, past the deletion flag
};

// Driver codes of the table engine, reported as the error event's subcode.
namespace DbErr {
constexpr int OpenTable = 1001;
constexpr int OpenMemo = 1002;
constexpr int OpenIndex = 1003;
constexpr int CreateTable = 1004;
constexpr int CreateMemo = 1005;
constexpr int CreateIndex = 1006;
constexpr int Read = 1010;
constexpr int Write = 1011;
constexpr int Corrupt = 1012;
constexpr int DataType = 1020;
constexpr int DataWidth = 1021;
constexpr int Exclusive = 1023;
constexpr int Readonly = 1025;
constexpr int NotInUse = 2001;
constexpr int NoField = 2002;
}  // namespace DbErr

// Product-specific general codes for misuse of a Work area.
namespace ErrGen {
constexpr int NotInUse = 91;
constexpr int NoField = 92;
}  // namespace ErrGen

constexpr const char* kDriverName = "DBFCDX";

// Raises an engine error event; returns the handler's retry answer.
bool raiseDbError(int genCode, int subCode, const std::string& description, const std::string& file,
                  int osCode = 0, bool canRetry = false, bool canDefault = true);

// Standard descriptions, by general code.
const char* dbErrorText(int genCode);

inline bool raiseDb(int genCode, int subCode, const std::string& file, int osCode = 0,
                    bool canRetry = false, bool canDefault = true) {
  return raiseDbError(genCode, subCode, dbErrorText(genCode), file, osCode, canRetry, canDefault);
}

}  // namespace zol
