#include "app/ui_calls.h"

#include "platform/file_ops.h"
#include "ui/zip_entry_dialog.h"

namespace tvl {

const UiCalls& SystemUiCalls() {
  static const UiCalls calls = {MessageBoxW, ShowFileDialog, ShowZipEntryDialog, TempFolder,
                                MakeTempFile};
  return calls;
}

UiCalls& Ui() {
  static UiCalls calls = SystemUiCalls();
  return calls;
}

}  // namespace tvl
