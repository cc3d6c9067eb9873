// Installs the site's service worker, which keeps this build of the page for visits without a
// network (see service_worker.js, which the build writes). A browser without service workers,
// or a page opened from a file, simply goes without. A registration the browser already has is
// checked for a new build at once: otherwise a browser may wait a day before it looks.
export async function registerServiceWorker() {
  if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
  try {
    const registration = await navigator.serviceWorker.register(new URL('../service_worker.js', import.meta.url),
                                                                {scope: new URL('../', import.meta.url).href});
    await registration.update();
  } catch {
    // Offline, or storage refused: the page works as it is.
  }
}
