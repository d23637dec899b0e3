#include "dbf_types.h"

namespace zol {

const char* dbErrorText(int genCode) {
  switch (genCode) {
    case ErrGen::Create: return "Create error";
    case ErrGen::Open: return "Open error";
    case ErrGen::Read: return "Read error";
    case ErrGen::Write: return "Write error";
    case ErrGen::Corruption: return "Corruption detected";
    case ErrGen::DataType: return "Data type error";
    case ErrGen::DataWidth: return "Data width error";
    case ErrGen::NoOrder: return "Workarea not indexed";
    case ErrGen::ExclusiveRequired: return "Exclusive required";
    case ErrGen::Readonly: return "Write not allowed";
    case ErrGen::NotInUse: return "Work area not in use";
    case ErrGen::NoField: return "Field does not exist";
    default: return "Error";
  }
}

bool raiseDbError(int genCode, int subCode, const std::string& description, const std::string& file,
                  int osCode, bool canRetry, bool canDefault) {
  ErrorEvent e;
  e.genCode = genCode;
  e.severity = Severity::Error;
  e.subsystem = kDriverName;
  e.subCode = subCode;
  e.description = description;
  e.fileName = file;
  e.osCode = osCode;
  e.canRetry = canRetry;
  e.canDefault = canDefault;
  return raiseError(e);
}

}  // namespace zol
