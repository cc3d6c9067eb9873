#include "app/ui_calls.h"

#include "platform/file_ops.h"

namespace tvl {

const UiCalls& SystemUiCalls() {
  static const UiCalls calls = {MessageBoxW, ShowFileDialog, TempFolder, MakeTempFile};
  return calls;
}

UiCalls& Ui() {
  static UiCalls calls = SystemUiCalls();
  return calls;
}

}  // namespace tvl
