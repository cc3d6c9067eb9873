// The releases a file can become: one radio button each, marked with whether its patches are here.
function markOf(item) {
  if (!item.convertible) return {text: 'identification only', kind: 'none'};
  if (item.present) return {text: 'patches present', kind: 'present'};
  return {text: `needs ${item.missing}.vcdiff`, kind: 'missing'};
}

export function showTargets(list, targets, selected, onSelect) {
  list.replaceChildren();
  if (!targets || targets.items.length === 0) {
    const line = document.createElement('li');
    line.className = 'placeholder';
    line.textContent = targets ? 'No other versions of this IWAD are available' : 'Choose a file first.';
    list.append(line);
    return;
  }
  for (const item of targets.items) {
    const line = document.createElement('li');
    line.dataset.releaseId = item.id;
    const radio = document.createElement('input');
    radio.type = 'radio';
    radio.name = 'target';
    radio.id = `target-${item.id}`;
    radio.value = String(item.index);
    radio.checked = item.index === selected;
    radio.disabled = !item.convertible;
    radio.addEventListener('change', () => onSelect(item));
    const label = document.createElement('label');
    label.htmlFor = radio.id;
    label.textContent = item.title;
    const mark = document.createElement('span');
    const {text, kind} = markOf(item);
    mark.className = `mark ${kind}`;
    mark.textContent = `(${text})`;
    line.dataset.patches = kind;
    label.append(mark);
    line.append(radio, label);
    list.append(line);
  }
}
