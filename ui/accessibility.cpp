#include "ui/accessibility.h"

#include <commctrl.h>

#include <iterator>

#include "ui/handle.h"

namespace tvl {
namespace {

constexpr UINT_PTR kAnnotationSubclass = 1;
// On each annotated control: its reference to the service, kept for clearing the annotations
// when the control goes, since they are keyed by a window handle that a later window may reuse.
constexpr wchar_t kAccessibilityServices[] = L"_Accessibility_Services_";
// Every property this file sets; all go when the control goes.
const MSAAPROPID kAnnotatedProperties[] = {PROPID_ACC_NAME};

IAccPropServices* CreateAccPropServices() {
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
    return nullptr;
  }
  return services;
}

void ClearAnnotations(IAccPropServices* services, HWND control) {
  services->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, kAnnotatedProperties,
                           static_cast<int>(std::size(kAnnotatedProperties)));
}

LRESULT CALLBACK AnnotatedControlProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) {
    ComRef<IAccPropServices> services(
        static_cast<IAccPropServices*>(RemovePropW(control, kAccessibilityServices)));
    if (services) ClearAnnotations(services.get(), control);
    RemoveWindowSubclass(control, AnnotatedControlProc, id);
  }
  return DefSubclassProc(control, message, wparam, lparam);
}

}  // namespace

bool IsHighContrast() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)) return true;
  return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

AccPropServicesSource& AccessibilityServices() {
  static AccPropServicesSource source = CreateAccPropServices;
  return source;
}

bool SetAccessibleName(HWND control, const wchar_t* name) {
  if (!control) return false;
  if (auto* held = static_cast<IAccPropServices*>(GetPropW(control, kAccessibilityServices))) {
    return SUCCEEDED(
        held->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME, name));
  }
  ComRef<IAccPropServices> services(AccessibilityServices()());
  if (!services || FAILED(services->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF,
                                                   PROPID_ACC_NAME, name))) {
    return false;
  }
  if (!SetWindowSubclass(control, AnnotatedControlProc, kAnnotationSubclass, 0) ||
      !SetPropW(control, kAccessibilityServices, services.get())) {
    // Nothing would clear it later.
    RemoveWindowSubclass(control, AnnotatedControlProc, kAnnotationSubclass);
    ClearAnnotations(services.get(), control);
    return false;
  }
  services.Detach();
  return true;
}

}  // namespace tvl
