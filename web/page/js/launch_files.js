// Files the installed app was opened with (a .wad or .zip from the file manager, where the
// browser supports file handlers): they go where a drop goes.
export function installLaunchQueue(onFiles) {
  if (!('launchQueue' in window)) return;
  window.launchQueue.setConsumer(async (params) => {
    const handles = (params.files || []).filter((handle) => handle.kind === 'file');
    const files = await Promise.all(handles.map((handle) => handle.getFile().catch(() => null)));
    const opened = files.filter(Boolean);
    if (opened.length > 0) onFiles(opened);
  });
}
