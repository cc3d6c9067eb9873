// The patches the page has from the player, one line each with a Remove button. The list is made
// again only when the set changes, so a Remove keeps its place in the page.
function lineOf(file, at, disabled, onRemove) {
  const line = document.createElement('li');
  line.dataset.patch = file.name;
  const name = document.createElement('span');
  name.className = 'patch-name';
  name.textContent = file.name;
  const size = document.createElement('span');
  size.className = 'mark';
  size.textContent = `(${(file.size / 1024).toFixed(0)} KiB)`;
  const remove = document.createElement('button');
  remove.type = 'button';
  remove.id = `remove-patch-${at}`;
  remove.textContent = 'Remove';
  remove.setAttribute('aria-label', `Remove ${file.name}`);
  remove.disabled = disabled;
  remove.addEventListener('click', () => onRemove(file.name));
  line.append(name, ' ', size, ' ', remove);
  return line;
}

export function showPatchList(list, patches, disabled, onRemove) {
  list.hidden = patches.length === 0;
  if (list.shownPatches !== patches) {
    list.shownPatches = patches;
    list.replaceChildren(...patches.map((file, at) => lineOf(file, at, disabled, onRemove)));
  }
  for (const button of list.querySelectorAll('button')) button.disabled = disabled;
}
