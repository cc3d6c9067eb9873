// The game files of an archive that holds several: one radio button each, and the one picked is
// identified. The list is made once per archive, so a choice keeps its place and focus.
export function showEntries(choice, entries, chosen, disabled, onChoose) {
  const list = choice.querySelector('ul');
  choice.hidden = !entries;
  if (choice.shownEntries !== entries) {
    choice.shownEntries = entries;
    list.replaceChildren();
    for (const [index, entry] of (entries || []).entries()) {
      const line = document.createElement('li');
      const radio = document.createElement('input');
      radio.type = 'radio';
      radio.name = 'entry';
      radio.id = `entry-${index}`;
      radio.value = entry.name;
      radio.addEventListener('change', () => onChoose(entry.name));
      const label = document.createElement('label');
      label.htmlFor = radio.id;
      label.textContent = entry.name;
      const size = document.createElement('span');
      size.className = 'mark';
      size.textContent = `(${(entry.size / 1048576).toFixed(1)} MiB)`;
      label.append(' ', size);
      line.append(radio, label);
      list.append(line);
    }
  }
  for (const radio of list.querySelectorAll('input')) {
    radio.checked = radio.value === chosen;
    radio.disabled = disabled;
  }
}
