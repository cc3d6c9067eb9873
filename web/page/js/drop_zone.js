// Files dropped anywhere on the page, and the drop zone that is also a button for the picker.
export function installDropZone(input, onFiles) {
  const zone = document.getElementById('drop-zone');
  zone.addEventListener('click', () => input.click());
  let depth = 0;
  const carriesFiles = (event) => event.dataTransfer && [...event.dataTransfer.types].includes('Files');
  document.addEventListener('dragenter', (event) => {
    if (!carriesFiles(event)) return;
    depth += 1;
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', () => {
    depth = Math.max(0, depth - 1);
    if (depth === 0) document.body.classList.remove('dragging');
  });
  document.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
  });
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    depth = 0;
    document.body.classList.remove('dragging');
    const files = event.dataTransfer ? [...event.dataTransfer.files] : [];
    if (files.length > 0) onFiles(files);
  });
}
