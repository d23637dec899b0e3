#pragma once
// Builds a dialog's controls from a template (.ui) into an existing dialog.
// Every created control carries its template class in the property
// "uiClass"; custom classes of the custom-control module come out as frames
// that their layer fills (record browse, chart).
#include <QByteArray>
#include <QDialog>

namespace zol {

// False when the template cannot be read; the dialog is then left as it was.
bool loadTemplateInto(QDialog* dialog, const QByteArray& xml);

}  // namespace zol
